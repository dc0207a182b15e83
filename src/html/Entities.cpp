#include "html/Entities.h"

#include <algorithm>
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

}  // namespace

bool LookupEntity(std::string_view name, TEntityValue& value) {
  if (name.empty() || name.size() > static_cast<std::size_t>(MaxEntityName)) return false;
  const TEntity* end = Entities + EntityCount;
  const TEntity* it =
      std::lower_bound(Entities, end, name, [](const TEntity& e, std::string_view n) { return e.Name < n; });
  if (it == end || it->Name != name) return false;
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
