// korva-image FILE OUT.png [--screen-bits 4|8|24] [--frame N] [--mask MASK.png]
// Loads an image the way a document does (sniffing, decoders, mask, conversion for the screen)
// and writes the result, and its mask, as PNG files. Used to compare our decoders with others.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "images/AnimatedGif.h"
#include "images/ImageFetch.h"
#include "images/PngBitmap.h"
#include "platform/System.h"

using namespace korva;

namespace {

int Usage() {
  std::fprintf(stderr, "usage: korva-image FILE OUT.png [--screen-bits 4|8|24] [--frame N] [--mask MASK.png]\n");
  return 2;
}

bool WritePng(const std::string& path, const TBitmap& bmp) {
  std::vector<std::uint8_t> data = EncodePng(bmp);
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  return bool(f);
}

}  // namespace

int main(int argc, char** argv) {
  std::string in, out, maskOut;
  int bits = 24, frame = 1;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--screen-bits" && i + 1 < argc) {
      bits = std::atoi(argv[++i]);
      if (bits != 4 && bits != 8 && bits != 24) return Usage();
    } else if (a == "--frame" && i + 1 < argc) {
      frame = std::atoi(argv[++i]);
    } else if (a == "--mask" && i + 1 < argc) {
      maskOut = argv[++i];
    } else if (a.rfind("--", 0) == 0) {
      return Usage();
    } else if (in.empty()) {
      in = a;
    } else if (out.empty()) {
      out = a;
    } else {
      return Usage();
    }
  }
  if (in.empty() || out.empty()) return Usage();
  SetScreenColorBits(bits);

  TStringBitmapList cache;
  TransparencyMode mode = trNone;
  SetLastImageError("");
  TFetchResult r = FetchImage(cache, nullptr, in, mode);
  if (!r.Image) {
    std::fprintf(stderr, "%s: %s\n", in.c_str(), LastImageError().empty() ? "no image" : LastImageError().c_str());
    return 1;
  }
  TBitmapPtr image = r.Image.Bitmap;
  TBitmapPtr mask = r.Mask;
  if (r.Image.Gif) {
    const TAnimatedGif& gif = *r.Image.Gif;
    if (frame < 1 || frame > gif.FrameTotal()) {
      std::fprintf(stderr, "%s: frame %d out of 1..%d\n", in.c_str(), frame, gif.FrameTotal());
      return 2;
    }
    image = gif.FrameBitmap(frame);
    mask = gif.FrameMask(frame);
  } else if (frame != 1) {
    std::fprintf(stderr, "%s: a still image has only frame 1\n", in.c_str());
    return 2;
  }
  if (!WritePng(out, *image)) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  if (!maskOut.empty()) {
    // No mask means every pixel is opaque: an all-black mask.
    if (!mask) mask = TBitmap::Create(image->Width(), image->Height(), 1);
    if (!mask || !WritePng(maskOut, *mask)) {
      std::fprintf(stderr, "cannot write %s\n", maskOut.c_str());
      return 1;
    }
  }
  return 0;
}
