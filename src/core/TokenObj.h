// Runs of characters with the source position of each: TCharCollection gathers bytes while
// the reader scans, TokenObj holds the 16-bit characters of a text run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace korva {

// Bytes with their 32-bit source positions.
class TCharCollection {
 public:
  TCharCollection();
  TCharCollection(const TCharCollection&) = delete;
  TCharCollection& operator=(const TCharCollection&) = delete;

  void Add(unsigned char c, int pos) {
    if (FCount == FCapacity) Grow(FCount + 1);
    FChars[FCount] = static_cast<char>(c);
    FPositions[FCount] = pos;
    ++FCount;
  }
  // `n` bytes whose positions follow one another from `firstPos`.
  void AddRun(const char* bytes, int n, int firstPos);
  void Concat(const TCharCollection& other);
  void Clear();

  int Count() const { return FCount; }
  std::string AsString() const { return std::string(FChars.get(), static_cast<std::size_t>(FCount)); }
  std::string_view View() const { return std::string_view(FChars.get(), static_cast<std::size_t>(FCount)); }
  const char* Bytes() const { return FChars.get(); }
  const std::int32_t* Positions() const { return FPositions.get(); }

 private:
  void Grow(int needed);
  std::unique_ptr<char[]> FChars;
  std::unique_ptr<std::int32_t[]> FPositions;
  int FCount = 0, FCapacity = 0;
};

// The characters of one text run, each with the position of its source byte.
class TokenObj {
 public:
  TokenObj();
  TokenObj(const TokenObj&) = delete;
  TokenObj& operator=(const TokenObj&) = delete;

  void Clear();
  void AddUnicodeChar(char16_t ch, int pos) {
    if (FCount == FCapacity) Grow(FCount + 1);
    FChars[FCount] = ch;
    FPositions[FCount] = pos;
    ++FCount;
    FCacheValid = false;
  }
  // Decodes the bytes from the code page and appends them; each 16-bit character takes the
  // position of the first byte of its source character.
  void AddString(const TCharCollection& bytes, unsigned codePage);
  void AddString(const char* bytes, const std::int32_t* positions, int n, unsigned codePage);
  // Bytes of a single-byte code page through its table (SingleByteTable), positions following
  // one another from `firstPos`.
  void AddTableRun(const char* bytes, int n, int firstPos, const char16_t* table);
  // Appends another token's characters with their positions.
  void Concat(const TokenObj& other);

  int Count() const { return FCount; }
  int Leng() const { return FCount; }
  // The text as a wide string (cached until the next change).
  const std::u16string& S() const;
  const char16_t* Chars() const { return FChars.get(); }
  const std::int32_t* Positions() const { return FPositions.get(); }

 private:
  void Grow(int needed);
  void AddDecoded(const char16_t* units, int n, const std::int32_t* positions);
  std::unique_ptr<char16_t[]> FChars;
  std::unique_ptr<std::int32_t[]> FPositions;
  int FCount = 0, FCapacity = 0;
  mutable std::u16string FCache;
  mutable bool FCacheValid = true;
};

// A 256-entry table from byte to character for a single-byte code page, or nullptr for pages
// that use more than one byte for some characters.
const char16_t* SingleByteTable(unsigned codePage);

}  // namespace korva
