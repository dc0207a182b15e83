// Whole pages: parse + style + layout at 800 px on our engine and on two peers, in one run and on
// the same bytes:
//  - ours: the document builder and TSectionList::DoLayout with the program's real fonts;
//  - QTextDocument: setHtml, then the document layout forced to finish at a text width of 800;
//  - litehtml (when it was found at configure time): createFromUTF8 + render(800), through a
//    headless container that measures text with the same platform fonts as ours.
// Inputs: every HTML page of the sample set (one document each, all of them per iteration), a
// generated text-heavy page and a generated table-heavy page (page_bench.h). The sample pages'
// style sheet is handed to every engine from memory; pictures are left out everywhere (ours
// does not show them, litehtml's container gives them no size, Qt finds no resource), so the
// comparison is of parsing, styling and laying out text and tables.
//
// After the Google Benchmark output two summaries give each engine's median time per input and
// the ratios peer/ours: thread CPU time (steadier on a busy machine) and wall time.
// KORVA_PAGE_BENCH_HTML=FILE adds a page of your own.
#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QString>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "html/HtmlBuilder.h"
#include "layout/LayoutHost.h"
#include "layout/SectionList.h"
#include "page_bench.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Font.h"
#include "platform/QtBridge.h"

#ifdef KORVA_HAVE_LITEHTML
#include <litehtml.h>
#endif

using namespace korva;

namespace {

constexpr int PageWidth = 800;
constexpr std::size_t GeneratedSize = 3u << 19;  // 1.5 MB

struct TCase {
  std::string Name;
  std::vector<std::string> Pages;
  std::size_t Bytes = 0;
};

std::vector<TCase> Cases;
std::string SampleCss;  // the style sheet the sample pages link

// The style sheet a page links, by name, from memory.
bool LinkedSheet(const std::string& url, std::string& data) {
  if (url.find("korva.css") == std::string::npos) return false;
  data = SampleCss;
  return true;
}

// ---- ours ----

int OursPage(const std::string& html, TCanvas& measure) {
  THeadlessHost host;
  host.ShowImages = false;
  TSectionList doc(&host);
  doc.ApplyDefaults(TDocumentDefaults{});
  TBuilderHandlers handlers;
  handlers.OnStreamRequest = LinkedSheet;
  TDocumentBuilder builder(doc);
  builder.Handlers = &handlers;
  BuildHtmlDocument(doc, html, builder);
  int scrollWidth = 0;
  return doc.DoLayout(measure, PageWidth, 0, scrollWidth);
}

// ---- QTextDocument ----

int QtPage(const std::string& html, const QFont& font, const QString& css) {
  QTextDocument doc;
  doc.setDefaultFont(font);
  doc.addResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("korva.css")), css);
  doc.setTextWidth(PageWidth);
  doc.setHtml(QString::fromUtf8(html.data(), qsizetype(html.size())));
  // The layout runs lazily; the document size makes it finish.
  return int(doc.documentLayout()->documentSize().height());
}

#ifdef KORVA_HAVE_LITEHTML
// ---- litehtml ----

// A default style sheet for HTML 4 elements: the display roles, margins, fonts and table
// defaults that litehtml has no built-in knowledge of. Debian's package ships no style sheet
// of its own, so this one plays that part.
const char* const DefaultSheet = R"css(
html, address, blockquote, body, center, dd, dir, div, dl, dt, fieldset, form, frame, frameset,
h1, h2, h3, h4, h5, h6, hr, menu, noframes, ol, p, pre, ul { display: block }
head, title, meta, link, style, script, base, basefont, param, area, noscript { display: none }
li { display: list-item }
table { display: table; border-collapse: separate; border-spacing: 2px; text-indent: 0 }
caption { display: table-caption; text-align: center }
thead { display: table-header-group; vertical-align: middle }
tbody { display: table-row-group; vertical-align: middle }
tfoot { display: table-footer-group; vertical-align: middle }
col { display: table-column }
colgroup { display: table-column-group }
tr { display: table-row; vertical-align: inherit }
td, th { display: table-cell; vertical-align: inherit; padding: 1px }
th { font-weight: bold; text-align: center }
table[border] { border: 1px outset gray }
table[border] td, table[border] th { border: 1px inset gray }
img { display: inline-block }
input, select, textarea, button { display: inline-block }
body { margin: 8px }
p, dl, multicol { margin: 1em 0 }
blockquote { margin: 1em 40px }
dd { margin-left: 40px }
h1 { font-size: 2em; margin: .67em 0 }
h2 { font-size: 1.5em; margin: .83em 0 }
h3 { font-size: 1.17em; margin: 1em 0 }
h4 { margin: 1.33em 0 }
h5 { font-size: .83em; margin: 1.67em 0 }
h6 { font-size: .67em; margin: 2.33em 0 }
h1, h2, h3, h4, h5, h6, b, strong { font-weight: bold }
i, cite, em, var, address, dfn { font-style: italic }
pre, tt, code, kbd, samp { font-family: monospace }
pre { white-space: pre; margin: 1em 0 }
nobr { white-space: nowrap }
big { font-size: 1.17em }
small, sub, sup { font-size: .83em }
sub { vertical-align: sub }
sup { vertical-align: super }
s, strike, del { text-decoration: line-through }
u, ins { text-decoration: underline }
a[href] { color: #0000ff; text-decoration: underline; cursor: pointer }
hr { border: 1px inset; margin: .5em auto; height: 0 }
ol, ul, dir, menu { padding-left: 40px; margin: 1em 0 }
ul { list-style-type: disc }
ol { list-style-type: decimal }
ul ul, ol ul { list-style-type: circle }
ol ol ul, ol ul ul, ul ol ul, ul ul ul { list-style-type: square }
ol ul, ul ol, ul ul, ol ol { margin-top: 0; margin-bottom: 0 }
center { text-align: center }
)css";

