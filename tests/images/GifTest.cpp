#include <gtest/gtest.h>

#include <cstring>

#include "GifBuilder.h"
#include "TestUtil.h"
#include "images/Gif.h"
#include "images/Limits.h"

namespace korva {
namespace {

using test::TGifBuilder;

std::string LoadError(const std::vector<std::uint8_t>& data) {
  TGif gif;
  try {
    gif.ReadGif(data.data(), data.size());
  } catch (const EInvalidGraphicOperation& e) {
    return e.what();
  }
  return "";
}

std::vector<int> Ramp(int n, int mod) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(i % mod);
  return v;
}

TEST(Gif, SignatureChecks) {
  TGifBuilder lower("gif89a");
  EXPECT_EQ(LoadError(lower.Image(0, 0, 2, 2, Ramp(4, 4)).End()), "");
  TGifBuilder bad("GIF88a");
  EXPECT_EQ(LoadError(bad.Image(0, 0, 2, 2, Ramp(4, 4)).End()), "TGif: Invalid GIF Signature Code");
  EXPECT_EQ(LoadError({'G', 'I', 'F'}), "TGif: Invalid GIF Signature Code");
}

TEST(Gif, FormatErrorsCarryTheirMessages) {
  TGifBuilder noTable("GIF89a", 4, 4, 0);
  EXPECT_EQ(LoadError(noTable.Image(0, 0, 2, 2, Ramp(4, 4)).End()), "TGif: No Local or Global Color Table for Image");
  // A local table is enough.
  TGifBuilder localOnly("GIF89a", 4, 4, 0);
  EXPECT_EQ(LoadError(localOnly.Image(0, 0, 2, 2, Ramp(4, 4), 2, false, 4).End()), "");

  TGifBuilder unknown;
  EXPECT_EQ(LoadError(unknown.Raw({0x21, 0x02, 0x00}).Image(0, 0, 2, 2, Ramp(4, 4)).End()),
            "TGif: unknown extension: 0002");
  TGifBuilder gce5;
  EXPECT_EQ(LoadError(gce5.Gce(0, 0, -1, 5).Image(0, 0, 2, 2, Ramp(4, 4)).End()),
            "TGif: Invalid Extension Block Size");
  TGifBuilder noImage;
  EXPECT_EQ(LoadError(noImage.End()), "TGif: No Image Description");
  TGifBuilder opcode;
  EXPECT_EQ(LoadError(opcode.Raw({0x55}).End()), "TGif: Unknown Graphics Operation Code");
  TGifBuilder terminator;
  std::vector<std::uint8_t> t = terminator.Gce(0, 0).End();
  t[t.size() - 2] = 7;  // the graphic control's block terminator
  EXPECT_EQ(LoadError(t), "TGif: Invalid Extension Block Terminator");
  TGifBuilder codeSize;
  EXPECT_EQ(LoadError(codeSize.Raw({0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 12, 1, 0, 0}).End()),
            "TGif: Invalid LZW Code Size");
}

TEST(Gif, LzwFormatErrors) {
  // A code beyond the next free code.
  TGifBuilder beyond;
  beyond.Raw({0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0, 2}).Data(TGifBuilder::PackCodes({4, 1, 7, 5}, 3));
  EXPECT_EQ(LoadError(beyond.End()), "TGif: Invalid LZW Data Format");
  // A clear code directly followed by the end code.
  TGifBuilder clearEnd;
  clearEnd.Raw({0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0, 2}).Data(TGifBuilder::PackCodes({4, 5}, 3));
  EXPECT_EQ(LoadError(clearEnd.End()), "TGif: Invalid LZW Data Format");
}

TEST(Gif, LoopCountAndDelays) {
  TGif gif;
  TGifBuilder loop0;
  auto d = loop0.Netscape({1, 0, 0}).Gce(2, 0).Image(0, 0, 2, 2, Ramp(4, 4)).Gce(1, 25, 3).Image(0, 0, 2, 2, Ramp(4, 4)).End();
  gif.ReadGif(d.data(), d.size());
  EXPECT_EQ(gif.RepeatCount(), 0);
  EXPECT_EQ(gif.ImageCount(), 2);
  EXPECT_EQ(gif.FrameDelay(0), 1);
  EXPECT_EQ(gif.FrameDelay(1), 25);
  EXPECT_EQ(gif.FrameDisposal(0), 2);
  EXPECT_EQ(gif.FrameTransparentIndex(0), -1);
  EXPECT_EQ(gif.FrameTransparentIndex(1), 3);
  EXPECT_TRUE(gif.IsTransparent());
  EXPECT_THROW(gif.FrameDelay(2), EInvalidGraphicOperation);

  TGifBuilder loop7;
  d = loop7.Netscape({9, 7, 1}).Image(0, 0, 2, 2, Ramp(4, 4)).End();
  gif.ReadGif(d.data(), d.size());
  EXPECT_EQ(gif.RepeatCount(), 0x107);  // the first byte of the sub-block is not checked
  EXPECT_FALSE(gif.IsTransparent());
  EXPECT_EQ(gif.FrameDisposal(0), 0);

  TGifBuilder none;
  d = none.Image(0, 0, 2, 2, Ramp(4, 4)).End();
  gif.ReadGif(d.data(), d.size());
  EXPECT_EQ(gif.RepeatCount(), -1);
}

TEST(Gif, InterlacedRowsArriveInPassOrder) {
  // One column, ten rows; the n-th row in the data carries index n.
  std::vector<int> order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  TGifBuilder b("GIF89a", 1, 10, 16);
  auto d = b.Image(0, 0, 1, 10, order, 4, true).End();
  TGif gif;
  gif.ReadGif(d.data(), d.size());
  const std::vector<std::uint8_t>& rows = gif.Image(0).Indexes;
  const int expectedRowOf[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  for (int n = 0; n < 10; ++n) EXPECT_EQ(rows[expectedRowOf[n]], n) << "data row " << n;
}

TEST(Gif, DisposalTwoClearsTheFrameAreaInTheNextSlotsMask) {
  // Frame 1 covers the 4x4 screen (index 3 transparent in its top row); frame 2 draws the
  // top-left 2x2 opaque, except its own transparent pixel at (1, 1).
  std::vector<int> f1 = {3, 3, 3, 3, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1};
  std::vector<int> f2 = {0, 0, 0, 3};
  TGifBuilder b;
  auto d = b.Gce(2, 10, 3).Image(0, 0, 4, 4, f1).Gce(0, 10, 3).Image(0, 0, 2, 2, f2).End();
  TGif gif;
  gif.ReadGif(d.data(), d.size());
  std::unique_ptr<TBitmap> mask;
  std::unique_ptr<TBitmap> strip = gif.BuildStrip(&mask);
  ASSERT_TRUE(strip && mask);
  EXPECT_EQ(strip->Width(), 8);
  EXPECT_EQ(strip->Height(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      // Slot 1: transparent only on its top row, painted black there.
      EXPECT_EQ(mask->GetIndex(x, y), y == 0 ? 1u : 0u) << x << "," << y;
      if (y == 0) {
        EXPECT_EQ(strip->GetPixel(x, y), clBlack);
      } else {
        EXPECT_EQ(strip->GetPixel(x, y), TGifBuilder::PaletteColor(f1[y * 4 + x]));
      }
      // Slot 2: all transparent but frame 2's opaque pixels; the image keeps frame 1's pixels.
      bool opaque = x < 2 && y < 2 && !(x == 1 && y == 1);
      EXPECT_EQ(mask->GetIndex(4 + x, y), opaque ? 0u : 1u) << x << "," << y;
      TColor want = opaque ? TGifBuilder::PaletteColor(0) : y == 0 ? clBlack : TGifBuilder::PaletteColor(f1[y * 4 + x]);
      EXPECT_EQ(strip->GetPixel(4 + x, y), want) << x << "," << y;
    }
}

TEST(Gif, OpaqueGifIgnoresDisposalAndHasNoMask) {
  TGifBuilder b;
  auto d = b.Gce(2, 10).Image(0, 0, 4, 4, Ramp(16, 3)).Gce(3, 10).Image(1, 1, 2, 2, {3, 3, 3, 3}).End();
  TGif gif;
  gif.ReadGif(d.data(), d.size());
  std::unique_ptr<TBitmap> mask;
  std::unique_ptr<TBitmap> strip = gif.BuildStrip(&mask);
  EXPECT_FALSE(mask);
  EXPECT_EQ(strip->GetPixel(4 + 0, 0), TGifBuilder::PaletteColor(0));
  EXPECT_EQ(strip->GetPixel(4 + 1, 1), TGifBuilder::PaletteColor(3));
}

TEST(Gif, TruncatedFiles) {
  TGifBuilder b("GIF89a", 4, 4, 4);
  auto full = b.Image(0, 0, 4, 4, Ramp(16, 3)).End();
  // Without the trailer.
  std::vector<std::uint8_t> noTrailer(full.begin(), full.end() - 1);
  EXPECT_EQ(LoadError(noTrailer), "");
  // Cut inside the image data: the sub-block is short.
  std::vector<std::uint8_t> cut(full.begin(), full.end() - 4);
  EXPECT_EQ(LoadError(cut), "TGif: Unexpected end of file");

  // Cut at a sub-block boundary: the rest of the frame reads as index 0.
  TGifBuilder p("GIF89a", 4, 4, 4);
  p.Raw({0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0, 2});
  std::vector<std::uint8_t> lzw = TGifBuilder::Lzw({1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2}, 2, false);
  lzw.resize(4);
  p.B.push_back(4);
  p.B.insert(p.B.end(), lzw.begin(), lzw.end());
  TGif gif;
  gif.ReadGif(p.B.data(), p.B.size());
  const std::vector<std::uint8_t>& px = gif.Image(0).Indexes;
  EXPECT_EQ(px[0], 1);
  EXPECT_EQ(px[1], 2);
  EXPECT_EQ(px[15], 0);

  // A comment cut short after an image ends the file there.
  TGifBuilder c;
  auto comment = c.Image(0, 0, 2, 2, Ramp(4, 4)).Raw({0x21, 0xFE, 10, 'a', 'b'}).B;
  gif.ReadGif(comment.data(), comment.size());
  EXPECT_EQ(gif.ImageCount(), 1);
  TGifBuilder c2;
  auto early = c2.Raw({0x21, 0xFE, 10, 'a', 'b'}).B;
  EXPECT_EQ(LoadError(early), "TGif: Unexpected end of file");
}

TEST(Gif, FramesAreClippedToTheScreen) {
  TGifBuilder b("GIF89a", 4, 3, 4);
  auto d = b.Image(2, 1, 5, 4, Ramp(20, 4)).Image(9, 9, 2, 2, Ramp(4, 4)).End();
  TGif gif;
  gif.ReadGif(d.data(), d.size());
  EXPECT_EQ(gif.FrameSizeX(0), 5);
  EXPECT_EQ(gif.Image(0).ClipWidth, 2);
  EXPECT_EQ(gif.Image(0).ClipHeight, 2);
  EXPECT_EQ(gif.Image(0).Indexes, (std::vector<std::uint8_t>{0, 1, 1, 2}));
  EXPECT_EQ(gif.Image(1).ClipWidth, 0);
  std::unique_ptr<TBitmap> strip = gif.BuildStrip(nullptr);
  EXPECT_EQ(strip->Width(), 8);
  EXPECT_EQ(strip->GetPixel(3, 2), TGifBuilder::PaletteColor(2));
}

TEST(Gif, ZeroScreenTakesTheFirstFramesArea) {
  TGifBuilder b("GIF89a", 0, 0, 4);
  auto d = b.Image(1, 0, 3, 2, Ramp(6, 4)).End();
  TGif gif;
  gif.ReadGif(d.data(), d.size());
  EXPECT_EQ(gif.ScreenWidth(), 4);
  EXPECT_EQ(gif.ScreenHeight(), 2);
}

TEST(Gif, OversizedInputIsRefused) {
  TGifBuilder wide("GIF89a", 20000, 10, 4);
  EXPECT_NE(LoadError(wide.Image(0, 0, 1, 1, {1}).End()).find("too large"), std::string::npos);
  // 16384 x 16384 with a 1x1 frame is 256 megapixels: beyond the strip limit.
  TGifBuilder big("GIF89a", 16384, 16384, 4);
  EXPECT_NE(LoadError(big.Image(0, 0, 1, 1, {1}).End()).find("too large"), std::string::npos);
  // 4096 x 4096 with five frames is 80 megapixels.
  TGifBuilder many("GIF89a", 4096, 4096, 4);
  for (int i = 0; i < 5; ++i) many.Image(0, 0, 1, 1, {1});
  EXPECT_NE(LoadError(many.End()).find("too large"), std::string::npos);
}

TEST(Gif, WideStripsWrapIntoRowsOfSlots) {
  const int w = 10000;
  EXPECT_EQ(TGif::StripSize(w, 2, 5).cx, 3 * w);
  EXPECT_EQ(TGif::StripSize(w, 2, 5).cy, 4);
  EXPECT_EQ(TGif::StripSlotRect(w, 2, 5, 4), Bounds(w, 2, w, 2));
  TGifBuilder b("GIF89a", w, 1, 4);
  for (int i = 0; i < 4; ++i) b.Image(i, 0, 1, 1, {i});
  auto d = b.End();
  TGif gif;
  gif.ReadGif(d.data(), d.size());
  std::unique_ptr<TBitmap> strip = gif.BuildStrip(nullptr);
  ASSERT_TRUE(strip);
  EXPECT_EQ(strip->Width(), 3 * w);
  EXPECT_EQ(strip->Height(), 2);
  // Slot 4 (index 3) lies on the second row and holds all four pixels.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(strip->GetPixel(i, 1), TGifBuilder::PaletteColor(i));
}

// Every corpus GIF decodes to the same colour indexes as giflib.
TEST(Gif, FramesMatchTheReferenceDecoder) {
  std::vector<std::string> files = test::ListFiles(test::DataPath("gif"), ".gif");
  for (const std::string& f : test::ListFiles(KORVA_SAMPLES_DIR, ".gif")) files.push_back(f);
  for (const std::string& f : test::ListFiles(test::DataPath("bench"), ".gif")) files.push_back(f);
  ASSERT_GE(files.size(), 20u);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::vector<std::uint8_t> data = test::ReadFile(file);
    int sw = 0, sh = 0;
    std::vector<test::TRefGifFrame> ref;
    if (!test::ReferenceGif(data, sw, sh, ref)) {
      // giflib wants the trailer that we do without.
      std::vector<std::uint8_t> ended = data;
      ended.push_back(0x3B);
      ASSERT_TRUE(test::ReferenceGif(ended, sw, sh, ref));
    }
    TGif gif;
    gif.ReadGif(data.data(), data.size());
    ASSERT_EQ(gif.ImageCount(), int(ref.size()));
    EXPECT_EQ(gif.ScreenWidth(), sw);
    EXPECT_EQ(gif.ScreenHeight(), sh);
    for (int k = 0; k < gif.ImageCount(); ++k) {
      const TGifImageDescriptor& d = gif.Image(k);
      ASSERT_EQ(d.Width, ref[k].Width);
      ASSERT_EQ(d.Height, ref[k].Height);
      int mismatches = 0;
      for (int y = 0; y < d.ClipHeight; ++y)
        for (int x = 0; x < d.ClipWidth; ++x)
          if (d.Indexes[std::size_t(y) * d.ClipWidth + x] != ref[k].Indexes[std::size_t(y) * d.Width + x]) ++mismatches;
      EXPECT_EQ(mismatches, 0) << "frame " << k;
    }
  }
}

// The strip's slots equal the frames as ImageMagick composes them, where the two agree on
// what disposal means: a transparent pixel there is a white mask pixel here.
TEST(Gif, StripMatchesComposedFrames) {
  const char* names[] = {"anim-disposal0-opaque", "anim-disposal0-transparent", "anim-disposal1-opaque",
                         "anim-disposal1-transparent", "anim-disposal2-transparent", "im-anim-rose",
                         "im-anim-transparent", "anim-no-loop", "frame-outside-screen"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> data = test::ReadFile(test::DataPath(std::string("gif/") + name + ".gif"));
    std::vector<std::uint8_t> rgba = test::ReadFile(test::DataPath(std::string("gif/expected/") + name + ".coalesced.rgba"));
    TGif gif;
    gif.ReadGif(data.data(), data.size());
    std::unique_ptr<TBitmap> mask;
    std::unique_ptr<TBitmap> strip = gif.BuildStrip(&mask);
    const int sw = gif.ScreenWidth(), sh = gif.ScreenHeight(), n = gif.ImageCount();
    ASSERT_EQ(rgba.size(), std::size_t(sw) * sh * n * 4);
    int bad = 0;
    for (int k = 0; k < n; ++k) {
      TRect slot = TGif::StripSlotRect(sw, sh, n, k);
      for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
          const std::uint8_t* p = rgba.data() + ((std::size_t(k) * sh + y) * sw + x) * 4;
          bool clear = mask && mask->GetIndex(slot.Left + x, slot.Top + y) == 1;
          if ((p[3] == 0) != clear) {
            ++bad;
            continue;
          }
          if (!clear && strip->GetPixel(slot.Left + x, slot.Top + y) != RGBColor(p[0], p[1], p[2])) ++bad;
        }
    }
    EXPECT_EQ(bad, 0);
  }
}

TEST(Gif, ErrorTableAndLastError) {
  EXPECT_STREQ(GifErrorMessage(0), "no error");
  EXPECT_STREQ(GifErrorMessage(24), "Unexpected end of file");
  EXPECT_STREQ(GifErrorMessage(25), "next message");
  LoadError({'G', 'I', 'F', '8', '8', 'a'});
  EXPECT_EQ(GifLastErrorCode(), 1);
  EXPECT_EQ(GifLastErrorText(), "TGif: Invalid GIF Signature Code");
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

TEST(Gif, EmptyScreenHasNothingToShow) {
  test::TGifBuilder b("GIF89a", 0, 0, 4);
  auto d = b.Image(0, 0, 0, 0, {}).End();
  TGif gif;
  gif.ReadGif(d.data(), d.size());
  EXPECT_EQ(gif.ScreenWidth(), 0);
  try {
    gif.BuildStrip(nullptr);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(std::string(e.what()), "TGif: Invalid Bitmap Image");
  }
}

}  // namespace
}  // namespace korva
