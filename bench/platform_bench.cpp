// Block transfers on one-megapixel bitmaps: the plain copies the canvas does on every paint,
// the stretched copies of images, and the slower general paths for comparison.
#include <benchmark/benchmark.h>

#include "platform/Bitmap.h"

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

}  // namespace
}  // namespace korva

BENCHMARK_MAIN();
