// Display state shared by all image code: the shared 256-colour palette of 8-bit screens, the
// built-in placeholder and error pictures, and the sentinel stream of images that come later.
#pragma once

#include <memory>

#include "platform/Bitmap.h"

namespace korva {

class TMemoryStream;

// The shared palette: present only while ScreenColorBits() is 8.
TPalettePtr GlobalPalette();
// A fresh copy of the shared palette (null when there is none).
TPalettePtr CopyGlobalPalette();
// The 256 entries of the shared palette, whatever the screen.
TPalette BuildGlobalPalette();

// The 16 x 16 placeholder shown while an image is pending or when images are switched off.
const TBitmapPtr& DefaultImageBitmap();
// The 16 x 16 error picture and its mask (white, transparent, in the rounded-off corners).
const TBitmapPtr& ErrorImageBitmap();
const TBitmapPtr& ErrorImageMask();
// The stream whose identity alone means "the host will supply this image later".
TMemoryStream* PendingImageStream();

// Holds the display state for as long as it lives; the state is built for the first holder and
// freed when the last one goes. The accessors above also work without a holder.
class TImageDisplayUser {
 public:
  TImageDisplayUser();
  ~TImageDisplayUser();
  TImageDisplayUser(const TImageDisplayUser&) = delete;
  TImageDisplayUser& operator=(const TImageDisplayUser&) = delete;
};

}  // namespace korva
