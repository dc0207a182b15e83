// From LoadStream to the end of the first paint, as a page switch costs it: each sample page
// (pictures and style sheets read from beside it through the viewer's image cache), and a
// generated page of about 1 MB. The counter "formats" is the number of layout passes per
// switch: a page switch should cost one (three only for a page whose height ends within a
// scroll bar's width of the window's bottom), and one paint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "viewer/PageViewer.h"
#include "viewer/ViewerWidgets.h"

using namespace korva;

namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TPageViewer& Viewer() {
  static TPageViewer* v = [] {
    auto* p = new TPageViewer;
    p->resize(800, 600);
    p->show();
    QApplication::processEvents();
    return p;
  }();
  return *v;
}

// One page switch: load, then paint the panel at once.
void Switch(benchmark::State& state, const std::string& page, const std::string& reference) {
  TPageViewer& v = Viewer();
  v.LoadStream(page, reference);  // the pictures come into the cache
  const int formats = v.FormatCount();
  const int paints = v.PaintCount();
  for (auto _ : state) {
    v.LoadStream(page, reference);
    v.PaintPanel()->repaint();
    // The old page's widgets go when the event loop next runs, as it does between switches.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  state.counters["formats"] = double(v.FormatCount() - formats) / double(state.iterations());
  state.counters["paints"] = double(v.PaintCount() - paints) / double(state.iterations());
  state.counters["height"] = v.DocHeight();
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(page.size()));
}

// About `bytes` of varied markup: headings, paragraphs with links and inline styles, lists,
// small tables and preformatted blocks.
std::string GeneratedPage(std::size_t bytes) {
  std::string s = "<html><head><title>Generated</title><style>p.note{color:#336;margin-left:2em} "
                  "td{padding:2px}</style></head><body>";
  for (int i = 0; s.size() < bytes; ++i) {
    const std::string n = std::to_string(i);
    s += "<h2><a name=\"s" + n + "\">Section " + n + "</a></h2>";
    s += "<p>Paragraph " + n + " has <b>bold</b>, <i>italic</i> and <a href=\"#s" + n +
         "\">a link to itself</a> among words enough to wrap over two or three lines at the usual "
         "width of the content pane, which is what long reference pages look like.</p>";
    s += "<p class=note>A note with <code>kvFunction" + n + "()</code> in it.</p>";
    if (i % 5 == 0) s += "<ul><li>one item</li><li>another item with more words</li><li>a third</li></ul>";
    if (i % 7 == 0)
      s += "<table border=1><tr><th>Name</th><th>Meaning</th></tr><tr><td>KV_" + n +
           "</td><td>a value of the enumeration</td></tr></table>";
    if (i % 11 == 0) s += "<pre>int kv" + n + " = 0;\n  call(kv" + n + ");</pre>";
  }
  return s + "</body></html>";
}

void RegisterSamples() {
  const std::string dir = KORVA_SAMPLES_DIR;
  std::vector<std::string> pages;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().extension() == ".html") pages.push_back(e.path().filename().string());
  std::sort(pages.begin(), pages.end());
  for (const std::string& name : pages) {
    const std::string file = dir + "/" + name;
    benchmark::RegisterBenchmark(("BM_SwitchTo/" + name).c_str(), [file](benchmark::State& state) {
      Switch(state, ReadFile(file), file);
    })->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("BM_SwitchTo/generated_1MB", [](benchmark::State& state) {
    static const std::string page = GeneratedPage(1 << 20);
    Switch(state, page, "");
  })->Unit(benchmark::kMillisecond);
  // Find in a 2 MB page: every match found and highlighted, the first made current and the
  // view repainted; then copying the whole page as text.
  for (const char* word : {"wrap", "kvFunction1", "Section"}) {
    benchmark::RegisterBenchmark((std::string("BM_Find2MB/") + word).c_str(), [word](benchmark::State& state) {
      static const std::string page = GeneratedPage(2 << 20);
      TPageViewer& v = Viewer();
      v.LoadStream(page, "");
      for (auto _ : state) {
        v.Find(word, false);
        v.PaintPanel()->repaint();
      }
      state.counters["matches"] = v.MatchCount();
      v.ClearFind();
    })->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("BM_CopyAll2MB", [](benchmark::State& state) {
    static const std::string page = GeneratedPage(2 << 20);
    TPageViewer& v = Viewer();
    v.LoadStream(page, "");
    std::size_t bytes = 0;
    for (auto _ : state) {
      v.SelectAll();
      bytes = v.SelectedText().size();
      v.CopyToClipboard();
    }
    state.counters["text_bytes"] = double(bytes);
  })->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  RegisterSamples();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
