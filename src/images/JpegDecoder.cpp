// JPEG decoding through libjpeg.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "images/DisplayState.h"
#include "images/ImageErrors.h"
#include "images/ImageLoader.h"
#include "images/Limits.h"
#include "platform/System.h"

namespace korva {

namespace {

struct TJpegError {
  jpeg_error_mgr Mgr;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  std::longjmp(err->Jump, 1);
}

// Warnings (corrupt data the library recovers from) are not printed.
void OnJpegMessage(j_common_ptr, int) {}

// A progressive file can ask for any number of scans, each a pass over the whole image; real
// files use a dozen.
constexpr int MaxJpegScans = 500;

void OnJpegProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > MaxJpegScans) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    std::snprintf(err->Message, sizeof err->Message, "too many scans");
    std::longjmp(err->Jump, 1);
  }
}

// The decoder state that must survive a long jump out of libjpeg.
struct TJpegMod {
  jpeg_decompress_struct Info;
  TJpegError Error;
  jpeg_progress_mgr Progress;
  bool Created = false;
  std::unique_ptr<TBitmap> Bitmap;
  std::vector<std::uint8_t> ColorMapStore;
  JSAMPROW ColorMap[3] = {};
  std::vector<std::uint8_t> Row;
  ~TJpegMod() {
    if (Created) jpeg_destroy_decompress(&Info);
  }
};

// Runs the decode; returns false with Error.Message set when libjpeg gave up.
bool RunDecode(TJpegMod& j, const std::uint8_t* data, std::size_t size) {
  jpeg_decompress_struct& cinfo = j.Info;
  if (setjmp(j.Error.Jump)) return false;
  jpeg_create_decompress(&cinfo);
  j.Created = true;
  j.Progress.progress_monitor = OnJpegProgress;
  cinfo.progress = &j.Progress;
  cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;
  jpeg_mem_src(&cinfo, data, (unsigned long)size);
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > unsigned(MaxImageSide) ||
      cinfo.image_height > unsigned(MaxImageSide) ||
      std::int64_t(cinfo.image_width) * cinfo.image_height > MaxImagePixels) {
    std::snprintf(j.Error.Message, sizeof j.Error.Message, "JPEG image too large (%ux%u)", cinfo.image_width,
                  cinfo.image_height);
    return false;
  }
  const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool eightBit = ScreenColorBits() <= 8;
  if (grey)
    cinfo.out_color_space = JCS_GRAYSCALE;
  else if (cmyk)
    cinfo.out_color_space = JCS_CMYK;
  else
    cinfo.out_color_space = JCS_RGB;
  bool quantized = false;
  if (eightBit && !grey && !cmyk) {
    quantized = true;
    cinfo.quantize_colors = TRUE;
    TPalettePtr shared = CopyGlobalPalette();
    if (shared) {
      int n = std::min(shared->Count(), 256);
      j.ColorMapStore.assign(std::size_t(n) * 3, 0);
      for (int c = 0; c < 3; ++c) j.ColorMap[c] = j.ColorMapStore.data() + std::size_t(c) * n;
      for (int i = 0; i < n; ++i) {
        j.ColorMap[0][i] = shared->Entries()[i].R;
        j.ColorMap[1][i] = shared->Entries()[i].G;
        j.ColorMap[2][i] = shared->Entries()[i].B;
      }
      cinfo.colormap = j.ColorMap;
      cinfo.actual_number_of_colors = n;
    } else {
      cinfo.desired_number_of_colors = 256;
    }
  }
  jpeg_start_decompress(&cinfo);
  const int w = int(cinfo.output_width), h = int(cinfo.output_height);
  j.Bitmap = TBitmap::Create(w, h, quantized || grey ? 8 : 24);
  if (!j.Bitmap) {
    std::snprintf(j.Error.Message, sizeof j.Error.Message, "JPEG image too large");
    return false;
  }
  if (grey) {
    std::vector<TColor> table(256);
    for (int i = 0; i < 256; ++i) table[i] = RGBColor(i, i, i);
    j.Bitmap->SetColorTable(std::move(table));
  } else if (quantized) {
    std::vector<TColor> table(256, clBlack);
    for (int i = 0; i < cinfo.actual_number_of_colors && i < 256; ++i)
      table[i] = RGBColor(cinfo.colormap[0][i], cinfo.colormap[1][i], cinfo.colormap[2][i]);
    j.Bitmap->SetColorTable(std::move(table));
    if (!j.ColorMapStore.empty()) j.Bitmap->SetPalette(CopyGlobalPalette());
  }
  j.Row.assign(std::size_t(w) * std::max(1, cinfo.output_components), 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    int y = int(cinfo.output_scanline);
    JSAMPROW row = j.Row.data();
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
    std::uint8_t* dst = j.Bitmap->ScanLine(y);
    if (grey || quantized) {
      std::memcpy(dst, row, std::size_t(w));
    } else if (cmyk) {
      // Adobe writes inverted CMYK.
      const std::uint8_t* s = row;
      for (int x = 0; x < w; ++x, s += 4, dst += 3) {
        int k = s[3];
        dst[0] = std::uint8_t(s[2] * k / 255);
        dst[1] = std::uint8_t(s[1] * k / 255);
        dst[2] = std::uint8_t(s[0] * k / 255);
      }
    } else {
      const std::uint8_t* s = row;
      for (int x = 0; x < w; ++x, s += 3, dst += 3) {
        dst[0] = s[2];
        dst[1] = s[1];
        dst[2] = s[0];
      }
    }
  }
  if (cinfo.output_scanline < cinfo.output_height)
    jpeg_abort_decompress(&cinfo);
  else
    jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

std::unique_ptr<TBitmap> DecodeJpeg(const std::uint8_t* data, std::size_t size) {
  auto j = std::make_unique<TJpegMod>();
  std::memset(&j->Info, 0, sizeof j->Info);
  j->Info.err = jpeg_std_error(&j->Error.Mgr);
  j->Error.Mgr.error_exit = OnJpegError;
  j->Error.Mgr.emit_message = OnJpegMessage;
  j->Error.Message[0] = 0;
  if (!RunDecode(*j, data, size)) throw EInvalidGraphic(std::string("JPEG: ") + j->Error.Message);
  return std::move(j->Bitmap);
}

}  // namespace korva
