#include "html/Entities.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

namespace korva {

namespace {

struct TEntity {
  std::string_view Name;
  std::uint32_t First, Second;
  bool Legacy;
};

constexpr TEntity Entities[] = {
#include "html/EntityTable.inc"
};

static_assert(std::size(Entities) == EntityCount);

// Every reference of a page is looked up, so the names go into a hash table on first use.
// Names of up to 8 letters (nearly all that pages use) are packed into one 64-bit word, so
// that hashing and comparing them is a multiplication and one comparison of words.
class TEntityHash {
 public:
  TEntityHash() {
    FSlots.fill(-1);
    for (int i = 0; i < EntityCount; ++i) {
      std::string_view name = Entities[i].Name;
      FKeys[i] = name.size() <= 8 ? Pack(name) : 0;
      std::size_t h = Hash(name);
      while (FSlots[h] >= 0) h = (h + 1) & Mask;
      FSlots[h] = static_cast<short>(i);
    }
  }
  const TEntity* Find(std::string_view name) const {
    if (name.size() <= 8) {
      const std::uint64_t key = Pack(name);
      for (std::size_t h = HashKey(key); FSlots[h] >= 0; h = (h + 1) & Mask)
        if (FKeys[FSlots[h]] == key) return &Entities[FSlots[h]];
      return nullptr;
    }
    for (std::size_t h = Hash(name); FSlots[h] >= 0; h = (h + 1) & Mask)
      if (Entities[FSlots[h]].Name == name) return &Entities[FSlots[h]];
    return nullptr;
  }

 private:
  static constexpr std::size_t Size = 8192, Mask = Size - 1;
  static std::uint64_t Pack(std::string_view s) {
    std::uint64_t k = 0;
    for (std::size_t i = 0; i < s.size(); ++i) k |= std::uint64_t(static_cast<unsigned char>(s[i])) << (i * 8);
    return k;
  }
  static std::size_t HashKey(std::uint64_t k) { return static_cast<std::size_t>((k * 0x9E3779B97F4A7C15ull) >> 51) & Mask; }
  static std::size_t Hash(std::string_view s) {
    if (s.size() <= 8) return HashKey(Pack(s));
    std::uint32_t h = 2166136261u;
    for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return (h ^ (h >> 13)) & Mask;
  }
  std::array<short, Size> FSlots;
  std::array<std::uint64_t, EntityCount> FKeys{};
};

const TEntityHash& Table() {
  static const TEntityHash table;
  return table;
}

}  // namespace

bool LookupEntity(std::string_view name, TEntityValue& value) {
  if (name.empty() || name.size() > static_cast<std::size_t>(MaxEntityName)) return false;
  const TEntity* it = Table().Find(name);
  if (!it) return false;
  value.First = it->First;
  value.Second = it->Second;
  value.Legacy = it->Legacy;
  return true;
}

int LongestLegacyEntity(std::string_view name, TEntityValue& value) {
  // Legacy names are at most 6 letters long.
  for (std::size_t n = std::min<std::size_t>(name.size(), 6); n >= 2; --n)
    if (LookupEntity(name.substr(0, n), value) && value.Legacy) return static_cast<int>(n);
  return 0;
}

}  // namespace korva
