// Pictures are found, and cached, by the file name they resolve to: the same src written in
// pages of two folders names two pictures, two spellings of one file name one.
#include <QImage>

#include "ViewerTestSupport.h"
#include "images/BitmapCache.h"
#include "platform/Bitmap.h"
#include "platform/MemoryStream.h"

namespace korva::test {
namespace {

class ImageNameTest : public ViewerTest {
 protected:
  // A 40 x 40 picture of one colour as BMP bytes.
  static std::string Picture(int r, int g, int b) {
    std::unique_ptr<TBitmap> bmp = TBitmap::Create(40, 40, 24);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) bmp->SetPixel(x, y, RGBColor(r, g, b));
    const std::vector<std::uint8_t> bytes = bmp->SaveToBmp();
    return std::string(bytes.begin(), bytes.end());
  }
  QRgb PixelAt(int x, int y) {
    Settle();
    return V->PaintPanel()->grab().toImage().pixel(x, y) & 0xFFFFFF;
  }
  std::vector<std::string> CacheKeys() {
    std::vector<std::string> keys;
    TStringBitmapList& cache = V->Document().ImageCache();
    for (int i = 0; i < cache.Count(); ++i) keys.push_back(cache.Key(i));
    return keys;
  }
  static constexpr QRgb Red = 0xFF0000, Blue = 0x0000FF;

  TTempFolder Dir;
  std::string RedPage, BluePage;
  void SetUp() override {
    ViewerTest::SetUp();
    std::filesystem::create_directories(Dir.Path() + "/red");
    std::filesystem::create_directories(Dir.Path() + "/blue");
    Dir.Write("red/a.bmp", Picture(255, 0, 0));
    Dir.Write("blue/a.bmp", Picture(0, 0, 255));
    const std::string page = "<body bgcolor=white><img src=\"a.bmp\"></body>";
    RedPage = Dir.Write("red/page.html", page);
    BluePage = Dir.Write("blue/page.html", page);
  }
};

// With or without an image request that hands nothing over (the viewer then reads the file
// itself), each page shows the picture next to it, and the request sees the name as written.
TEST_F(ImageNameTest, TheSameSourceInTwoFoldersIsTwoPictures) {
  for (bool handler : {false, true}) {
    SCOPED_TRACE(handler ? "with an image request" : "without");
    std::vector<std::string> asked;
    if (handler) V->OnImageRequest = [&](TPageViewer*, const std::string& src, TMemoryStream*&) { asked.push_back(src); };
    V->OpenHtmlFile(RedPage);
    EXPECT_EQ(PixelAt(5, 5), Red);
    V->OpenHtmlFile(BluePage);
    EXPECT_EQ(PixelAt(5, 5), Blue);
    V->OpenHtmlFile(RedPage);
    EXPECT_EQ(PixelAt(5, 5), Red);
    if (handler) {
      // Asked once per folder: the third load found its picture in the cache.
      EXPECT_EQ(asked, (std::vector<std::string>{"a.bmp", "a.bmp"}));
    }
    V->ClearDocument();
  }
}

// Spellings of one file share an entry; once the page is gone nothing holds it any more, so
// it can age out of the cache.
TEST_F(ImageNameTest, SpellingsOfOneFileShareAnEntryThatIsGivenBack) {
  const std::string page = Dir.Write("red/spellings.html",
                                     "<body bgcolor=white><img src=\"a.bmp\"><img src=\"./a.bmp\">"
                                     "<img src=\"../red/a.bmp\"><img src=\"sub/../a.bmp\"></body>");
  for (bool handler : {false, true}) {
    SCOPED_TRACE(handler ? "with an image request" : "without");
    if (handler) V->OnImageRequest = [](TPageViewer*, const std::string&, TMemoryStream*&) {};
    V->OpenHtmlFile(page);
    Settle();
    ASSERT_EQ(CacheKeys().size(), 1u);
    EXPECT_EQ(V->Document().ImageCache().Item(0)->Holders, 4);
    V->LoadStream("<p>no pictures</p>", "");
    EXPECT_EQ(V->Document().ImageCache().Item(0)->Holders, 0);
    V->ClearDocument();
  }
}

// Backgrounds of the body, of blocks and of table cells are found next to the page as
// pictures are, and cached by that file too.
TEST_F(ImageNameTest, BackgroundsResolveAgainstThePage) {
  const char* pages[] = {
      "<body background=\"a.bmp\"><p>&nbsp;</p></body>",
      "<body bgcolor=white><div style=\"background-image:url(a.bmp);width:60px;height:60px\"></div></body>",
      "<body bgcolor=white><table cellspacing=0 cellpadding=0><tr><td background=\"a.bmp\" width=60 "
      "height=60>&nbsp;</td></tr></table></body>",
  };
  for (const char* html : pages) {
    SCOPED_TRACE(html);
    const std::string red = Dir.Write("red/bg.html", html), blue = Dir.Write("blue/bg.html", html);
    V->OpenHtmlFile(red);
    EXPECT_EQ(PixelAt(30, 30), Red);
    V->OpenHtmlFile(blue);
    EXPECT_EQ(PixelAt(30, 30), Blue);
    V->LoadStream("<p>no pictures</p>", "");
    for (int i = 0; i < V->Document().ImageCache().Count(); ++i)
      EXPECT_EQ(V->Document().ImageCache().Item(i)->Holders, 0) << V->Document().ImageCache().Key(i);
    V->ClearDocument();
  }
}

}  // namespace
}  // namespace korva::test
