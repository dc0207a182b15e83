// Private to the platform layer: the Qt side of fonts, shared by Font.cpp and the canvases.
// The Qt objects themselves stay behind a pointer, so this header needs no Qt header.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Font.h"

class QFont;
class QRawFont;
class QString;

namespace korva {

// How one code unit (or one supplementary character) is measured and drawn.
struct TGlyphRef {
  std::int32_t Advance = -1;  // whole pixels; -1 while the fallback face is not looked up yet
  std::int32_t Font = -1;     // index into the face's raw fonts; -1 draws nothing
  std::uint32_t Glyph = 0;
};

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
inline char32_t CombineSurrogates(char16_t hi, char16_t lo) {
  return 0x10000 + ((char32_t(hi) - 0xD800) << 10) + (char32_t(lo) - 0xDC00);
}

// One realised face at one em height: the part of a font that underline, strike-out and
// character set do not change, so fonts differing only in those share it (and its tables).
class TFontFace {
 public:
  // `name` is the requested face name; em the em height in pixels (already clamped).
  TFontFace(const std::string& name, int em, int weight, bool italic, bool fixed);
  ~TFontFace();
  TFontFace(const TFontFace&) = delete;
  TFontFace& operator=(const TFontFace&) = delete;

  bool Fixed() const { return FFixed; }
  int Em() const { return FEm; }
  // Metrics with CharSet left at DEFAULT_CHARSET (the font fills it in).
  const TTextMetric& Metrics() const { return FMetrics; }
  bool IsSymbolFace() const;

  int Advance(char16_t ch) const {
    if (FFixed) return IsLowSurrogate(ch) ? 0 : FFixedAdvance;
    return Ref(ch).Advance;
  }
  int CodePointAdvance(char32_t cp) const;
  // Per code unit advances of s[0..n) (a pair: all on the high half, 0 on the low half).
  void Advances(const char16_t* s, int n, int* out) const;
  std::int64_t Width(const char16_t* s, int n) const;
  int Fit(const char16_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const;
  // The same for code page 1252 bytes, from a table of their advances.
  std::int64_t Width1252(const std::uint8_t* s, int n) const;
  int Fit1252(const std::uint8_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const;

  // Drawing: the glyph of each code unit of s[0..n) (a pair's glyph on its high half).
  void Glyphs(const char16_t* s, int n, TGlyphRef* out) const;
  const QRawFont& RawFont(int index) const;
  const QFont& QtFont() const;
  // Decoration lines, in pixels relative to the baseline (positive = below).
  int UnderlineTop() const;
  int StrikeOutTop() const;
  int LineThickness() const;

 private:
  using TPage = std::unique_ptr<TGlyphRef[]>;

  const TGlyphRef& Ref(char16_t ch) const {
    const TPage& page = FPages[ch >> 8];
    if (!page) FillPage(ch >> 8);
    TGlyphRef& r = page[ch & 0xFF];
    if (r.Advance < 0) Resolve(r, ch);
    return r;
  }
  void EnsureQt() const;
  void FillPage(int page) const;
  void Resolve(TGlyphRef& ref, char32_t cp) const;
  int FontIndex(const QRawFont& raw) const;

  std::string FName;
  int FEm, FWeight;
  bool FItalic, FFixed;
  int FFixedAdvance = 0;
  TTextMetric FMetrics;

  // Qt objects, created with the face for real metrics, on first drawing for fixed ones.
  mutable bool FQtReady = false;
  struct TQtObjects;  // the QFont and the raw fonts: [0] the face itself, then fallbacks
  mutable std::unique_ptr<TQtObjects> FQt;
  mutable int FNotDefAdvance = 0;
  mutable int FSymbol = -1;  // whether the face is a symbol face; -1 until asked
  mutable int FUnderlineTop = 1, FStrikeOutTop = -3, FLineThickness = 1;
  mutable std::array<TPage, 256> FPages;
  // Advances of the 256 bytes of code page 1252, made on first use.
  mutable std::unique_ptr<std::int32_t[]> F1252;  // -1 where not looked up yet
  std::int32_t* Table1252() const;
  int Advance1252(std::uint8_t b) const;
  mutable std::unordered_map<char32_t, TGlyphRef> FSupplementary;
};

class TQtFont final : public TPlatformFont {
 public:
  TQtFont(const TFontSpec& spec, std::shared_ptr<TFontFace> face);
  const TFontSpec& Spec() const override { return FSpec; }
  const TTextMetric& Metrics() const override { return FMetrics; }
  int CharWidth(char16_t ch) const override { return FFace->Advance(ch); }
  int CodePointWidth(char32_t cp) const override { return FFace->CodePointAdvance(cp); }
  int TextWidth(const char16_t* s, int n) const override;
  void CharAdvances(const char16_t* s, int n, int* out) const override;
  int FitText(const char16_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const override;
  int TextWidth1252(const std::uint8_t* s, int n) const override;
  int FitText1252(const std::uint8_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const override;
  const TFontFace& Face() const { return *FFace; }

 private:
  TFontSpec FSpec;
  std::shared_ptr<TFontFace> FFace;
  TTextMetric FMetrics;
};

// The face behind a platform font; null for a font class of someone else's.
inline const TFontFace* FaceOf(const TPlatformFont& font) {
  const auto* f = dynamic_cast<const TQtFont*>(&font);
  return f ? &f->Face() : nullptr;
}

// The family a face name is drawn with ("" and the three classic names map to their
// Liberation twins). Needs a GUI application.
QString ResolveFamily(const std::string& name);

}  // namespace korva
