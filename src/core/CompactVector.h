// A vector that takes one pointer in its owner: the size and capacity live in the block before
// the items (from the small-object pool), and an empty vector holds no block at all. Layout objects exist by the
// ten thousand on a large page and most of their lists are empty or short, so the two words a
// standard vector spends on them are worth saving.
//
// It offers the part of the standard vector's interface that these lists use; iterators are
// plain pointers and are invalidated by growth as usual.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "core/SmallObjectPool.h"

namespace korva {

template <class T>
class TCompactVector {
  struct THeader {
    std::uint32_t Size;
    std::uint32_t Capacity;
  };
  static_assert(alignof(T) <= 8, "items need a stricter alignment than the small-object pool gives");
  static constexpr std::size_t ItemsOffset =
      (sizeof(THeader) + alignof(T) - 1) / alignof(T) * alignof(T);

 public:
  using value_type = T;
  using size_type = std::size_t;
  using iterator = T*;
  using const_iterator = const T*;
  using reference = T&;
  using const_reference = const T&;

  TCompactVector() = default;
  TCompactVector(const TCompactVector& other) {
    if (other.empty()) return;
    const size_type n = other.size();
    Allocate(n);
    std::uninitialized_copy(other.begin(), other.end(), Items());
    Header()->Size = std::uint32_t(n);
  }
  TCompactVector(TCompactVector&& other) noexcept : FBlock(std::exchange(other.FBlock, nullptr)) {}
  TCompactVector& operator=(const TCompactVector& other) {
    if (this != &other) {
      TCompactVector copy(other);
      swap(copy);
    }
    return *this;
  }
  TCompactVector& operator=(TCompactVector&& other) noexcept {
    if (this != &other) {
      Release();
      FBlock = std::exchange(other.FBlock, nullptr);
    }
    return *this;
  }
  ~TCompactVector() { Release(); }

  void swap(TCompactVector& other) noexcept { std::swap(FBlock, other.FBlock); }

  size_type size() const { return !FBlock ? 0 : IsSingle() ? 1 : Header()->Size; }
  size_type capacity() const { return !FBlock ? 0 : IsSingle() ? 1 : Header()->Capacity; }
  bool empty() const { return size() == 0; }

  T* data() { return FBlock ? Items() : nullptr; }
  const T* data() const { return FBlock ? Items() : nullptr; }
  iterator begin() { return data(); }
  iterator end() { return data() + size(); }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size(); }

  T& operator[](size_type i) { return Items()[i]; }
  const T& operator[](size_type i) const { return Items()[i]; }
  T& front() { return Items()[0]; }
  const T& front() const { return Items()[0]; }
  T& back() { return Items()[size() - 1]; }
  const T& back() const { return Items()[size() - 1]; }

  void reserve(size_type n) {
    if (n > capacity()) Reallocate(n);
  }

  template <class... A>
  T& emplace_back(A&&... args) {
    const size_type n = size();
    if (n == capacity() || IsSingle()) Reallocate(n < 2 ? n + 1 : n + n / 2 + 1);
    T* item = ::new (static_cast<void*>(Items() + n)) T(std::forward<A>(args)...);
    ++Header()->Size;
    return *item;
  }
  void push_back(const T& item) { emplace_back(item); }
  void push_back(T&& item) { emplace_back(std::move(item)); }

  void pop_back() {
    Unsingle();
    std::destroy_at(&back());
    --Header()->Size;
  }

  iterator erase(iterator pos) {
    if (IsSingle()) {
      const size_type i = size_type(pos - begin());
      Unsingle();
      pos = begin() + i;
    }
    std::move(pos + 1, end(), pos);
    pop_back();
    return pos;
  }

  void resize(size_type n) {
    Unsingle();
    const size_type old = size();
    if (n < old) {
      std::destroy(begin() + n, end());
      Header()->Size = std::uint32_t(n);
      return;
    }
    reserve(n);
    for (size_type i = old; i < n; ++i) {
      ::new (static_cast<void*>(Items() + i)) T();
      ++Header()->Size;
    }
  }

  void clear() {
    if (!FBlock) return;
    if (IsSingle()) {
      Release();
      return;
    }
    std::destroy(begin(), end());
    Header()->Size = 0;
  }

