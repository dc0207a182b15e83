#include "layout/IndentManager.h"

#include <algorithm>

#include "layout/LayoutLimits.h"

namespace korva {

void IndentManagerBasic::Clear() {
  L.clear();
  R.clear();
  CurrentOwner = nullptr;
}

void IndentManagerBasic::Reset(int left, int right) {
  LeftLimit = left;
  RightLimit = right;
  CurrentOwner = nullptr;
}

namespace {
// A record applies at y when y lies in its range and it is a float or an edge of the block
// being laid out (edges of enclosing blocks are hidden by the current block's own).
inline bool Applies(const IndentRec& r, int y, const TBlock* owner) {
  return r.YTop <= y && y < r.YBottom && (r.Owner == nullptr || r.Owner == owner);
}
}  // namespace

int IndentManagerBasic::LeftEdgeAt(int y) const {
  bool any = false;
  int best = 0;
  for (const IndentRec& r : L)
    if (Applies(r, y, CurrentOwner) && (!any || r.XPos > best)) {
      best = r.XPos;
      any = true;
    }
  return any ? best + LeftLimit : LeftLimit;
}

int IndentManagerBasic::RightEdgeAt(int y) const {
  bool any = false;
  int best = 0;
  for (const IndentRec& r : R)
    if (Applies(r, y, CurrentOwner) && (!any || r.XPos < best)) {
      best = r.XPos;
      any = true;
    }
  return any ? best + LeftLimit : RightLimit;
}

int IndentManagerBasic::PushLeftIndent(int x, int y) {
  L.push_back({x - LeftLimit, y, OpenIndentBottom, CurrentOwner, false});
  return int(L.size()) - 1;
}

int IndentManagerBasic::PushRightIndent(int x, int y) {
  R.push_back({x - LeftLimit, y, OpenIndentBottom, CurrentOwner, false});
  return int(R.size()) - 1;
}

void IndentManagerBasic::ReleaseLeftIndents(int index) {
  if (index >= 0 && index < int(L.size())) L.erase(L.begin() + index);
}

void IndentManagerBasic::ReleaseRightIndents(int index) {
  if (index >= 0 && index < int(R.size())) R.erase(R.begin() + index);
}

int IndentManager::FloatsBottom() const {
  int bottom = 0;
  for (const auto* list : {&L, &R})
    for (const IndentRec& r : *list)
      if (r.Owner == nullptr) bottom = std::max(bottom, r.YBottom);
  return bottom;
}

void IndentManager::ClearedY(int& left, int& right) const {
  auto lowest = [](const std::vector<IndentRec>& list) {
    int bottom = -1;
    for (const IndentRec& r : list)
      if (r.Owner == nullptr) bottom = std::max(bottom, r.YBottom);
    return bottom + 1;
  };
  left = lowest(L);
  right = lowest(R);
}

int IndentManager::NextWiderY(int y) const {
  int next = y;
  bool any = false;
  for (const auto* list : {&L, &R})
    for (const IndentRec& r : *list)
      if (r.Owner == nullptr && r.YBottom > y && (!any || r.YBottom < next)) {
        next = r.YBottom;
        any = true;
      }
  return next;
}

int IndentManager::PlaceFloatImage(int y, bool right, int totalWidth, int spaceLeft, int totalHeight) {
  if (!right) {
    int x0 = LeftEdgeAt(y);
    L.push_back({x0 + totalWidth - LeftLimit, y, y + totalHeight, nullptr, false});
    return x0 + spaceLeft - LeftLimit;
  }
  int x0 = RightEdgeAt(y);
  R.push_back({x0 - totalWidth - LeftLimit, y, y + totalHeight, nullptr, false});
  return x0 + spaceLeft - totalWidth - LeftLimit;
}

void IndentManager::PlaceFloatBlock(int y, int x, bool right, int height) {
  if (!right)
    L.push_back({x - LeftLimit, y, y + height, nullptr, true});
  else
    R.push_back({x - LeftLimit, y, y + height, nullptr, true});
}

}  // namespace korva
