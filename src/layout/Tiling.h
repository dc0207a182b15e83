// Background pictures repeated over a box: where the picture starts on an axis, and a tile made
// of a small picture repeated inside itself so that painting needs fewer transfers. Shared by
// block backgrounds and the viewer's page background.
#pragma once

#include <memory>

#include "platform/Bitmap.h"
#include "style/Properties.h"

namespace korva {

// Tiles are made at least this long along a repeated axis.
constexpr int MinTileLength = 64;

// The offset of a picture of length `tile` in a box of length `box` along one axis.
int PlaceOnAxis(const TBackgroundPos& p, int box, int tile);

// Division rounding towards minus infinity.
inline int FloorDiv(int a, int b) {
  const int q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// How many times a picture of `length` is repeated inside one tile along an axis.
inline int TileRepeats(int length, bool repeat) {
  return repeat && length > 0 && length < MinTileLength ? (MinTileLength + length - 1) / length : 1;
}

// The picture repeated nx x ny times (null when there is no memory for it).
std::shared_ptr<TBitmap> ReplicateTile(const TBitmap& src, int nx, int ny);

}  // namespace korva
