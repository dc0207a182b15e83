// Block transfers on one-megapixel bitmaps: the plain copies the canvas does on every paint,
// the stretched copies of images, and the slower general paths for comparison. Text
// measurement: nanoseconds per character through the fonts' cached advances, against a call
// into Qt's font system, and line breaking over paragraphs of growing length.
#include <benchmark/benchmark.h>

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Font.h"
#include "platform/QtBridge.h"
#include "platform/RecordingCanvas.h"

namespace korva {
namespace {

constexpr int Side = 1024;

std::unique_ptr<TBitmap> Pattern(int w, int h, int bpp) {
  auto b = TBitmap::Create(w, h, bpp);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b->SetPixel(x, y, bpp <= 8 ? b->ColorTable()[std::size_t((x ^ y) % b->ColorTable().size())]
                                 : RGBColor(x * 7, y * 3, x ^ y));
  return b;
}

void BitBltCopy(benchmark::State& state, int srcBpp, int dstBpp, TRop rop) {
  auto src = Pattern(Side, Side, srcBpp);
  auto dst = TBitmap::Create(Side, Side, dstBpp);
  for (auto _ : state) {
    BitBlt(*dst, 0, 0, Side, Side, *src, 0, 0, rop);
    benchmark::DoNotOptimize(dst->Bits());
  }
  state.SetItemsProcessed(state.iterations() * Side * Side);
}

void Stretch(benchmark::State& state, int srcW, int srcH, int bpp, TStretchMode mode, bool mirror) {
  auto src = Pattern(srcW, srcH, bpp);
  auto dst = TBitmap::Create(Side, Side, bpp);
  for (auto _ : state) {
    if (mirror)
      StretchBlt(*dst, Side, 0, -Side, Side, *src, 0, 0, srcW, srcH, TRop::SrcCopy, mode);
    else
      StretchBlt(*dst, 0, 0, Side, Side, *src, 0, 0, srcW, srcH, TRop::SrcCopy, mode);
    benchmark::DoNotOptimize(dst->Bits());
  }
  state.SetItemsProcessed(state.iterations() * Side * Side);
}

void Masked(benchmark::State& state) {
  auto image = Pattern(Side / 2, Side / 2, 32);
  auto mask = TBitmap::Create(Side / 2, Side / 2, 1);
  for (int y = 0; y < Side / 2; ++y)
    for (int x = 0; x < Side / 2; ++x) mask->SetIndex(x, y, (x / 8 + y / 8) & 1);
  auto dst = TBitmap::Create(Side, Side, 32);
  for (auto _ : state) {
    MaskedStretchBlt(*dst, 0, 0, Side, Side, *image, *mask, 0, 0, Side / 2, Side / 2);
    benchmark::DoNotOptimize(dst->Bits());
  }
  state.SetItemsProcessed(state.iterations() * Side * Side);
}

BENCHMARK_CAPTURE(BitBltCopy, copy_32_to_32, 32, 32, TRop::SrcCopy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BitBltCopy, copy_24_to_24, 24, 24, TRop::SrcCopy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BitBltCopy, copy_24_to_32, 24, 32, TRop::SrcCopy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BitBltCopy, copy_8_to_32, 8, 32, TRop::SrcCopy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BitBltCopy, copy_32_to_8, 32, 8, TRop::SrcCopy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BitBltCopy, and_32_to_32, 32, 32, TRop::SrcAnd)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BitBltCopy, mono_and_to_32, 1, 32, TRop::SrcAnd)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, enlarge_32_colour_on_colour, 700, 600, 32, TStretchMode::ColorOnColor, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, shrink_32_colour_on_colour, 1500, 1400, 32, TStretchMode::ColorOnColor, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, mirror_32_colour_on_colour, 1024, 1024, 32, TStretchMode::ColorOnColor, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, enlarge_24_colour_on_colour, 700, 600, 24, TStretchMode::ColorOnColor, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, enlarge_8_colour_on_colour, 700, 600, 8, TStretchMode::ColorOnColor, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, shrink_32_black_on_white, 1500, 1400, 32, TStretchMode::BlackOnWhite, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, enlarge_32_halftone, 700, 600, 32, TStretchMode::Halftone, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, shrink_32_halftone, 1500, 1400, 32, TStretchMode::Halftone, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Masked)->Unit(benchmark::kMillisecond);

// ---- text measurement ----

// Prose-like text: words of 1 to 10 letters and a space after each, the same every run.
std::u16string Paragraph(std::size_t chars) {
  std::u16string s;
  unsigned seed = 12345;
  while (s.size() < chars) {
    seed = seed * 1103515245u + 12345u;
    const unsigned len = 1 + (seed >> 16) % 10;
    for (unsigned i = 0; i < len; ++i) s += char16_t(u'a' + (seed >> (i + 3)) % 26);
    s += u' ';
  }
  s.resize(chars);
  return s;
}

