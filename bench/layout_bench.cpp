// Layout of a long document: a body of a few thousand blocks (paragraphs, lists, floated boxes,
// picture-sized floats, bordered and percent-wide blocks) laid out again at several widths, as
// on every resize. Three questions:
//  - time per layout at several widths (BM_LayoutWidths);
//  - growth with the number of blocks, floats spread through the page (BM_LayoutBlocks): should
//    be linear;
//  - growth with the number of floats alive at once beside the same lines (BM_FloatsAlive), and
//    with the number of floats that have ended above the lines (BM_FloatsEnded): the lines must
//    not pay for floats that ended.
// Text sections are stood in for by one-line sections that ask the indent manager for their
// edges, as line breaking does for every line.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "layout/Block.h"
#include "layout/BlockLI.h"
#include "layout/IndentManager.h"
#include "layout/SectionList.h"
#include "platform/Font.h"
#include "platform/RecordingCanvas.h"
#include "style/PropStack.h"
#include "style/StyleParser.h"

using namespace korva;

namespace {

// One line of text: asks the edges at its top, as line breaking does.
class TBenchLine : public TSectionBase {
 public:
  explicit TBenchLine(TSectionList* doc, int height = 16) : TSectionBase(doc) { FBoxHeight = height; }
  int LayoutSection(TCanvas& c, int x, int y, int xr, int yr, int aw, int ah, int bh, IndentManager& im, int& mw,
                    int& cursor) override {
    int left = im.LeftEdgeAt(y), right = im.RightEdgeAt(y);
    benchmark::DoNotOptimize(left + right);
    if (FDocument->FFirstLineBaseline) {
      *FDocument->FFirstLineBaseline = y + 13;
      FDocument->FFirstLineBaseline = nullptr;
    }
    int h = TSectionBase::LayoutSection(c, x, y, xr, yr, aw, ah, bh, im, mw, cursor);
    cursor += 1;
    return h;
  }
  void MeasureMinMax(TCanvas&, int& mn, int& mx) override {
    mn = 60;
    mx = 400;
  }
};

class TBenchDocument {
 public:
  TBenchDocument() {
    SetFixedFontMetrics(true);
    Doc.ApplyDefaults({});
    PropStack().Reset(*Doc.Styles().DefaultProps());
  }
  ~TBenchDocument() {
    Doc.Clear();
    PropStack().Clear();
  }

  TBlock* Open(std::string_view tag, std::string_view style) {
    std::shared_ptr<TProperties> inlineStyle;
    if (!style.empty()) {
      inlineStyle = std::make_shared<TProperties>();
      ParseInlineStyle(style, *inlineStyle);
    }
    TProperties& p = PropStack().PushElement(Doc.Styles(), tag, {}, {}, inlineStyle, {}, {});
    bool list = tag == "ul" || tag == "ol";
    std::unique_ptr<TBlock> b;
    if (tag == "body")
      b = std::make_unique<TBodyBlock>(&Doc, nullptr, Cells.back(), p);
    else if (tag == "li")
      b = std::make_unique<TBlockLI>(&Doc, nullptr, Cells.back(), p, syUl, Number++, 1, '1');
    else
      b = std::make_unique<TBlock>(&Doc, nullptr, Cells.back(), p, list);
    auto* raw = static_cast<TBlock*>(Cells.back()->AddSection(std::move(b)));
    Cells.push_back(raw->FInnerCell.get());
    Tags.emplace_back(tag);
    ++Blocks;
    return raw;
  }
  void Close() {
    Cells.back()->SettleLastBottomMargin();
    Cells.pop_back();
    PropStack().PopElement(Doc.Styles(), Tags.back());
    Tags.pop_back();
  }
  void Lines(int n) {
    for (int i = 0; i < n; ++i) Cells.back()->AddSection(std::make_unique<TBenchLine>(&Doc));
  }

