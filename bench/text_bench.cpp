// Text layout: a text-heavy page at two widths, the share of it spent measuring, and how line
// breaking grows with paragraph length (no spaces, one-letter words) and with floats beside a
// paragraph. Real fonts (cached advances); MB/s counts characters laid out as bytes of UTF-16 / 2.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "layout/IndentManager.h"
#include "layout/Section.h"
#include "layout/SectionList.h"
#include "platform/Font.h"
#include "platform/QtBridge.h"
#include "platform/RecordingCanvas.h"
#include "style/PropStack.h"

using namespace korva;

namespace {

std::u16string Words(std::size_t chars, unsigned seed) {
  static const char16_t* words[] = {u"the", u"layout", u"of", u"documentation", u"pages", u"with", u"a",
                                    u"function", u"returns", u"value", u"parameters", u"and", u"x-ray",
                                    u"why?", u"is", u"struct", u"member", u"pointer", u"to", u"handle"};
  std::u16string s;
  s.reserve(chars + 16);
  while (s.size() < chars) {
    seed = seed * 1103515245u + 12345u;
    s += words[(seed >> 16) % 20];
    s += u' ';
  }
  s.resize(chars);
  return s;
}

struct TPage {
  TSectionList Doc;
  TRecordingCanvas Canvas{TSize{1000, 1000}};
  TPage() {
    EnsureGuiApplication();
    Doc.ApplyDefaults(TDocumentDefaults{});
    PropStack().Reset(*Doc.Styles().DefaultProps());
  }
  ~TPage() { PropStack().Clear(); }
  TSection* Add(const std::u16string& text, int& pos) {
    TProperties& p = PropStack().PushElement(Doc.Styles(), "p", {}, {}, nullptr, {}, {});
    auto s = std::make_unique<TSection>(&Doc, nullptr, p, true, nullptr);
    TokenObj t;
    for (char16_t c : text) t.AddUnicodeChar(c, pos++);
    s->AddTokenObj(t);
    s->Finish();
    PropStack().PopElement(Doc.Styles(), "p");
    return static_cast<TSection*>(Doc.AddSection(std::move(s)));
  }
};

// 2 MB of text (a million characters) in paragraphs of 300 to 1,500 characters.
TPage& TextPage() {
  static TPage* page = [] {
    auto* p = new TPage;
    int pos = 0;
    std::size_t total = 0;
    unsigned seed = 7;
    while (total < 1000000) {
      seed = seed * 1103515245u + 12345u;
      std::size_t n = 300 + (seed >> 16) % 1200;
      p->Add(Words(n, seed), pos);
      total += n;
    }
    return p;
  }();
  return *page;
}

void BM_TextPage(benchmark::State& state) {
  TPage& p = TextPage();
  int sw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(p.Doc.DoLayout(p.Canvas, int(state.range(0)), 0, sw));
  state.SetBytesProcessed(std::int64_t(state.iterations()) * 2000000);
}
BENCHMARK(BM_TextPage)->Arg(800)->Arg(400)->Unit(benchmark::kMillisecond);

// Measuring alone: every character of the page once through the fonts' fitting, in line-sized
// pieces as line breaking asks; compare with BM_TextPage for the share.
void BM_TextPageMeasureOnly(benchmark::State& state) {
  TPage& p = TextPage();
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (const auto& s : p.Doc) {
      auto* t = static_cast<TSection*>(s.get());
      const TPlatformFont& f = t->Fonts()[0]->Handle();
      const std::u16string& text = t->Text();
      for (std::size_t a = 0; a < text.size();) {
        int count = 0;
        sum += f.FitText(text.data() + a, int(text.size() - a), int(state.range(0)), 0, &count, nullptr);
        a += std::size_t(std::max(count, 1));
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * 2000000);
}
BENCHMARK(BM_TextPageMeasureOnly)->Arg(800)->Arg(400)->Unit(benchmark::kMillisecond);

void LayoutOne(benchmark::State& state, const std::u16string& text) {
  TPage p;
  int pos = 0;
  p.Add(text, pos);
  int sw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(p.Doc.DoLayout(p.Canvas, 800, 0, sw));
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()) * 2);
}

// One paragraph without spaces: one overfull line.
void BM_ParagraphNoSpaces(benchmark::State& state) {
  LayoutOne(state, std::u16string(std::size_t(state.range(0)), u'x'));
}
BENCHMARK(BM_ParagraphNoSpaces)->RangeMultiplier(4)->Range(1 << 14, 1 << 20)->Complexity()->Unit(benchmark::kMillisecond);

// One paragraph of one-letter words: the most lines and break choices per character.
void BM_ParagraphOneLetterWords(benchmark::State& state) {
  std::u16string s;
  for (std::int64_t i = 0; i < state.range(0) / 2; ++i) s += u"a ";
  LayoutOne(state, s);
}
BENCHMARK(BM_ParagraphOneLetterWords)
    ->RangeMultiplier(4)
    ->Range(1 << 14, 1 << 20)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// A section that floats many small boxes one below another, then a paragraph beside them.
class TFloatColumn : public TSectionBase {
 public:
  TFloatColumn(TSectionList* doc, int count) : TSectionBase(doc), FCount(count) {}
  int LayoutSection(TCanvas& c, int x, int y, int xr, int yr, int aw, int ah, int bh, IndentManager& im, int& mw,
                    int& cursor) override {
    for (int i = 0; i < FCount; ++i) im.PlaceFloatBlock(y + i, im.LeftLimit + 20 + i % 7, false, 1);
    TSectionBase::LayoutSection(c, x, y, xr, yr, aw, ah, bh, im, mw, cursor);
    return 0;
  }

 private:
  int FCount;
};

void BM_FloatsBesideParagraph(benchmark::State& state) {
  TPage p;
  p.Doc.AddSection(std::make_unique<TFloatColumn>(&p.Doc, int(state.range(0))));
  int pos = 0;
  p.Add(Words(20000, 3), pos);
  int sw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(p.Doc.DoLayout(p.Canvas, 800, 0, sw));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FloatsBesideParagraph)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// Memory per character of the laid-out page.
void BM_TextPageBytesPerChar(benchmark::State& state) {
  TPage& p = TextPage();
  int sw = 0;
  p.Doc.DoLayout(p.Canvas, 800, 0, sw);
  std::size_t bytes = 0, chars = 0;
  for (auto _ : state) {
    bytes = chars = 0;
    for (const auto& s : p.Doc) {
      auto* t = static_cast<TSection*>(s.get());
      bytes += t->MemoryBytes();
      chars += t->Text().size();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes_per_char"] = double(bytes) / double(chars ? chars : 1);
}
BENCHMARK(BM_TextPageBytesPerChar);

}  // namespace

BENCHMARK_MAIN();
