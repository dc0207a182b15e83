// Limits of the archive component: sizes read from an archive are checked against these
// before memory is reserved for them.
#pragma once

#include <cstdint>

namespace korva {

// Largest member extracted into memory.
constexpr std::uint64_t MaxZipMemberSize = 256u * 1024 * 1024;
// Deflate cannot turn one input byte into more than about 1032 output bytes; a declared size
// beyond that (plus a little for tiny streams) cannot be true.
constexpr std::uint64_t MaxZipDeflateRatio = 1032;
constexpr std::uint64_t ZipDeflateRatioSlack = 1024;
// Largest central directory read into memory.
constexpr std::uint64_t MaxZipCentralDirSize = 64u * 1024 * 1024;
// The end record plus the longest possible archive comment: how far back it is looked for.
constexpr std::uint32_t ZipEndScanSize = 22 + 65535;
// Bytes after the archive comment that are taken as padding, not garbage, when all are
// below '/'.
constexpr std::uint32_t ZipQuietTrailingBytes = 512;
// Split-set parts tried when the archive itself is missing.
constexpr int MaxZipSplitParts = 999;
// Window messages are processed at most this often (ms) during long reports.
constexpr std::uint32_t ZipPumpInterval = 20;

}  // namespace korva
