// Throughput of the HTML reader on a large page, beside gumbo parsing the same bytes and a
// plain loop that reads every byte once (the limit). Two pages: the sample documentation
// concatenated to several MB, and a generated one with tables, links, entities and comments.
// KORVA_BENCH_HTML=FILE adds a page of your own.
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "html/HtmlParse.h"
#include "html/HtmlReader.h"

using namespace korva;

namespace {

constexpr std::size_t TargetSize = 6u << 20;

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::string SamplesPage() {
  std::vector<std::string> pages;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(KORVA_SAMPLES_DIR, ec))
    if (e.path().extension() == ".html") pages.push_back(ReadFile(e.path()));
  std::string out;
  if (pages.empty()) return out;
  while (out.size() < TargetSize)
    for (const auto& p : pages) out += p;
  return out;
}

std::string GeneratedPage() {
  static const char* words[] = {"buffer", "stream", "the", "of", "returns", "handle", "event", "queue",
                                "a", "value", "is", "to", "function", "pointer", "size", "when",
                                "error", "caller", "must", "release", "data", "and", "with", "flags"};
  std::uint32_t seed = 12345;
  auto rnd = [&](std::uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  auto sentence = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
      if (i) s += ' ';
      switch (rnd(20)) {
        case 0: s += "<b>" + std::string(words[rnd(24)]) + "</b>"; break;
        case 1: s += "<a href=\"Kv" + std::string(words[rnd(24)]) + ".html#s" + std::to_string(rnd(99)) + "\">" + words[rnd(24)] + "</a>"; break;
        case 2: s += "&amp;"; break;
        case 3: s += "&lt;" + std::string(words[rnd(24)]) + "&gt;"; break;
        case 4: s += "&nbsp;&#8211;"; break;
        case 5: s += "<code>" + std::string(words[rnd(24)]) + "()</code>"; break;
        default: s += words[rnd(24)];
      }
    }
    return s + ".";
  };
  std::string out;
  int page = 0;
  while (out.size() < TargetSize) {
    ++page;
    out += "<html>\r\n<head>\r\n<title>Function " + std::to_string(page) + "</title>\r\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\r\n"
           "<style type=\"text/css\"><!-- h2 { color: navy } td.p { font-family: monospace } --></style>\r\n"
           "</head>\r\n<body bgcolor=\"#FFFFFF\" text=#000000>\r\n<!-- generated page -->\r\n"
           "<h2 align=center>KvFunction" + std::to_string(page) + "</h2>\r\n";
    for (int p = 0; p < 4; ++p) out += "<p class=\"desc\">" + sentence(40 + int(rnd(40))) + "</p>\r\n";
    out += "<table border=1 cellpadding=\"4\" cellspacing=0 width=\"100%\">\r\n<tr><th>Parameter</th><th>Description</th></tr>\r\n";
    for (int r = 0; r < 6; ++r)
      out += "<tr><td class=p valign=top><code>" + std::string(words[rnd(24)]) + "</code></td>\r\n<td>" +
             sentence(12 + int(rnd(20))) + "</td></tr>\r\n";
    out += "</table>\r\n<ul>\r\n";
    for (int l = 0; l < 5; ++l)
      out += "\t<li><a href=\"Kv" + std::string(words[rnd(24)]) + ".html\">" + words[rnd(24)] + "</a> &mdash; " +
             sentence(6) + "\r\n";
    out += "</ul>\r\n<pre>\r\n  kv_" + std::string(words[rnd(24)]) + "(handle, &amp;size);\r\n</pre>\r\n</body>\r\n</html>\r\n";
  }
  return out;
}

const std::string& Page(int which) {
  static std::vector<std::string> pages = [] {
    std::vector<std::string> p{SamplesPage(), GeneratedPage(), std::string()};
    if (const char* file = std::getenv("KORVA_BENCH_HTML")) p[2] = ReadFile(file);
    return p;
  }();
  return pages[static_cast<std::size_t>(which)];
}

const char* PageName(int which) { return which == 0 ? "samples" : which == 1 ? "generated" : "file"; }

// Reads every symbol the way the building pass does, including the raw element contents.
std::int64_t ReadAll(THtmlReader& reader) {
  std::int64_t work = 0;
  reader.GetCh();
  reader.Next();
  while (reader.Sy() != syEof) {
    switch (reader.Sy()) {
      case syText: work += reader.Token().Count(); reader.Next(); break;
      case syScript: reader.DoScript(); reader.Next(); break;
      case syStyle: reader.ReadStyle(nullptr); reader.Next(); break;
      case syTextarea: reader.ReadTextArea([](const std::string&) {}); reader.Next(); break;
      case syTitle: work += static_cast<std::int64_t>(reader.ReadTitle().size()); break;
      case syMeta: reader.DoMeta(); break;
      default: work += reader.Attributes().Count() + 1; reader.Next();
    }
  }
  return work;
}

