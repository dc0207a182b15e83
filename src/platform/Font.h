// Fonts and text metrics. A TPlatformFont is a realised font: created from a face name and a
// GDI-style height, it answers its metrics and measures 16-bit text in whole pixels.
//
// Measurement contract: every UTF-16 code unit has an integer advance (surrogate pairs measure
// as one glyph on the high half and 0 on the low half); the extent of a range is the sum of its
// advances, so the extent of a string equals the sum of the extents of its pieces. A canvas
// that draws a range advances by exactly that extent (plus its character extra and
// justification, see Canvas.h). No kerning. C0 control characters measure 0 and draw nothing.
// Characters the face lacks are measured and drawn with the fallback face that Qt's font
// matching picks for them (one per character, cached with the font).
//
// Fonts are immutable and shared: creating the same spec twice gives fonts that share their
// measurement tables. Real fonts need a QGuiApplication and create one when missing
// (EnsureGuiApplication, QtBridge.h); fixed-metrics fonts need Qt only when drawn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// GDI character set codes (the byte stored in fonts and property sets).
enum : std::uint8_t {
  ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, MAC_CHARSET = 77,
  SHIFTJIS_CHARSET = 128, HANGEUL_CHARSET = 129, JOHAB_CHARSET = 130, GB2312_CHARSET = 134,
  CHINESEBIG5_CHARSET = 136, GREEK_CHARSET = 161, TURKISH_CHARSET = 162, VIETNAMESE_CHARSET = 163,
  HEBREW_CHARSET = 177, ARABIC_CHARSET = 178, BALTIC_CHARSET = 186, RUSSIAN_CHARSET = 204,
  THAI_CHARSET = 222, EASTEUROPE_CHARSET = 238, OEM_CHARSET = 255
};

enum : int { FW_NORMAL = 400, FW_BOLD = 700 };

// Em heights are clamped to 1 .. MaxFontEmHeight pixels (a page may ask for any size).
constexpr int MaxFontEmHeight = 2048;

struct TFontSpec {
  std::string Name = "Times New Roman";  // face name; unknown faces fall back to a similar one
  int Height = -16;  // pixels: negative = character (em) height, positive = cell height, 0 = default
  int Weight = FW_NORMAL;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  std::uint8_t CharSet = DEFAULT_CHARSET;
  friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

// GetTextMetrics: Height = Ascent + Descent; InternalLeading = Height - em height.
struct TTextMetric {
  int Height = 0, Ascent = 0, Descent = 0;
  int InternalLeading = 0, ExternalLeading = 0;
  int AveCharWidth = 0, MaxCharWidth = 0;
  int Overhang = 0;
  std::uint8_t CharSet = DEFAULT_CHARSET;
};

class TPlatformFont {
 public:
  virtual ~TPlatformFont() = default;
  // Realises a font. Never fails: a missing face falls back to a similar installed one.
  static std::shared_ptr<TPlatformFont> Create(const TFontSpec& spec);

  virtual const TFontSpec& Spec() const = 0;
  virtual const TTextMetric& Metrics() const = 0;
  // Advance of one code unit in whole pixels (the real advance rounded to nearest). A high
  // surrogate alone measures as the missing-glyph box, a low surrogate 0.
  virtual int CharWidth(char16_t ch) const = 0;
  // Advance of a character outside the basic plane (what a surrogate pair measures).
  virtual int CodePointWidth(char32_t cp) const;
  // Sum of the advances of s[0..n).
  virtual int TextWidth(const char16_t* s, int n) const;
  int TextWidth(std::u16string_view s) const { return TextWidth(s.data(), int(s.size())); }
  // The advance of every code unit of s[0..n) into out[0..n) (a surrogate pair: its advance on
  // the high half, 0 on the low half): the pieces TextWidth adds up and text is drawn at. One
  // call for a whole run, so that a font can answer from its tables without a call per
  // character (the canvases measure and draw through it).
  virtual void CharAdvances(const char16_t* s, int n, int* out) const;
  // GetTextExtentExPoint: the largest count of leading characters whose extent (with `extra`
  // pixels after every code unit) is <= maxWidth; fills partial[i] = extent of s[0..i] for
  // i < that count when partial is given, and leaves the rest of it alone. Returns the extent
  // of that count (0 when none fits). The count stops at the first prefix that does not fit
  // (with a negative extra a longer prefix could fit again) and never ends between the halves
  // of a surrogate pair. Nothing past the first unit that does not fit is measured, so fitting
  // the start of a long paragraph costs only the start.
  virtual int FitText(const char16_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const;
  // TextWidth and FitText for text held in one byte per character, code page 1252 (how nearly
  // all documentation text is kept): the same results as for the text widened to UTF-16.
  virtual int TextWidth1252(const std::uint8_t* s, int n) const;
  virtual int FitText1252(const std::uint8_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const;
};

// The character a byte of code page 1252 stands for (its five holes stand for themselves).
char16_t Cp1252Char(std::uint8_t b);

using TPlatformFontPtr = std::shared_ptr<TPlatformFont>;

// Whether a face of that name is installed (compared without regard to case). Also true for
// "Times New Roman", "Arial" and "Courier New", which are always drawn with their metric
// twins Liberation Serif, Sans and Mono. An empty name means "Arial" when creating a font.
bool FontFaceInstalled(std::string_view name);

// Fixed-metrics mode for layout tests: every font created while it is on has metrics that
// depend only on its em height h (|Height|, 16 for 0): Ascent = (4h + 2) / 5, Descent =
// h - Ascent, no leading, AveCharWidth = MaxCharWidth = every code unit = h / 2 (at least 1;
// a low surrogate 0, so a pair is one character), bold adds nothing. Such fonts draw with the
// real face at em height h, each glyph at its fixed advance. Fonts created before keep theirs.
void SetFixedFontMetrics(bool on);
bool FixedFontMetrics();

// The logical pixels per inch used to convert points to pixels: the primary screen's logical
// DPI rounded, read once; 96 off-screen or before a GUI application exists.
int ScreenPixelsPerInch();

}  // namespace korva
