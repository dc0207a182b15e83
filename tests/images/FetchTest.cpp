#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "GifBuilder.h"
#include "PngBuilder.h"
#include "TestUtil.h"
#include "images/AnimatedGif.h"
#include "images/DisplayState.h"
#include "images/ImageFetch.h"
#include "images/ImageStream.h"
#include "platform/Canvas.h"

namespace korva {
namespace {

std::unique_ptr<TBitmapItem> Item() {
  TImageGraphic g;
  g.Bitmap = TBitmap::Create(2, 2, 24);
  return std::make_unique<TBitmapItem>(g, nullptr, trNone);
}

TEST(ImageCache, KeysAreUpperCasedAndTrimmed) {
  EXPECT_EQ(ImageCacheKey("  pics/Logo.gif \t"), "PICS/LOGO.GIF");
  TStringBitmapList cache;
  cache.AddEntry(ImageCacheKey("b.png"), Item());
  cache.AddEntry(ImageCacheKey("a.png"), Item());
  cache.AddEntry(ImageCacheKey("C.png"), Item());
  EXPECT_EQ(cache.Key(0), "A.PNG");
  EXPECT_EQ(cache.Key(2), "C.PNG");
  EXPECT_EQ(cache.IndexOf("c.PNG"), 2);
  EXPECT_EQ(cache.Item(0)->Holders, 1);  // adding holds it once
  TImageGraphic g = cache.TakeImage(0);
  EXPECT_TRUE(g.Bitmap);
  EXPECT_EQ(cache.Item(0)->Holders, 2);
  cache.ReleaseImage("A.PNG");
  cache.ReleaseImage("A.PNG");
  cache.ReleaseImage("A.PNG");
  EXPECT_EQ(cache.Item(0)->Holders, -1);
  cache.ReleaseImage("nothing");
}

TEST(ImageCache, AgingByPageLoads) {
  TStringBitmapList cache;
  EXPECT_EQ(cache.MaxAge(), 4);
  cache.SetMaxAge(5);
  cache.AddEntry("UNUSED", Item());
  cache.AddEntry("HELD", Item());
  cache.ReleaseImage("UNUSED");
  for (int load = 1; load <= 5; ++load) cache.PurgeAged();
  EXPECT_EQ(cache.Count(), 2);
  cache.PurgeAged();  // the sixth page
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Key(0), "HELD");
  // Taking an entry makes it young again.
  cache.ReleaseImage("HELD");
  cache.TakeImage(0);
  cache.ReleaseImage("HELD");
  EXPECT_EQ(cache.Item(0)->IdleLoads, 0);

  TStringBitmapList none;
  none.SetMaxAge(0);
  none.AddEntry("X", Item());
  none.ReleaseImage("X");
  none.PurgeAged();
  EXPECT_EQ(none.Count(), 0);

  TStringBitmapList shrink;
  shrink.AddEntry("OLD", Item());
  shrink.ReleaseImage("OLD");
  shrink.PurgeAged();
  shrink.PurgeAged();
  shrink.SetMaxAge(1);
  EXPECT_EQ(shrink.Count(), 0);
  EXPECT_EQ(shrink.MaxAge(), 1);
}

class TempDir {
 public:
  TempDir() {
    FPath = std::filesystem::temp_directory_path() / ("korva-images-" + std::to_string(::getpid()));
    std::filesystem::create_directories(FPath);
  }
  ~TempDir() { std::filesystem::remove_all(FPath); }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& data) {
    std::string p = (FPath / name).string();
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return p;
  }

 private:
  std::filesystem::path FPath;
};

std::vector<std::uint8_t> TwoFrameGif() {
  test::TGifBuilder b;
  return b.Gce(1, 5, 3).Image(0, 0, 4, 4, std::vector<int>(16, 1)).Gce(1, 5, 3).Image(0, 0, 2, 2, {3, 2, 2, 2}).End();
}

