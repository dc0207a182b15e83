#include "platform/MemoryStream.h"

#include <cstdlib>
#include <cstring>

namespace korva {

TMemoryStream::~TMemoryStream() { Clear(); }

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? FPosition : FSize;
  SetPosition(base + offset);
  return FPosition;
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (FPosition >= FSize || count == 0) return 0;
  std::size_t n = std::size_t(FSize - FPosition);
  if (n > count) n = count;
  std::memcpy(buffer, FMemory + FPosition, n);
  FPosition += std::int64_t(n);
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  std::int64_t end = FPosition + std::int64_t(count);
  if (end > FSize && !SetSize(end)) return 0;
  std::memcpy(FMemory + FPosition, buffer, count);
  FPosition = end;
  return count;
}

bool TMemoryStream::SetSize(std::int64_t size) {
  if (size < 0) return false;
  if (size == FSize) return true;
  if (size == 0) {
    Clear();
    return true;
  }
  std::uint8_t* mem;
  if (FOwnsMemory) {
    mem = static_cast<std::uint8_t*>(std::realloc(FMemory, std::size_t(size)));
    if (!mem) return false;
  } else {
    mem = static_cast<std::uint8_t*>(std::malloc(std::size_t(size)));
    if (!mem) return false;
    std::memcpy(mem, FMemory, std::size_t(size < FSize ? size : FSize));
    FOwnsMemory = true;
  }
  FMemory = mem;
  FSize = size;
  if (FPosition > FSize) FPosition = FSize;
  return true;
}

void TMemoryStream::Clear() {
  if (FOwnsMemory) std::free(FMemory);
  FMemory = nullptr;
  FOwnsMemory = true;
  FSize = 0;
  FPosition = 0;
}

}  // namespace korva
