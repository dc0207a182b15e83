// A memory stream of encoded image bytes, as handed over by a host or read from a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace korva {

class EReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TImageStream {
 public:
  TImageStream() = default;
  explicit TImageStream(std::vector<std::uint8_t> data) : FData(std::move(data)) {}
  TImageStream(const void* data, std::size_t size)
      : FData(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size) {}

  const std::uint8_t* Memory() const { return FData.empty() ? nullptr : FData.data(); }
  std::size_t Size() const { return FData.size(); }
  std::size_t Position() const { return FPosition; }
  void SetPosition(std::size_t p) { FPosition = p; }
  std::vector<std::uint8_t>& Data() { return FData; }
  const std::vector<std::uint8_t>& Data() const { return FData; }

  // Reads up to n bytes from the position; returns how many were read.
  std::size_t Read(void* buffer, std::size_t n) {
    std::size_t left = FPosition < FData.size() ? FData.size() - FPosition : 0;
    if (n > left) n = left;
    if (n) std::memcpy(buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
  }
  // Reads exactly n bytes or raises.
  void ReadBuffer(void* buffer, std::size_t n) {
    if (Read(buffer, n) != n) throw EReadError("Stream read error");
  }

 private:
  std::vector<std::uint8_t> FData;
  std::size_t FPosition = 0;
};

// Reads a whole file; false when it cannot be opened or is larger than maxBytes.
bool ReadWholeFile(const std::string& fileName, std::vector<std::uint8_t>& out, std::size_t maxBytes);

}  // namespace korva
