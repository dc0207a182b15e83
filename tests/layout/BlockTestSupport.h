// Building block trees by hand for the block, float, list, border and positioning tests: blocks
// are made from element styles pushed on the property stack, as the document builder makes
// them, and a stand-in for text lays out one fixed-height line against the indent manager.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "LayoutFixture.h"
#include "layout/Block.h"
#include "layout/BlockLI.h"
#include "layout/IndentManager.h"
#include "layout/LayoutDump.h"

namespace korva::test {

// One line of text: as tall as a 16-pixel font, as wide as the room between the edges at its
// top. It reports its baseline to a list item as a first text line does, and can ask for a
// minimum and maximum width.
class TLineProbe : public TSectionBase {
 public:
  static constexpr int LineHeight = 16, Ascent = 13;
  TLineProbe(TSectionList* doc, int minWidth, int maxWidth, int height = LineHeight)
      : TSectionBase(doc), MinWidth(minWidth), MaxWidth(maxWidth) {
    FBoxHeight = height;
  }
  TLineProbe(TSectionList* doc, const TLineProbe& source)
      : TSectionBase(doc, source), MinWidth(source.MinWidth), MaxWidth(source.MaxWidth) {}
  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* doc) const override {
    return std::make_unique<TLineProbe>(doc, *this);
  }
  int MinWidth, MaxWidth;
  int Left = 0, Right = 0;
  int Draws = 0;

  int LayoutSection(TCanvas& c, int x, int y, int xr, int yr, int aw, int ah, int bh, IndentManager& im, int& mw,
                    int& cursor) override {
    Left = im.LeftEdgeAt(y);
    Right = im.RightEdgeAt(y);
    if (FDocument->FFirstLineBaseline) {
      *FDocument->FFirstLineBaseline = y + Ascent;
      FDocument->FFirstLineBaseline = nullptr;
    }
    int h = TSectionBase::LayoutSection(c, x, y, xr, yr, aw, ah, bh, im, mw, cursor);
    mw = MaxWidth;
    cursor += 1;
    return h;
  }
  int CharCount() const override { return 1; }
  int Draw(TCanvas& c, const TRect& clip, IndentManager& im, int x, int xr, int yr) override {
    ++Draws;
    return TSectionBase::Draw(c, clip, im, x, xr, yr);
  }
  void MeasureMinMax(TCanvas&, int& mn, int& mx) override {
    mn = MinWidth;
    mx = MaxWidth;
  }
  const char* DumpKind() const override { return "probe"; }
  void Dump(TDumpWriter& out, int depth) const override {
    out.Line(depth) << DumpKind();
    out.Box(Left, FDocY, Right - Left, FBoxHeight);
  }
};

// Opens and closes elements into the current cell, as the builder does.
struct TTreeBuilder {
  explicit TTreeBuilder(TLayoutFixture& f) : F(f) { Cells.push_back(&f.Doc); }
  TLayoutFixture& F;
  std::vector<TCellBasic*> Cells;
  std::vector<std::string> Tags;

  TCellBasic& Cell() { return *Cells.back(); }

  template <class T>
  T* Enter(std::unique_ptr<T> block, std::string_view tag) {
    T* raw = static_cast<T*>(Cell().AddSection(std::move(block)));
    Cells.push_back(raw->FInnerCell.get());
    Tags.emplace_back(tag);
    return raw;
  }
  TBlock* Open(std::string_view tag, std::string_view style = {}, std::string_view cls = {}) {
    TProperties& p = F.Push(tag, style, cls);
    bool list = tag == "ul" || tag == "ol" || tag == "dir" || tag == "menu";
    return Enter(std::make_unique<TBlock>(&F.Doc, nullptr, &Cell(), p, list), tag);
  }
  TBodyBlock* Body(std::string_view style = "margin: 5px 10px") {
    TProperties& p = F.Push("body", style);
    return Enter(std::make_unique<TBodyBlock>(&F.Doc, nullptr, &Cell(), p), "body");
  }
  TBlockLI* Item(TSymbol kind, int number, int level = 1, char type = '1', std::string_view style = {}) {
    TProperties& p = F.Push("li", style);
    return Enter(std::make_unique<TBlockLI>(&F.Doc, nullptr, &Cell(), p, kind, number, level, type), "li");
  }
  void Close() {
    Cell().SettleLastBottomMargin();
    Cells.pop_back();
    F.Pop(Tags.back());
    Tags.pop_back();
  }
  TLineProbe* Line(int minWidth = 0, int maxWidth = 0, int height = TLineProbe::LineHeight) {
    return static_cast<TLineProbe*>(
        Cell().AddSection(std::make_unique<TLineProbe>(&F.Doc, minWidth, maxWidth, height)));
  }
};

}  // namespace korva::test
