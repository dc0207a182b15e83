// GIF decoding and strip composition on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>

#include "images/AnimatedGif.h"
#include "images/Gif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    korva::TGif gif;
    gif.ReadGif(data, size);
    for (int i = 0; i < gif.ImageCount(); ++i) {
      (void)gif.FrameDelay(i);
      (void)gif.FrameDisposal(i);
      (void)gif.FrameTransparentIndex(i);
    }
    std::unique_ptr<korva::TBitmap> mask;
    std::unique_ptr<korva::TBitmap> strip = gif.BuildStrip(&mask);
  } catch (const std::exception&) {
  }
  bool single = false;
  if (auto a = korva::TAnimatedGif::FromGifData(data, size, &single)) {
    a->FirstFramePicture();
    a->FirstFrameMaskPicture();
    a->SelectFrame(a->FrameTotal());
    (void)a->FrameBitmap(a->FrameTotal());
  }
  return 0;
}
