// Room for what a document's text sections hold unchanged once they are read (their characters
// and source positions): carved one after another out of large blocks, so that thousands of
// short texts cost no heap block, header or rounding each. Everything is freed at once, when
// the document is cleared, after its sections are gone.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace korva {

class TDocumentStore {
 public:
  // Requests above this get a block of their own.
  static constexpr std::size_t BlockSize = 64 * 1024;
  static constexpr std::size_t Alignment = 4;

  TDocumentStore() = default;
  TDocumentStore(const TDocumentStore&) = delete;
  TDocumentStore& operator=(const TDocumentStore&) = delete;

  // `n` bytes aligned to 4, valid until Clear().
  void* Allocate(std::size_t n) {
    n = (n + Alignment - 1) / Alignment * Alignment;
    if (n > BlockSize / 4) {
      FBlocks.push_back(std::make_unique_for_overwrite<std::byte[]>(n));
      FBytes += n;
      return FBlocks.back().get();
    }
    if (n > FLeft) {
      FBlocks.push_back(std::make_unique_for_overwrite<std::byte[]>(BlockSize));
      FNext = FBlocks.back().get();
      FLeft = BlockSize;
      FBytes += BlockSize;
    }
    void* p = FNext;
    FNext += n;
    FLeft -= n;
    return p;
  }
  void Clear() {
    FBlocks.clear();
    FNext = nullptr;
    FLeft = 0;
    FBytes = 0;
  }
  // Bytes taken from the heap.
  std::size_t Bytes() const { return FBytes; }

 private:
  std::vector<std::unique_ptr<std::byte[]>> FBlocks;
  std::byte* FNext = nullptr;
  std::size_t FLeft = 0;
  std::size_t FBytes = 0;
};

}  // namespace korva
