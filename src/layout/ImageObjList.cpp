#include "layout/ImageObjList.h"

#include <algorithm>

#include "layout/ImageObj.h"

namespace korva {

int TImageObjList::FirstAtOrAfter(int index) const {
  auto it = std::lower_bound(FItems.begin(), FItems.end(), index,
                             [](const std::unique_ptr<TFloatingObj>& o, int i) { return o->TextIndex() < i; });
  return int(it - FItems.begin());
}

TImageObj* TImageObjList::ObjectAtPoint(int x, int y, int& rx, int& ry) const {
  for (const auto& o : FItems) {
    if (o->IsPanel()) continue;
    auto* image = static_cast<TImageObj*>(o.get());
    const int dx = x - image->DrawnLeft, dy = y - image->DrawnTop;
    if (dx >= 0 && dx < image->ShownWidth() && dy >= 0 && dy < image->ShownHeight()) {
      rx = dx;
      ry = dy;
      return image;
    }
  }
  return nullptr;
}

bool TImageObjList::ImageAtPoint(int x, int y, TImageHit& hit) const {
  hit = TImageHit{};
  hit.Image = ObjectAtPoint(x, y, hit.X, hit.Y);
  if (!hit.Image) return false;
  hit.ServerSideMap = hit.Image->ServerSideMap;
  if (hit.Image->ClientSideMap && hit.Image->Document) hit.Map = hit.Image->Document->FindMap(hit.Image->ClientMapName);
  return true;
}

TFloatingObj* TImageObjList::ObjectAtIndex(int index) const {
  const int i = FirstAtOrAfter(index);
  return i < Count() && FItems[std::size_t(i)]->TextIndex() == index ? FItems[std::size_t(i)].get() : nullptr;
}

int TImageObjList::GetHeightAt(int index, TAlignCode& align) const {
  const TFloatingObj* o = ObjectAtIndex(index);
  if (!o) return -1;
  align = o->Placement;
  return o->TotalHeight();
}

int TImageObjList::GetWidthAt(int index, TAlignCode& align, int& spaceLeft, int& spaceRight) const {
  const TFloatingObj* o = ObjectAtIndex(index);
  if (!o) return -1;
  align = o->Placement;
  spaceLeft = o->SpaceLeft;
  spaceRight = o->SpaceRight;
  return o->BoxWidth;
}

int TImageObjList::CharsToNextObject(int index) const {
  const int i = FirstAtOrAfter(index);
  return i < Count() ? FItems[std::size_t(i)]->TextIndex() - index : NoObjectAhead;
}

void TImageObjList::CloseGap(int index) {
  for (auto& o : FItems)
    if (o->TextIndex() > index) o->SetTextIndex(o->TextIndex() - 1);
}

void TImageObjList::CopyFrom(const TImageObjList& source, TSectionList* document) {
  for (const auto& o : source.FItems) Add(o->CloneForPrint(document));
}

}  // namespace korva
