// The named character references of HTML 4.01.
#pragma once

#include <string_view>

namespace korva {

constexpr int EntityCount = 252;

// Case-sensitive lookup ("Eacute" and "eacute" differ).
bool LookupEntity(std::string_view name, char16_t& value);

}  // namespace korva
