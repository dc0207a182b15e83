// SVG as an image kind: sniffing, plain and gzip data, files, palette screens, damaged files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "TestUtil.h"
#include "images/ImageFetch.h"
#include "images/ImageStream.h"
#include "platform/Limits.h"

namespace korva {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// 4 x 2: the left half opaque red, the right half empty.
const std::string RedHalf =
    "<?xml version=\"1.0\"?>\n<!-- drawn by hand -->\n"
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"2\"><rect width=\"2\" height=\"2\" "
    "fill=\"#ff0000\"/></svg>";

std::vector<std::uint8_t> Gzip(const std::vector<std::uint8_t>& data) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<std::uint8_t> out(deflateBound(&z, uLong(data.size())) + 32);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = uInt(data.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TImageGraphic Load(const std::vector<std::uint8_t>& data, TransparencyMode& mode, TBitmapPtr& mask) {
  TImageStream s(data);
  return LoadImageData(s, mode, mask);
}

TEST(Svg, Sniffing) {
  auto sniff = [](const std::string& s) { return SniffSvg(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); };
  EXPECT_TRUE(sniff("<svg>"));
  EXPECT_TRUE(sniff("<svg/>"));
  EXPECT_TRUE(sniff("\xEF\xBB\xBF  \r\n\t<svg xmlns=\"http://www.w3.org/2000/svg\">"));
  EXPECT_TRUE(sniff(RedHalf));
  EXPECT_TRUE(sniff("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"x.dtd\" [ <!ENTITY a \"<b>\"> ]>\n<svg "));
  EXPECT_TRUE(sniff("<!doctype svg><!-- a -- b --><?pi x?><svg\n"));
  EXPECT_FALSE(sniff(""));
  EXPECT_FALSE(sniff("<svg"));
  EXPECT_FALSE(sniff("<svgfoo>"));
  EXPECT_FALSE(sniff("<html><svg>"));
  EXPECT_FALSE(sniff("<!-- never closed <svg>"));
  EXPECT_FALSE(sniff("<?xml version=\"1.0\"?><html/>"));
  EXPECT_FALSE(sniff("text <svg>"));
}

TEST(Svg, PlainAndCompressedData) {
  test::TScreenBitsScope deep(24);
  for (const auto& data : {Bytes(RedHalf), Gzip(Bytes(RedHalf))}) {
    TransparencyMode mode = trCornerPixel;
    TBitmapPtr mask;
    TImageGraphic g = Load(data, mode, mask);
    ASSERT_TRUE(g.Vector && g.Bitmap);
    EXPECT_FALSE(g.Gif);
    EXPECT_FALSE(mask);
    EXPECT_EQ(mode, trNone);
    EXPECT_EQ(g.Bitmap->Width(), 4);
    EXPECT_EQ(g.Bitmap->Height(), 2);
    ASSERT_TRUE(g.Bitmap->HasAlpha());
    EXPECT_EQ(g.Bitmap->GetPixel(0, 1), RGBColor(255, 0, 0));
    EXPECT_EQ(g.Bitmap->ScanLine(1)[3], 255);
    EXPECT_EQ(g.Bitmap->ScanLine(0)[3 * 4 + 3], 0);
  }
}

TEST(Svg, DamagedDataIsNoImage) {
  test::TScreenBitsScope deep(24);
  std::vector<std::uint8_t> cut = Bytes(RedHalf);
  cut.resize(cut.size() - 12);
  std::vector<std::uint8_t> badGzip = Gzip(Bytes(RedHalf));
  badGzip.resize(badGzip.size() / 2);
  std::vector<std::uint8_t> gzipOfText = Gzip(Bytes("just some text, long enough to be sniffed"));
  for (const auto& data : {cut, badGzip, gzipOfText, Bytes("<svg xmlns=\"http://www.w3.org/2000/svg\"><rect></svg>")}) {
    TransparencyMode mode = trNone;
    TBitmapPtr mask;
    EXPECT_FALSE(Load(data, mode, mask));
    EXPECT_FALSE(mask);
  }
}

TEST(Svg, HugePicturesGetASmallerFallbackRendering) {
  test::TScreenBitsScope deep(24);
  TransparencyMode mode = trNone;
  TBitmapPtr mask;
  TImageGraphic g = Load(Bytes("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20000\" height=\"10000\">"
                               "<rect width=\"20000\" height=\"10000\" fill=\"#00f\"/></svg>"),
                         mode, mask);
  ASSERT_TRUE(g.Vector && g.Bitmap);
  EXPECT_EQ(g.Vector->IntrinsicSize().cx, 20000);
  EXPECT_LE(std::int64_t(g.Bitmap->Width()) * g.Bitmap->Height(), MaxSvgRenderPixels);
  EXPECT_EQ(g.Bitmap->Width(), 2 * g.Bitmap->Height());
  EXPECT_EQ(g.Bitmap->GetPixel(g.Bitmap->Width() / 2, g.Bitmap->Height() / 2), RGBColor(0, 0, 255));
}

TEST(Svg, PaletteScreensDrawThroughAMask) {
  test::TScreenBitsScope palette(8);
  TransparencyMode mode = trNone;
  TBitmapPtr mask;
  TImageGraphic g = Load(Bytes(RedHalf), mode, mask);
  ASSERT_TRUE(g.Vector && g.Bitmap && mask);
  EXPECT_EQ(mode, trGifMask);
  EXPECT_FALSE(g.Bitmap->HasAlpha());
  EXPECT_EQ(g.Bitmap->BitsPerPixel(), 8);
  EXPECT_EQ(g.Bitmap->GetPixel(1, 1), RGBColor(255, 0, 0));
  EXPECT_EQ(mask->GetIndex(1, 1), 0u);
  EXPECT_EQ(mask->GetIndex(2, 0), 1u);
}

TEST(Svg, FilesByExtensionOrContent) {
  test::TScreenBitsScope deep(24);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("korva-svg-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto write = [&](const std::string& name, const std::vector<std::uint8_t>& data) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return (dir / name).string();
  };
  const std::string plain = write("a.svg", Bytes(RedHalf));
  const std::string zipped = write("b.SVGZ", Gzip(Bytes(RedHalf)));
  const std::string misnamed = write("c.png", Bytes(RedHalf));
  const std::string broken = write("d.svg", Bytes("<svg xmlns=\"http://www.w3.org/2000/svg\"><g>"));
  for (const std::string& file : {plain, zipped, misnamed}) {
    SCOPED_TRACE(file);
    TransparencyMode mode = trNone;
    TBitmapPtr mask;
    TImageGraphic g = LoadImageFile(file, mode, mask);
    ASSERT_TRUE(g.Vector && g.Bitmap);
    EXPECT_EQ(g.Bitmap->GetPixel(0, 0), RGBColor(255, 0, 0));
  }
  TransparencyMode mode = trNone;
  TBitmapPtr mask;
  EXPECT_FALSE(LoadImageFile(broken, mode, mask));

  // From the cache a TRANSP request adds no corner mask: the picture has its own transparency.
  TStringBitmapList cache;
  mode = trNone;
  ASSERT_TRUE(FetchImage(cache, nullptr, plain, mode).Image.Vector);
  mode = trCornerPixel;
  TFetchResult again = FetchImage(cache, nullptr, plain, mode);
  EXPECT_TRUE(again.FromCache);
  EXPECT_TRUE(again.Image.Vector);
  EXPECT_FALSE(again.Mask);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace korva
