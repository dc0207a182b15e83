// Limits on sizes computed from untrusted image data, checked before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Bitmap.h"

namespace korva {

// Longest side of one decoded image (a GIF's logical screen, a PNG's or JPEG's width or height).
constexpr int MaxImageSide = 16384;
// Pixels of one decoded image, and of a GIF's whole strip (screen size times frame count).
constexpr std::int64_t MaxImagePixels = std::int64_t(64) * 1024 * 1024;
constexpr std::int64_t MaxStripPixels = std::int64_t(64) * 1024 * 1024;
// Frames of one GIF.
constexpr int MaxGifFrames = 10000;
// Longest side of the strip bitmap; wider strips wrap their slots into further rows.
constexpr int MaxStripSide = MaxBitmapSide;
// Bytes of encoded image data taken from a file or a stream.
constexpr std::size_t MaxImageStreamBytes = std::size_t(256) * 1024 * 1024;
// Bytes of one PNG chunk (the format's own limit is 2^31 - 1).
constexpr std::uint32_t MaxPngChunkBytes = 0x7FFFFFFFu;

static_assert(MaxImagePixels <= MaxBitmapPixels, "decoded images must fit a platform bitmap");
static_assert(MaxImageSide <= MaxBitmapSide, "decoded images must fit a platform bitmap");

}  // namespace korva