void BM_Reader(benchmark::State& state) {
  const std::string& page = Page(static_cast<int>(state.range(0)));
  if (page.empty()) return state.SkipWithError("no page");
  THtmlReader reader;
  for (auto _ : state) {
    state.PauseTiming();
    reader.LoadText(page);
    state.ResumeTiming();
    benchmark::DoNotOptimize(ReadAll(reader));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
  state.SetLabel(PageName(static_cast<int>(state.range(0))));
}

struct TNullBuilder : THtmlBuilder {
  std::int64_t Work = 0;
  void BeginParse(THtmlReader&) override {}
  void BuildBody(THtmlReader& r) override { Work += ReadAllFromHere(r); }
  void BuildText(THtmlReader&) override {}
  void EndParse(THtmlReader&) override {}
  static std::int64_t ReadAllFromHere(THtmlReader& r) {
    std::int64_t w = 0;
    while (r.Sy() != syEof) {
      w += r.Token().Count();
      if (r.Sy() == syScript) r.DoScript();
      else if (r.Sy() == syStyle) r.ReadStyle(nullptr);
      r.Next();
    }
    return w;
  }
};

// The whole parse entry: preparation, the counting prescan (it stops after 401 links) and a
// building pass that only reads.
void BM_ParseHtml(benchmark::State& state) {
  const std::string& page = Page(static_cast<int>(state.range(0)));
  if (page.empty()) return state.SkipWithError("no page");
  TNullBuilder builder;
  TReaderDocument document;
  for (auto _ : state) {
    state.PauseTiming();
    std::string copy = page;
    state.ResumeTiming();
    ParseHtml(std::move(copy), builder, &document, nullptr);
  }
  benchmark::DoNotOptimize(builder.Work);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
  state.SetLabel(PageName(static_cast<int>(state.range(0))));
}

void BM_Gumbo(benchmark::State& state) {
  const std::string& page = Page(static_cast<int>(state.range(0)));
  if (page.empty()) return state.SkipWithError("no page");
  for (auto _ : state) {
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    benchmark::DoNotOptimize(out->root);
    gumbo_destroy_output(&kGumboDefaultOptions, out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
  state.SetLabel(PageName(static_cast<int>(state.range(0))));
}

// The limit: every byte read once.
void BM_PlainLoop(benchmark::State& state) {
  const std::string& page = Page(static_cast<int>(state.range(0)));
  if (page.empty()) return state.SkipWithError("no page");
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (unsigned char c : page) sum += c;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
  state.SetLabel(PageName(static_cast<int>(state.range(0))));
}

void Pages(benchmark::internal::Benchmark* b) {
  b->Arg(0)->Arg(1);
  if (std::getenv("KORVA_BENCH_HTML")) b->Arg(2);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Reader)->Apply(Pages);
BENCHMARK(BM_ParseHtml)->Apply(Pages);
BENCHMARK(BM_Gumbo)->Apply(Pages);
BENCHMARK(BM_PlainLoop)->Apply(Pages);

// Keeps the throughput of every run so that the ratios can be printed at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> Rates;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end() && !r.error_occurred) Rates[r.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-10s %10s %10s %10s %10s %12s %14s\n", "page", "reader", "parse", "gumbo", "plain",
              "reader/gumbo", "reader/plain");
  for (int which = 0; which < 3; ++which) {
    std::string arg("/");
    arg += std::to_string(which);
    auto rate = [&](const char* name) {
      auto it = reporter.Rates.find(std::string(name) + arg);
      return it == reporter.Rates.end() ? 0.0 : it->second / 1e6;
    };
    double reader = rate("BM_Reader"), parse = rate("BM_ParseHtml"), gumbo = rate("BM_Gumbo"),
           plain = rate("BM_PlainLoop");
    if (reader == 0) continue;
    std::printf("%-10s %7.0f MB/s %5.0f MB/s %5.0f MB/s %5.0f MB/s %11.1fx %13.3fx\n", PageName(which), reader,
                parse, gumbo, plain, gumbo > 0 ? reader / gumbo : 0.0, plain > 0 ? reader / plain : 0.0);
  }
  benchmark::Shutdown();
  return 0;
}
