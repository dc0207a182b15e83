// Our GIF and PNG decoders side by side with giflib and libpng on the same files, each producing
// 24-bit pixels (GIF: every frame composed into a strip, as we do), and the colour reduction of
// a one-megapixel picture. Prints the time ratios at the end.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "images/ColorReduction.h"
#include "images/Gif.h"
#include "images/PngBitmap.h"

using namespace korva;

namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Files(const std::string& ext) {
  std::vector<std::string> out;
  for (std::string dir : {std::string(KORVA_SAMPLES_DIR) + "/../tests/images/data/bench", std::string(KORVA_SAMPLES_DIR)}) {
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      if (e.path().extension() == ext) out.push_back(e.path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// ---- GIF --------------------------------------------------------------------------------

void OurGif(benchmark::State& state, const std::vector<std::uint8_t>& data) {
  for (auto _ : state) {
    TGif gif;
    gif.ReadGif(data.data(), data.size());
    std::unique_ptr<TBitmap> mask;
    std::unique_ptr<TBitmap> strip = gif.BuildStrip(&mask);
    benchmark::DoNotOptimize(strip->Bits());
  }
}

struct TMemReader {
  const std::vector<std::uint8_t>* Data;
  std::size_t Pos;
};

int ReadGifBytes(GifFileType* gif, GifByteType* out, int n) {
  auto* r = static_cast<TMemReader*>(gif->UserData);
  std::size_t k = std::min<std::size_t>(std::size_t(n), r->Data->size() - r->Pos);
  std::memcpy(out, r->Data->data() + r->Pos, k);
  r->Pos += k;
  return int(k);
}

// giflib decodes, and the same composition as ours builds the 24-bit strip and mask.
void GiflibGif(benchmark::State& state, const std::vector<std::uint8_t>& data) {
  for (auto _ : state) {
    TMemReader reader{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadGifBytes, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
      state.SkipWithError("giflib failed");
      if (gif) DGifCloseFile(gif, &error);
      return;
    }
    const int sw = gif->SWidth, sh = gif->SHeight, n = gif->ImageCount;
    bool transparent = false;
    std::vector<int> ti(std::size_t(n), -1);
    for (int k = 0; k < n; ++k) {
      GraphicsControlBlock gcb;
      if (DGifSavedExtensionToGCB(gif, k, &gcb) == GIF_OK && gcb.TransparentColor >= 0) {
        ti[std::size_t(k)] = gcb.TransparentColor;
        transparent = true;
      }
    }
    std::vector<std::uint8_t> strip(std::size_t(sw) * n * sh * 3);
    std::vector<std::uint8_t> canvas(std::size_t(sw) * sh * 3, 0);
    std::vector<std::uint8_t> mask(transparent ? std::size_t(sw) * n * sh : 0), maskCanvas(transparent ? std::size_t(sw) * sh : 0, 255);
    for (int k = 0; k < n; ++k) {
      const SavedImage& s = gif->SavedImages[k];
      const ColorMapObject* cmap = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
      const int l = s.ImageDesc.Left, t = s.ImageDesc.Top;
      const int w = std::min(s.ImageDesc.Width, sw - l), h = std::min(s.ImageDesc.Height, sh - t);
      for (int y = 0; y < h; ++y) {
        const GifByteType* src = s.RasterBits + std::size_t(y) * s.ImageDesc.Width;
        std::uint8_t* dst = canvas.data() + (std::size_t(t + y) * sw + l) * 3;
        for (int x = 0; x < w; ++x, dst += 3) {
          int i = src[x];
          if (i == ti[std::size_t(k)]) continue;
          const GifColorType& c = cmap->Colors[i < cmap->ColorCount ? i : 0];
          dst[0] = c.Blue;
          dst[1] = c.Green;
          dst[2] = c.Red;
          if (transparent) maskCanvas[std::size_t(t + y) * sw + l + x] = 0;
        }
      }
      for (int y = 0; y < sh; ++y)
        std::memcpy(strip.data() + (std::size_t(y) * sw * n + std::size_t(k) * sw) * 3,
                    canvas.data() + std::size_t(y) * sw * 3, std::size_t(sw) * 3);
      if (transparent)
        for (int y = 0; y < sh; ++y)
          std::memcpy(mask.data() + std::size_t(y) * sw * n + std::size_t(k) * sw, maskCanvas.data() + std::size_t(y) * sw,
                      std::size_t(sw));
    }
    benchmark::DoNotOptimize(strip.data());
    DGifCloseFile(gif, &error);
  }
}

// ---- PNG --------------------------------------------------------------------------------

void OurPng(benchmark::State& state, const std::vector<std::uint8_t>& data) {
  for (auto _ : state) {
    TPngBitmap png;
    png.LoadFromMemory(data.data(), data.size());
    if (png.Bitmap()->BitsPerPixel() != 24) {
      std::unique_ptr<TBitmap> rgb = png.Bitmap()->ConvertTo(24);
      benchmark::DoNotOptimize(rgb->Bits());
    } else {
      benchmark::DoNotOptimize(png.Bitmap()->Bits());
    }
  }
}

void ReadPngBytes(png_structp png, png_bytep out, png_size_t n) {
  auto* r = static_cast<TMemReader*>(png_get_io_ptr(png));
  if (r->Pos + n > r->Data->size()) png_error(png, "read past end");
  std::memcpy(out, r->Data->data() + r->Pos, n);
  r->Pos += n;
}

void LibpngPng(benchmark::State& state, const std::vector<std::uint8_t>& data) {
  for (auto _ : state) {
    TMemReader reader{&data, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_read_struct(&png, &info, nullptr);
      state.SkipWithError("libpng failed");
      return;
    }
    png_set_read_fn(png, &reader, ReadPngBytes);
    png_read_info(png, info);
    int type = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    const std::size_t stride = (w * 3 + 3) & ~std::size_t(3);
    pixels.resize(stride * h);
    for (std::size_t y = 0; y < h; ++y) rows.push_back(pixels.data() + y * stride);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(pixels.data());
  }
}

// ---- colour reduction -------------------------------------------------------------------

std::unique_ptr<TBitmap> OneMegapixel() {
  std::vector<std::uint8_t> data = ReadFile(std::string(KORVA_SAMPLES_DIR) + "/../tests/images/data/bench/photo.png");
  TPngBitmap png;
  png.LoadFromMemory(data.data(), data.size());
  std::unique_ptr<TBitmap> big = TBitmap::Create(1000, 1000, 24);
  StretchBlt(*big, 0, 0, 1000, 1000, *png.Bitmap(), 0, 0, png.Bitmap()->Width(), png.Bitmap()->Height());
  return big;
}

void Reduce(benchmark::State& state, int paletteMode) {
  static std::unique_ptr<TBitmap> picture = OneMegapixel();
  for (auto _ : state) {
    std::unique_ptr<TBitmap> out = ReduceColors(*picture, paletteMode, dmFloydSteinberg);
    benchmark::DoNotOptimize(out->Bits());
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}

// Collects each run's time to print the ratios at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> Times;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.run_type == Run::RT_Iteration) Times[r.benchmark_name()] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
};

std::map<std::string, std::vector<std::uint8_t>> Inputs;

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, std::string>> pairs;  // (file name, kind)
  for (const std::string& f : Files(".gif")) {
    std::string name = std::filesystem::path(f).filename().string();
    Inputs["gif:" + name] = ReadFile(f);
    const std::vector<std::uint8_t>& d = Inputs["gif:" + name];
    benchmark::RegisterBenchmark(("GIF/ours/" + name).c_str(), [&d](benchmark::State& s) { OurGif(s, d); });
    benchmark::RegisterBenchmark(("GIF/giflib/" + name).c_str(), [&d](benchmark::State& s) { GiflibGif(s, d); });
    pairs.push_back({name, "GIF"});
  }
  for (const std::string& f : Files(".png")) {
    std::string name = std::filesystem::path(f).filename().string();
    Inputs["png:" + name] = ReadFile(f);
    const std::vector<std::uint8_t>& d = Inputs["png:" + name];
    benchmark::RegisterBenchmark(("PNG/ours/" + name).c_str(), [&d](benchmark::State& s) { OurPng(s, d); });
    benchmark::RegisterBenchmark(("PNG/libpng/" + name).c_str(), [&d](benchmark::State& s) { LibpngPng(s, d); });
    pairs.push_back({name, "PNG"});
  }
  benchmark::RegisterBenchmark("ReduceColors/1MP/shared-palette", [](benchmark::State& s) { Reduce(s, pmShared); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReduceColors/1MP/stock-palette", [](benchmark::State& s) { Reduce(s, pmStockDefault); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReduceColors/1MP/web-palette", [](benchmark::State& s) { Reduce(s, pmWeb); })
      ->Unit(benchmark::kMillisecond);

  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\n%-5s %-28s %12s %12s %8s\n", "", "file", "ours (us)", "peer (us)", "ratio");
  std::map<std::string, std::pair<double, double>> totals;
  for (const auto& [name, kind] : pairs) {
    std::string peer = kind == "GIF" ? "giflib" : "libpng";
    auto a = reporter.Times.find(kind + "/ours/" + name), b = reporter.Times.find(kind + "/" + peer + "/" + name);
    if (a == reporter.Times.end() || b == reporter.Times.end()) continue;
    double ours = a->second / 1000.0, theirs = b->second / 1000.0;  // nanoseconds to microseconds
    std::printf("%-5s %-28s %12.1f %12.1f %8.2f\n", kind.c_str(), name.c_str(), ours, theirs, ours / theirs);
    totals[kind].first += ours;
    totals[kind].second += theirs;
  }
  for (const auto& [kind, t] : totals)
    std::printf("%-5s %-28s %12.1f %12.1f %8.2f\n", kind.c_str(), "(all files)", t.first, t.second, t.first / t.second);
  benchmark::Shutdown();
  return 0;
}
