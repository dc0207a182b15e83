// Turning image sources into bitmaps the document can draw: format sniffing, the decoders,
// transparency masks, and conversion to the screen's colour depth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Bitmap.h"
#include "platform/Types.h"
#include "platform/VectorImage.h"

namespace korva {

class TMemoryStream;
class TAnimatedGif;

enum ImageKind : std::uint8_t { ikUnknown = 0, ikBmp = 1, ikGif87 = 2, ikGif89 = 3, ikPng = 4, ikJpeg = 5 };

enum TransparencyMode : std::uint8_t { trNone = 0, trCornerPixel = 1, trGifMask = 2, trKeyColor = 3 };

// A picture as the document holds it: a bitmap, or an animated GIF, or a vector picture. A
// vector picture comes with Bitmap rendered at its intrinsic size (what backgrounds and bullets
// use); images in the flow render it again at the size they are drawn.
struct TImageGraphic {
  TBitmapPtr Bitmap;
  std::shared_ptr<TAnimatedGif> Gif;
  TVectorImagePtr Vector;
  bool Empty() const { return !Bitmap && !Gif; }
  explicit operator bool() const { return !Empty(); }
};

// The kind of image from its first bytes (at least 5 readable bytes).
ImageKind SniffImageKind(const std::uint8_t* data);

// Reads a file whole and loads it through LoadImageFromStream; nothing when the file is missing.
TBitmapPtr LoadImageFromFile(const std::string& fileName, TransparencyMode& mode, TBitmapPtr& mask);
// BMP, PNG and JPEG only. Never raises: any failure yields nothing (see LastImageError).
TBitmapPtr LoadImageFromStream(TMemoryStream* stream, TransparencyMode& mode, TBitmapPtr& mask);

// Monochrome mask of the bitmap: white (1) where the pixel has the transparent colour (the given
// one, else the bottom-left pixel's), black elsewhere. Nothing on failure.
TBitmapPtr MakeImageMask(const TBitmap& bitmap, bool givenColor, TColor color);

// Pre-scan of a palette PNG for its first fully transparent entry; leaves the position as it was.
bool FindPngTransparentColor(TMemoryStream& stream, TColor& color);

// A 32-bit bitmap with premultiplied alpha (Bitmap.h) from a decoded picture of any depth and
// one opacity byte a pixel (rows top-down, not premultiplied).
TBitmapPtr MakeAlphaBitmap(const TBitmap& bitmap, const std::uint8_t* alpha);

// Whether the bytes are SVG text: after an optional byte order mark, blanks, XML declaration,
// comments and document type declaration, an `<svg` element starts.
bool SniffSvg(const std::uint8_t* data, std::size_t size);
// A vector picture from SVG bytes, gzip-compressed or not (at most MaxSvgBytes once inflated),
// with Bitmap rendered at its intrinsic size for the display (AlphaForDisplay; scaled down to
// MaxSvgRenderPixels when larger). Empty when the
// data is not a picture; mode and mask as AlphaForDisplay leaves them.
TImageGraphic LoadSvgData(const std::uint8_t* data, std::size_t size, TransparencyMode& mode, TBitmapPtr& mask);
// An alpha bitmap made ready for the screen: as it is on true-colour screens (mode trNone, no
// mask); on palette screens the colours reduced and a mask of the pixels under half opacity
// (mode trGifMask when any). A bitmap without alpha goes through ConvertForDisplay.
TBitmapPtr AlphaForDisplay(TBitmapPtr bitmap, TransparencyMode& mode, TBitmapPtr& mask);

// Adapts a decoded bitmap to the screen's colour class; may return a new bitmap. Alpha bitmaps
// stay as they are on true-colour screens.
TBitmapPtr ConvertForDisplay(TBitmapPtr bitmap);

// A copy of the picture for background tiling: a side of exactly 1 pixel is stretched to
// min(100, wanted length).
TBitmapPtr PrepareTile(const TImageGraphic& graphic, int wantedWidth, int wantedHeight);

// Decodes a JPEG: 24 bits on screens of more than 8 bits, else 8 bits (with a copy of the
// shared palette for colour images on 8-bit screens). Raises on failure.
std::unique_ptr<TBitmap> DecodeJpeg(const std::uint8_t* data, std::size_t size);

// The message of the last failure that a loader swallowed (for tools and diagnostics).
const std::string& LastImageError();
void SetLastImageError(const std::string& message);

}  // namespace korva
