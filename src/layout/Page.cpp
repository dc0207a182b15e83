#include "layout/Page.h"

#include "layout/SectionList.h"

namespace korva {

namespace {
// A break this close to the top of the printed area would leave an empty page.
constexpr int MinPageBreakOffset = 5;
}  // namespace

std::unique_ptr<TSectionBase> TPage::CloneForPrint(TSectionList* document) const {
  return std::make_unique<TPage>(document, *this);
}

int TPage::LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                         int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) {
  FBoxHeight = 0;
  TSectionBase::LayoutSection(canvas, x, y, xRef, yRef, availWidth, availHeight, blockHeight, indents, maxWidth,
                              cursor);
  maxWidth = 0;
  return 0;
}

int TPage::Draw(TCanvas&, const TRect& clip, IndentManager&, int, int, int) {
  TSectionList* doc = FDocument;
  if (doc && doc->FPrinting && FDocY > clip.Top + MinPageBreakOffset && FDocY < clip.Bottom &&
      FDocY < doc->FPageBottom)
    doc->FPageBottom = FDocY;
  return FDocY;
}

}  // namespace korva
