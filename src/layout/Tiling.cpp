#include "layout/Tiling.h"

namespace korva {

int PlaceOnAxis(const TBackgroundPos& p, int box, int tile) {
  switch (p.PosType) {
    case bpTop:
    case bpLeft:
      return 0;
    case bpCenter:
      return (box - tile) / 2;
    case bpBottom:
    case bpRight:
      return box - tile;
    case bpPercent:
      return MulDiv(box - tile, p.Value, 100);
    default:
      return p.Value;
  }
}

std::shared_ptr<TBitmap> ReplicateTile(const TBitmap& src, int nx, int ny) {
  const int bpp = src.BitsPerPixel() == 1 ? 1 : src.BitsPerPixel() <= 8 ? 24 : src.BitsPerPixel();
  std::shared_ptr<TBitmap> out = TBitmap::Create(src.Width() * nx, src.Height() * ny, bpp);
  if (!out) return nullptr;
  out->SetAlpha(src.HasAlpha());  // copied as they are; blended only when the tile is drawn
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) BitBlt(*out, i * src.Width(), j * src.Height(), src.Width(), src.Height(), src, 0, 0);
  out->SetPalette(src.Palette());
  return out;
}

}  // namespace korva
