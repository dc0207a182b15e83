// Disclosure boxes: a details block shows its summary and, only while open, the rest of its
// content. The content sits in a block of its own whose hidden flag follows the open state, so
// layout, drawing and hit tests skip it exactly as they skip display: none. A click on the
// summary toggles the box (the viewer asks the hot spot for the block and reformats).
#pragma once

#include "layout/Block.h"

namespace korva {

class TSection;

class TDetailsBlock : public TBlock {
 public:
  TDetailsBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
                bool open);

  // The marker shown before the summary's text.
  static constexpr char16_t ClosedMarker = u'\u25B8', OpenMarker = u'\u25BE';

  bool IsOpen() const { return FOpen; }
  // Opens or closes the box: the content block is shown or hidden and the marker changes. The
  // document needs a new layout afterwards.
  void SetOpen(bool open);
  void Toggle() { SetOpen(!FOpen); }
  // The parts, set by the builder: the block that holds everything but the summary, and the
  // summary's first text section, whose character `index` is the marker.
  void SetContent(TBlock* content);
  void SetMarker(TSection* section, int index);

 private:
  TBlock* FContent = nullptr;  // owned by the content cell
  TSection* FMarkerSection = nullptr;
  int FMarkerIndex = 0;
  bool FOpen = false;
};

// The summary of a details block: a block that reports its details block as the hot spot under
// any point of it that is not a link.
class TSummaryBlock : public TBlock {
 public:
  TSummaryBlock(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
                TDetailsBlock* details)
      : TBlock(document, attributes, parentCell, props), FDetails(details) {}
  bool HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) override;

 private:
  TDetailsBlock* FDetails;  // the block that holds this one
};

}  // namespace korva
