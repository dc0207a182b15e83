#include "core/TokenObj.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/CodePage.h"

namespace korva {

namespace {

// Text runs are gathered in pre-sized buffers. They grow geometrically (not by a fixed step)
// so that a run of many megabytes is not copied over and over; a buffer that grew very large
// is given back when cleared.
constexpr int InitialCapacity = 300;
constexpr int KeepCapacity = 1 << 16;

int NewCapacity(int current, int needed) {
  long long c = std::max<long long>(static_cast<long long>(current) * 2, needed);
  return static_cast<int>(std::min<long long>(c, 0x7FFFFFFF));
}

bool AllAscii(const char* bytes, int n) {
  for (int i = 0; i < n; ++i)
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
  return true;
}

}  // namespace

const char16_t* SingleByteTable(unsigned codePage) {
  if (IsMultiByteCodePage(codePage)) return nullptr;
  thread_local unsigned lastPage = ~0u;
  thread_local const char16_t* lastTable = nullptr;
  if (codePage == lastPage) return lastTable;
  thread_local std::unordered_map<unsigned, std::unique_ptr<std::array<char16_t, 256>>> tables;
  auto& t = tables[codePage];
  if (!t) {
    t = std::make_unique<std::array<char16_t, 256>>();
    char all[256];
    for (int b = 0; b < 256; ++b) all[b] = static_cast<char>(b);
    std::u16string w = MultiByteToWide(codePage, std::string_view(all, 256));
    if (w.size() == 256) {
      std::copy(w.begin(), w.end(), t->begin());
    } else {
      // A page that composes or drops bytes: convert them one at a time.
      for (int b = 0; b < 256; ++b) {
        std::u16string one = MultiByteToWide(codePage, std::string_view(all + b, 1));
        (*t)[b] = one.size() == 1 ? one[0] : char16_t(0xFFFD);
      }
    }
    (*t)[0] = 0;
  }
  lastPage = codePage;
  lastTable = t->data();
  return lastTable;
}

// ---- TCharCollection ----

TCharCollection::TCharCollection() { Grow(InitialCapacity); }

void TCharCollection::Grow(int needed) {
  int cap = FCapacity == 0 ? std::max(needed, InitialCapacity) : NewCapacity(FCapacity, needed);
  auto chars = std::make_unique<char[]>(static_cast<std::size_t>(cap));
  auto pos = std::make_unique<std::int32_t[]>(static_cast<std::size_t>(cap));
  if (FCount > 0) {
    std::memcpy(chars.get(), FChars.get(), static_cast<std::size_t>(FCount));
    std::memcpy(pos.get(), FPositions.get(), static_cast<std::size_t>(FCount) * sizeof(std::int32_t));
  }
  FChars = std::move(chars);
  FPositions = std::move(pos);
  FCapacity = cap;
}

void TCharCollection::AddRun(const char* bytes, int n, int firstPos) {
  if (n <= 0) return;
  if (FCount + n > FCapacity) Grow(FCount + n);
  std::memcpy(FChars.get() + FCount, bytes, static_cast<std::size_t>(n));
  std::int32_t* p = FPositions.get() + FCount;
  for (int i = 0; i < n; ++i) p[i] = firstPos + i;
  FCount += n;
}

void TCharCollection::Concat(const TCharCollection& other) {
  if (other.FCount == 0) return;
  if (FCount + other.FCount > FCapacity) Grow(FCount + other.FCount + 50);
  std::memcpy(FChars.get() + FCount, other.FChars.get(), static_cast<std::size_t>(other.FCount));
  std::memcpy(FPositions.get() + FCount, other.FPositions.get(),
              static_cast<std::size_t>(other.FCount) * sizeof(std::int32_t));
  FCount += other.FCount;
}

void TCharCollection::Clear() {
  FCount = 0;
  if (FCapacity > KeepCapacity) {
    FCapacity = 0;
    FChars.reset();
    FPositions.reset();
    Grow(InitialCapacity);
  }
}

// ---- TokenObj ----

TokenObj::TokenObj() { Grow(InitialCapacity); }

void TokenObj::Grow(int needed) {
  int cap = FCapacity == 0 ? std::max(needed, InitialCapacity) : NewCapacity(FCapacity, needed);
  auto chars = std::make_unique<char16_t[]>(static_cast<std::size_t>(cap));
  auto pos = std::make_unique<std::int32_t[]>(static_cast<std::size_t>(cap));
  if (FCount > 0) {
    std::memcpy(chars.get(), FChars.get(), static_cast<std::size_t>(FCount) * sizeof(char16_t));
    std::memcpy(pos.get(), FPositions.get(), static_cast<std::size_t>(FCount) * sizeof(std::int32_t));
  }
  FChars = std::move(chars);
  FPositions = std::move(pos);
  FCapacity = cap;
}

void TokenObj::Clear() {
  FCount = 0;
  FCache.clear();
  FCacheValid = true;
  if (FCapacity > KeepCapacity) {
    FCapacity = 0;
    FChars.reset();
    FPositions.reset();
    FCache.shrink_to_fit();
    Grow(InitialCapacity);
  }
}

const std::u16string& TokenObj::S() const {
  if (!FCacheValid) {
    FCache.assign(FChars.get(), static_cast<std::size_t>(FCount));
    FCacheValid = true;
  }
  return FCache;
}

void TokenObj::AddTableRun(const char* bytes, int n, int firstPos, const char16_t* table) {
  if (n <= 0) return;
  if (FCount + n > FCapacity) Grow(FCount + n);
  char16_t* out = FChars.get() + FCount;
  std::int32_t* pos = FPositions.get() + FCount;
  auto ub = reinterpret_cast<const unsigned char*>(bytes);
  // Tables keep ASCII as it is (entry 'A' is 'A'); plain ASCII is then only widened, which the
  // compiler does many bytes at a time.
  thread_local const char16_t* checkedTable = nullptr;
  thread_local bool checkedAscii = false;
  if (table != checkedTable) {
    checkedAscii = true;
    for (int c = 1; c < 0x80; ++c)
      if (table[c] != c) checkedAscii = false;
    checkedTable = table;
  }
  bool ascii = checkedAscii;
  unsigned char any = 0;
  if (ascii)
    for (int i = 0; i < n; ++i) any |= ub[i];
  if (ascii && any < 0x80) {
    for (int i = 0; i < n; ++i) out[i] = ub[i];
  } else {
    for (int i = 0; i < n; ++i) out[i] = table[ub[i]];
  }
  for (int i = 0; i < n; ++i) pos[i] = firstPos + i;
  FCount += n;
  FCacheValid = false;
}

void TokenObj::Concat(const TokenObj& other) {
  if (other.FCount == 0) return;
  AddDecoded(other.FChars.get(), other.FCount, other.FPositions.get());
}

void TokenObj::AddDecoded(const char16_t* units, int n, const std::int32_t* positions) {
  if (n <= 0) return;
  if (FCount + n > FCapacity) Grow(FCount + n);
  std::memcpy(FChars.get() + FCount, units, static_cast<std::size_t>(n) * sizeof(char16_t));
  std::memcpy(FPositions.get() + FCount, positions, static_cast<std::size_t>(n) * sizeof(std::int32_t));
  FCount += n;
  FCacheValid = false;
}

void TokenObj::AddString(const TCharCollection& bytes, unsigned codePage) {
  AddString(bytes.Bytes(), bytes.Positions(), bytes.Count(), codePage);
}

void TokenObj::AddString(const char* bytes, const std::int32_t* positions, int n, unsigned codePage) {
  if (n <= 0) return;
  FCacheValid = false;
  auto ub = reinterpret_cast<const unsigned char*>(bytes);

  // Single-byte pages: one character per byte through a table.
  if (const char16_t* table = SingleByteTable(codePage)) {
    if (FCount + n > FCapacity) Grow(FCount + n);
    char16_t* out = FChars.get() + FCount;
    for (int i = 0; i < n; ++i) out[i] = table[ub[i]];
    std::memcpy(FPositions.get() + FCount, positions, static_cast<std::size_t>(n) * sizeof(std::int32_t));
    FCount += n;
    return;
  }

  // UTF-8: decoded here so that every character knows its first byte; a character above
  // U+FFFF gives a surrogate pair whose halves share the position.
  if (codePage == CP_UTF8) {
    if (FCount + n > FCapacity) Grow(FCount + n);  // never more units than bytes
    char16_t* out = FChars.get();
    std::int32_t* pos = FPositions.get();
    const unsigned char* end = ub + n;
    int i = 0;
    while (i < n) {
      unsigned char b = ub[i];
      if (b < 0x80) {
        out[FCount] = b;
        pos[FCount++] = positions[i++];
        continue;
      }
      char32_t cp;
      int len = DecodeUtf8(ub + i, end, cp);
      if (len == 0) {
        out[FCount] = 0xFFFD;
        pos[FCount++] = positions[i++];
      } else if (cp >= 0x10000) {
        cp -= 0x10000;
        out[FCount] = static_cast<char16_t>(0xD800 + (cp >> 10));
        pos[FCount++] = positions[i];
        out[FCount] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        pos[FCount++] = positions[i];
        i += len;
      } else {
        out[FCount] = static_cast<char16_t>(cp);
        pos[FCount++] = positions[i];
        i += len;
      }
    }
    return;
  }

  // Double-byte pages whose lower half is ASCII: plain ASCII needs no conversion.
  if (IsDoubleByteCodePage(codePage) && AllAscii(bytes, n)) {
    if (FCount + n > FCapacity) Grow(FCount + n);
    char16_t* out = FChars.get() + FCount;
    for (int i = 0; i < n; ++i) out[i] = ub[i];
    std::memcpy(FPositions.get() + FCount, positions, static_cast<std::size_t>(n) * sizeof(std::int32_t));
    FCount += n;
    return;
  }

  // Everything else through the system conversion, falling back to the default page.
  std::string_view view(bytes, static_cast<std::size_t>(n));
  unsigned page = codePage;
  std::u16string w = MultiByteToWide(page, view);
  if (w.empty()) {
    page = CP_ACP;
    w = MultiByteToWide(page, view);
  }
  if (w.size() == static_cast<std::size_t>(n)) {
    AddDecoded(w.data(), n, positions);
    return;
  }
  // Walk the characters; when their number matches the 16-bit characters, each takes the
  // position of its first byte. Otherwise (invalid sequences, composed characters) convert
  // the characters one by one so that the positions stay exact.
  std::vector<int> starts;
  starts.reserve(w.size());
  const char* p = bytes;
  const char* end = bytes + n;
  while (p < end) {
    starts.push_back(static_cast<int>(p - bytes));
    p = CharNextEx(page, p, end);
  }
  if (starts.size() == w.size()) {
    if (FCount + static_cast<int>(w.size()) > FCapacity) Grow(FCount + static_cast<int>(w.size()));
    for (std::size_t k = 0; k < w.size(); ++k) {
      FChars[FCount] = w[k];
      FPositions[FCount++] = positions[starts[k]];
    }
    return;
  }
  for (std::size_t k = 0; k < starts.size(); ++k) {
    int from = starts[k];
    int to = k + 1 < starts.size() ? starts[k + 1] : n;
    std::u16string one = MultiByteToWide(page, std::string_view(bytes + from, static_cast<std::size_t>(to - from)));
    for (char16_t c : one) AddUnicodeChar(c, positions[from]);
  }
}

}  // namespace korva