std::vector<std::uint8_t> OneFrameGif(int transparent) {
  test::TGifBuilder b;
  return b.Gce(0, 0, transparent).Image(0, 0, 4, 4, {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 0, 0, 0, 0}).End();
}

TEST(ImageFetch, FilesByExtension) {
  test::TScreenBitsScope deep(24);
  TempDir dir;
  std::string anim = dir.Write("anim.gif", TwoFrameGif());
  std::string single = dir.Write("ONE.GIF", OneFrameGif(2));
  std::string misnamed = dir.Write("gif-data.png", TwoFrameGif());
  TStringBitmapList cache;
  TransparencyMode mode = trNone;
  TFetchResult r = FetchImage(cache, nullptr, anim, mode);
  ASSERT_TRUE(r.Image.Gif);
  EXPECT_EQ(r.Image.Gif->FrameTotal(), 2);
  EXPECT_FALSE(r.FromCache);

  mode = trNone;
  r = FetchImage(cache, nullptr, single, mode);
  ASSERT_TRUE(r.Image.Bitmap);
  EXPECT_EQ(mode, trGifMask);
  ASSERT_TRUE(r.Mask);
  EXPECT_EQ(r.Mask->GetIndex(0, 1), 1u);
  EXPECT_EQ(r.Mask->GetIndex(0, 2), 0u);

  mode = trNone;
  r = FetchImage(cache, nullptr, misnamed, mode);
  EXPECT_FALSE(r.Image);
  EXPECT_EQ(cache.Count(), 2);

  // Again, with other letter case and blanks: from the cache, with its mode.
  std::string again = "  " + single + " ";
  for (char& c : again) c = char(std::toupper(static_cast<unsigned char>(c)));
  mode = trNone;
  r = FetchImage(cache, nullptr, again, mode);
  EXPECT_TRUE(r.FromCache);
  EXPECT_EQ(mode, trGifMask);
  EXPECT_TRUE(r.Mask);
  EXPECT_EQ(cache.Count(), 2);
  EXPECT_FALSE(FetchImage(cache, nullptr, "", mode).Image);
}

TEST(ImageFetch, CachedBitmapGetsACornerMaskOnDemand) {
  test::TScreenBitsScope deep(24);
  TempDir dir;
  std::string opaque = dir.Write("plain.gif", OneFrameGif(-1));
  TStringBitmapList cache;
  TransparencyMode mode = trNone;
  TFetchResult r = FetchImage(cache, nullptr, opaque, mode);
  EXPECT_FALSE(r.Mask);
  EXPECT_EQ(cache.Item(0)->Transparency, trNone);
  mode = trCornerPixel;
  r = FetchImage(cache, nullptr, opaque, mode);
  ASSERT_TRUE(r.Mask);
  EXPECT_EQ(cache.Item(0)->Transparency, trCornerPixel);
  EXPECT_EQ(r.Mask->GetIndex(3, 3), 1u);  // the bottom row has the corner's colour
  EXPECT_EQ(r.Mask->GetIndex(3, 2), 0u);
}

class THost : public TImageHost {
 public:
  bool BitmapEvent = false, ImageEvent = false;
  TBitmapPtr GiveBitmap;
  TColor GiveColor = NoTransparentColor;
  TMemoryStream* GiveStream = nullptr;
  std::string Expanded;
  int Requests = 0;
  bool HasBitmapRequest() const override { return BitmapEvent; }
  bool HasImageRequest() const override { return ImageEvent; }
  void BitmapRequest(const std::string&, TBitmapPtr& bitmap, TColor& color) override {
    ++Requests;
    EXPECT_EQ(color, NoTransparentColor);
    bitmap = GiveBitmap;
    color = GiveColor;
  }
  void ImageRequest(const std::string&, TMemoryStream*& stream) override {
    ++Requests;
    EXPECT_EQ(stream, nullptr);
    stream = GiveStream;
  }
  std::string ExpandImageName(const std::string& s) override { return Expanded.empty() ? s : Expanded; }
};

