// An in-memory byte stream: what extraction fills, what images are decoded from and what
// pages are loaded from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korva {

enum TSeekOrigin { soFromBeginning, soFromCurrent, soFromEnd };

class TMemoryStream {
 public:
  TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;
  virtual ~TMemoryStream();

  std::int64_t Size() const { return FSize; }
  std::int64_t Position() const { return FPosition; }
  void SetPosition(std::int64_t pos) { FPosition = pos < 0 ? 0 : pos; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin);
  // Reads up to count bytes from the position; returns the number read.
  std::size_t Read(void* buffer, std::size_t count);
  // Writes at the position, growing the stream; returns the number written (0 when memory ran out).
  std::size_t Write(const void* buffer, std::size_t count);
  // Resizes the memory (contents kept up to the smaller size); false when memory ran out, in
  // which case the stream is unchanged. The position is clamped to the new size.
  bool SetSize(std::int64_t size);
  void Clear();
  std::uint8_t* Memory() { return FMemory; }
  const std::uint8_t* Memory() const { return FMemory; }
  std::string_view Bytes() const { return {reinterpret_cast<const char*>(FMemory), std::size_t(FSize)}; }

 protected:
  std::uint8_t* FMemory = nullptr;
  std::int64_t FSize = 0;
  std::int64_t FPosition = 0;
  bool FOwnsMemory = true;
};

}  // namespace korva
