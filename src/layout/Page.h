// A page break (PAGE): no height on screen; when printing, the page ends at it.
#pragma once

#include "layout/SectionBase.h"

namespace korva {

class TPage : public TSectionBase {
 public:
  using TSectionBase::TSectionBase;
  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) override;
  const char* DumpKind() const override { return "page"; }
};

}  // namespace korva
