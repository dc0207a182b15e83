// A list that owns its objects: removing an item, clearing the list and destroying it free the
// items. Base of most of the document's lists.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "core/SmallObjectPool.h"

namespace korva {

// The owning pointers of a TFreeList, in one word. Nearly every list of a loaded page (the
// content of a table cell or of a block) holds one item, so a first item that is not null is
// kept in place; a second one (or a null one) moves the items to a heap array that starts with
// the size and capacity, and the word then holds the array's address with its low bit set.
// Items stay contiguous; iterators are plain pointers and are invalidated by growth as usual.
template <class T>
class TOwnerList {
  using TPtr = std::unique_ptr<T>;
  struct THeader {
    std::uint32_t Size;
    std::uint32_t Capacity;
  };
  static_assert(sizeof(TPtr) == sizeof(std::uintptr_t), "an owning pointer must fit the word");
  static_assert(sizeof(THeader) % alignof(TPtr) == 0, "the items follow the header");

 public:
  using value_type = TPtr;
  using size_type = std::size_t;
  using iterator = TPtr*;
  using const_iterator = const TPtr*;

  TOwnerList() noexcept : FOne() {}
  TOwnerList(const TOwnerList&) = delete;
  TOwnerList& operator=(const TOwnerList&) = delete;
  ~TOwnerList() {
    if (THeader* h = Heap())
      Free(h);
    else
      FOne.~TPtr();
  }

  size_type size() const {
    const THeader* h = Heap();
    return h ? h->Size : FOne ? 1 : 0;
  }
  size_type capacity() const {
    const THeader* h = Heap();
    return h ? h->Capacity : 1;
  }
  bool empty() const { return size() == 0; }

  TPtr* data() {
    THeader* h = Heap();
    return h ? Items(h) : &FOne;
  }
  const TPtr* data() const {
    const THeader* h = Heap();
    return h ? Items(h) : &FOne;
  }
  iterator begin() { return data(); }
  iterator end() { return data() + size(); }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size(); }
  TPtr& operator[](size_type i) { return data()[i]; }
  const TPtr& operator[](size_type i) const { return data()[i]; }
  TPtr& front() { return data()[0]; }
  const TPtr& front() const { return data()[0]; }
  TPtr& back() { return data()[size() - 1]; }
  const TPtr& back() const { return data()[size() - 1]; }

  TPtr& push_back(TPtr item) {
    THeader* h = Heap();
    if (!h) {
      if (!FOne && item) {
        FOne = std::move(item);
        return FOne;
      }
      h = Reallocate(2);
    } else if (h->Size == h->Capacity) {
      const std::size_t cap = h->Capacity;
      h = Reallocate(cap < 4 ? 2 * cap : cap + cap / 2);
    }
    TPtr* slot = ::new (static_cast<void*>(Items(h) + h->Size)) TPtr(std::move(item));
    ++h->Size;
    return *slot;
  }

  iterator insert(const_iterator pos, TPtr item) {
    const std::size_t at = std::size_t(pos - begin());
    push_back(std::move(item));
    std::rotate(begin() + at, end() - 1, end());
    return begin() + at;
  }

  // Frees the item at pos (once the later ones have moved down, as a vector does).
  iterator erase(const_iterator pos) {
    TPtr* p = begin() + (pos - begin());
    std::move(p + 1, end(), p);
    if (THeader* h = Heap()) {
      --h->Size;
      Items(h)[h->Size].~TPtr();
    } else {
      FOne.reset();
    }
    return p;
  }

  // Frees the items front to back, as a vector does; the heap array is kept.
  void clear() {
    if (THeader* h = Heap()) {
      std::destroy_n(Items(h), h->Size);
      h->Size = 0;
    } else {
      FOne.reset();
    }
  }

  // Frees the spare room; one item or none goes back in place (a lone null item keeps an
  // array of one).
  void shrink_to_fit() {
    THeader* h = Heap();
    if (!h || h->Size == h->Capacity) return;
    if (h->Size == 0 || (h->Size == 1 && Items(h)[0])) {
      TPtr item = h->Size ? std::move(Items(h)[0]) : nullptr;
      Free(h);
      ::new (static_cast<void*>(&FOne)) TPtr(std::move(item));
      return;
    }
    Reallocate(h->Size);
  }

 private:
  THeader* Heap() const {
    std::uintptr_t word = 0;
    std::memcpy(&word, static_cast<const void*>(&FOne), sizeof word);
    return word & 1 ? reinterpret_cast<THeader*>(word - 1) : nullptr;
  }
  static TPtr* Items(THeader* h) { return reinterpret_cast<TPtr*>(h + 1); }
  static const TPtr* Items(const THeader* h) { return reinterpret_cast<const TPtr*>(h + 1); }
  static void Free(THeader* h) {
    std::destroy_n(Items(h), h->Size);
    SmallFree(h, sizeof(THeader) + h->Capacity * sizeof(TPtr));
  }

  // Moves the items to a new heap array of `capacity` slots; returns its header.
  THeader* Reallocate(std::size_t capacity) {
    if (capacity > std::numeric_limits<std::uint32_t>::max() ||
        capacity > (std::numeric_limits<std::size_t>::max() - sizeof(THeader)) / sizeof(TPtr))
      throw std::length_error("TOwnerList: too many items");
    auto* fresh = static_cast<THeader*>(SmallAllocate(sizeof(THeader) + capacity * sizeof(TPtr)));
    const std::size_t n = size();
    fresh->Size = std::uint32_t(n);
    fresh->Capacity = std::uint32_t(capacity);
    std::uninitialized_move_n(data(), n, Items(fresh));
    if (THeader* h = Heap())
      Free(h);
    else
      FOne.~TPtr();
    FTagged = reinterpret_cast<std::uintptr_t>(fresh) | 1;
    return fresh;
  }

  union {
    TPtr FOne;               // in place: the item, or null for none
    std::uintptr_t FTagged;  // on the heap: the array's address + 1
  };
};

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
  T* Add(std::unique_ptr<T> item) { return FItems.push_back(std::move(item)).get(); }
  T* Add(T* item) { return Add(std::unique_ptr<T>(item)); }
  T* Insert(int index, std::unique_ptr<T> item) {
    return FItems.insert(FItems.begin() + index, std::move(item))->get();
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
  TOwnerList<T> FItems;
};

}  // namespace korva
