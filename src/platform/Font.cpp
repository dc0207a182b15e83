#include "platform/Font.h"

#include <QFont>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QScreen>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

#include "platform/QtBridge.h"
#include "platform/CodePage.h"
#include "platform/QtFont.h"

namespace korva {

namespace {

bool GFixedMetrics = false;

// Caches: realised faces and the em heights found for cell heights. Bounded: when full,
// entries nobody else holds are dropped.
constexpr std::size_t MaxCachedFaces = 256;
constexpr std::size_t MaxCachedCellHeights = 1024;

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return r;
}

// The classic Windows faces are drawn with their metric-compatible twins, whatever
// fontconfig's substitution rules on a given machine say.
const char* MetricTwin(std::string_view name) {
  const std::string n = Lower(name);
  if (n == "times new roman") return "Liberation Serif";
  if (n == "arial") return "Liberation Sans";
  if (n == "courier new") return "Liberation Mono";
  return nullptr;
}

// Metrics are rounded up so that glyphs fit in the cell; a tiny tolerance keeps 14.001 at 14.
int CeilMetric(double v) { return std::max(0, int(std::ceil(v - 0.02))); }

QFont MakeQFont(const QString& family, int em, int weight, bool italic) {
  QFont f(family);
  f.setPixelSize(em);
  f.setWeight(QFont::Weight(weight));
  f.setItalic(italic);
  f.setKerning(false);
  return f;
}

int ClampEm(std::int64_t h) { return int(std::clamp<std::int64_t>(h, 1, MaxFontEmHeight)); }

int NormalWeight(int w) { return w <= 0 ? FW_NORMAL : std::clamp(w, 1, 1000); }

// The em height whose cell (ascent + descent, rounded up) is the largest not above `cell`.
int EmForCellHeight(const std::string& name, int cell, int weight, bool italic) {
  static std::map<std::string, int> cache;
  const std::string key = Lower(name) + '|' + std::to_string(cell) + '|' + std::to_string(weight) + (italic ? "|i" : "|n");
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  const QString family = ResolveFamily(name);
  auto cellOf = [&](int em) {
    QRawFont raw = QRawFont::fromFont(MakeQFont(family, em, weight, italic));
    if (!raw.isValid()) return em;
    return CeilMetric(raw.ascent()) + CeilMetric(raw.descent());
  };
  const int c0 = std::max(1, cellOf(cell));
  int em = ClampEm(std::llround(double(cell) * cell / c0));
  for (int i = 0; i < 16 && em > 1 && cellOf(em) > cell; ++i) --em;
  for (int i = 0; i < 16 && em < MaxFontEmHeight && cellOf(em + 1) <= cell; ++i) ++em;
  if (cache.size() >= MaxCachedCellHeights) cache.clear();
  cache.emplace(key, em);
  return em;
}

std::shared_ptr<TFontFace> GetFace(const std::string& name, int em, int weight, bool italic, bool fixed) {
  static std::map<std::string, std::shared_ptr<TFontFace>> cache;
  const std::string key = Lower(name) + '|' + std::to_string(em) + '|' + std::to_string(weight) + (italic ? "|i" : "|n") +
                          (fixed ? "|f" : "|r");
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  if (cache.size() >= MaxCachedFaces) {
    std::erase_if(cache, [](const auto& e) { return e.second.use_count() == 1; });
    if (cache.size() >= MaxCachedFaces) cache.clear();
  }
  auto face = std::make_shared<TFontFace>(name, em, weight, italic, fixed);
  cache.emplace(key, face);
  return face;
}

// Widths accumulate in 64 bits: a long line in a huge font must not overflow.
int ClampWidth(std::int64_t w) { return int(std::clamp<std::int64_t>(w, INT_MIN, INT_MAX)); }

template <class TAdv, class TCpAdv>
std::int64_t WidthImpl(const char16_t* s, int n, TAdv adv, TCpAdv cpAdv) {
  std::int64_t w = 0;
  for (int i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
      w += cpAdv(CombineSurrogates(c, s[i + 1]));
      ++i;
    } else {
      w += adv(c);
    }
  }
  return w;
}

