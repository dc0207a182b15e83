// Single-byte case mapping of the system code page (Windows-1252), used for the reader's
// upper-case shadow character and for case-insensitive names.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace korva {

namespace detail {
struct TCaseTables {
  std::array<unsigned char, 256> Upper, Lower;
  constexpr TCaseTables() : Upper(), Lower() {
    for (int c = 0; c < 256; ++c) {
      Upper[c] = static_cast<unsigned char>(c);
      Lower[c] = static_cast<unsigned char>(c);
    }
    for (int c = 'a'; c <= 'z'; ++c) {
      Upper[c] = static_cast<unsigned char>(c - 32);
      Lower[c - 32] = static_cast<unsigned char>(c);
    }
    // Latin-1 letters (not the multiplication and division signs) and the four letters of
    // 1252's 0x80 row.
    for (int c = 0xE0; c <= 0xFE; ++c) {
      if (c == 0xF7) continue;
      Upper[c] = static_cast<unsigned char>(c - 32);
      Lower[c - 32] = static_cast<unsigned char>(c);
    }
    const int pairs[][2] = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
    for (auto& p : pairs) {
      Upper[p[0]] = static_cast<unsigned char>(p[1]);
      Lower[p[1]] = static_cast<unsigned char>(p[0]);
    }
  }
};
inline constexpr TCaseTables CaseTables{};
}  // namespace detail

inline unsigned char UpCase(unsigned char c) { return detail::CaseTables.Upper[c]; }
inline unsigned char LowCase(unsigned char c) { return detail::CaseTables.Lower[c]; }
inline const unsigned char* UpCaseTable() { return detail::CaseTables.Upper.data(); }

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Compare without regard to case: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);
inline bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

}  // namespace korva
