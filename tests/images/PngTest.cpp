#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "PngBuilder.h"
#include "TestUtil.h"
#include "images/ImageLoader.h"
#include "images/ImageStream.h"
#include "images/PngBitmap.h"

namespace korva {
namespace {

std::string LoadError(const std::vector<std::uint8_t>& data) {
  TPngBitmap png;
  try {
    png.LoadFromMemory(data.data(), data.size());
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

std::string Msg(const char* m) { return PngErrorText(m); }

// 2x2 RGB, filter None.
std::vector<std::uint8_t> Rgb2x2() { return {0, 10, 20, 30, 40, 50, 60, 0, 70, 80, 90, 100, 110, 120}; }

std::uint8_t Gamma(int v, double g) { return std::uint8_t(std::lround(255.0 * std::pow(v / 255.0, 1.0 / (g * 2.2)))); }

// Every corpus PNG decodes to libpng's pixels, with alpha dropped and the file's gamma applied.
TEST(Png, PixelsMatchTheReferenceDecoder) {
  std::vector<std::string> files = test::ListFiles(test::DataPath("png"), ".png");
  for (const std::string& f : test::ListFiles(KORVA_SAMPLES_DIR, ".png")) files.push_back(f);
  for (const std::string& f : test::ListFiles(test::DataPath("bench"), ".png")) files.push_back(f);
  ASSERT_GE(files.size(), 80u);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::vector<std::uint8_t> data = test::ReadFile(file);
    test::TRgbImage ref;
    bool hasGamma = false;
    double gamma = 0;
    ASSERT_TRUE(test::ReferencePng(data, ref, &hasGamma, &gamma));
    TPngBitmap png;
    png.LoadFromMemory(data.data(), data.size());
    ASSERT_TRUE(png.Bitmap());
    test::TRgbImage ours = test::ToRgb(*png.Bitmap());
    ASSERT_EQ(ours.Width, ref.Width);
    ASSERT_EQ(ours.Height, ref.Height);
    if (hasGamma)
      for (std::uint8_t& v : ref.Rgb) v = Gamma(v, gamma);
    int bad = 0;
    for (std::size_t i = 0; i < ours.Rgb.size(); ++i) bad += ours.Rgb[i] != ref.Rgb[i];
    EXPECT_EQ(bad, 0);
  }
}

// Transparency of every corpus PNG (alpha channels of grey and RGB, palette tRNS, the tRNS key of
// grey and RGB at every depth, interlaced or not) against libpng: the alpha bitmap holds the
// reference's colours (through the file's gamma) premultiplied by its alpha, exactly.
TEST(Png, AlphaMatchesTheReferenceDecoder) {
  std::vector<std::string> files = test::ListFiles(test::DataPath("png"), ".png");
  for (const std::string& f : test::ListFiles(KORVA_SAMPLES_DIR, ".png")) files.push_back(f);
  int transparent = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::vector<std::uint8_t> data = test::ReadFile(file);
    int w = 0, h = 0;
    std::vector<std::uint8_t> ref;
    bool hasGamma = false;
    double gamma = 0;
    ASSERT_TRUE(test::ReferencePngRgba(data, w, h, ref, &hasGamma, &gamma));
    TPngBitmap png;
    png.LoadFromMemory(data.data(), data.size());
    ASSERT_TRUE(png.Bitmap());
    bool refOpaque = true;
    for (std::size_t i = 3; i < ref.size(); i += 4) refOpaque = refOpaque && ref[i] == 255;
    if (png.Alpha().empty()) {
      EXPECT_TRUE(refOpaque);
      continue;
    }
    ++transparent;
    ASSERT_EQ(png.Alpha().size(), std::size_t(w) * h);
    TBitmapPtr bmp = MakeAlphaBitmap(*png.Bitmap(), png.Alpha().data());
    ASSERT_TRUE(bmp && bmp->HasAlpha());
    int bad = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* r = ref.data() + (std::size_t(y) * w + x) * 4;
        const std::uint8_t* o = bmp->ScanLine(y) + std::size_t(x) * 4;
        const std::uint8_t a = r[3];
        auto colour = [&](int c) { return hasGamma ? Gamma(c, gamma) : std::uint8_t(c); };
        bad += o[3] != a || o[2] != Premultiply(colour(r[0]), a) || o[1] != Premultiply(colour(r[1]), a) ||
               o[0] != Premultiply(colour(r[2]), a);
      }
    EXPECT_EQ(bad, 0);
  }
  // The corpus has tRNS variants of every colour type and the alpha types.
  EXPECT_GE(transparent, 30);
}

TEST(Png, PixelFormats) {
  struct {
    const char* file;
    int bpp;
  } cases[] = {{"t0-d01-n-plain.png", 1}, {"t0-d02-n-plain.png", 4}, {"t0-d04-n-plain.png", 4},
               {"t0-d08-n-plain.png", 8}, {"t0-d16-n-plain.png", 8}, {"t3-d02-i-plain.png", 4},
               {"t3-d08-n-plain.png", 8}, {"t2-d16-i-plain.png", 24}, {"t6-d08-n-plain.png", 24},
               {"t4-d16-n-plain.png", 8}};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> data = test::ReadFile(test::DataPath(std::string("png/") + c.file));
    TPngBitmap png;
    png.LoadFromMemory(data.data(), data.size());
    EXPECT_EQ(png.Bitmap()->BitsPerPixel(), c.bpp) << c.file;
  }
}

