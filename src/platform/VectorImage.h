// A vector picture (SVG): parsed once from its bytes, rendered at whatever pixel size it is
// drawn at. Plain C++; the SVG library stays in the implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Bitmap.h"
#include "platform/Types.h"

namespace korva {

class TVectorImage {
 public:
  // Parses SVG text (not compressed). Null, with a reason in *error, when the bytes are not a
  // picture the library can draw, or go beyond the limits of Limits.h: too many bytes, too many
  // nodes once `use` references are expanded, nesting or reference chains too deep, or a
  // reference cycle.
  static std::unique_ptr<TVectorImage> FromBytes(const std::uint8_t* data, std::size_t size,
                                                 std::string* error = nullptr);
  ~TVectorImage();
  TVectorImage(const TVectorImage&) = delete;
  TVectorImage& operator=(const TVectorImage&) = delete;

  // Size in CSS pixels (96 a inch): the root's width and height (absolute units converted;
  // percentages count as absent), a missing one taken from the other through the viewBox's
  // proportions, else the viewBox's size, else 300 x 150. At least 1 x 1, at most
  // MaxBitmapSide a side.
  TSize IntrinsicSize() const { return FSize; }

  // The picture scaled into width x height (the viewBox fitted and centred, keeping its
  // proportions) as a 32-bit bitmap with premultiplied alpha, transparent where nothing is
  // drawn. Null for an empty size or one beyond MaxSvgRenderPixels / MaxBitmapSide.
  std::unique_ptr<TBitmap> Render(int width, int height) const;

 private:
  struct TImpl;
  TVectorImage();
  std::unique_ptr<TImpl> FImpl;
  TSize FSize{300, 150};
};

using TVectorImagePtr = std::shared_ptr<TVectorImage>;

}  // namespace korva
