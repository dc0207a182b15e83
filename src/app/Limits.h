// Limits of the application shell: sizes read from outside are checked against these before
// memory is taken for them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korva {

// Largest file beside the archive read for a picture or style sheet a page names (the archive's
// own members have their limit in archive/Limits.h).
constexpr std::uintmax_t MaxFileBesideArchiveSize = 64u * 1024 * 1024;
// Visits the history keeps; the oldest go first.
constexpr std::size_t MaxHistoryEntries = 10000;

}  // namespace korva