// Measures text with the platform fonts our engine uses (the same faces, sizes and tables), so
// that the comparison is not one of text measurement. Draws nothing.
class THeadlessContainer : public litehtml::document_container {
 public:
  litehtml::uint_ptr create_font(const char* faceName, int size, int weight, litehtml::font_style italic,
                                 unsigned int decoration, litehtml::font_metrics* fm) override {
    TFontSpec spec;
    spec.Name = FaceFromList(faceName ? faceName : "");
    spec.Height = -std::max(size, 1);
    spec.Weight = weight;
    spec.Italic = italic == litehtml::fontStyleItalic;
    spec.Underline = (decoration & litehtml::font_decoration_underline) != 0;
    spec.StrikeOut = (decoration & litehtml::font_decoration_linethrough) != 0;
    TPlatformFontPtr font = TPlatformFont::Create(spec);
    if (fm) {
      const TTextMetric& m = font->Metrics();
      fm->ascent = m.Ascent;
      fm->descent = m.Descent;
      fm->height = m.Height;
      fm->x_height = std::max(1, (size * 9 + 10) / 20);  // the metrics carry no x-height; about half an em
      fm->draw_spaces = spec.Italic || decoration != 0;
    }
    FFonts.push_back(std::move(font));
    return litehtml::uint_ptr(FFonts.size());
  }
  void delete_font(litehtml::uint_ptr) override {}  // the fonts live as long as the container
  int text_width(const char* text, litehtml::uint_ptr font) override {
    if (!font || font > FFonts.size() || !text) return 0;
    Utf8ToUtf16(text, FText);
    return FFonts[font - 1]->TextWidth(FText);
  }
  void draw_text(litehtml::uint_ptr, const char*, litehtml::uint_ptr, litehtml::web_color,
                 const litehtml::position&) override {}
  int pt_to_px(int pt) const override { return (pt * ScreenPixelsPerInch() + 36) / 72; }
  int get_default_font_size() const override { return 16; }
  const char* get_default_font_name() const override { return "Times New Roman"; }
  void draw_list_marker(litehtml::uint_ptr, const litehtml::list_marker&) override {}
  void load_image(const char*, const char*, bool) override {}
  void get_image_size(const char*, const char*, litehtml::size& sz) override { sz.width = sz.height = 0; }
  void draw_background(litehtml::uint_ptr, const litehtml::background_paint&) override {}
  void draw_borders(litehtml::uint_ptr, const litehtml::borders&, const litehtml::position&, bool) override {}
  void set_caption(const char*) override {}
  void set_base_url(const char*) override {}
  void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
  void on_anchor_click(const char*, const litehtml::element::ptr&) override {}
  void set_cursor(const char*) override {}
  void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override {
    for (char& c : text) {
      if (tt == litehtml::text_transform_uppercase && c >= 'a' && c <= 'z') c = char(c - 32);
      if (tt == litehtml::text_transform_lowercase && c >= 'A' && c <= 'Z') c = char(c + 32);
    }
  }
  void import_css(litehtml::tstring& text, const litehtml::tstring& url, litehtml::tstring&) override {
    std::string data;
    if (LinkedSheet(url, data)) text = data;
  }
  void set_clip(const litehtml::position&, const litehtml::border_radiuses&, bool, bool) override {}
  void del_clip() override {}
  void get_client_rect(litehtml::position& client) const override {
    client.x = client.y = 0;
    client.width = PageWidth;
    client.height = 600;
  }
  std::shared_ptr<litehtml::element> create_element(const char*, const litehtml::string_map&,
                                                    const std::shared_ptr<litehtml::document>&) override {
    return nullptr;
  }
  void get_media_features(litehtml::media_features& media) const override {
    media.type = litehtml::media_type_screen;
    media.width = media.device_width = PageWidth;
    media.height = media.device_height = 600;
    media.color = 8;
    media.color_index = 0;
    media.monochrome = 0;
    media.resolution = ScreenPixelsPerInch();
  }
  void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override {
    language = "en";
    culture.clear();
  }

