// The stream loader (BMP, JPEG, PNG), masks and display conversion on arbitrary bytes. The last
// byte picks the screen class and the transparency wanted.
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
  korva::TBitmapPtr bmp = korva::LoadImageFromStream(&stream, mode, mask);
  if (bmp && (control & 8)) korva::MakeImageMask(*bmp, false, 0);
  return 0;
}