TEST(Png, TwoBitImagesUseASixteenEntryPalette) {
  test::TPngBuilder b;
  b.Header(4, 1, 2, 0).Pixels({0, 0x1B}).End();  // samples 0, 1, 2, 3
  TPngBitmap png;
  png.LoadFromMemory(b.B.data(), b.B.size());
  const TBitmap& bmp = *png.Bitmap();
  EXPECT_EQ(bmp.BitsPerPixel(), 4);
  ASSERT_TRUE(bmp.Palette());
  ASSERT_EQ(bmp.Palette()->Count(), 16);
  EXPECT_EQ(bmp.Palette()->ColorAt(0), RGBColor(0, 0, 0));
  EXPECT_EQ(bmp.Palette()->ColorAt(5), RGBColor(85, 85, 85));
  EXPECT_EQ(bmp.Palette()->ColorAt(10), RGBColor(170, 170, 170));
  EXPECT_EQ(bmp.Palette()->ColorAt(15), RGBColor(255, 255, 255));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(bmp.GetIndex(x, 0), std::uint32_t(x * 5));
}

TEST(Png, ChunkChecks) {
  // A wrong CRC fails even on an ancillary chunk.
  test::TPngBuilder crc;
  crc.Header(2, 2, 8, 2).Chunk("tEXt", {'a', 0, 'b'}, true).Pixels(Rgb2x2()).End();
  EXPECT_EQ(LoadError(crc.B), Msg(PngCorruptedData));
  // Unknown ancillary chunks are kept; unknown critical ones fail.
  test::TPngBuilder anc;
  anc.Header(2, 2, 8, 2).Chunk("prVt", {1, 2, 3}).Pixels(Rgb2x2()).End();
  TPngBitmap png;
  png.LoadFromMemory(anc.B.data(), anc.B.size());
  EXPECT_EQ(png.Chunks().Item(1)->TypeName(), "prVt");
  test::TPngBuilder crit;
  crit.Header(2, 2, 8, 2).Chunk("PRVT", {1}).Pixels(Rgb2x2()).End();
  EXPECT_EQ(LoadError(crit.B), Msg(PngUnknownCritical));
  // tIME is a plain chunk.
  test::TPngBuilder time;
  time.Header(2, 2, 8, 2).Chunk("tIME", {7, 0xE0, 1, 1, 0, 0, 0}).Pixels(Rgb2x2()).End();
  EXPECT_EQ(LoadError(time.B), "");
}

