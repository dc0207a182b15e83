#include <gtest/gtest.h>

#include <QColor>
#include <QFont>
#include <QImage>

#include "platform/Bitmap.h"
#include "platform/Font.h"
#include "platform/QtBridge.h"

using namespace korva;

TEST(QtBridgeTest, BitmapsToImagesAndBack) {
  for (int bpp : {1, 4, 8, 24, 32}) {
    auto b = TBitmap::Create(5, 3, bpp);
    if (bpp <= 8) {
      std::vector<TColor> table(std::size_t(1) << bpp, clBlack);
      table[1] = RGBColor(10, 200, 30);
      b->SetColorTable(table);
      b->SetIndex(4, 2, 1);
    } else {
      b->SetPixel(4, 2, RGBColor(10, 200, 30));
    }
    const QImage img = BitmapToQImage(*b);
    ASSERT_EQ(img.size(), QSize(5, 3)) << bpp;
    EXPECT_EQ(img.pixel(4, 2), qRgb(10, 200, 30)) << bpp;
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0)) << bpp;
    auto back = QImageToBitmap(img);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->BitsPerPixel(), 24);
    EXPECT_EQ(back->GetPixel(4, 2), RGBColor(10, 200, 30)) << bpp;
  }
  EXPECT_EQ(QImageToBitmap(QImage()), nullptr);
  // A shared view writes through to the bitmap.
  auto b = TBitmap::Create(3, 2, 24);
  QImage view = BitmapAsQImage(*b);
  ASSERT_FALSE(view.isNull());
  view.setPixel(2, 1, qRgb(1, 2, 3));
  EXPECT_EQ(b->GetPixel(2, 1), RGBColor(1, 2, 3));
  auto mono = TBitmap::Create(3, 2, 1);
  EXPECT_TRUE(BitmapAsQImage(*mono).isNull());
}

TEST(QtBridgeTest, ColoursAndFonts) {
  EXPECT_EQ(ToQColor(RGBColor(1, 2, 3)), QColor(1, 2, 3));
  EXPECT_EQ(ToQColor(RGBColor(1, 2, 3) | PaletteMatchFlag), QColor(1, 2, 3));
  EXPECT_EQ(ToQColor(clNone).alpha(), 0);
  EXPECT_EQ(FromQColor(QColor(4, 5, 6)), RGBColor(4, 5, 6));
  EXPECT_EQ(FromQColor(QColor(4, 5, 6, 0)), clNone);
  const TColor face = ColorToRGB(clBtnFace);
  EXPECT_EQ(FromQColor(ToQColor(clBtnFace)), face);

  TFontSpec spec;
  spec.Name = "Courier New";
  spec.Height = -20;
  spec.Weight = FW_BOLD;
  spec.Underline = true;
  const QFont f = ToQFont(*TPlatformFont::Create(spec));
  EXPECT_EQ(f.pixelSize(), 20);
  EXPECT_TRUE(f.bold());
  EXPECT_TRUE(f.underline());
  EXPECT_FALSE(f.italic());
  EXPECT_EQ(ScreenPixelsPerInch(), 96);  // off-screen
}
