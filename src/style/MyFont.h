// Font descriptions and realised fonts of the style engine.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Font.h"
#include "platform/Types.h"
#include "style/PropValue.h"

namespace korva {

class TCanvas;

// Font style bits.
enum : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;

// What a font should be: face, size in points, style, colours, character set, letter spacing.
struct ThtFontInfo {
  std::string Name;  // empty: the platform's default face
  double Size = 0.0;
  TFontStyles Style = 0;
  TColor Color = clBlack;
  TColor BGColor = clNone;
  std::uint8_t CharSet = DEFAULT_CHARSET;
  TPropValue LetterSpacing;
  friend bool operator==(const ThtFontInfo&, const ThtFontInfo&) = default;
};

// Link state fonts, in this order.
enum TLinkFontIndex : int { lfLink = 0, lfVisited = 1, lfHover = 2, lfVisitedHover = 3 };

struct TFontInfoArray {
  std::array<ThtFontInfo, 4> Ar;
  friend bool operator==(const TFontInfoArray&, const TFontInfoArray&) = default;
};

// A font object: face name, GDI-style height (negative: em height in pixels), style, colour and
// character set; the platform font is realised on first use and again after a change.
class TFont {
 public:
  TFont() = default;
  virtual ~TFont() = default;
  TFont(const TFont&) = default;
  TFont& operator=(const TFont&) = default;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name);
  int Height() const { return FHeight; }
  void SetHeight(int height);
  // Points from the height at the screen's pixels per inch.
  double Size() const;
  void SetSize(double points);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return FColor; }
  void SetColor(TColor color) { FColor = color; }
  std::uint8_t CharSet() const { return FCharSet; }
  void SetCharSet(std::uint8_t cs);

  TFontSpec Spec() const;
  // The realised platform font (created on demand).
  const TPlatformFontPtr& Handle() const;
  // Installs an already realised font matching the current description.
  void SetHandle(TPlatformFontPtr handle) { FHandle = std::move(handle); }

  void AssignFont(const TFont& source) { *this = source; }

 private:
  std::string FName;
  int FHeight = -16;
  TFontStyles FStyle = 0;
  TColor FColor = clBlack;
  std::uint8_t FCharSet = DEFAULT_CHARSET;
  mutable TPlatformFontPtr FHandle;
};

// A font plus the metrics of its realised form, its text background and letter spacing.
class TMyFont : public TFont {
 public:
  TColor BGColor = clNone;
  int tmHeight = 0;
  int tmDescent = 0;
  int tmExternalLeading = 0;
  int tmMaxCharWidth = 0;
  std::uint8_t tmCharSet = DEFAULT_CHARSET;
  int CharExtra = 0;

  // Copies the seven fields above and then the base font.
  void Assign(const TMyFont& source) { *this = source; }
  // Makes this font what `info` describes, realises it and reads its metrics. emPixels (the
  // em height: tmHeight minus internal leading) is returned when asked for.
  void SetFromInfo(const ThtFontInfo& info, int* emPixels = nullptr);
  // Selects the font into a canvas: font, text colour and character extra.
  void ApplyTo(TCanvas& canvas) const;
};

}  // namespace korva
