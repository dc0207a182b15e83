#include "layout/InlineList.h"

#include <algorithm>

#include "layout/SectionList.h"

namespace korva {

void TInlineList::Clear() {
  TFreeList<InlineRec>::Clear();
  FNeedsConverting = true;
}

void TInlineList::AddStart(int sourcePos, const TProperties& props, int emPixels, int exPixels) {
  auto rec = std::make_unique<InlineRec>();
  rec->StartB = sourcePos;
  rec->EndB = OpenEnd;
  rec->Ident = props.FSerial;
  TVMarginArray raw;
  props.GetVerticalBox(raw);
  int autoCount = 0;
  // Colours, paddings and border styles as for blocks; then margins, border widths and sizes
  // as inline boxes take them.
  ResolveBlockBox(raw, 200, 200, emPixels, exPixels, rec->MargArray, autoCount);
  ResolveInlineBox(raw, 200, 200, emPixels, exPixels, rec->MargArray);
  Add(std::move(rec));
  FNeedsConverting = true;
}

void TInlineList::AddEnd(int sourcePos, int serial) {
  for (int i = Count() - 1; i >= 0; --i) {
    InlineRec* r = (*this)[i];
    if (r->Ident == serial) {
      r->EndB = sourcePos;
      FNeedsConverting = true;
      return;
    }
  }
}

void TInlineList::AdjustValues() {
  FNeedsConverting = false;
  if (!FDocument) return;
  for (const auto& owned : *this) {
    InlineRec* r = owned.get();
    r->StartB = FDocument->DocPosOf(r->StartB, false);
    r->EndB = FDocument->DocPosOf(r->EndB, true);
    if (r->EndB <= r->StartB) r->StartB = r->EndB - 1;
  }
}

int TInlineList::StartB(int index) {
  if (FNeedsConverting) AdjustValues();
  if (index < 0 || index >= Count()) return OutOfRange;
  return (*this)[index]->StartB;
}

int TInlineList::EndB(int index) {
  if (FNeedsConverting) AdjustValues();
  if (index < 0 || index >= Count()) return OutOfRange;
  return (*this)[index]->EndB;
}

void TInlineList::BordersForLine(int lineStart, int lineEnd, std::vector<BorderRec>& out) {
  if (FNeedsConverting) AdjustValues();
  for (const auto& owned : *this) {
    const InlineRec* r = owned.get();
    if (r->StartB >= lineEnd || r->EndB <= lineStart) continue;
    BorderRec b;
    b.OpenStart = r->StartB < lineStart;
    b.BStart = b.OpenStart ? lineStart : r->StartB;
    b.OpenEnd = r->EndB > lineEnd;
    b.BEnd = b.OpenEnd ? lineEnd : r->EndB;
    b.MargArray = r->MargArray;
    out.push_back(b);
  }
}

}  // namespace korva
