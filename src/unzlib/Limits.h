// Limits of the unzip library: every size taken from an archive is checked against these
// before memory is reserved for it.
#pragma once

#include <cstdint>

namespace korva::unz {

// Largest member the library inflates into memory.
constexpr std::uint64_t MaxMemberSize = 256u * 1024 * 1024;
// Deflate cannot expand one input byte into more than about 1032 output bytes; a declared size
// beyond that (plus a little for tiny streams) cannot be true.
constexpr std::uint64_t MaxDeflateRatio = 1032;
constexpr std::uint64_t DeflateRatioSlack = 1024;
// Largest central directory read into memory.
constexpr std::uint64_t MaxCentralDirSize = 64u * 1024 * 1024;
// The end record (22 bytes) plus the longest possible archive comment.
constexpr std::uint32_t EndScanSize = 22 + 65535;
// Input is read in blocks of this size; progress is reported about this often.
constexpr std::uint32_t InputBlockSize = 256 * 1024;
constexpr std::uint64_t ProgressStep = 1024 * 1024;

}  // namespace korva::unz
