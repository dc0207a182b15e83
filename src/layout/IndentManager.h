// The left and right edges of the area being laid out, by y range: the content edges of the
// blocks being laid out and the floats placed so far. Line breaking asks it how wide each line
// may be; floats record themselves in it.
//
// Floats that have ended above the y of the last edge or float placed are moved aside (see
// Settle): layout runs down the page, so queries at or below that y need not look at them, and
// a long page costs per line only the records alive beside it. The lowest float bottoms are
// kept as floats are placed.
#pragma once

#include <cstddef>
#include <vector>

namespace korva {

class TBlock;
class TFloatingObj;

struct IndentRec {
  int XPos = 0;
  int YTop = 0;
  int YBottom = 0;
  const void* Owner = nullptr;  // the block or cell whose content edge this is; null for a float
  bool FloatsBlock = false;
  bool Edge = false;  // a content edge (PushLeftIndent, PushRightIndent), never a float
  int Id = 0;         // the handle of an edge
  // The floated or positioned block a float was placed in (null: the cell's own flow). Floats
  // inside such a block do not narrow the lines outside it, nor outer floats its content.
  const void* Context = nullptr;
};

class IndentManagerBasic {
 public:
  int Width = 0;
  int ClipWidth = 0;
  std::vector<IndentRec> L, R;
  const void* CurrentOwner = nullptr;  // the block (or cell) being laid out
  const void* CurrentContext = nullptr;  // the floated or positioned block being laid out, if any
  int LeftLimit = 0, RightLimit = 0;

  void Clear();
  void Reset(int left, int right);
  int LeftEdgeAt(int y) const;
  int RightEdgeAt(int y) const;
  // Content edges opened by the current owner until released; the result is the edge's handle.
  int PushLeftIndent(int x, int y);
  int PushRightIndent(int x, int y);
  void ReleaseLeftIndents(int handle);
  void ReleaseRightIndents(int handle);
  // Gives back the memory of lists that have grown beyond `keep` records (after Clear).
  void Trim(std::size_t keep);

 protected:
  // Moves the floats that end at or above y out of L and R (queries below it skip them).
  void Settle(int y);
  // Floats of L and R that ended at or above FSettledY.
  std::vector<IndentRec> FEndedL, FEndedR;
  int FSettledY = -MaxSettledY;
  int FNextId = 0;
  // The lowest float bottom on each side, -1 with none.
  int FLeftFloatsBottom = -1, FRightFloatsBottom = -1;
  static constexpr int MaxSettledY = 2147483647;
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

// A cleared manager lent for one cell's layout. Managers are layout scratch: the cells of a
// loaded page keep none. Nested cells (tables in table cells) each borrow the next manager of a
// per-thread stack, so records keep their capacity from one cell to the next.
class TScratchIndents {
 public:
  TScratchIndents();
  ~TScratchIndents();
  TScratchIndents(const TScratchIndents&) = delete;
  TScratchIndents& operator=(const TScratchIndents&) = delete;
  IndentManager& operator*() const { return *FManager; }
  IndentManager* operator->() const { return FManager; }

 private:
  IndentManager* FManager;
};

}  // namespace korva