TPlatformFontPtr BenchFont() {
  EnsureGuiApplication();
  TFontSpec spec;
  spec.Name = "Times New Roman";
  spec.Height = -16;
  return TPlatformFont::Create(spec);
}

// Seconds per character, shown as ns.
void PerChar(benchmark::State& state, std::size_t chars) {
  state.counters["per_char"] =
      benchmark::Counter(double(chars), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A font that answers one character at a time (a virtual call per character), from the real
// font's widths: how the canvas measured before fonts answered for whole runs.
class TPerCharFont final : public TPlatformFont {
 public:
  explicit TPerCharFont(TPlatformFontPtr inner) : FInner(std::move(inner)) {}
  const TFontSpec& Spec() const override { return FInner->Spec(); }
  const TTextMetric& Metrics() const override { return FInner->Metrics(); }
  int CharWidth(char16_t c) const override { return FInner->CharWidth(c); }
  int CodePointWidth(char32_t cp) const override { return FInner->CodePointWidth(cp); }

 private:
  TPlatformFontPtr FInner;
};

// The font's own sum over its cached advances.
void MeasureFontWidth(benchmark::State& state) {
  const auto font = BenchFont();
  const std::u16string text = Paragraph(4096);
  for (auto _ : state) benchmark::DoNotOptimize(font->TextWidth(text));
  PerChar(state, text.size());
}

// What layout calls: the canvas extent with character extra and justification (a run at a
// time from the font), and the same through a font measured character by character.
void MeasureCanvasExtent(benchmark::State& state, bool perCharFont, bool justified) {
  const auto real = BenchFont();
  const TPlatformFontPtr font = perCharFont ? std::make_shared<TPerCharFont>(real) : real;
  const std::u16string text = Paragraph(4096);
  TRecordingCanvas canvas;
  canvas.SetFont(font);
  canvas.SetTextCharacterExtra(1);
  if (justified) canvas.SetTextJustification(300, 1000);
  for (auto _ : state) benchmark::DoNotOptimize(canvas.TextExtent(text));
  PerChar(state, text.size());
}

// A call into Qt's font system for every word (the layout cost we avoid), and one for the
// whole paragraph.
void MeasureQFontMetrics(benchmark::State& state, bool perWord) {
  const auto font = BenchFont();
  QFont qfont = ToQFont(*font);
  qfont.setKerning(false);
  const QFontMetrics metrics(qfont);
  const std::u16string text = Paragraph(4096);
  const QString whole = QString::fromUtf16(text.data(), qsizetype(text.size()));
  const QStringList words = whole.split(u' ');
  for (auto _ : state) {
    int w = 0;
    if (perWord) {
      for (const QString& word : words) w += metrics.horizontalAdvance(word) + metrics.horizontalAdvance(u' ');
    } else {
      w = metrics.horizontalAdvance(whole);
    }
    benchmark::DoNotOptimize(w);
  }
  PerChar(state, text.size());
}

// Line breaking a paragraph of range(0) characters into lines of 600 pixels: each line fits
// the rest of the paragraph, partial widths wanted. Linear: the cost per character stays flat
// as the paragraph grows.
void BreakLines(benchmark::State& state, bool justified) {
  const auto font = BenchFont();
  const std::u16string text = Paragraph(std::size_t(state.range(0)));
  std::vector<int> partial(text.size());
  TRecordingCanvas canvas;
  canvas.SetFont(font);
  for (auto _ : state) {
    int lines = 0;
    for (int at = 0, n = int(text.size()); at < n; ++lines) {
      if (justified) canvas.SetTextJustification(40, 12);
      int fit = 0;
      canvas.TextFit(text.data() + at, n - at, 600, &fit, partial.data());
      at += fit > 0 ? fit : 1;
    }
    benchmark::DoNotOptimize(lines);
  }
  PerChar(state, text.size());
}

BENCHMARK(MeasureFontWidth);
BENCHMARK_CAPTURE(MeasureCanvasExtent, cached_advances, false, false);
BENCHMARK_CAPTURE(MeasureCanvasExtent, cached_advances_justified, false, true);
BENCHMARK_CAPTURE(MeasureCanvasExtent, virtual_call_per_char, true, false);
BENCHMARK_CAPTURE(MeasureQFontMetrics, qfontmetrics_per_word, true);
BENCHMARK_CAPTURE(MeasureQFontMetrics, qfontmetrics_whole_paragraph, false);
BENCHMARK_CAPTURE(BreakLines, plain, false)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK_CAPTURE(BreakLines, justified, true)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace
}  // namespace korva

BENCHMARK_MAIN();
