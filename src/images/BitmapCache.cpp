#include "images/BitmapCache.h"
#include "core/CharCase.h"

#include <cctype>

namespace korva {

namespace {

int CompareNoCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int ca = korva::UpCase(static_cast<unsigned char>(a[i])), cb = korva::UpCase(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

std::string ImageCacheKey(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  for (char c : name) key += char(korva::UpCase(static_cast<unsigned char>(c)));
  std::size_t b = 0, e = key.size();
  while (b < e && static_cast<unsigned char>(key[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(key[e - 1]) <= ' ') --e;
  return key.substr(b, e - b);
}

bool TStringBitmapList::Find(std::string_view key, int& index) const {
  int lo = 0, hi = Count() - 1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = CompareNoCase(FItems[std::size_t(mid)].first, key);
    if (c == 0) {
      index = mid;
      return true;
    }
    if (c < 0)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  index = lo;
  return false;
}

int TStringBitmapList::IndexOf(std::string_view key) const {
  int i;
  return Find(key, i) ? i : -1;
}

void TStringBitmapList::AddEntry(const std::string& key, std::unique_ptr<TBitmapItem> item) {
  int i;
  Find(key, i);
  if (item) ++item->Holders;
  FItems.insert(FItems.begin() + i, {key, std::move(item)});
}

TImageGraphic TStringBitmapList::TakeImage(int index) {
  TBitmapItem* item = Item(index);
  if (!item) return {};
  item->IdleLoads = 0;
  ++item->Holders;
  return item->Graphic;
}

void TStringBitmapList::ReleaseImage(std::string_view key) {
  int i = IndexOf(key);
  if (i >= 0 && Item(i)) --Item(i)->Holders;
}

void TStringBitmapList::PurgeAged() {
  for (int i = Count() - 1; i >= 0; --i) {
    TBitmapItem* item = Item(i);
    if (!item) continue;
    ++item->IdleLoads;
    if (item->IdleLoads > FMaxAge && item->Holders <= 0) FItems.erase(FItems.begin() + i);
  }
}

void TStringBitmapList::SetMaxAge(int n) {
  for (int i = Count() - 1; i >= 0; --i) {
    TBitmapItem* item = Item(i);
    if (item && item->IdleLoads > n && item->Holders <= 0) FItems.erase(FItems.begin() + i);
  }
  FMaxAge = n;
}

}  // namespace korva
