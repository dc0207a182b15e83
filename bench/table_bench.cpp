// Table layout: the cases where table engines go quadratic or worse. Each is laid out again at
// two widths (as on a resize); the questions are how the time grows
//  - with rows: a long table of three columns (BM_TableRows), which should be linear;
//  - with nesting depth: a chain of tables, each in the only cell of the one around it
//    (BM_NestedTables); the measuring and placing passes keep it linear, not 2^depth;
//  - with columns: a wide table whose rows mix column spans (BM_WideTable).
// Cell text is stood in for by one-line sections with a fixed minimum and maximum width.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "core/Attributes.h"
#include "layout/Block.h"
#include "layout/SectionList.h"
#include "layout/Table.h"
#include "platform/Font.h"
#include "platform/RecordingCanvas.h"
#include "style/PropStack.h"

using namespace korva;

namespace {

class TBenchLine : public TSectionBase {
 public:
  TBenchLine(TSectionList* doc, int mn, int mx) : TSectionBase(doc), FMin(mn), FMax(mx) { FBoxHeight = 16; }
  int LayoutSection(TCanvas& c, int x, int y, int xr, int yr, int aw, int ah, int bh, IndentManager& im, int& mw,
                    int& cursor) override {
    benchmark::DoNotOptimize(im.LeftEdgeAt(y) + im.RightEdgeAt(y));
    int h = TSectionBase::LayoutSection(c, x, y, xr, yr, aw, ah, bh, im, mw, cursor);
    cursor += 1;
    return h;
  }
  void MeasureMinMax(TCanvas&, int& mn, int& mx) override {
    mn = FMin;
    mx = FMax;
  }

 private:
  int FMin, FMax;
};

class TTableDoc {
 public:
  TTableDoc() {
    SetFixedFontMetrics(true);
    Doc.ApplyDefaults({});
    PropStack().Reset(*Doc.Styles().DefaultProps());
    TProperties& p = Push("body");
    auto body = std::make_unique<TBodyBlock>(&Doc, nullptr, &Doc, p);
    Cells.push_back(static_cast<TBlock*>(Doc.AddSection(std::move(body)))->FInnerCell.get());
  }
  ~TTableDoc() {
    Doc.Clear();
    PropStack().Clear();
  }
  TProperties& Push(std::string_view tag) {
    Tags.emplace_back(tag);
    return PropStack().PushElement(Doc.Styles(), tag, {}, {}, nullptr, {}, {});
  }
  void Pop() {
    PropStack().PopElement(Doc.Styles(), Tags.back());
    Tags.pop_back();
  }
  void OpenTable(const char* border) {
    TAttributeList a;
    if (border) a.Add(syBorder, "BORDER", 1, "");
    TProperties& p = Push("table");
    auto table = std::make_unique<ThtmlTable>(&Doc, &a);
    ThtmlTable* t = table.get();
    auto block = std::make_unique<TTableBlock>(&Doc, &a, Cells.back(), p, std::move(table));
    TOpen o;
    o.Table = t;
    o.Block = std::move(block);
    o.Saved = Cells.back();
    Open.push_back(std::move(o));
  }
  void Row() {
    EndRow();
    TAttributeList a;
    Open.back().RowObj = std::make_unique<TCellList>(&a, Push("tr"));
  }
  void Cell(int colspan = 1) {
    if (!Open.back().RowObj) Row();
    EndCell();
    TAttributeList a;
    if (colspan > 1) a.Add(syColspan, "COLSPAN", colspan, std::to_string(colspan));
    Open.back().CellObj = std::make_unique<TCellObj>(&Doc, Push("td"), &a, acMiddle, Open.back().Table);
    Cells.push_back(Open.back().CellObj->FCell.get());
  }
  void Line(int mn, int mx) { Cells.back()->AddSection(std::make_unique<TBenchLine>(&Doc, mn, mx)); }
  void EndCell() {
    auto& o = Open.back();
    if (!o.CellObj) return;
    Cells.pop_back();
    Pop();
    o.RowObj->Add(std::move(o.CellObj));
  }
  void EndRow() {
    auto& o = Open.back();
    EndCell();
    if (!o.RowObj) return;
    o.Table->AddRow(std::move(o.RowObj));
    Pop();
  }
  void EndTable() {
    EndRow();
    auto o = std::move(Open.back());
    Open.pop_back();
    Pop();
    o.Saved->AddSection(std::move(o.Block));
  }
  int Layout(int width) {
    int scroll = 0;
    return Doc.DoLayout(Canvas, width, 0, scroll);
  }

  struct TOpen {
    ThtmlTable* Table = nullptr;
    std::unique_ptr<TTableBlock> Block;
    TCellBasic* Saved = nullptr;
    std::unique_ptr<TCellList> RowObj;
    std::unique_ptr<TCellObj> CellObj;
  };
  TSectionList Doc;
  TRecordingCanvas Canvas;
  std::vector<TCellBasic*> Cells{&Doc};
  std::vector<std::string> Tags;
  std::vector<TOpen> Open;
};

void RunLayouts(benchmark::State& state, TTableDoc& d, int width) {
  d.Layout(width);
  for (auto _ : state) benchmark::DoNotOptimize(d.Layout(width));
}

void BM_TableRows(benchmark::State& state) {
  TTableDoc d;
  const int rows = int(state.range(0));
  d.OpenTable("border");
  for (int r = 0; r < rows; ++r) {
    d.Row();
    for (int c = 0; c < 3; ++c) {
      d.Cell();
      d.Line(30 + c * 10, 120 + (r % 7) * 20);
    }
  }
  d.EndTable();
  RunLayouts(state, d, int(state.range(1)));
  state.SetComplexityN(rows);
  state.counters["rows/s"] = benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TableRows)
    ->ArgsProduct({{625, 1250, 2500, 5000}, {400, 1200}})
    ->Unit(benchmark::kMillisecond);

void BM_NestedTables(benchmark::State& state) {
  TTableDoc d;
  const int depth = int(state.range(0));
  for (int i = 0; i < depth; ++i) {
    d.OpenTable(i % 2 ? "border" : nullptr);
    d.Cell();
    d.Line(20, 60);  // something beside each nested table
    d.Cell();
  }
  d.Line(40, 200);
  for (int i = 0; i < depth; ++i) d.EndTable();
  RunLayouts(state, d, int(state.range(1)));
  state.SetComplexityN(depth);
}
BENCHMARK(BM_NestedTables)
    ->ArgsProduct({{25, 50, 100, 200}, {400, 1200}})
    ->Unit(benchmark::kMillisecond);

void BM_WideTable(benchmark::State& state) {
  TTableDoc d;
  const int cols = int(state.range(0));
  d.OpenTable("border");
  for (int r = 0; r < 60; ++r) {
    d.Row();
    // Rows alternate plain cells with spans of 2, 3 and 5 columns.
    for (int c = 0; c < cols;) {
      int span = r % 4 == 0 ? 1 : std::min(cols - c, 2 + (c + r) % 4);
      d.Cell(span);
      d.Line(10 + span * 8, 40 + span * 30);
      c += span;
    }
  }
  d.EndTable();
  RunLayouts(state, d, int(state.range(1)));
  state.SetComplexityN(cols);
}
BENCHMARK(BM_WideTable)->ArgsProduct({{25, 50, 100}, {400, 1200}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
