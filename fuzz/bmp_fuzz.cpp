// Feeds arbitrary bytes to the bitmap file reader, then runs what the engine does with a
// decoded picture: a stretched copy, a masked copy, a depth change and a save/load round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korva;
  std::string error;
  std::unique_ptr<TBitmap> bmp = TBitmap::LoadFromBmp(data, size, &error);
  if (!bmp) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (std::int64_t(bmp->Width()) * bmp->Height() > 1 << 20) return 0;  // keep each run quick
  auto dst = TBitmap::Create(17, 9, 32);
  StretchBlt(*dst, 0, 0, 17, 9, *bmp, 0, 0, bmp->Width(), bmp->Height(), TRop::SrcCopy, TStretchMode::Halftone);
  StretchBlt(*dst, 16, 8, -17, -9, *bmp, 1, 1, bmp->Width(), bmp->Height(), TRop::SrcInvert,
             TStretchMode::BlackOnWhite);
  auto mask = bmp->ConvertTo(1);
  if (!mask) std::abort();
  MaskedStretchBlt(*dst, -3, 2, 40, 5, *bmp, *mask, 0, 0, bmp->Width(), bmp->Height());
  const std::vector<std::uint8_t> saved = bmp->SaveToBmp();
  auto back = TBitmap::LoadFromBmp(saved.data(), saved.size());
  if (!back || back->Width() != bmp->Width() || back->Height() != bmp->Height() ||
      back->GetPixel(bmp->Width() - 1, bmp->Height() - 1) != bmp->GetPixel(bmp->Width() - 1, bmp->Height() - 1))
    std::abort();
  return 0;
}