  TSectionList Doc;
  TRecordingCanvas Canvas;
  std::vector<TCellBasic*> Cells{&Doc};
  std::vector<std::string> Tags;
  int Number = 1;
  int Blocks = 0;
  int Floats = 0;
};

// A page of about `blocks` blocks: paragraphs, lists, floated boxes and picture-sized floats.
void BuildPage(TBenchDocument& d, int blocks) {
  d.Open("body", "margin: 5px 10px");
  for (int i = 0; d.Blocks < blocks; ++i) {
    switch (i % 8) {
      case 0:
        d.Open("div", i % 16 ? "float: left; width: 120px; height: 60px; margin: 0 8px 4px 0; border: 1px solid black"
                             : "float: right; width: 30%; padding: 4px; background-color: #eeeeee");
        d.Lines(2);
        d.Close();
        ++d.Floats;
        break;
      case 3:
        d.Open("ul", "");
        for (int k = 0; k < 3; ++k) {
          d.Open("li", "");
          d.Lines(1);
          d.Close();
        }
        d.Close();
        break;
      case 5:
        d.Open("div", "width: 80%; margin: 0 auto; border: 2px groove #808080; padding: 6px");
        d.Lines(3);
        d.Close();
        break;
      case 6:
        // A picture-sized float inside a paragraph.
        d.Open("p", "");
        d.Open("div", "float: left; width: 64px; height: 48px");
        d.Close();
        ++d.Floats;
        d.Lines(4);
        d.Close();
        break;
      default:
        d.Open("p", "");
        d.Lines(3);
        d.Close();
        break;
    }
  }
  d.Close();
}

void BM_LayoutWidths(benchmark::State& state) {
  TBenchDocument d;
  BuildPage(d, 3000);
  const int width = int(state.range(0));
  int sw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(d.Doc.DoLayout(d.Canvas, width, 0, sw));
  state.counters["blocks"] = d.Blocks;
  state.counters["floats"] = d.Floats;
}
BENCHMARK(BM_LayoutWidths)->Arg(400)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);

void BM_LayoutBlocks(benchmark::State& state) {
  TBenchDocument d;
  BuildPage(d, int(state.range(0)));
  int sw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(d.Doc.DoLayout(d.Canvas, 800, 0, sw));
  state.counters["blocks"] = d.Blocks;
  state.counters["floats"] = d.Floats;
  state.counters["per_block"] =
      benchmark::Counter(d.Blocks, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LayoutBlocks)->RangeMultiplier(2)->Range(500, 8000)->Unit(benchmark::kMillisecond);

// `alive` narrow floats side by side at the top, all as tall as the page, then 2000 lines
// beside them: every line's edge query meets every float.
void BM_FloatsAlive(benchmark::State& state) {
  TBenchDocument d;
  const int alive = int(state.range(0));
  d.Open("body", "margin: 0");
  for (int i = 0; i < alive; ++i) {
    d.Open("div", i % 2 ? "float: right; width: 1px; height: 40000px" : "float: left; width: 1px; height: 40000px");
    d.Close();
  }
  d.Lines(2000);
  d.Close();
  int sw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(d.Doc.DoLayout(d.Canvas, 100000, 0, sw));
  state.counters["alive"] = alive;
}
BENCHMARK(BM_FloatsAlive)->RangeMultiplier(4)->Range(1, 1024)->Unit(benchmark::kMillisecond);

// One float alive at a time: `ended` floats, each followed by the lines beside it and a few
// below it. Work per line must not grow with the floats above it.
void BM_FloatsEnded(benchmark::State& state) {
  TBenchDocument d;
  const int ended = int(state.range(0));
  d.Open("body", "margin: 0");
  for (int i = 0; i < ended; ++i) {
    d.Open("div", i % 2 ? "float: right; width: 50px; height: 32px" : "float: left; width: 50px; height: 32px");
    d.Close();
    d.Lines(4);
  }
  d.Close();
  int sw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(d.Doc.DoLayout(d.Canvas, 800, 0, sw));
  state.counters["floats"] = ended;
  state.counters["per_line"] =
      benchmark::Counter(4.0 * ended, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FloatsEnded)->RangeMultiplier(4)->Range(64, 16384)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
