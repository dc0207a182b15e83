#include "layout/IndentManager.h"

#include <algorithm>
#include <memory>

#include "layout/LayoutLimits.h"

namespace korva {

void IndentManagerBasic::Clear() {
  L.clear();
  R.clear();
  FEndedL.clear();
  FEndedR.clear();
  FSettledY = -MaxSettledY;
  FNextId = 0;
  FLeftFloatsBottom = FRightFloatsBottom = -1;
  CurrentOwner = nullptr;
  CurrentContext = nullptr;
}

void IndentManagerBasic::Trim(std::size_t keep) {
  for (std::vector<IndentRec>* v : {&L, &R, &FEndedL, &FEndedR})
    if (v->capacity() > keep) std::vector<IndentRec>().swap(*v);
}

void IndentManagerBasic::Reset(int left, int right) {
  LeftLimit = left;
  RightLimit = right;
  CurrentOwner = nullptr;
}

namespace {
// A record applies at y when y lies in its range and it is a float or an edge of the block
// being laid out (edges of enclosing blocks are hidden by the current block's own).
inline bool Applies(const IndentRec& r, int y, const void* owner, const void* context) {
  return r.YTop <= y && y < r.YBottom && (r.Owner == nullptr ? r.Context == context : r.Owner == owner);
}

inline bool IsFloat(const IndentRec& r) { return !r.Edge && r.Owner == nullptr; }

// The largest (left) or smallest (right) XPos applying at y; `any` says whether one did.
template <bool Left>
void Extreme(const std::vector<IndentRec>& list, int y, const void* owner, const void* context, bool& any,
             int& best) {
  for (const IndentRec& r : list)
    if (Applies(r, y, owner, context) && (!any || (Left ? r.XPos > best : r.XPos < best))) {
      best = r.XPos;
      any = true;
    }
}

void MoveEnded(std::vector<IndentRec>& list, std::vector<IndentRec>& ended, int y) {
  auto keep = std::stable_partition(list.begin(), list.end(),
                                    [y](const IndentRec& r) { return !(IsFloat(r) && r.YBottom <= y); });
  ended.insert(ended.end(), keep, list.end());
  list.erase(keep, list.end());
}

void Release(std::vector<IndentRec>& list, int handle) {
  for (auto it = list.end(); it != list.begin();) {
    --it;
    if (it->Edge && it->Id == handle) {
      list.erase(it);
      return;
    }
  }
}
}  // namespace

int IndentManagerBasic::LeftEdgeAt(int y) const {
  bool any = false;
  int best = 0;
  Extreme<true>(L, y, CurrentOwner, CurrentContext, any, best);
  if (y < FSettledY) Extreme<true>(FEndedL, y, CurrentOwner, CurrentContext, any, best);
  return any ? best + LeftLimit : LeftLimit;
}

int IndentManagerBasic::RightEdgeAt(int y) const {
  bool any = false;
  int best = 0;
  Extreme<false>(R, y, CurrentOwner, CurrentContext, any, best);
  if (y < FSettledY) Extreme<false>(FEndedR, y, CurrentOwner, CurrentContext, any, best);
  return any ? best + LeftLimit : RightLimit;
}

void IndentManagerBasic::Settle(int y) {
  if (y <= FSettledY) return;
  MoveEnded(L, FEndedL, y);
  MoveEnded(R, FEndedR, y);
  FSettledY = y;
}

int IndentManagerBasic::PushLeftIndent(int x, int y) {
  Settle(y);
  L.push_back({x - LeftLimit, y, OpenIndentBottom, CurrentOwner, false, true, ++FNextId});
  return FNextId;
}

int IndentManagerBasic::PushRightIndent(int x, int y) {
  Settle(y);
  R.push_back({x - LeftLimit, y, OpenIndentBottom, CurrentOwner, false, true, ++FNextId});
  return FNextId;
}

void IndentManagerBasic::ReleaseLeftIndents(int handle) { Release(L, handle); }

void IndentManagerBasic::ReleaseRightIndents(int handle) { Release(R, handle); }

int IndentManager::FloatsBottom() const { return std::max({0, FLeftFloatsBottom, FRightFloatsBottom}); }

void IndentManager::ClearedY(int& left, int& right) const {
  left = FLeftFloatsBottom + 1;
  right = FRightFloatsBottom + 1;
}

int IndentManager::NextWiderY(int y) const {
  int next = y;
  bool any = false;
  auto scan = [&](const std::vector<IndentRec>& list) {
    for (const IndentRec& r : list)
      if (IsFloat(r) && r.Context == CurrentContext && r.YBottom > y && (!any || r.YBottom < next)) {
        next = r.YBottom;
        any = true;
      }
  };
  scan(L);
  scan(R);
  if (y < FSettledY) {
    scan(FEndedL);
    scan(FEndedR);
  }
  return next;
}

int IndentManager::PlaceFloatImage(int y, bool right, int totalWidth, int spaceLeft, int totalHeight) {
  Settle(y);
  if (!right) {
    int x0 = LeftEdgeAt(y);
    L.push_back({x0 + totalWidth - LeftLimit, y, y + totalHeight, nullptr, false, false, 0, CurrentContext});
    FLeftFloatsBottom = std::max(FLeftFloatsBottom, y + totalHeight);
    return x0 + spaceLeft - LeftLimit;
  }
  int x0 = RightEdgeAt(y);
  R.push_back({x0 - totalWidth - LeftLimit, y, y + totalHeight, nullptr, false, false, 0, CurrentContext});
  FRightFloatsBottom = std::max(FRightFloatsBottom, y + totalHeight);
  return x0 + spaceLeft - totalWidth - LeftLimit;
}

void IndentManager::PlaceFloatBlock(int y, int x, bool right, int height) {
  Settle(y);
  if (!right) {
    L.push_back({x - LeftLimit, y, y + height, nullptr, true, false, 0, CurrentContext});
    FLeftFloatsBottom = std::max(FLeftFloatsBottom, y + height);
  } else {
    R.push_back({x - LeftLimit, y, y + height, nullptr, true, false, 0, CurrentContext});
    FRightFloatsBottom = std::max(FRightFloatsBottom, y + height);
  }
}

namespace {
// Managers lent by TScratchIndents, one per nesting level in use.
struct TScratchStack {
  std::vector<std::unique_ptr<IndentManager>> Managers;
  std::size_t Depth = 0;
};
thread_local TScratchStack ScratchStack;
// Records kept between layouts by an idle manager; a huge page's lists are given back.
constexpr std::size_t MaxIdleRecords = 4096;
}  // namespace

TScratchIndents::TScratchIndents() {
  TScratchStack& st = ScratchStack;
  if (st.Depth == st.Managers.size()) st.Managers.push_back(std::make_unique<IndentManager>());
  FManager = st.Managers[st.Depth++].get();
  FManager->Clear();
}

TScratchIndents::~TScratchIndents() {
  FManager->Clear();
  FManager->Trim(MaxIdleRecords);
  --ScratchStack.Depth;
}

}  // namespace korva