// Stops at the first prefix that does not fit: a line breaker hands over the rest of a
// paragraph, and only the part up to the line's end may cost anything.
template <class TAdv, class TCpAdv>
int FitImpl(const char16_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial, TAdv adv,
            TCpAdv cpAdv) {
  std::int64_t total = 0;
  int fit = 0;
  while (fit < n) {
    const char16_t c = s[fit];
    if (IsHighSurrogate(c) && fit + 1 < n && IsLowSurrogate(s[fit + 1])) {
      // A pair fits whole or not at all.
      const std::int64_t high = total + cpAdv(CombineSurrogates(c, s[fit + 1])) + extra;
      const std::int64_t low = high + extra;
      if (low > maxWidth) break;
      if (partial) {
        partial[fit] = ClampWidth(high);
        partial[fit + 1] = ClampWidth(low);
      }
      total = low;
      fit += 2;
    } else {
      const std::int64_t next = total + adv(c) + extra;
      if (next > maxWidth) break;
      if (partial) partial[fit] = ClampWidth(next);
      total = next;
      ++fit;
    }
  }
  if (fitCount) *fitCount = fit;
  return ClampWidth(total);
}

}  // namespace

QString ResolveFamily(const std::string& name) {
  if (name.empty()) return QStringLiteral("Liberation Sans");
  if (const char* twin = MetricTwin(name)) {
    const QString requested = QString::fromStdString(name);
    // A machine that really has the face uses it.
    return QFontDatabase::hasFamily(requested) ? requested : QString::fromLatin1(twin);
  }
  return QString::fromStdString(name);
}

// ---- TFontFace ----

struct TFontFace::TQtObjects {
  QFont Font;
  std::vector<QRawFont> RawFonts;
};

TFontFace::~TFontFace() = default;

const QRawFont& TFontFace::RawFont(int index) const { return FQt->RawFonts[std::size_t(index)]; }

TFontFace::TFontFace(const std::string& name, int em, int weight, bool italic, bool fixed)
    : FName(name), FEm(em), FWeight(weight), FItalic(italic), FFixed(fixed), FQt(std::make_unique<TQtObjects>()) {
  if (fixed) {
    FFixedAdvance = std::max(1, em / 2);
    FMetrics.Ascent = (4 * em + 2) / 5;
    FMetrics.Descent = em - FMetrics.Ascent;
    FMetrics.Height = em;
    FMetrics.AveCharWidth = FMetrics.MaxCharWidth = FFixedAdvance;
    FLineThickness = std::max(1, em / 16);
    FUnderlineTop = std::max(1, (FMetrics.Descent - FLineThickness) / 2);
    if (FUnderlineTop + FLineThickness > FMetrics.Descent) FUnderlineTop = std::max(0, FMetrics.Descent - FLineThickness);
    FStrikeOutTop = -(FMetrics.Ascent * 3 / 10) - (FLineThickness + 1) / 2;
    return;
  }
  EnsureQt();
  const QRawFont& raw = FQt->RawFonts[0];
  if (!raw.isValid()) {
    // No font at all on this machine: keep going with plausible numbers.
    FMetrics.Ascent = (4 * em + 2) / 5;
    FMetrics.Descent = em - FMetrics.Ascent;
    FMetrics.Height = em;
    FMetrics.AveCharWidth = FMetrics.MaxCharWidth = std::max(1, em / 2);
    return;
  }
  FMetrics.Ascent = CeilMetric(raw.ascent());
  FMetrics.Descent = CeilMetric(raw.descent());
  FMetrics.Height = FMetrics.Ascent + FMetrics.Descent;
  FMetrics.InternalLeading = std::max(0, FMetrics.Height - em);
  FMetrics.ExternalLeading = std::max(0, int(std::lround(raw.leading())));
  FMetrics.AveCharWidth = int(std::lround(raw.averageCharWidth()));
  if (FMetrics.AveCharWidth <= 0) FMetrics.AveCharWidth = std::max(1, Advance(u'x'));
  FMetrics.MaxCharWidth = std::max(FMetrics.AveCharWidth, CeilMetric(raw.maxCharWidth()));

  FLineThickness = std::max(1, int(std::lround(raw.lineThickness())));
  FUnderlineTop = std::max(1, int(std::lround(raw.underlinePosition() - FLineThickness / 2.0)));
  if (FUnderlineTop + FLineThickness > FMetrics.Descent) FUnderlineTop = std::max(0, FMetrics.Descent - FLineThickness);
  FStrikeOutTop = -int(std::lround(raw.xHeight() / 2.0 + FLineThickness / 2.0));
  if (FStrikeOutTop >= 0) FStrikeOutTop = -1 - FLineThickness;
}

