// The stream loaders (BMP, JPEG, PNG, GIF and SVG, plain or gzip), masks, display conversion and
// vector renderings on arbitrary bytes. The last byte picks the screen class and the
// transparency wanted. Start from the seeds in fuzz/seeds/imagestream/.
#include <cstddef>
#include <cstdint>

#include "images/ImageFetch.h"
#include "images/ImageLoader.h"
#include "images/ImageStream.h"
#include "platform/System.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::uint8_t control = data[size - 1];
  korva::SetScreenColorBits((control & 3) == 0 ? 4 : (control & 3) == 1 ? 8 : 24);
  korva::TImageStream stream(data, size - 1);
  korva::TransparencyMode mode = (control & 4) ? korva::trCornerPixel : korva::trNone;
  korva::TBitmapPtr mask;
  korva::TImageGraphic graphic = korva::LoadImageData(stream, mode, mask);
  if (graphic.Bitmap && (control & 8)) korva::MakeImageMask(*graphic.Bitmap, false, 0);
  if (graphic.Vector) {
    // Another size, as an image in the flow would ask for (kept small: fuzzing wants speed).
    const int w = 1 + (control >> 4), h = 1 + (control >> 5);
    korva::TBitmapPtr frame = graphic.Vector->Render(w, h);
    korva::TransparencyMode frameMode = korva::trNone;
    korva::TBitmapPtr frameMask;
    if (frame) korva::AlphaForDisplay(frame, frameMode, frameMask);
  }
  return 0;
}
