// Resident memory of a loaded page, per byte of its HTML: generates a documentation-like page
// (about 10 MB by default; a number gives the size in MB; --samples takes the sample pages'
// text, repeated, instead of generated text), builds and lays it out at
// 800 px with the program's real fonts, and reads VmRSS and VmHWM from /proc/self/status.
//
// The baseline is taken after Qt, the fonts and the engine's code have been brought in by a
// small page, and before the large page's text is made, so the growth counts everything the
// loaded page holds, its source text included if anything keeps it. Memory the allocator
// keeps after frees shows in VmRSS too, so the figure is also given after malloc_trim. Last, the
// page is loaded once more and closed, to show what a closed page leaves resident.
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "html/HtmlBuilder.h"
#include "layout/LayoutHost.h"
#include "layout/SectionList.h"
#include "page_bench.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/QtBridge.h"

using namespace korva;

namespace {

constexpr int PageWidth = 800;
constexpr double Goal = 3.0;

// A field of /proc/self/status in bytes (the kernel gives kB); -1 when it cannot be read.
long long StatusBytes(const char* field) {
  std::ifstream f("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(field);
  while (std::getline(f, line)) {
    if (line.compare(0, n, field) != 0 || line.size() <= n || line[n] != ':') continue;
    long long kb = 0;
    for (std::size_t i = n + 1; i < line.size(); ++i)
      if (line[i] >= '0' && line[i] <= '9') kb = kb * 10 + (line[i] - '0');
      else if (kb) break;
    return kb * 1024;
  }
  return -1;
}

struct TLoadedPage {
  THeadlessHost Host;
  TSectionList Doc{&Host};
  TDocumentBuilder Builder{Doc};
  int Height = 0;
  double BuildMs = 0, LayoutMs = 0;

  TLoadedPage(std::string html, TCanvas& measure) {
    Host.ShowImages = false;
    Doc.ApplyDefaults(TDocumentDefaults{});
    auto t0 = std::chrono::steady_clock::now();
    BuildHtmlDocument(Doc, std::move(html), Builder);
    auto t1 = std::chrono::steady_clock::now();
    int scrollWidth = 0;
    Height = Doc.DoLayout(measure, PageWidth, 0, scrollWidth);
    auto t2 = std::chrono::steady_clock::now();
    BuildMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
    LayoutMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
  }
};

}  // namespace

int main(int argc, char** argv) {
  double megabytes = 10;
  bool samples = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--samples") == 0) {
      samples = true;
      continue;
    }
    char* end = nullptr;
    megabytes = std::strtod(argv[i], &end);  // digits and a point only; no locale is set here
    if (!end || *end || !(megabytes > 0 && megabytes <= 1024)) {
      std::fprintf(stderr, "usage: bench_page_memory [--samples] [MB (default 10)]\n"
                           "  --samples: the sample pages' text repeated, instead of a generated page\n");
      return 2;
    }
  }
  std::vector<pagebench::TSamplePage> samplePages;
  std::string sampleCss;
  if (samples) {
    samplePages = pagebench::SamplePages(KORVA_SAMPLES_DIR);
    sampleCss = pagebench::ReadFile(std::filesystem::path(KORVA_SAMPLES_DIR) / "korva.css");
    if (samplePages.empty()) {
      std::fprintf(stderr, "bench_page_memory: no sample pages in %s\n", KORVA_SAMPLES_DIR);
      return 1;
    }
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  EnsureGuiApplication();
  std::unique_ptr<TBitmap> probe = TBitmap::Create(1, 1, 32);
  std::unique_ptr<TCanvas> measure = CreateBitmapCanvas(*probe);

  // Brings in the fonts (with their tables), Qt's font machinery and the engine's statics.
  { TLoadedPage warm(pagebench::DocumentationPage(64u << 10), *measure); }
  malloc_trim(0);

  const long long before = StatusBytes("VmRSS");
  const std::size_t target = std::size_t(megabytes * (1 << 20));
  std::string html = samples ? pagebench::SamplesPage(samplePages, sampleCss, target)
                             : pagebench::DocumentationPage(target);
  const double bytes = double(html.size());
  auto page = std::make_unique<TLoadedPage>(std::move(html), *measure);
  const long long after = StatusBytes("VmRSS");
  malloc_trim(0);
  const long long trimmed = StatusBytes("VmRSS");
  const long long peak = StatusBytes("VmHWM");
  if (before < 0 || after < 0 || peak < 0) {
    std::fprintf(stderr, "bench_page_memory: cannot read /proc/self/status\n");
    return 1;
  }

  const double perByte = double(after - before) / bytes;
  std::printf("page: %.0f bytes of HTML, laid out %d px high at %d px (build %.0f ms, layout %.0f ms)\n", bytes,
              page->Height, PageWidth, page->BuildMs, page->LayoutMs);
  std::printf("VmRSS before %.1f MB, loaded %.1f MB, after malloc_trim %.1f MB; VmHWM %.1f MB\n", before / 1048576.0,
              after / 1048576.0, trimmed / 1048576.0, peak / 1048576.0);
  std::printf("resident bytes per HTML byte: %.2f (after malloc_trim %.2f, peak %.2f); goal at most %.0f: %s\n",
              perByte, double(trimmed - before) / bytes, double(peak - before) / bytes, Goal,
              perByte <= Goal ? "met" : "NOT met");
  // What closing the page leaves behind: loaded again from scratch (the allocator's trim above
  // is undone), then closed.
  page.reset();
  page = std::make_unique<TLoadedPage>(samples ? pagebench::SamplesPage(samplePages, sampleCss, target)
                                               : pagebench::DocumentationPage(target),
                                       *measure);
  page.reset();
  const long long closed = StatusBytes("VmRSS");
  std::printf("after loading it again and closing it: VmRSS %.1f MB, %.1f MB above the baseline\n",
              closed / 1048576.0, (closed - before) / 1048576.0);
  return 0;
}
