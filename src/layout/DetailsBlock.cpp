#include "layout/DetailsBlock.h"

#include "layout/Section.h"

namespace korva {

TDetailsBlock::TDetailsBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell,
                             TProperties& props, bool open)
    : TBlock(document, attributes, parentCell, props), FOpen(open) {}

void TDetailsBlock::SetContent(TBlock* content) {
  FContent = content;
  if (FContent) FContent->FHidden = !FOpen;
}

void TDetailsBlock::SetMarker(TSection* section, int index) {
  FMarkerSection = section;
  FMarkerIndex = index;
}

void TDetailsBlock::SetOpen(bool open) {
  FOpen = open;
  if (FContent) FContent->FHidden = !open;
  if (FMarkerSection && FMarkerIndex >= 0 && FMarkerIndex < FMarkerSection->TextLength())
    FMarkerSection->SetCharAt(FMarkerIndex, open ? OpenMarker : ClosedMarker);
}

bool TSummaryBlock::HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) {
  if (FHidden || TooDeep() || FVisibility == viHidden) return false;
  TBlock::HotSpotAt(canvas, x, y, spot);
  // A link or a control inside the summary keeps its own click.
  if (!spot.IsLink && !spot.Control && BorderBox().Contains(x - OffsetX(), y - OffsetY())) spot.Disclosure = FDetails;
  return spot.IsLink || spot.Control || spot.Disclosure || spot.HasTitle;
}

}  // namespace korva