  // Frees the spare room; an empty vector gives its block back, and a single item is kept in a
  // block of its own size, without the header.
  void shrink_to_fit() {
    if (!FBlock || IsSingle()) return;
    const size_type n = Header()->Size;
    if (n == 0) {
      Release();
    } else if (n == 1) {
      void* single = SmallAllocate(sizeof(T));
      ::new (single) T(std::move(Items()[0]));
      Release();
      FBlock = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(single) | SingleBit);
    } else if (n < Header()->Capacity) {
      Reallocate(n);
    }
  }

 private:
  // A block holds a header and the items, or (marked by the pointer's low bit, free since
  // blocks are aligned to 8) exactly one item and nothing else.
  static constexpr std::uintptr_t SingleBit = 1;
  bool IsSingle() const { return reinterpret_cast<std::uintptr_t>(FBlock) & SingleBit; }
  T* SingleItem() const {
    return reinterpret_cast<T*>(reinterpret_cast<std::uintptr_t>(FBlock) & ~SingleBit);
  }
  THeader* Header() const { return static_cast<THeader*>(FBlock); }
  T* Items() const {
    return IsSingle() ? SingleItem() : reinterpret_cast<T*>(static_cast<char*>(FBlock) + ItemsOffset);
  }
  // Back to a block with a header, before the size changes.
  void Unsingle() {
    if (IsSingle()) Reallocate(1);
  }

  void Allocate(size_type capacity) {
    if (capacity > std::numeric_limits<std::uint32_t>::max() ||
        capacity > (std::numeric_limits<std::size_t>::max() - ItemsOffset) / sizeof(T))
      throw std::length_error("TCompactVector: too many items");
    FBlock = SmallAllocate(ItemsOffset + capacity * sizeof(T));
    *Header() = THeader{0, std::uint32_t(capacity)};
  }

  void Reallocate(size_type capacity) {
    TCompactVector grown;
    grown.Allocate(capacity);
    if (FBlock) {
      std::uninitialized_move(begin(), end(), grown.Items());
      grown.Header()->Size = std::uint32_t(size());
    }
    swap(grown);  // `grown` now frees the old block and destroys the moved-from items
  }

  void Release() {
    if (!FBlock) return;
    std::destroy(begin(), end());
    if (IsSingle()) SmallFree(SingleItem(), sizeof(T));
    else SmallFree(FBlock, ItemsOffset + Header()->Capacity * sizeof(T));
    FBlock = nullptr;
  }

  void* FBlock = nullptr;
};


// A list of small plain items that holds its first item in place: most lists of this kind in a
// page hold one item, which then needs no heap block at all.
template <class T>
class TSmallList {
  static_assert(std::is_trivially_copyable_v<T>, "items are copied as bytes");

 public:
  using value_type = T;
  using size_type = std::size_t;
  using iterator = T*;
  using const_iterator = const T*;

  TSmallList() : FOne() {}
  TSmallList(const TSmallList& other) : FOne() { Assign(other); }
  TSmallList& operator=(const TSmallList& other) {
    if (this != &other) {
      clear();
      shrink_to_fit();
      Assign(other);
    }
    return *this;
  }
  ~TSmallList() {
    if (OnHeap()) delete[] FMany;
  }

  size_type size() const { return FSize; }
  size_type capacity() const { return FCapacity; }
  bool empty() const { return FSize == 0; }
  T* data() { return OnHeap() ? FMany : &FOne; }
  const T* data() const { return OnHeap() ? FMany : &FOne; }
  iterator begin() { return data(); }
  iterator end() { return data() + FSize; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + FSize; }
  T& operator[](size_type i) { return data()[i]; }
  const T& operator[](size_type i) const { return data()[i]; }
  T& back() { return data()[FSize - 1]; }
  const T& back() const { return data()[FSize - 1]; }

  void push_back(const T& item) {
    if (FSize == FCapacity) Reallocate(FCapacity < 4 ? 4 : std::size_t(FCapacity) + FCapacity / 2);
    data()[FSize++] = item;
  }
  void clear() { FSize = 0; }
  // Frees the spare room; one item or none goes back in place.
  void shrink_to_fit() {
    if (OnHeap() && FSize < FCapacity) Reallocate(FSize);
  }

 private:
  bool OnHeap() const { return FCapacity > 1; }
  void Assign(const TSmallList& other) {
    if (other.FSize > 1) Reallocate(other.FSize);
    std::copy_n(other.data(), other.FSize, data());
    FSize = other.FSize;
  }
  void Reallocate(std::size_t capacity) {
    if (capacity > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("TSmallList: too many items");
    if (capacity <= 1) {
      if (!OnHeap()) return;
      T* many = FMany;
      if (FSize) FOne = many[0];
      else FOne = T();
      delete[] many;
      FCapacity = 1;
      return;
    }
    T* many = new T[capacity];
    std::copy_n(data(), FSize, many);
    if (OnHeap()) delete[] FMany;
    FMany = many;
    FCapacity = std::uint32_t(capacity);
  }

  union {
    T FOne;
    T* FMany;
  };
  std::uint32_t FSize = 0;
  std::uint32_t FCapacity = 1;  // 1: the item is held in place
};

}  // namespace korva