TEST(ImageFetch, HostEvents) {
  test::TScreenBitsScope deep(24);
  TStringBitmapList cache;
  THost host;
  host.BitmapEvent = true;
  std::shared_ptr<TBitmap> given = TBitmap::Create(3, 3, 24);
  given->SetPixel(1, 1, RGBColor(9, 9, 9));
  host.GiveBitmap = given;
  host.GiveColor = RGBColor(9, 9, 9);
  TransparencyMode mode = trNone;
  TFetchResult r = FetchImage(cache, &host, "a", mode);
  EXPECT_EQ(r.Image.Bitmap.get(), given.get());
  EXPECT_EQ(mode, trGifMask);
  ASSERT_TRUE(r.Mask);
  EXPECT_EQ(r.Mask->GetIndex(1, 1), 1u);

  // Only the bitmap event, answering nothing: no image and no file fallback.
  host.GiveBitmap = nullptr;
  mode = trNone;
  EXPECT_FALSE(FetchImage(cache, &host, "b", mode).Image);

  // Pending answers keep a bitmap from the bitmap event.
  host.ImageEvent = true;
  host.GiveBitmap = given;
  host.GiveColor = NoTransparentColor;
  host.GiveStream = PendingImageStream();
  mode = trCornerPixel;
  r = FetchImage(cache, &host, "c", mode);
  EXPECT_TRUE(r.Pending);
  EXPECT_EQ(r.Image.Bitmap.get(), given.get());
  EXPECT_TRUE(r.Mask);  // the corner mask asked for

  // An empty stream also leaves the result as it is.
  TImageStream empty;
  host.GiveStream = &empty;
  mode = trNone;
  r = FetchImage(cache, &host, "d", mode);
  EXPECT_FALSE(r.Pending);
  EXPECT_EQ(r.Image.Bitmap.get(), given.get());

  // A stream of GIF data: one frame becomes a bitmap, more stay animated.
  host.BitmapEvent = false;
  TImageStream one(OneFrameGif(-1)), two(TwoFrameGif());
  host.GiveStream = &one;
  mode = trNone;
  r = FetchImage(cache, &host, "e", mode);
  ASSERT_TRUE(r.Image.Bitmap);
  EXPECT_EQ(r.Image.Bitmap->Width(), 4);
  host.GiveStream = &two;
  r = FetchImage(cache, &host, "f", mode);
  ASSERT_TRUE(r.Image.Gif);

  // A stream of PNG data.
  test::TPngBuilder png;
  png.Header(1, 1, 8, 2).Pixels({0, 1, 2, 3}).End();
  TImageStream ps(png.B);
  host.GiveStream = &ps;
  r = FetchImage(cache, &host, "g", mode);
  ASSERT_TRUE(r.Image.Bitmap);
  EXPECT_EQ(r.Image.Bitmap->GetPixel(0, 0), RGBColor(1, 2, 3));

  // No stream: the expanded name is loaded as a file.
  TempDir dir;
  host.GiveStream = nullptr;
  host.Expanded = dir.Write("x.gif", TwoFrameGif());
  r = FetchImage(cache, &host, "h", mode);
  EXPECT_TRUE(r.Image.Gif);

  int before = host.Requests;
  r = FetchImage(cache, &host, " G ", mode);
  EXPECT_TRUE(r.FromCache);
  EXPECT_EQ(host.Requests, before);
}

// ---- animation --------------------------------------------------------------------------

std::uint32_t FakeNow = 0;
std::uint32_t FakeClock() { return FakeNow; }

class TInvalidations : public TAnimationHost {
 public:
  std::vector<TRect> Rects;
  void InvalidateRect(const TRect& r, bool erase) override {
    EXPECT_TRUE(erase);
    Rects.push_back(r);
  }
};

class AnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeNow = 1000;
    SetAnimationClock(&FakeClock);
  }
  void TearDown() override { SetAnimationClock(nullptr); }

  static std::unique_ptr<TAnimatedGif> Make(int loop, std::vector<int> delays) {
    test::TGifBuilder b("GIF89a", 2, 2, 4);
    if (loop >= 0) b.Netscape({1, std::uint8_t(loop), 0});
    for (std::size_t i = 0; i < delays.size(); ++i) b.Gce(1, delays[i]).Image(0, 0, 2, 2, std::vector<int>(4, int(i % 4)));
    std::vector<std::uint8_t> d = b.End();
    bool single = true;
    std::unique_ptr<TAnimatedGif> g = TAnimatedGif::FromGifData(d.data(), d.size(), &single);
    EXPECT_FALSE(single);
    return g;
  }

  // Runs 40 ms ticks until the animation stops (or the limit) and returns the frames shown.
  static std::vector<int> Play(TAnimatedGif& g, int ticks, TAnimationHost* host = nullptr) {
    std::vector<int> shown = {g.FrameNo()};
    g.SetRunning(true);
    for (int i = 0; i < ticks && g.Running(); ++i) {
      FakeNow += 40;
      int before = g.FrameNo();
      g.Advance(host);
      if (g.FrameNo() != before) shown.push_back(g.FrameNo());
    }
    return shown;
  }
};

TEST_F(AnimationTest, HoldTimes) {
  std::unique_ptr<TAnimatedGif> g = Make(0, {0, 5, 20});
  ASSERT_TRUE(g);
  EXPECT_EQ(g->FrameList().Items(1).Delay, 30);
  EXPECT_EQ(g->FrameList().Items(2).Delay, 50);
  EXPECT_EQ(g->FrameList().Items(3).Delay, 200);
  // With the 40 ms tick the frames show for 40, 80 and 200 ms.
  g->SetRunning(true);
  EXPECT_EQ(g->HoldTime(), 30u);
  std::vector<std::uint32_t> switches;
  for (int i = 0; i < 20; ++i) {
    FakeNow += 40;
    int before = g->FrameNo();
    g->Advance(nullptr);
    if (g->FrameNo() != before) switches.push_back(FakeNow);
  }
  ASSERT_GE(switches.size(), 4u);
  EXPECT_EQ(switches[1] - switches[0], 80u);   // frame 2
  EXPECT_EQ(switches[2] - switches[1], 200u);  // frame 3
  EXPECT_EQ(switches[3] - switches[2], 40u);   // frame 1 again
}

TEST_F(AnimationTest, PlayLimits) {
  std::unique_ptr<TAnimatedGif> twice = Make(2, {1, 1});
  EXPECT_EQ(twice->PlayLimit(), 3);
  std::vector<int> shown = Play(*twice, 100);
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 1, 2, 1, 2}));
  EXPECT_FALSE(twice->Running());
  EXPECT_EQ(twice->FrameNo(), 2);

  std::unique_ptr<TAnimatedGif> once = Make(-1, {1, 1, 1});
  EXPECT_EQ(once->PlayLimit(), 1);
  EXPECT_EQ(Play(*once, 100), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(once->FrameNo(), 3);

  std::unique_ptr<TAnimatedGif> forever = Make(0, {1, 1});
  EXPECT_EQ(forever->PlayLimit(), 0);
  EXPECT_EQ(Play(*forever, 200).size(), 201u);
  EXPECT_TRUE(forever->Running());
}

TEST_F(AnimationTest, ClockWrapsAndInvalidates) {
  FakeNow = 0xFFFFFFF0u;
  std::unique_ptr<TAnimatedGif> g = Make(0, {1, 1});
  TInvalidations host;
  std::unique_ptr<TBitmap> target = TBitmap::Create(10, 10, 24);
  std::unique_ptr<TCanvas> canvas = CreateBitmapCanvas(*target);
  g->PaintFrame(*canvas, 3, 4, 2, 2);
  std::vector<int> shown = Play(*g, 3, &host);
  EXPECT_EQ(shown.size(), 4u);
  ASSERT_EQ(host.Rects.size(), 3u);
  EXPECT_EQ(host.Rects[0], Rect(3, 4, 5, 6));
}

