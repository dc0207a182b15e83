// PNG decoding and the palette transparency pre-scan on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "images/ImageLoader.h"
#include "images/ImageStream.h"
#include "images/PngBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korva::TImageStream stream(data, size);
  korva::TColor color = 0;
  korva::FindPngTransparentColor(stream, color);
  try {
    korva::TPngBitmap png;
    png.LoadFromStream(stream);
    if (png.Transparent()) (void)png.ChunkTransparentColor();
  } catch (const std::exception&) {
  }
  return 0;
}