TEST(Png, StructureErrors) {
  std::vector<std::uint8_t> sig = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0B};
  EXPECT_EQ(LoadError(sig), Msg(PngInvalidHeader));
  test::TPngBuilder late;
  late.Chunk("tEXt", {'a', 0}).Header(2, 2, 8, 2).Pixels(Rgb2x2()).End();
  EXPECT_EQ(LoadError(late.B), Msg(PngNoIHDR));
  test::TPngBuilder noData;
  noData.Header(2, 2, 8, 2).End();
  EXPECT_EQ(LoadError(noData.B), Msg(PngNoData));
  test::TPngBuilder type5;
  type5.Header(2, 2, 8, 5).Pixels(Rgb2x2()).End();
  EXPECT_EQ(LoadError(type5.B), Msg(PngUnknownColorType));
  test::TPngBuilder interlace;
  interlace.Header(2, 2, 8, 2, 2).Pixels(Rgb2x2()).End();
  EXPECT_EQ(LoadError(interlace.B), Msg(PngUnknownInterlace));
  std::vector<std::uint8_t> raw = Rgb2x2();
  raw[7] = 5;
  test::TPngBuilder filter;
  filter.Header(2, 2, 8, 2).Pixels(raw).End();
  EXPECT_EQ(LoadError(filter.B), Msg(PngUnknownFilter));
  test::TPngBuilder noPalette;
  noPalette.Header(2, 1, 8, 3).Pixels({0, 0, 0}).End();
  EXPECT_EQ(LoadError(noPalette.B), Msg(PngPaletteMissing));
  test::TPngBuilder shortPalette;
  shortPalette.Header(2, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4, 5}).Pixels({0, 0, 0}).End();
  EXPECT_EQ(LoadError(shortPalette.B), Msg(PngInvalidPalette));
  // Too few rows of data.
  test::TPngBuilder shortData;
  shortData.Header(2, 3, 8, 2).Pixels(Rgb2x2()).End();
  EXPECT_NE(LoadError(shortData.B), "");
}

TEST(Png, SizesAreCheckedBeforeAllocating) {
  test::TPngBuilder huge;
  huge.Header(20000, 10, 8, 2).Pixels({0}).End();
  EXPECT_EQ(LoadError(huge.B), Msg(PngTooLarge));
  test::TPngBuilder area;
  area.Header(16384, 16384, 8, 0).Pixels({0}).End();
  EXPECT_EQ(LoadError(area.B), Msg(PngTooLarge));
  test::TPngBuilder empty;
  empty.Header(0, 5, 8, 0).Pixels({0}).End();
  EXPECT_EQ(LoadError(empty.B), Msg(PngNoData));
  // A chunk claiming 2 GB in a file of a few bytes fails as a read error.
  test::TPngBuilder lying;
  lying.Header(2, 2, 8, 2);
  lying.Put32(0x7FFFFFF0u);
  lying.B.insert(lying.B.end(), {'t', 'E', 'X', 't', 1, 2, 3});
  EXPECT_EQ(LoadError(lying.B), "Stream read error");
}

TEST(Png, GammaTables) {
  TPngBitmap png;
  TChunkGAMA g(&png.Chunks());
  g.Data() = {0, 0, 0xB1, 0x8F};  // 45455
  g.Process();
  for (int i = 0; i < 256; ++i) EXPECT_EQ(g.Forward()[i], i);
  g.Data() = {0, 0x01, 0x86, 0xA0};  // 100000
  g.Process();
  EXPECT_EQ(g.Forward()[128], 186);
  EXPECT_EQ(g.Inverse()[186], 128);
  g.Data() = {0, 0, 0, 0};
  g.Process();
  EXPECT_EQ(g.Forward()[77], 77);
}

TEST(Png, InterlacedOnePixelReadsOnlyPassOne) {
  test::TPngBuilder b;
  b.Header(1, 1, 8, 2, 1).Pixels({0, 9, 8, 7}).End();
  TPngBitmap png;
  png.LoadFromMemory(b.B.data(), b.B.size());
  EXPECT_EQ(png.Bitmap()->GetPixel(0, 0), RGBColor(9, 8, 7));
}

TEST(Png, TransparencyOfRgbAndPaletteImages) {
  test::TPngBuilder rgb;
  rgb.Header(2, 2, 8, 2).Chunk("tRNS", {0, 10, 0, 20, 0, 30}).Pixels(Rgb2x2()).End();
  TPngBitmap png;
  png.LoadFromMemory(rgb.B.data(), rgb.B.size());
  EXPECT_TRUE(png.Transparent());
  EXPECT_EQ(png.TransparentColor(), RGBColor(10, 20, 30));
  EXPECT_EQ(png.ChunkTransparentColor(), RGBColor(10, 20, 30));

  test::TPngBuilder pal;
  pal.Header(2, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}).Chunk("tRNS", {255, 0}).Pixels({0, 0, 1}).End();
  png.LoadFromMemory(pal.B.data(), pal.B.size());
  EXPECT_FALSE(png.Transparent());
  EXPECT_THROW(png.ChunkTransparentColor(), EPngError);
  EXPECT_EQ(png.Bitmap()->GetPixel(1, 0), RGBColor(4, 5, 6));
}