TEST_F(AnimationTest, SharedStripsAnimateIndependently) {
  std::unique_ptr<TAnimatedGif> g = Make(0, {1, 1, 1});
  g->SelectFrame(3);
  std::unique_ptr<TAnimatedGif> copy = TAnimatedGif::CloneSharing(*g);
  EXPECT_TRUE(copy->SharesStrip());
  EXPECT_EQ(&copy->FrameStrip(), &g->FrameStrip());
  EXPECT_EQ(copy->FrameNo(), 1);
  copy->SelectFrame(0);
  EXPECT_EQ(copy->FrameNo(), 3);
  copy->SelectFrame(9);
  EXPECT_EQ(copy->FrameNo(), 1);
  EXPECT_EQ(g->FrameNo(), 3);
  g.reset();
  EXPECT_EQ(copy->FrameBitmap(2)->Width(), 2);  // the strip outlives its first owner
}

TEST_F(AnimationTest, PaintingASlotThroughItsMask) {
  // Frame 1 is colour 1 with a transparent top-left pixel; frame 2 is colour 2.
  test::TGifBuilder b("GIF89a", 2, 2, 4);
  auto d = b.Gce(0, 1, 3).Image(0, 0, 2, 2, {3, 1, 1, 1}).Gce(0, 1, 3).Image(0, 0, 2, 2, {2, 2, 2, 2}).End();
  std::unique_ptr<TAnimatedGif> g = TAnimatedGif::FromGifData(d.data(), d.size());
  ASSERT_TRUE(g && g->HasMask());
  std::unique_ptr<TBitmap> target = TBitmap::Create(8, 8, 24);
  target->Fill(RGBColor(200, 0, 200));
  std::unique_ptr<TCanvas> canvas = CreateBitmapCanvas(*target);
  g->PaintFrame(*canvas, 2, 2, 4, 4);  // stretched twice
  EXPECT_EQ(target->GetPixel(2, 2), RGBColor(200, 0, 200));
  EXPECT_EQ(target->GetPixel(3, 3), RGBColor(200, 0, 200));
  EXPECT_EQ(target->GetPixel(4, 2), test::TGifBuilder::PaletteColor(1));
  EXPECT_EQ(target->GetPixel(1, 1), RGBColor(200, 0, 200));
  g->SelectFrame(2);
  g->PaintFrame(*canvas, 2, 2, 4, 4);
  EXPECT_EQ(target->GetPixel(2, 2), test::TGifBuilder::PaletteColor(2));
  const TBitmap& first = g->FirstFramePicture();
  EXPECT_EQ(first.Width(), 2);
  ASSERT_TRUE(g->FirstFrameMaskPicture());
  EXPECT_EQ(g->FirstFrameMaskPicture()->GetIndex(0, 0), 1u);
  g->SetShowable(false);
  target->Fill(clBlack);
  g->PaintFrame(*canvas, 0, 0, 8, 8);
  EXPECT_EQ(target->GetPixel(4, 4), clBlack);
}

TEST_F(AnimationTest, FailuresYieldNothing) {
  std::vector<std::uint8_t> junk = {'G', 'I', 'F', '8', '9', 'a', 1, 2};
  bool single = true;
  EXPECT_FALSE(TAnimatedGif::FromGifData(junk.data(), junk.size(), &single));
  EXPECT_FALSE(TAnimatedGif::FromGifFile("/nonexistent/file.gif"));
  {
    test::TScreenBitsScope eight(8);
    std::unique_ptr<TAnimatedGif> g = Make(0, {1, 1});
    ASSERT_TRUE(g->FrameStrip().Bitmap().Palette());
    EXPECT_EQ(g->FrameStrip().Bitmap().Palette()->Count(), 256);
  }
}

}  // namespace
}  // namespace korva
