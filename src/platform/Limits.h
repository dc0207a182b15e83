// Limits on what the platform layer takes from untrusted input before it spends time or memory
// on it. (Bitmap sizes have theirs in Bitmap.h.)
#pragma once

#include <cstddef>
#include <cstdint>

namespace korva {

// SVG text handed to the vector picture (after any gzip layer is taken off).
constexpr std::size_t MaxSvgBytes = std::size_t(16) * 1024 * 1024;
// Nodes an SVG would draw once every `use` is expanded (each expansion counts its whole subtree
// again). The SVG library expands references while it parses and again while it draws, so a
// small file of nested `use` elements can otherwise keep it busy for ever.
constexpr std::int64_t MaxSvgExpandedNodes = 100000;
// Element nesting plus chains of `use` references: parsing and drawing recurse along both.
constexpr int MaxSvgDepth = 256;
// Pixels of one rendering of a vector picture.
constexpr std::int64_t MaxSvgRenderPixels = std::int64_t(16) * 1024 * 1024;

}  // namespace korva
