#include "layout/Cell.h"

#include <algorithm>
#include <cassert>
#include <ostream>
#include <stdexcept>

#include "layout/Block.h"
#include "layout/LayoutDump.h"
#include "layout/LayoutErrors.h"
#include "layout/SectionList.h"

namespace korva {

std::ostream& operator<<(std::ostream& out, const TOwnerTag& tag) { return out << tag.View(); }

TCellBasic::~TCellBasic() { TCellBasic::Clear(); }

void TCellBasic::Clear() {
  // Deep trees are taken apart level by level here, so that freeing them never recurses.
  std::vector<std::unique_ptr<TSectionBase>> pending;
  pending.reserve(FItems.size());
  for (auto& s : FItems) pending.push_back(std::move(s));
  FItems.clear();
  while (!pending.empty()) {
    std::unique_ptr<TSectionBase> s = std::move(pending.back());
    pending.pop_back();
    s->ReleaseChildren(pending);
  }
}

TSectionBase* TCellBasic::AddSection(std::unique_ptr<TSectionBase> section) {
  if (!section) return nullptr;
  if (section->IsEmptyText()) return nullptr;
  section->FDocument = Document();
  return Add(std::move(section));
}

void TCellBasic::SettleLastBottomMargin() {
  for (int i = Count() - 1; i >= 0; --i) {
    TSectionBase* s = (*this)[i];
    if (s->SettleBottomMargin()) return;
  }
}

int TCellBasic::LayoutCell(TCanvas& canvas, int x, int y, int xRef, int yRef, int width, int availHeight,
                           int blockHeight, IndentManager& indents, int& scrollWidth, int& cursor) {
  FCellY = y;
  scrollWidth = 0;
  int h = 0;
  for (int i = 0; i < Count();) {
    TSectionBase* s = (*this)[i];
    int sw = 0;
    try {
      h += s->LayoutSection(canvas, x, y + h, xRef, yRef, width, availHeight, blockHeight, indents, sw, cursor);
    } catch (const EProcessError& e) {
      if (TSectionList* doc = Document()) {
        doc->Host().ShowError(e.what());
        doc->ForgetSection(s);
      }
      Delete(i);
      continue;
    }
    h = std::clamp(h, -MaxLayoutCoord, MaxLayoutCoord);
    scrollWidth = std::max(scrollWidth, sw);
    ++i;
  }
  return h;
}

void TCellBasic::MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) {
  minWidth = maxWidth = 0;
  for (const auto& s : *this) {
    int mn = 0, mx = 0;
    s->MeasureMinMax(canvas, mn, mx);
    minWidth = std::max(minWidth, mn);
    maxWidth = std::max(maxWidth, mx);
  }
}

int TCellBasic::Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) {
  int y = FCellY;
  for (const auto& s : *this) {
    // Sections wholly above or below the clip are not visited; positioned ones may paint anywhere.
    if (!s->PaintsOutsideBox() && (s->PaintBottom() <= clip.Top || s->PaintTop() >= clip.Bottom) &&
        s->FDocY != NotLaidOutY) {
      y = s->InnerTop() + s->FBoxHeight;
      continue;
    }
    y = s->Draw(canvas, clip, indents, x, xRef, yRef);
  }
  return y;
}

bool TCellBasic::HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) {
  for (const auto& s : *this)
    if (s->PaintTop() <= y && y < s->PaintBottom() && s->HotSpotAt(canvas, x, y, spot)) return true;
  return false;
}

bool TCellBasic::ObjectAt(int x, int y, TFloatingObj*& object, int& ix, int& iy) {
  for (const auto& s : *this)
    if (s->PaintTop() <= y && y < s->PaintBottom() && s->ObjectAt(x, y, object, ix, iy)) return true;
  return false;
}

int TCellBasic::CaretFromPoint(TCanvas& canvas, int x, int y, int& xr, int& yr, int& caretHeight, bool& inText) {
  for (const auto& s : *this)
    if (s->PaintTop() <= y && y < s->PaintBottom()) {
      int p = s->CaretFromPoint(canvas, x, y, xr, yr, caretHeight, inText);
      if (p >= 0) return p;
    }
  return -1;
}

int TCellBasic::SearchForward(int from, const std::u16string& text, bool matchCase) {
  for (const auto& s : *this) {
    int p = s->SearchForward(from, text, matchCase);
    if (p >= 0) return p;
  }
  return -1;
}

void TCellBasic::FindAll(const std::u16string& text, bool matchCase, std::vector<std::pair<int, int>>& out) {
  for (const auto& s : *this) s->FindAll(text, matchCase, out);
}

int TCellBasic::SearchBackward(int from, const std::u16string& text, bool matchCase) {
  for (int i = Count() - 1; i >= 0; --i) {
    int p = (*this)[i]->SearchBackward(from, text, matchCase);
    if (p >= 0) return p;
  }
  return -1;
}

