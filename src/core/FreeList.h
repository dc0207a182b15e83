// A list that owns its objects: removing an item, clearing the list and destroying it free the
// items. Base of most of the document's lists.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace korva {

template <class T>
class TFreeList {
 public:
  TFreeList() = default;
  virtual ~TFreeList() = default;
  TFreeList(const TFreeList&) = delete;
  TFreeList& operator=(const TFreeList&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  bool Empty() const { return FItems.empty(); }
  T* operator[](int i) const { return FItems[static_cast<std::size_t>(i)].get(); }
  T* Items(int i) const { return (*this)[i]; }
  T* First() const { return FItems.empty() ? nullptr : FItems.front().get(); }
  T* Last() const { return FItems.empty() ? nullptr : FItems.back().get(); }

  // Takes ownership; returns the object.
  T* Add(std::unique_ptr<T> item) {
    FItems.push_back(std::move(item));
    return FItems.back().get();
  }
  T* Add(T* item) { return Add(std::unique_ptr<T>(item)); }
  T* Insert(int index, std::unique_ptr<T> item) {
    auto it = FItems.insert(FItems.begin() + index, std::move(item));
    return it->get();
  }
  int IndexOf(const T* item) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i].get() == item) return static_cast<int>(i);
    return -1;
  }
  // Removes and frees.
  void Delete(int index) { FItems.erase(FItems.begin() + index); }
  void Remove(const T* item) {
    int i = IndexOf(item);
    if (i >= 0) Delete(i);
  }
  // Removes without freeing: the caller takes the object.
  std::unique_ptr<T> Extract(int index) {
    std::unique_ptr<T> p = std::move(FItems[static_cast<std::size_t>(index)]);
    FItems.erase(FItems.begin() + index);
    return p;
  }
  std::unique_ptr<T> Extract(const T* item) {
    int i = IndexOf(item);
    return i >= 0 ? Extract(i) : nullptr;
  }
  virtual void Clear() { FItems.clear(); }

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 protected:
  std::vector<std::unique_ptr<T>> FItems;
};

}  // namespace korva