 private:
  // The first installed family of a CSS font-family list; generic families map to the faces
  // our engine draws them with.
  static std::string FaceFromList(const std::string& list) {
    std::size_t a = 0;
    while (a < list.size()) {
      std::size_t b = list.find(',', a);
      if (b == std::string::npos) b = list.size();
      std::string name = list.substr(a, b - a);
      const auto notSpace = [](char c) { return c != ' ' && c != '\t' && c != '"' && c != '\''; };
      name.erase(name.begin(), std::find_if(name.begin(), name.end(), notSpace));
      name.erase(std::find_if(name.rbegin(), name.rend(), notSpace).base(), name.end());
      if (name == "serif") return "Times New Roman";
      if (name == "sans-serif") return "Arial";
      if (name == "monospace") return "Courier New";
      if (!name.empty() && FontFaceInstalled(name)) return name;
      a = b + 1;
    }
    return "Times New Roman";
  }
  // Malformed sequences become U+FFFD, one per byte.
  static void Utf8ToUtf16(const char* s, std::u16string& out) {
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
      char32_t cp = *p;
      int extra = cp < 0x80 ? 0 : (cp >> 5) == 6 ? 1 : (cp >> 4) == 14 ? 2 : (cp >> 3) == 30 ? 3 : -1;
      if (extra > 0) {
        cp &= 0x3F >> extra;
        int i = 1;
        for (; i <= extra && (p[i] & 0xC0) == 0x80; ++i) cp = (cp << 6) | (p[i] & 0x3F);
        if (i <= extra) extra = -1;
      }
      if (extra < 0) {
        out += u'\xFFFD';
        ++p;
        continue;
      }
      p += extra + 1;
      if (cp >= 0x10000) {
        cp -= 0x10000;
        out += char16_t(0xD800 + (cp >> 10));
        out += char16_t(0xDC00 + (cp & 0x3FF));
      } else {
        out += char16_t(cp);
      }
    }
  }

  std::vector<TPlatformFontPtr> FFonts;
  std::u16string FText;
};

litehtml::context& LitehtmlContext() {
  static litehtml::context* context = [] {
    auto* c = new litehtml::context;
    c->load_master_stylesheet(DefaultSheet);
    return c;
  }();
  return *context;
}

int LitehtmlPage(const std::string& html) {
  THeadlessContainer container;
  litehtml::document::ptr doc = litehtml::document::createFromUTF8(html.c_str(), &container, &LitehtmlContext());
  doc->render(PageWidth);
  return doc->height();
}
#endif

// ---- timing and the summary ----

enum TEngine { eOurs, eQt, eLitehtml, EngineCount };
const char* const EngineNames[EngineCount] = {"ours", "QTextDocument", "litehtml"};

// Milliseconds per iteration of every run (repetitions), by case and engine: wall time, and the
// thread's CPU time, which other processes on a busy machine disturb less. Google Benchmark
// first runs a case with few iterations to find how many to time; those runs start cold, so
// only the runs with the most iterations count (see Measured).
struct TTimes {
  std::vector<double> Wall, Cpu;
  std::vector<long long> Iterations;
};
std::vector<double> Measured(const TTimes& t, bool cpu) {
  const long long most = t.Iterations.empty() ? 0 : *std::max_element(t.Iterations.begin(), t.Iterations.end());
  std::vector<double> v;
  for (std::size_t i = 0; i < t.Iterations.size(); ++i)
    if (t.Iterations[i] == most) v.push_back(cpu ? t.Cpu[i] : t.Wall[i]);
  return v;
}
std::map<std::pair<std::size_t, int>, TTimes> Times;

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void RunEngine(benchmark::State& state, std::size_t caseIndex, TEngine engine) {
  const TCase& c = Cases[caseIndex];
  std::unique_ptr<TBitmap> probe = TBitmap::Create(1, 1, 32);
  std::unique_ptr<TCanvas> measure = CreateBitmapCanvas(*probe);
  QFont font(QStringLiteral("Liberation Serif"));
  font.setPixelSize(16);
  const QString css = QString::fromUtf8(SampleCss.data(), qsizetype(SampleCss.size()));

  long long height = 0;
  const auto t0 = std::chrono::steady_clock::now();
  const double cpu0 = ThreadCpuMs();
  for (auto _ : state) {
    height = 0;
    for (const std::string& page : c.Pages) {
      switch (engine) {
        case eOurs: height += OursPage(page, *measure); break;
        case eQt: height += QtPage(page, font, css); break;
        case eLitehtml:
#ifdef KORVA_HAVE_LITEHTML
          height += LitehtmlPage(page);
#endif
          break;
        default: break;
      }
    }
    benchmark::DoNotOptimize(height);
  }
  const double iterations = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
  const double cpu = (ThreadCpuMs() - cpu0) / iterations;
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / iterations;
  TTimes& mine = Times[{caseIndex, engine}];
  mine.Wall.push_back(wall);
  mine.Cpu.push_back(cpu);
  mine.Iterations.push_back(static_cast<long long>(iterations));

  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(c.Bytes));
  state.counters["pages"] = double(c.Pages.size());
  state.counters["height_px"] = double(height);  // all three should be of the same order
  if (engine != eOurs) {
    const double ours = Median(Measured(Times[{caseIndex, eOurs}], true));
    if (ours > 0) state.counters["x_ours_cpu"] = cpu / ours;  // peer time / our time
  }
}

