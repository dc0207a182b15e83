#include "core/IDNameList.h"

#include "core/CharCase.h"

namespace korva {

int TChPosObj::DocumentY() {
  int y = 0;
  if (FDocument && FDocument->FindLineY(FChPos, y)) return y;
  return 0;
}

bool TIDNameList::TLess::operator()(std::string_view a, std::string_view b) const {
  return CompareText(a, b) < 0;
}

void TIDNameList::AddObject(std::string_view name, TIDObject* object) {
  auto it = FNames.find(name);
  if (it != FNames.end()) FNames.erase(it);
  FNames.emplace(std::string(name), TEntry{object, nullptr});
}

TChPosObj* TIDNameList::AddChPosObject(std::string_view name, int charPos) {
  auto owned = std::make_unique<TChPosObj>(FDocument, charPos);
  TChPosObj* p = owned.get();
  auto it = FNames.find(name);
  if (it != FNames.end()) FNames.erase(it);
  FNames.emplace(std::string(name), TEntry{p, std::move(owned)});
  return p;
}

TIDObject* TIDNameList::Find(std::string_view name) const {
  auto it = FNames.find(name);
  return it == FNames.end() ? nullptr : it->second.Object;
}

void TIDNameList::RemoveObject(const TIDObject* object) {
  for (auto it = FNames.begin(); it != FNames.end();) {
    if (it->second.Object == object) it = FNames.erase(it);
    else ++it;
  }
}

void TIDNameList::Remove(std::string_view name) {
  auto it = FNames.find(name);
  if (it != FNames.end()) FNames.erase(it);
}

}  // namespace korva