void TFontFace::EnsureQt() const {
  if (FQtReady) return;
  FQtReady = true;
  EnsureGuiApplication();
  FQt->Font = MakeQFont(ResolveFamily(FName), FEm, FWeight, FItalic);
  FQt->RawFonts.clear();
  FQt->RawFonts.push_back(QRawFont::fromFont(FQt->Font));
  const QRawFont& raw = FQt->RawFonts[0];
  if (raw.isValid()) {
    quint32 glyph = 0;
    QPointF adv;
    if (raw.advancesForGlyphIndexes(&glyph, &adv, 1)) FNotDefAdvance = int(std::lround(adv.x()));
  } else {
    FNotDefAdvance = std::max(1, FEm / 2);
  }
}

bool TFontFace::IsSymbolFace() const {
  if (FSymbol < 0) {
    EnsureQt();
    FSymbol = 0;
    if (FQt->RawFonts[0].isValid()) {
      const QList<QFontDatabase::WritingSystem> ws = QFontDatabase::writingSystems(FQt->RawFonts[0].familyName());
      FSymbol = ws.contains(QFontDatabase::Symbol) && !ws.contains(QFontDatabase::Latin);
    }
  }
  return FSymbol > 0;
}

const QFont& TFontFace::QtFont() const {
  EnsureQt();
  return FQt->Font;
}

int TFontFace::UnderlineTop() const { return FUnderlineTop; }
int TFontFace::StrikeOutTop() const { return FStrikeOutTop; }
int TFontFace::LineThickness() const { return FLineThickness; }

void TFontFace::FillPage(int page) const {
  EnsureQt();
  TPage p(new TGlyphRef[256]);
  const QRawFont& raw = FQt->RawFonts[0];
  const int base = page << 8;
  if (page >= 0xD8 && page <= 0xDF) {
    // Surrogates: a lone high half shows the missing-glyph box, the low half is free.
    for (int i = 0; i < 256; ++i) {
      if (base + i < 0xDC00) p[i] = {FNotDefAdvance, 0, 0};
      else p[i] = {0, -1, 0};
    }
  } else if (!raw.isValid()) {
    for (int i = 0; i < 256; ++i) p[i] = {FNotDefAdvance, -1, 0};
  } else {
    QChar chars[256];
    for (int i = 0; i < 256; ++i) chars[i] = QChar(char16_t(base + i));
    quint32 glyphs[256] = {};
    QPointF advances[256];
    int count = 256;
    raw.glyphIndexesForChars(chars, 256, glyphs, &count);
    if (count != 256) std::fill(std::begin(glyphs), std::end(glyphs), 0u);
    raw.advancesForGlyphIndexes(glyphs, advances, 256);
    for (int i = 0; i < 256; ++i) {
      const int c = base + i;
      if (c < 0x20 || c == 0x7F) p[i] = {0, -1, 0};
      else if (glyphs[i] != 0) p[i] = {int(std::lround(advances[i].x())), 0, glyphs[i]};
      else p[i] = {-1, 0, 0};  // looked up in the fallback faces when first used
    }
  }
  FPages[std::size_t(page)] = std::move(p);
}