void PrintSummary(bool cpu) {
  std::printf("\nMedian %s ms per input (parse + style + layout at %d px), ratio = peer / ours:\n",
              cpu ? "thread CPU" : "wall", PageWidth);
  std::printf("%-22s %9s %9s %14s %10s %9s %14s\n", "input", "KB", "ours", "QTextDocument", "litehtml", "Qt/ours",
              "litehtml/ours");
  for (std::size_t i = 0; i < Cases.size(); ++i) {
    double m[EngineCount];
    for (int e = 0; e < EngineCount; ++e) {
      const TTimes& t = Times[{i, e}];
      m[e] = Median(Measured(t, cpu));
    }
    if (m[eOurs] <= 0) continue;  // filtered out
    auto cell = [](double v) {
      char b[32] = "-";
      if (v > 0) std::snprintf(b, sizeof b, "%.2f", v);
      return std::string(b);
    };
    auto ratio = [&](double v) { return cell(v > 0 ? v / m[eOurs] : 0); };
    std::printf("%-22s %9.0f %9s %14s %10s %9s %14s\n", Cases[i].Name.c_str(), double(Cases[i].Bytes) / 1024,
                cell(m[eOurs]).c_str(), cell(m[eQt]).c_str(), cell(m[eLitehtml]).c_str(), ratio(m[eQt]).c_str(),
                ratio(m[eLitehtml]).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  EnsureGuiApplication();

  SampleCss = pagebench::ReadFile(std::filesystem::path(KORVA_SAMPLES_DIR) / "korva.css");
  {
    TCase samples;
    for (auto& p : pagebench::SamplePages(KORVA_SAMPLES_DIR)) {
      samples.Bytes += p.Html.size();
      samples.Pages.push_back(std::move(p.Html));
    }
    if (samples.Pages.size() < 40)
      std::fprintf(stderr, "page_bench: the sample set has %zu pages (fewer than 40); all of them are used\n",
                   samples.Pages.size());
    samples.Name = "samples_" + std::to_string(samples.Pages.size()) + "_pages";
    if (!samples.Pages.empty()) Cases.push_back(std::move(samples));
  }
  Cases.push_back({"text_heavy", {pagebench::TextHeavyPage(GeneratedSize)}, 0});
  Cases.push_back({"table_heavy", {pagebench::TableHeavyPage(GeneratedSize)}, 0});
  if (const char* own = std::getenv("KORVA_PAGE_BENCH_HTML")) {
    std::string html = pagebench::ReadFile(own);
    if (html.empty()) std::fprintf(stderr, "page_bench: %s: empty or missing, not used\n", own);
    else Cases.push_back({"own_page", {std::move(html)}, 0});
  }
  for (TCase& c : Cases)
    if (!c.Bytes)
      for (const std::string& p : c.Pages) c.Bytes += p.size();

#ifndef KORVA_HAVE_LITEHTML
  std::fprintf(stderr, "page_bench: built without litehtml; that peer is left out\n");
#endif
  for (std::size_t i = 0; i < Cases.size(); ++i) {
    for (int e = 0; e < EngineCount; ++e) {
#ifndef KORVA_HAVE_LITEHTML
      if (e == eLitehtml) continue;
#endif
      const std::string name = std::string("Page/") + Cases[i].Name + "/" + EngineNames[e];
      benchmark::RegisterBenchmark(name.c_str(), [i, e](benchmark::State& s) { RunEngine(s, i, TEngine(e)); })
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary(true);
  PrintSummary(false);
  return 0;
}