int TCellBasic::SourcePosOf(int docPos) {
  for (const auto& s : *this) {
    int p = s->SourcePosOf(docPos);
    if (p >= 0) return p;
  }
  return -1;
}

int TCellBasic::DocPosOf(int sourcePos, bool previous) {
  if (previous) {
    for (int i = Count() - 1; i >= 0; --i) {
      int p = (*this)[i]->DocPosOf(sourcePos, previous);
      if (p >= 0) return p;
    }
    return -1;
  }
  for (const auto& s : *this) {
    int p = s->DocPosOf(sourcePos, previous);
    if (p >= 0) return p;
  }
  return -1;
}

bool TCellBasic::PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y) {
  for (const auto& s : *this)
    if (s->PointFromCaret(canvas, cursor, x, y)) return true;
  return false;
}

bool TCellBasic::CharAt(int pos, char16_t& ch, TCharObject& object) {
  // The sections hold consecutive positions in order: one outside them all is not looked for.
  if (Empty() || pos < First()->FFirstChar || pos >= Last()->FFirstChar + Last()->CharCount()) return false;
  for (const auto& s : *this)
    if (s->CharAt(pos, ch, object)) return true;
  return false;
}

void TCellBasic::AppendSelectedText(std::u16string& text) {
  const TSectionList* doc = Document();
  if (!doc) return;
  for (const auto& s : *this) {
    if (s->FFirstChar >= doc->FSelE) break;
    if (s->FFirstChar + s->CharCount() > doc->FSelB) s->AppendSelectedText(text);
  }
}

bool TCellBasic::LineYAt(int docPos, int& y) {
  for (const auto& s : *this)
    if (s->LineYAt(docPos, y)) return true;
  return false;
}

void TCellBasic::CollectSections() {
  for (const auto& s : *this) s->CollectSections();
}

void TCellBasic::CopyFrom(const TCellBasic& source, TSectionList* document) {
  FCellY = source.FCellY;
  FDepth = source.FDepth;
  for (const auto& s : source) Add(s->CloneForPrint(document));
}

void TCellBasic::Dump(TDumpWriter& out, int depth) const {
  for (const auto& s : *this) s->Dump(out, depth + 1);
}

int TCellBasic::LayoutWithOwnIndents(TCanvas& canvas, int x, int y, int xRef, int yRef, int width, int availHeight,
                                     int blockHeight, int& scrollWidth, int& cursor) {
  TScratchIndents scratch;
  IndentManager& own = *scratch;
  own.Reset(x, x + width);
  own.Width = width;
  own.ClipWidth = width;
  // The cell owns its two base edges, so that they never count as floats.
  own.CurrentOwner = this;
  own.PushLeftIndent(x, y);
  own.PushRightIndent(x + width, y);
  int h = TCellBasic::LayoutCell(canvas, x, y, xRef, yRef, width, availHeight, blockHeight, own, scrollWidth, cursor);
  return std::max(h, own.FloatsBottom() - y);
}

int TCellBasic::DrawWithOwnIndents(TCanvas& canvas, const TRect& clip, int x, int width, int xRef, int yRef) {
  // Drawing asks a manager nothing but its current owner: an empty one costs no allocation.
  IndentManager own;
  own.Reset(x, x + width);
  return TCellBasic::Draw(canvas, clip, own, x, xRef, yRef);
}

TBlockCell::TBlockCell(TBlock* block) {
  // Everything the cell answers rests on this.
  assert(TBlock::OfInnerCell(this) == block);
  (void)block;
}

TBlock* TBlockCell::ParentBlock() const { return TBlock::OfInnerCell(this); }

TSectionList* TBlockCell::Document() const { return ParentBlock()->FDocument; }

std::string_view TBlockCell::OwnerTag() const { return ParentBlock()->TagName(); }

int TCell::LayoutCell(TCanvas& canvas, int x, int y, int xRef, int yRef, int width, int availHeight, int blockHeight,
                      IndentManager&, int& scrollWidth, int& cursor) {
  FWidth = width;
  FFirstChar = cursor;
  const int h = LayoutWithOwnIndents(canvas, x, y, xRef, yRef, width, availHeight, blockHeight, scrollWidth, cursor);
  FCharCount = cursor - FFirstChar;
  return h;
}

int TCell::LayoutOwn(TCanvas& canvas, int x, int y, int width, int availHeight, int blockHeight, int& scrollWidth,
                     int& cursor) {
  // The cell lays out against a borrowed manager of its own; the one passed in is not read.
  IndentManager outer;
  return LayoutCell(canvas, x, y, x, y, width, availHeight, blockHeight, outer, scrollWidth, cursor);
}

int TCell::Draw(TCanvas& canvas, const TRect& clip, IndentManager&, int x, int xRef, int yRef) {
  return DrawOwn(canvas, clip, x, xRef, yRef);
}

int TCell::DrawOwn(TCanvas& canvas, const TRect& clip, int x, int xRef, int yRef) {
  return DrawWithOwnIndents(canvas, clip, x, FWidth, xRef, yRef);
}

}  // namespace korva