int TFontFace::FontIndex(const QRawFont& raw) const {
  for (std::size_t i = 0; i < FQt->RawFonts.size(); ++i)
    if (FQt->RawFonts[i] == raw) return int(i);
  FQt->RawFonts.push_back(raw);
  return int(FQt->RawFonts.size() - 1);
}

void TFontFace::Resolve(TGlyphRef& ref, char32_t cp) const {
  EnsureQt();
  ref = {FNotDefAdvance, FQt->RawFonts[0].isValid() ? 0 : -1, 0};
  if (!FQt->RawFonts[0].isValid()) return;
  // Qt's own font matching picks the fallback face, as it would for a QTextLayout.
  QTextLayout layout(QString::fromUcs4(&cp, 1), FQt->Font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  if (runs.isEmpty() || runs[0].glyphIndexes().isEmpty()) return;
  const QRawFont raw = runs[0].rawFont();
  const quint32 glyph = runs[0].glyphIndexes()[0];
  if (glyph == 0 || !raw.isValid()) return;
  QPointF adv;
  if (!raw.advancesForGlyphIndexes(&glyph, &adv, 1)) return;
  ref = {int(std::lround(adv.x())), FontIndex(raw), glyph};
}

int TFontFace::CodePointAdvance(char32_t cp) const {
  if (cp <= 0xFFFF) return Advance(char16_t(cp));
  if (FFixed) return FFixedAdvance;
  auto it = FSupplementary.find(cp);
  if (it == FSupplementary.end()) {
    TGlyphRef r;
    Resolve(r, cp);
    it = FSupplementary.emplace(cp, r).first;
  }
  return it->second.Advance;
}

void TFontFace::Advances(const char16_t* s, int n, int* out) const {
  if (FFixed) {
    // Every unit but the low half of a pair (or a lone low half) is one fixed advance.
    for (int i = 0; i < n; ++i) out[i] = IsLowSurrogate(s[i]) ? 0 : FFixedAdvance;
    return;
  }
  for (int i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
      out[i] = CodePointAdvance(CombineSurrogates(c, s[i + 1]));
      out[++i] = 0;
    } else {
      out[i] = Ref(c).Advance;
    }
  }
}

std::int64_t TFontFace::Width(const char16_t* s, int n) const {
  if (FFixed) {
    // Every unit but the low half of a pair is one fixed advance.
    std::int64_t units = n;
    for (int i = 0; i < n; ++i)
      if (IsLowSurrogate(s[i])) --units;
    return units * FFixedAdvance;
  }
  return WidthImpl(
      s, n, [this](char16_t c) { return Ref(c).Advance; }, [this](char32_t cp) { return CodePointAdvance(cp); });
}

