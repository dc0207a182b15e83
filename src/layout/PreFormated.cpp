#include "layout/PreFormated.h"

#include <algorithm>

#include "layout/IndentManager.h"
#include "platform/Canvas.h"

namespace korva {

static_assert(sizeof(TPreFormated) <= sizeof(TSection), "a preformatted line takes no more than a text section");

namespace {
// Right side of a preformatted line: far enough that nothing wraps.
constexpr int PreRightSide = 32000;
// The minimum width a preformatted line asks of a table.
constexpr int PreMaxMinWidth = 2000;
}  // namespace

std::unique_ptr<TSectionBase> TPreFormated::CloneForPrint(TSectionList* document) const {
  return std::make_unique<TPreFormated>(document, *this);
}

int TPreFormated::LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                                int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) {
  if (BuffS.Empty() && !FFonts.Empty()) {
    // An empty line is one line of its font.
    FFirstChar = cursor;
    FLines.Clear();
    FLayoutX = x;
    FDocY = y;
    FBoxHeight = FFonts[0]->Height();
    FLayoutWidth = std::max(0, availWidth);
    maxWidth = 0;
    return FBoxHeight;
  }
  // Right edges (right floats included) step aside while the line is laid out; floats the
  // line places itself are kept.
  std::vector<IndentRec> savedRight = std::move(indents.R);
  indents.R.clear();
  const int savedLimit = indents.RightLimit;
  indents.RightLimit = indents.LeftEdgeAt(y) + PreRightSide;
  int h = 0;
  try {
    h = TSection::LayoutSection(canvas, x, y, xRef, yRef, PreRightSide, availHeight, blockHeight, indents, maxWidth,
                                cursor);
  } catch (...) {
    indents.R = std::move(savedRight);
    indents.RightLimit = savedLimit;
    throw;
  }
  savedRight.insert(savedRight.end(), indents.R.begin(), indents.R.end());
  indents.R = std::move(savedRight);
  indents.RightLimit = savedLimit;
  maxWidth = MeasureRange(0, BuffS.Size());
  FLayoutWidth = std::max(0, availWidth);
  return h;
}

int TPreFormated::Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) {
  if (FLines.Empty()) return TSection::Draw(canvas, clip, indents, x, xRef, yRef);
  canvas.SaveState();
  // A line longer than its block overflows it, as in a browser: drawn whole, with the page's
  // scroll width grown to it (the line reports its width).
  canvas.IntersectClipRect(TRect{x, clip.Top, x + std::max(FLayoutWidth, ReportedWidth()), clip.Bottom});
  int after = 0;
  try {
    after = TSection::Draw(canvas, clip, indents, x, xRef, yRef);
  } catch (...) {
    canvas.RestoreState();
    throw;
  }
  canvas.RestoreState();
  return after;
}

int TPreFormated::ReportedWidth() const { return BuffS.Empty() ? 0 : MeasureRange(0, BuffS.Size()); }

void TPreFormated::MeasureMinMax(TCanvas&, int& minWidth, int& maxWidth) {
  // The full width, cached as the maximum; a minimum of 1 marks it made (Finish clears it).
  if (FMinWidthCache == 0 || !Objects().empty()) {
    maxWidth = MeasureRange(0, BuffS.Size());
    CacheWidths(1, maxWidth);
  } else {
    maxWidth = FMaxWidthCache;
  }
  minWidth = std::min(PreMaxMinWidth, maxWidth);
}

}  // namespace korva
