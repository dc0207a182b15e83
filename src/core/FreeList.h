// A list that owns its objects: removing an item, clearing the list and destroying it free the
// items. Base of most of the document's lists.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

namespace korva {

// The owning pointers of a TFreeList. Nearly every list of a loaded page (the content of a table
// cell or of a block) holds one item, so the first item is kept in place and a heap array is
// only made for a second one. Items stay contiguous; iterators are plain pointers and are
// invalidated by growth as usual.
template <class T>
class TOwnerList {
  using TPtr = std::unique_ptr<T>;

 public:
  using value_type = TPtr;
  using size_type = std::size_t;
  using iterator = TPtr*;
  using const_iterator = const TPtr*;

  TOwnerList() noexcept : FOne() {}
  TOwnerList(const TOwnerList&) = delete;
  TOwnerList& operator=(const TOwnerList&) = delete;
  ~TOwnerList() {
    if (OnHeap()) {
      std::destroy_n(FMany, FSize);
      ::operator delete(FMany);
    } else {
      FOne.~TPtr();
    }
  }

  size_type size() const { return FSize; }
  size_type capacity() const { return FCapacity; }
  bool empty() const { return FSize == 0; }

  TPtr* data() { return OnHeap() ? FMany : &FOne; }
  const TPtr* data() const { return OnHeap() ? FMany : &FOne; }
  iterator begin() { return data(); }
  iterator end() { return data() + FSize; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + FSize; }
  TPtr& operator[](size_type i) { return data()[i]; }
  const TPtr& operator[](size_type i) const { return data()[i]; }
  TPtr& front() { return data()[0]; }
  const TPtr& front() const { return data()[0]; }
  TPtr& back() { return data()[FSize - 1]; }
  const TPtr& back() const { return data()[FSize - 1]; }

  TPtr& push_back(TPtr item) {
    if (FSize == FCapacity) Reallocate(FCapacity < 4 ? 2 * std::size_t(FCapacity) : std::size_t(FCapacity) + FCapacity / 2);
    TPtr* slot = data() + FSize;
    if (OnHeap())
      ::new (static_cast<void*>(slot)) TPtr(std::move(item));
    else
      *slot = std::move(item);  // the slot in place always holds a (maybe null) pointer
    ++FSize;
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
    DropLast();
    return p;
  }

  // Frees the items front to back, as a vector does; the heap array is kept.
  void clear() {
    if (OnHeap())
      std::destroy_n(FMany, FSize);
    else
      FOne.reset();
    FSize = 0;
  }

  // Frees the spare room; one item or none goes back in place.
  void shrink_to_fit() {
    if (OnHeap() && FSize < FCapacity) Reallocate(FSize);
  }

 private:
  bool OnHeap() const { return FCapacity > 1; }

  void DropLast() {
    TPtr& last = back();
    --FSize;
    if (OnHeap())
      last.~TPtr();
    else
      last.reset();
  }

  void Reallocate(std::size_t capacity) {
    if (capacity > std::numeric_limits<std::uint32_t>::max() ||
        capacity > std::numeric_limits<std::size_t>::max() / sizeof(TPtr))
      throw std::length_error("TOwnerList: too many items");
    if (capacity <= 1) {
      if (!OnHeap()) return;
      TPtr* many = FMany;
      ::new (static_cast<void*>(&FOne)) TPtr(FSize ? std::move(many[0]) : nullptr);
      std::destroy_n(many, FSize);
      ::operator delete(many);
      FCapacity = 1;
      return;
    }
    TPtr* many = static_cast<TPtr*>(::operator new(capacity * sizeof(TPtr)));
    std::uninitialized_move_n(data(), FSize, many);
    if (OnHeap()) {
      std::destroy_n(FMany, FSize);
      ::operator delete(FMany);
    } else {
      FOne.~TPtr();
    }
    FMany = many;
    FCapacity = std::uint32_t(capacity);
  }

  union {
    TPtr FOne;     // while the capacity is 1
    TPtr* FMany;   // beyond: an array of FCapacity slots, the first FSize of them made
  };
  std::uint32_t FSize = 0;
  std::uint32_t FCapacity = 1;
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
