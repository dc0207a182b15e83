#include "platform/QtBridge.h"

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QImage>

#include <cstdlib>
#include <cstring>

#include "platform/Bitmap.h"
#include "platform/QtFont.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVA_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KORVA_ASAN 1
#endif

#ifdef KORVA_ASAN
// Qt's font matching leaves fontconfig patterns behind that nothing points to any more; they
// are fontconfig's, not ours, and would fail every sanitized run that uses a real font. Weak,
// so that a program may still give its own list.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace korva {

bool EnsureGuiApplication() {
  if (qGuiApp) return true;
  if (QCoreApplication::instance()) return false;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Lives until the process ends: fonts and images made from it may be used by static objects.
  static int argc = 1;
  static char arg0[] = "korva";
  static char* argv[] = {arg0, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return app != nullptr;
}

QImage BitmapToQImage(const TBitmap& bitmap) {
  const int w = bitmap.Width(), h = bitmap.Height();
  QImage img(w, h, bitmap.HasAlpha() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (img.isNull()) return img;
  const int bpp = bitmap.BitsPerPixel();
  const std::vector<TColor>& table = bitmap.ColorTable();
  auto tableRgb = [&](std::uint32_t index) -> QRgb {
    const TColor c = index < table.size() ? table[index] : 0;
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
  };
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = bitmap.ScanLine(y);
    auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
    switch (bpp) {
      case 32:
        if (bitmap.HasAlpha())
          std::memcpy(dst, src, std::size_t(w) * 4);  // the same premultiplied B, G, R, A words
        else
          for (int x = 0; x < w; ++x) dst[x] = qRgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
        break;
      case 24:
        for (int x = 0; x < w; ++x) dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
      case 8:
        for (int x = 0; x < w; ++x) dst[x] = tableRgb(src[x]);
        break;
      case 4:
        for (int x = 0; x < w; ++x) dst[x] = tableRgb((src[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F);
        break;
      case 1:
        for (int x = 0; x < w; ++x) dst[x] = tableRgb((src[x / 8] >> (7 - (x & 7))) & 1);
        break;
      default:
        std::memset(dst, 0, std::size_t(w) * 4);
    }
  }
  return img;
}

QImage BitmapAsQImage(TBitmap& bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
  if (bitmap.BitsPerPixel() == 32)
    return QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.RowBytes(),
                  bitmap.HasAlpha() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (bitmap.BitsPerPixel() == 24)
    return QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.RowBytes(), QImage::Format_BGR888);
  return {};
}

std::unique_ptr<TBitmap> QImageToBitmap(const QImage& image) {
  if (image.isNull()) return nullptr;
  auto bmp = TBitmap::Create(image.width(), image.height(), 24);
  if (!bmp) return nullptr;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    std::uint8_t* dst = bmp->ScanLine(y);
    for (int x = 0; x < rgb.width(); ++x) {
      dst[3 * x] = std::uint8_t(qBlue(src[x]));
      dst[3 * x + 1] = std::uint8_t(qGreen(src[x]));
      dst[3 * x + 2] = std::uint8_t(qRed(src[x]));
    }
  }
  return bmp;
}

QColor ToQColor(TColor c) {
  if (c == clNone) return QColor(0, 0, 0, 0);
  const TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor FromQColor(const QColor& c) {
  if (!c.isValid() || c.alpha() == 0) return clNone;
  return RGBColor(c.red(), c.green(), c.blue());
}

QFont ToQFont(const TPlatformFont& font) {
  QFont f;
  if (const TFontFace* face = FaceOf(font)) {
    f = face->QtFont();
  } else {
    EnsureGuiApplication();
    f = QFont(ResolveFamily(font.Spec().Name));
    f.setPixelSize(std::max(1, font.Metrics().Height - font.Metrics().InternalLeading));
    f.setWeight(QFont::Weight(std::clamp(font.Spec().Weight <= 0 ? 400 : font.Spec().Weight, 1, 1000)));
    f.setItalic(font.Spec().Italic);
  }
  f.setUnderline(font.Spec().Underline);
  f.setStrikeOut(font.Spec().StrikeOut);
  return f;
}

}  // namespace korva