TEST(Png, MissingEndChunkStillLoads) {
  test::TPngBuilder b;
  b.Header(2, 2, 8, 2).Pixels(Rgb2x2());
  TPngBitmap png;
  png.LoadFromMemory(b.B.data(), b.B.size());
  EXPECT_EQ(png.Bitmap()->GetPixel(1, 1), RGBColor(100, 110, 120));
}

TEST(Png, StreamPositionIsTheStart) {
  test::TPngBuilder b;
  b.Header(2, 2, 8, 2).Pixels(Rgb2x2()).End();
  std::vector<std::uint8_t> data = {1, 2, 3};
  data.insert(data.end(), b.B.begin(), b.B.end());
  TImageStream s(data);
  s.SetPosition(3);
  TPngBitmap png;
  png.LoadFromStream(s);
  EXPECT_EQ(png.Bitmap()->GetPixel(0, 0), RGBColor(10, 20, 30));
}

TEST(Png, RegistryAndChunkList) {
  TChunkClasses& reg = TChunkClasses::Instance();
  ASSERT_EQ(reg.Count(), 8);
  const char* order[] = {"IEND", "IHDR", "gAMA", "IDAT", "PLTE", "tEXt", "tRNS", "tIME"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(std::string(reg.TypeAt(i).data(), 4), order[i]);
  EXPECT_EQ(reg.IndexOfType({'z', 'z', 'z', 'z'}), -1);
  EXPECT_EQ(reg.IndexOfClass(&NewChunk<TChunkIDAT>), 3);
  try {
    reg.TypeAt(8);
    FAIL();
  } catch (const EPngError& e) {
    EXPECT_EQ(std::string(e.what()), Msg("The chunk class index especified is  out of range."));
  }
  TPngBitmap a, other;
  EXPECT_EQ(a.Chunks().Count(), 3);  // the default IHDR, IDAT, IEND
  EXPECT_THROW(a.Chunks().Item(3), EPngError);
  EXPECT_THROW(a.Chunks().Remove(other.Chunks().Item(0)), EPngError);
  a.Chunks().Move(2, 0);
  EXPECT_EQ(a.Chunks().Item(0)->TypeName(), "IEND");
}

TEST(Png, AssignCopiesChunksAndPixels) {
  test::TPngBuilder b;
  b.Header(2, 2, 8, 2).Chunk("prVt", {4}).Chunk("gAMA", {0, 0, 0xB1, 0x8F}).Pixels(Rgb2x2()).End();
  TPngBitmap a, c;
  a.LoadFromMemory(b.B.data(), b.B.size());
  a.SetFilters(10);
  c.Assign(a);
  EXPECT_EQ(c.Filters(), 11);
  ASSERT_EQ(c.Chunks().Count(), a.Chunks().Count());
  EXPECT_NE(dynamic_cast<TChunkGAMA*>(c.Chunks().Item(2)), nullptr);
  EXPECT_EQ(c.Chunks().Item(1)->Data(), std::vector<std::uint8_t>{4});
  EXPECT_EQ(c.Bitmap()->GetPixel(1, 0), a.Bitmap()->GetPixel(1, 0));
}

TEST(Png, EncodedBitmapsReadBack) {
  std::unique_ptr<TBitmap> bmp = TBitmap::Create(5, 3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) bmp->SetPixel(x, y, RGBColor(x * 50, y * 80, 7));
  TPngBitmap png;
  png.SetBitmap(std::move(bmp));
  std::vector<std::uint8_t> out;
  png.SaveToStream(out);
  TPngBitmap back;
  back.LoadFromMemory(out.data(), out.size());
  EXPECT_EQ(back.Bitmap()->GetPixel(4, 2), RGBColor(200, 160, 7));
  std::unique_ptr<TBitmap> mono = TBitmap::Create(9, 2, 1);
  mono->SetIndex(8, 1, 1);
  std::vector<std::uint8_t> m = EncodePng(*mono);
  back.LoadFromMemory(m.data(), m.size());
  EXPECT_EQ(back.Bitmap()->GetPixel(8, 1), clWhite);
  EXPECT_EQ(back.Bitmap()->GetPixel(7, 1), clBlack);
}

}  // namespace
}  // namespace korva
