// The per-document image cache: decoded pictures by upper-cased, trimmed source name, with
// holder counts and aging by page loads.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "images/ImageLoader.h"

namespace korva {

struct TBitmapItem {
  TBitmapItem() = default;
  TBitmapItem(TImageGraphic graphic, TBitmapPtr mask, TransparencyMode mode)
      : Transparency(mode), Graphic(std::move(graphic)), MaskBitmap(std::move(mask)) {}
  int IdleLoads = 0;
  int Holders = 0;
  TransparencyMode Transparency = trNone;
  TImageGraphic Graphic;
  TBitmapPtr MaskBitmap;
};

// The cache key of a source name: upper case, without leading and trailing blanks.
std::string ImageCacheKey(std::string_view sourceName);

class TStringBitmapList {
 public:
  TStringBitmapList() = default;
  TStringBitmapList(const TStringBitmapList&) = delete;
  TStringBitmapList& operator=(const TStringBitmapList&) = delete;
  ~TStringBitmapList() { ClearAll(); }

  int Count() const { return int(FItems.size()); }
  const std::string& Key(int i) const { return FItems[std::size_t(i)].first; }
  TBitmapItem* Item(int i) const { return FItems[std::size_t(i)].second.get(); }
  // Binary search (case-insensitive); true with its index when found, else the insert position.
  bool Find(std::string_view key, int& index) const;
  int IndexOf(std::string_view key) const;

  void AddEntry(const std::string& key, std::unique_ptr<TBitmapItem> item);
  TImageGraphic TakeImage(int index);
  void ReleaseImage(std::string_view key);
  // Once per page load: ages every entry and frees the unused ones older than MaxAge.
  void PurgeAged();
  void SetMaxAge(int n);
  int MaxAge() const { return FMaxAge; }
  void ClearAll() { FItems.clear(); }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<TBitmapItem>>> FItems;
  int FMaxAge = 4;
};

}  // namespace korva
