// Encoded image bytes live in the memory stream type that hosts and the archive hand over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/MemoryStream.h"

namespace korva {

class EReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A memory stream filled with a copy of some bytes.
class TImageStream : public TMemoryStream {
 public:
  TImageStream() = default;
  TImageStream(const void* data, std::size_t size) {
    if (size > 0 && SetSize(std::int64_t(size))) std::memcpy(FMemory, data, size);
  }
  explicit TImageStream(const std::vector<std::uint8_t>& data) : TImageStream(data.data(), data.size()) {}
};

// Reads a whole file; false when it cannot be opened or is larger than maxBytes.
bool ReadWholeFile(const std::string& fileName, std::vector<std::uint8_t>& out, std::size_t maxBytes);

}  // namespace korva
