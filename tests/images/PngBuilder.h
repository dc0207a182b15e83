// Builds small PNG files chunk by chunk for the tests.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "images/PngBitmap.h"

namespace korva::test {

// Small PNG files written chunk by chunk.
struct TPngBuilder {
  std::vector<std::uint8_t> B;
  TPngBuilder() {
    static const std::uint8_t signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    B.assign(signature, signature + 8);
  }
  TPngBuilder& Chunk(const char* type, const std::vector<std::uint8_t>& data, bool badCrc = false) {
    Put32(std::uint32_t(data.size()));
    std::size_t at = B.size();
    B.insert(B.end(), type, type + 4);
    B.insert(B.end(), data.begin(), data.end());
    std::uint32_t crc = PngCrc(0, B.data() + at, 4 + data.size());
    Put32(badCrc ? crc ^ 1 : crc);
    return *this;
  }
  void Put32(std::uint32_t v) {
    B.push_back(std::uint8_t(v >> 24));
    B.push_back(std::uint8_t(v >> 16));
    B.push_back(std::uint8_t(v >> 8));
    B.push_back(std::uint8_t(v));
  }
  TPngBuilder& Header(std::uint32_t w, std::uint32_t h, int depth, int type, int interlace = 0) {
    std::vector<std::uint8_t> d;
    for (std::uint32_t v : {w, h})
      for (int s = 24; s >= 0; s -= 8) d.push_back(std::uint8_t(v >> s));
    d.insert(d.end(), {std::uint8_t(depth), std::uint8_t(type), 0, 0, std::uint8_t(interlace)});
    return Chunk("IHDR", d);
  }
  TPngBuilder& Pixels(const std::vector<std::uint8_t>& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<std::uint8_t> z(size);
    compress(z.data(), &size, raw.data(), uLong(raw.size()));
    z.resize(size);
    return Chunk("IDAT", z);
  }
  TPngBuilder& End() { return Chunk("IEND", {}); }
};


}  // namespace korva::test
