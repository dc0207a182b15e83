// The left and right edges of the area being laid out, by y range: the content edges of the
// blocks being laid out and the floats placed so far. Line breaking asks it how wide each line
// may be; floats record themselves in it.
//
// Queries look at every record alive at a y; floats that ended are kept, so a long page with
// many floats costs a scan per query. Records are few in practice (the open block edges plus
// the floats beside the current text), and the query skips records whose range ended before
// the lowest y still asked for (see Prune).
#pragma once

#include <vector>

namespace korva {

class TBlock;
class TFloatingObj;

struct IndentRec {
  int XPos = 0;
  int YTop = 0;
  int YBottom = 0;
  const TBlock* Owner = nullptr;  // the block whose content edge this is; null for a float
  bool FloatsBlock = false;
};

class IndentManagerBasic {
 public:
  int Width = 0;
  int ClipWidth = 0;
  std::vector<IndentRec> L, R;
  const TBlock* CurrentOwner = nullptr;
  int LeftLimit = 0, RightLimit = 0;

  void Clear();
  void Reset(int left, int right);
  int LeftEdgeAt(int y) const;
  int RightEdgeAt(int y) const;
  // Content edges opened by the current owner until released.
  int PushLeftIndent(int x, int y);
  int PushRightIndent(int x, int y);
  void ReleaseLeftIndents(int index);
  void ReleaseRightIndents(int index);
};

class IndentManager : public IndentManagerBasic {
 public:
  // The lowest bottom of a float, 0 with none.
  int FloatsBottom() const;
  // Below every left float and below every right float (each + 1, 0 with none).
  void ClearedY(int& left, int& right) const;
  // The nearest float bottom below y (where a line may find more room); y when none.
  int NextWiderY(int y) const;
  // Records a floated image at y; returns the image's x relative to LeftLimit.
  int PlaceFloatImage(int y, bool right, int totalWidth, int spaceLeft, int totalHeight);
  // Records a floated block of the given height: left floats end at x, right floats start at x
  // (both absolute).
  void PlaceFloatBlock(int y, int x, bool right, int height);
};

}  // namespace korva
