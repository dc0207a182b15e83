// The named character references of HTML: 2,125 names (2,231 with the legacy forms that work
// without ";"), some of them for two code points or for one above U+FFFF.
#pragma once

#include <string_view>

namespace korva {

constexpr int EntityCount = 2125;
// The longest name (without ";").
constexpr int MaxEntityName = 31;

struct TEntityValue {
  char32_t First = 0;
  char32_t Second = 0;  // 0 when the name stands for one code point
  bool Legacy = false;  // also recognised without ";"
};

// Exact, case-sensitive lookup ("Eacute" and "eacute" differ).
bool LookupEntity(std::string_view name, TEntityValue& value);
// The longest legacy name that begins `name` (its length, 0 when none): "&notit" reads as
// "&not" and "it".
int LongestLegacyEntity(std::string_view name, TEntityValue& value);

}  // namespace korva