int TFontFace::Fit(const char16_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const {
  return FitImpl(
      s, n, maxWidth, extra, fitCount, partial, [this](char16_t c) { return Advance(c); },
      [this](char32_t cp) { return CodePointAdvance(cp); });
}

std::int32_t* TFontFace::Table1252() const {
  if (!F1252) {
    F1252 = std::make_unique<std::int32_t[]>(256);
    std::fill_n(F1252.get(), 256, -1);
  }
  return F1252.get();
}

// Looked up on first use: a byte such as 0x80 stands for a character on a page of its own,
// and filling that page for every face would cost more than most pages' text.
int TFontFace::Advance1252(std::uint8_t b) const {
  std::int32_t& a = Table1252()[b];
  if (a < 0) a = Advance(Cp1252Char(b));
  return a;
}

std::int64_t TFontFace::Width1252(const std::uint8_t* s, int n) const {
  if (FFixed) return std::int64_t(n) * FFixedAdvance;
  const std::int32_t* adv = Table1252();
  std::int64_t w = 0;
  for (int i = 0; i < n; ++i) {
    const std::int32_t a = adv[s[i]];
    w += a >= 0 ? a : Advance1252(s[i]);
  }
  return w;
}

int TFontFace::Fit1252(const std::uint8_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const {
  const std::int32_t* adv = FFixed ? nullptr : Table1252();
  std::int64_t total = 0;
  int fit = 0;
  for (; fit < n; ++fit) {
    std::int64_t a = FFixedAdvance;
    if (adv) a = adv[s[fit]] >= 0 ? adv[s[fit]] : Advance1252(s[fit]);
    const std::int64_t next = total + a + extra;
    if (next > maxWidth) break;
    if (partial) partial[fit] = ClampWidth(next);
    total = next;
  }
  if (fitCount) *fitCount = fit;
  return ClampWidth(total);
}

void TFontFace::Glyphs(const char16_t* s, int n, TGlyphRef* out) const {
  for (int i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
      const char32_t cp = CombineSurrogates(c, s[i + 1]);
      auto it = FSupplementary.find(cp);
      if (it == FSupplementary.end()) {
        TGlyphRef r;
        Resolve(r, cp);
        it = FSupplementary.emplace(cp, r).first;
      }
      out[i] = it->second;
      out[++i] = {0, -1, 0};
    } else {
      out[i] = Ref(c);
    }
  }
}

// ---- TQtFont ----

TQtFont::TQtFont(const TFontSpec& spec, std::shared_ptr<TFontFace> face) : FSpec(spec), FFace(std::move(face)) {
  FMetrics = FFace->Metrics();
  // The realised character set: the requested one, except that "default" realises as ANSI,
  // or as symbol for a symbol face.
  if (spec.CharSet != DEFAULT_CHARSET) FMetrics.CharSet = spec.CharSet;
  else if (!FFace->Fixed() && FFace->IsSymbolFace()) FMetrics.CharSet = SYMBOL_CHARSET;
  else FMetrics.CharSet = ANSI_CHARSET;
}

int TQtFont::TextWidth(const char16_t* s, int n) const {
  if (!s || n <= 0) return 0;
  return ClampWidth(FFace->Width(s, n));
}

void TQtFont::CharAdvances(const char16_t* s, int n, int* out) const {
  if (s && n > 0) FFace->Advances(s, n, out);
}

int TQtFont::TextWidth1252(const std::uint8_t* s, int n) const {
  if (!s || n <= 0) return 0;
  return ClampWidth(FFace->Width1252(s, n));
}

int TQtFont::FitText1252(const std::uint8_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const {
  if (!s || n <= 0) {
    if (fitCount) *fitCount = 0;
    return 0;
  }
  return FFace->Fit1252(s, n, maxWidth, extra, fitCount, partial);
}

int TQtFont::FitText(const char16_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const {
  if (!s || n <= 0) {
    if (fitCount) *fitCount = 0;
    return 0;
  }
  return FFace->Fit(s, n, maxWidth, extra, fitCount, partial);
}

// ---- TPlatformFont ----

std::shared_ptr<TPlatformFont> TPlatformFont::Create(const TFontSpec& spec) {
  // Without a GUI application (a plain QCoreApplication already runs) Qt has no fonts: fall
  // back to fixed metrics rather than fail.
  const bool fixed = GFixedMetrics || !EnsureGuiApplication();
  const int weight = NormalWeight(spec.Weight);
  int em;
  if (spec.Height == 0) em = 16;
  else if (spec.Height < 0) em = ClampEm(-std::int64_t(spec.Height));
  else if (fixed) em = ClampEm(spec.Height);
  else em = EmForCellHeight(spec.Name, std::min(spec.Height, MaxFontEmHeight * 2), weight, spec.Italic);
  return std::make_shared<TQtFont>(spec, GetFace(spec.Name, em, weight, spec.Italic, fixed));
}

int TPlatformFont::CodePointWidth(char32_t cp) const { return cp <= 0xFFFF ? CharWidth(char16_t(cp)) : CharWidth(0xFFFD); }

int TPlatformFont::TextWidth(const char16_t* s, int n) const {
  if (!s || n <= 0) return 0;
  return ClampWidth(WidthImpl(
      s, n, [this](char16_t c) { return CharWidth(c); }, [this](char32_t cp) { return CodePointWidth(cp); }));
}

void TPlatformFont::CharAdvances(const char16_t* s, int n, int* out) const {
  for (int i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
      out[i] = CodePointWidth(CombineSurrogates(c, s[i + 1]));
      out[++i] = 0;
    } else {
      out[i] = CharWidth(c);
    }
  }
}

int TPlatformFont::FitText(const char16_t* s, int n, int maxWidth, int extra, int* fitCount, int* partial) const {
  if (!s || n <= 0) {
    if (fitCount) *fitCount = 0;
    return 0;
  }
  return FitImpl(
      s, n, maxWidth, extra, fitCount, partial, [this](char16_t c) { return CharWidth(c); },
      [this](char32_t cp) { return CodePointWidth(cp); });
}

char16_t Cp1252Char(std::uint8_t b) {
  static const std::u16string table = [] {
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[std::size_t(i)] = char(i);
    return MultiByteToWide(1252, all);
  }();
  return table.size() == 256 ? table[b] : char16_t(b);
}

int TPlatformFont::TextWidth1252(const std::uint8_t* s, int n) const {
  if (!s || n <= 0) return 0;
  std::int64_t w = 0;
  char16_t piece[256];
  for (int done = 0; done < n;) {
    const int k = std::min(n - done, 256);
    for (int i = 0; i < k; ++i) piece[i] = Cp1252Char(s[done + i]);
    w += TextWidth(piece, k);
    done += k;
  }
  return ClampWidth(w);
}

int TPlatformFont::FitText1252(const std::uint8_t* s, int n, int maxWidth, int extra, int* fitCount,
                               int* partial) const {
  // No byte is half of a pair, and an extent does not depend on neighbours: fitting piece
  // after piece with the room left gives what fitting the whole would.
  std::int64_t total = 0;
  int fit = 0;
  char16_t piece[256];
  while (fit < n) {
    const int k = std::min(n - fit, 256);
    for (int i = 0; i < k; ++i) piece[i] = Cp1252Char(s[fit + i]);
    int fitted = 0;
    const int room = ClampWidth(std::int64_t(maxWidth) - total);
    const int w = FitText(piece, k, room, extra, &fitted, partial ? partial + fit : nullptr);
    if (partial)
      for (int i = 0; i < fitted; ++i) partial[fit + i] = ClampWidth(partial[fit + i] + total);
    total += w;
    fit += fitted;
    if (fitted < k) break;
  }
  if (fitCount) *fitCount = fit;
  return ClampWidth(total);
}

bool FontFaceInstalled(std::string_view name) {
  if (name.empty()) return false;
  if (MetricTwin(name)) return true;
  if (!EnsureGuiApplication()) return false;
  static std::map<std::string, bool> cache;
  const std::string key = Lower(name);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  const bool installed = QFontDatabase::hasFamily(QString::fromUtf8(name.data(), qsizetype(name.size())));
  if (cache.size() < 4096) cache.emplace(key, installed);
  return installed;
}

void SetFixedFontMetrics(bool on) { GFixedMetrics = on; }
bool FixedFontMetrics() { return GFixedMetrics; }

int ScreenPixelsPerInch() {
  static int cached = 0;
  if (cached) return cached;
  if (!qGuiApp) return 96;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (QGuiApplication::platformName() == QLatin1String("offscreen") || !screen) {
    cached = 96;
  } else {
    const int dpi = int(std::lround(screen->logicalDotsPerInch()));
    cached = dpi > 0 ? dpi : 96;
  }
  return cached;
}

}  // namespace korva
