// A preformatted line (a line of PRE or of a plain-text document): its text is kept as written
// and never wraps.
#pragma once

#include "layout/Section.h"

namespace korva {

class TPreFormated : public TSection {
 public:
  TPreFormated(TSectionList* document, const TUrlTarget* link, const TProperties& props, bool firstInBlock,
               const TAttributeList* attributes)
      : TSection(document, link, props, firstInBlock, attributes) {
    FPreFormated = true;
  }
  TPreFormated(TSectionList* document, const TPreFormated& source) : TSection(document, source) {}

  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  void MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) override;
  // Lines are clipped at the sides of the containing block's content (they never wrap).
  int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) override;
  const char* DumpKind() const override { return "pre"; }
  // An empty preformatted line keeps its height.
  bool IsEmptyText() const override { return false; }

 protected:
  // The line's width, measured again: the reported width of a preformatted line is its text's,
  // so the field keeps the width of the containing block's content (the clip) instead.
  int ReportedWidth() const override;
};

}  // namespace korva
