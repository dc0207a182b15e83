// Builds small GIF files byte by byte for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korva::test {

class TGifBuilder {
 public:
  explicit TGifBuilder(const std::string& signature = "GIF89a", int width = 4, int height = 4, int globalColors = 4) {
    for (char c : signature) B.push_back(std::uint8_t(c));
    Word(width);
    Word(height);
    if (globalColors > 0) {
      int bits = 1;
      while ((1 << bits) < globalColors) ++bits;
      B.push_back(std::uint8_t(0x80 | ((bits - 1) << 4) | (bits - 1)));
      B.push_back(0);
      B.push_back(0);
      for (int i = 0; i < (1 << bits); ++i) Color(i);
    } else {
      B.push_back(0);
      B.push_back(0);
      B.push_back(0);
    }
  }
  // Colour i of the test palettes: distinct, easy to check.
  static std::uint32_t PaletteColor(int i) { return std::uint32_t((i * 40) & 255) | (std::uint32_t((i * 90 + 20) & 255) << 8) | (std::uint32_t((255 - i * 30) & 255) << 16); }
  void Color(int i) {
    std::uint32_t c = PaletteColor(i);
    B.push_back(std::uint8_t(c));
    B.push_back(std::uint8_t(c >> 8));
    B.push_back(std::uint8_t(c >> 16));
  }
  void Word(int v) {
    B.push_back(std::uint8_t(v));
    B.push_back(std::uint8_t(v >> 8));
  }
  TGifBuilder& Gce(int disposal, int delay, int transparentIndex = -1, int blockSize = 4) {
    B.insert(B.end(), {0x21, 0xF9, std::uint8_t(blockSize)});
    B.push_back(std::uint8_t((disposal << 2) | (transparentIndex >= 0 ? 1 : 0)));
    Word(delay);
    B.push_back(std::uint8_t(transparentIndex >= 0 ? transparentIndex : 0));
    for (int i = 4; i < blockSize; ++i) B.push_back(0);
    B.push_back(0);
    return *this;
  }
  TGifBuilder& Netscape(std::vector<std::uint8_t> sub) {
    B.insert(B.end(), {0x21, 0xFF, 11});
    for (char c : std::string("NETSCAPE2.0")) B.push_back(std::uint8_t(c));
    B.push_back(std::uint8_t(sub.size()));
    B.insert(B.end(), sub.begin(), sub.end());
    B.push_back(0);
    return *this;
  }
  // Codes of width minCode + 1 only: a clear code before the table would grow.
  static std::vector<std::uint8_t> Lzw(const std::vector<int>& indexes, int minCode, bool end = true) {
    std::vector<int> codes;
    const int clear = 1 << minCode;
    const int perClear = 1 + ((1 << minCode) - 3);
    codes.push_back(clear);
    int n = 0;
    for (int v : indexes) {
      if (n == perClear) {
        codes.push_back(clear);
        n = 0;
      }
      codes.push_back(v);
      ++n;
    }
    if (end) codes.push_back(clear + 1);
    return PackCodes(codes, minCode + 1);
  }
  static std::vector<std::uint8_t> PackCodes(const std::vector<int>& codes, int width) {
    std::vector<std::uint8_t> out;
    std::uint32_t acc = 0;
    int bits = 0;
    for (int c : codes) {
      acc |= std::uint32_t(c) << bits;
      bits += width;
      while (bits >= 8) {
        out.push_back(std::uint8_t(acc));
        acc >>= 8;
        bits -= 8;
      }
    }
    if (bits) out.push_back(std::uint8_t(acc));
    return out;
  }
  TGifBuilder& Image(int left, int top, int w, int h, const std::vector<int>& indexes, int minCode = 2,
                     bool interlaced = false, int localColors = 0) {
    B.push_back(0x2C);
    Word(left);
    Word(top);
    Word(w);
    Word(h);
    std::uint8_t packed = interlaced ? 0x40 : 0;
    int bits = 1;
    if (localColors > 0) {
      while ((1 << bits) < localColors) ++bits;
      packed |= std::uint8_t(0x80 | (bits - 1));
    }
    B.push_back(packed);
    if (localColors > 0)
      for (int i = 0; i < (1 << bits); ++i) Color(i + 3);
    B.push_back(std::uint8_t(minCode));
    Data(Lzw(indexes, minCode));
    return *this;
  }
  TGifBuilder& Data(const std::vector<std::uint8_t>& data) {
    for (std::size_t i = 0; i < data.size(); i += 255) {
      std::size_t n = std::min<std::size_t>(255, data.size() - i);
      B.push_back(std::uint8_t(n));
      B.insert(B.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    B.push_back(0);
    return *this;
  }
  TGifBuilder& Raw(std::vector<std::uint8_t> bytes) {
    B.insert(B.end(), bytes.begin(), bytes.end());
    return *this;
  }
  std::vector<std::uint8_t> End() {
    B.push_back(0x3B);
    return B;
  }
  std::vector<std::uint8_t> B;
};

}  // namespace korva::test
