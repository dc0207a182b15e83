// Image and panel objects: attributes and style, sizing, fetching, drawing, mouse states, hit
// tests and the lists that hold them.
#include <gtest/gtest.h>

#include "../images/GifBuilder.h"
#include "ImageTestSupport.h"
#include "images/AnimatedGif.h"
#include "images/BitmapCache.h"
#include "layout/ImageObj.h"
#include "layout/ImageObjList.h"
#include "layout/LayoutDump.h"
#include "layout/MapItem.h"
#include "layout/PanelObj.h"
#include "platform/Canvas.h"

namespace korva::test {
namespace {

std::unique_ptr<TImageObj> MakeImage(TSectionList& doc, std::initializer_list<std::pair<TSymbol, std::string>> items,
                                     int textIndex = 0) {
  auto attrs = Attrs(items);
  return std::make_unique<TImageObj>(&doc, *attrs, textIndex);
}

// A GIF of `frames` frames of 4 x 4 pixels.
std::vector<std::uint8_t> Gif(int frames) {
  TGifBuilder g("GIF89a", 4, 4, 4);
  if (frames > 1) g.Netscape({1, 0, 0});
  for (int i = 0; i < frames; ++i) g.Gce(1, 10).Image(0, 0, 4, 4, std::vector<int>(16, i % 4));
  return g.End();
}

TEST(ImageObj, Attributes) {
  TImageDoc t;
  struct Case {
    const char* what;
    std::initializer_list<std::pair<TSymbol, std::string>> attrs;
    TAlignCode placement;
    int spaceLeft, spaceTop, wantedWidth, wantedHeight;
    bool widthPercent;
  };
  const Case cases[] = {
      {"nothing", {}, acBottom, 0, 0, 0, 0, false},
      {"HSPACE -60 is cut to 40", {{syHspace, "-60"}}, acBottom, 40, 0, 0, 0, false},
      {"VSPACE 12", {{syVspace, "12"}}, acBottom, 0, 12, 0, 0, false},
      {"ALIGN=LEFT without HSPACE", {{syAlign, "left"}}, acLeft, 3, 0, 0, 0, false},
      {"ALIGN=RIGHT with HSPACE", {{syAlign, "RIGHT"}, {syHspace, "7"}}, acRight, 7, 0, 0, 0, false},
      {"HSPACE before ALIGN", {{syHspace, "0"}, {syAlign, "left"}}, acLeft, 0, 0, 0, 0, false},
      {"ABSMIDDLE", {{syAlign, "absmiddle"}}, acMiddle, 0, 0, 0, 0, false},
      {"TOP", {{syAlign, "Top"}}, acTop, 0, 0, 0, 0, false},
      {"anything else stays bottom", {{syAlign, "baseline"}}, acBottom, 0, 0, 0, 0, false},
      {"WIDTH 50%", {{syWidth, "50%"}}, acBottom, 0, 0, 50, 0, true},
      {"WIDTH 150% is ignored", {{syWidth, "150%"}}, acBottom, 0, 0, 0, 0, false},
      {"WIDTH 0% is ignored", {{syWidth, "0%"}}, acBottom, 0, 0, 0, 0, false},
      {"pixels", {{syWidth, "120"}, {syHeight, "80"}}, acBottom, 0, 0, 120, 80, false},
      {"HEIGHT is at least 1", {{syHeight, "0"}}, acBottom, 0, 0, 0, 1, false},
      {"a negative WIDTH means nothing", {{syWidth, "-5"}}, acBottom, 0, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto img = MakeImage(t.Doc, c.attrs);
    EXPECT_EQ(img->Placement, c.placement);
    EXPECT_EQ(img->SpaceLeft, c.spaceLeft);
    EXPECT_EQ(img->SpaceRight, c.spaceLeft);
    EXPECT_EQ(img->SpaceTop, c.spaceTop);
    EXPECT_EQ(img->SpaceBottom, c.spaceTop);
    EXPECT_EQ(img->WantedWidth, c.wantedWidth);
    EXPECT_EQ(img->WantedHeight, c.wantedHeight);
    EXPECT_EQ(img->WidthInPercent, c.widthPercent);
  }
}

TEST(ImageObj, TextsMapsAndNames) {
  TImageDoc t;
  auto a = MakeImage(t.Doc, {{syTitle, "tip"}, {syAlt, "alt"}, {syUsemap, " #nav "}, {syIsmap, ""}, {syName, "pic"}});
  EXPECT_EQ(a->HintText, "tip");  // TITLE wins over ALT whatever the order
  EXPECT_EQ(a->AltText, "alt");
  EXPECT_TRUE(a->ClientSideMap);
  EXPECT_EQ(a->ClientMapName, "NAV");
  EXPECT_TRUE(a->ServerSideMap);
  EXPECT_EQ(t.Doc.IDNameList().Find("PIC"), a.get());
  auto b = MakeImage(t.Doc, {{syAlt, "only alt"}, {syUsemap, "#"}, {syBorder, "0"}, {syTransp, ""}});
  EXPECT_EQ(b->HintText, "only alt");
  EXPECT_EQ(b->ClientMapName, "#");  // a lone "#" is kept
  EXPECT_TRUE(b->BorderOff);
  EXPECT_EQ(b->TransparencyWanted, trCornerPixel);
  // A name does not outlive its object.
  a.reset();
  EXPECT_EQ(t.Doc.IDNameList().Find("pic"), nullptr);
}

TEST(ImageObj, Style) {
  TImageDoc t;
  struct Case {
    const char* what;
    const char* style;
    TAlignCode placement;
    int spaceLeft, spaceRight, spaceTop, wantedWidth;
    bool widthPercent, borderOff;
  };
  const Case cases[] = {
      {"vertical-align", "vertical-align: text-top", acTop, 0, 0, 0, 0, false, false},
      {"sub", "vertical-align: sub", acSub, 0, 0, 0, 0, false, false},
      {"float gives side spaces", "float: right", acRight, 3, 3, 0, 0, false, false},
      {"float beats vertical-align", "float: left; vertical-align: top", acLeft, 3, 3, 0, 0, false, false},
      {"margins after the float rule", "float: left; margin-left: 9px; margin-top: 2px", acLeft, 9, 3, 2, 0, false, false},
      {"width in pixels", "width: 70px", acBottom, 0, 0, 0, 70, false, false},
      {"width in percent", "width: 30%", acBottom, 0, 0, 0, 30, true, false},
      {"auto clears the attribute", "width: auto", acBottom, 0, 0, 0, 0, false, false},
      {"any border style", "border-style: solid", acBottom, 0, 0, 0, 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto img = MakeImage(t.Doc, {{syWidth, "40"}});
    TProperties& props = t.ImgStyle(c.style);
    img->ApplyStyle(props);
    t.Stack.PopElement(t.Doc.Styles(), "img");
    EXPECT_EQ(img->Placement, c.placement);
    EXPECT_EQ(img->SpaceLeft, c.spaceLeft);
    EXPECT_EQ(img->SpaceRight, c.spaceRight);
    EXPECT_EQ(img->SpaceTop, c.spaceTop);
    EXPECT_EQ(img->WantedWidth, std::string(c.style).find("width") == std::string::npos ? 40 : c.wantedWidth);
    EXPECT_EQ(img->WidthInPercent, c.widthPercent);
    EXPECT_EQ(img->BorderOff, c.borderOff);
  }
}

TEST(ImageObj, DisplaySizes) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  struct Case {
    const char* what;
    std::initializer_list<std::pair<TSymbol, std::string>> attrs;
    int width, height;
  };
  // Available: 300 wide, 200 high.
  const Case cases[] = {
      {"natural", {}, 30, 20},
      {"50% wide, height by aspect ratio", {{syWidth, "50%"}}, 150, 100},
      {"150% is ignored", {{syWidth, "150%"}}, 30, 20},
      {"both in percent", {{syWidth, "50%"}, {syHeight, "10%"}}, 150, 20},
      {"percent width, pixel height", {{syWidth, "10%"}, {syHeight, "33"}}, 30, 33},
      {"percent height, width by aspect ratio", {{syHeight, "50%"}}, 150, 100},
      {"percent height, pixel width", {{syHeight, "50%"}, {syWidth, "7"}}, 7, 100},
      {"only width, rounded to nearest", {{syWidth, "25"}}, 25, 17},
      {"only height, rounded to nearest", {{syHeight, "7"}}, 11, 7},
      {"both", {{syWidth, "5"}, {syHeight, "6"}}, 5, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto attrs = Attrs(c.attrs);
    attrs->Add(sySrc, "SRC", 0, "p.bmp");
    auto img = std::make_unique<TImageObj>(&t.Doc, *attrs, 0);
    img->ComputeSize(t.Canvas, 200, 300, false);
    EXPECT_EQ(img->ShownWidth(), c.width);
    EXPECT_EQ(img->ShownHeight(), c.height);
    EXPECT_EQ(img->BoxWidth, c.width);
    EXPECT_EQ(img->BoxHeight, c.height);
  }
}

TEST(ImageObj, PercentSizesFollowTheWidthPixelSizesSettle) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  auto pct = MakeImage(t.Doc, {{sySrc, "p.bmp"}, {syWidth, "50%"}});
  auto px = MakeImage(t.Doc, {{sySrc, "p.bmp"}, {syWidth, "60"}});
  for (int width : {300, 100}) {
    pct->ComputeSize(t.Canvas, 0, width, false);
    px->ComputeSize(t.Canvas, 0, width, false);
  }
  EXPECT_EQ(pct->ShownWidth(), 50);
  EXPECT_EQ(pct->ShownHeight(), 33);
  EXPECT_EQ(px->ShownWidth(), 60);
  EXPECT_TRUE(px->SizeSettled);
  EXPECT_EQ(t.Host.Requests.size(), 1u);  // fetched once, from the cache after that
}

TEST(ImageObj, LinkBorder) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  struct Case {
    const char* what;
    bool inLink, borderZero;
    int boxWidth;
  };
  const Case cases[] = {
      {"inside a link", true, false, 32},
      {"inside a link, BORDER=0", true, true, 30},
      {"outside links", false, false, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto img = c.borderZero ? MakeImage(t.Doc, {{sySrc, "p.bmp"}, {syBorder, "0"}}) : MakeImage(t.Doc, {{sySrc, "p.bmp"}});
    img->ComputeSize(t.Canvas, 0, 300, c.inLink);
    EXPECT_EQ(img->LinkBorder, c.boxWidth == 32);
    EXPECT_EQ(img->BoxWidth, c.boxWidth);
    EXPECT_EQ(img->BoxHeight, c.boxWidth - 10);
    EXPECT_EQ(img->ShownWidth(), 30);
  }
  // Pictures of blocks and list items have no border.
  TImageObj bullet(&t.Doc, std::string("p.bmp"));
  bullet.ComputeSize(t.Canvas, 0, 300, true);
  EXPECT_FALSE(bullet.LinkBorder);
}

TEST(ImageObj, MissingImageMakesRoomForItsAltText) {
  TImageDoc t;
  ThtFontInfo arial;
  arial.Name = "Arial";
  arial.Size = 8;
  const TPlatformFont& font = *t.Doc.FontFor(arial).Font.Handle();
  const int altWidth = font.TextWidth(u"Picture not found");

  auto img = MakeImage(t.Doc, {{sySrc, "gone.gif"}, {syAlt, "Picture not found"}});
  img->ComputeSize(t.Canvas, 0, 600, false);
  EXPECT_EQ(img->ShownBitmap(), ErrorImageBitmap());
  EXPECT_EQ(img->ShownMask(), ErrorImageMask());
  EXPECT_TRUE(img->IsPlaceholder());
  EXPECT_EQ(img->ShownWidth(), altWidth + 26);
  EXPECT_EQ(img->ShownHeight(), std::max(24, font.Metrics().Height));

  // Without alt text it still has room for the picture in its frame; given sizes are kept.
  auto bare = MakeImage(t.Doc, {{sySrc, "gone.gif"}});
  bare->ComputeSize(t.Canvas, 0, 600, false);
  EXPECT_EQ(bare->ShownWidth(), 26);
  EXPECT_EQ(bare->ShownHeight(), 24);
  auto sized = MakeImage(t.Doc, {{sySrc, "gone.gif"}, {syAlt, "Picture not found"}, {syWidth, "10"}, {syHeight, "12"}});
  sized->ComputeSize(t.Canvas, 0, 600, false);
  EXPECT_EQ(sized->ShownWidth(), 10);
  EXPECT_EQ(sized->ShownHeight(), 12);
  // An empty SRC is missing too, without asking anyone.
  const std::size_t asked = t.Host.Requests.size();
  auto empty = MakeImage(t.Doc, {{sySrc, ""}});
  empty->ComputeSize(t.Canvas, 0, 600, false);
  EXPECT_EQ(empty->ShownBitmap(), ErrorImageBitmap());
  EXPECT_EQ(t.Host.Requests.size(), asked);
}

TEST(ImageObj, PendingImagesWaitOnTheDocumentsList) {
  TImageDoc t;
  t.Host.UseStreams = true;
  t.Host.Later.insert("late.png");
  auto a = MakeImage(t.Doc, {{sySrc, "late.png"}});
  auto b = MakeImage(t.Doc, {{sySrc, " LATE.PNG"}});
  a->ComputeSize(t.Canvas, 0, 300, false);
  b->ComputeSize(t.Canvas, 0, 300, false);
  EXPECT_EQ(t.Host.Requests.size(), 1u);  // the second finds the name already waiting
  EXPECT_TRUE(a->AwaitingHost);
  EXPECT_TRUE(b->AwaitingHost);
  EXPECT_EQ(a->ShownBitmap(), DefaultImageBitmap());
  ASSERT_EQ(t.Doc.FMissingImages.size(), 2u);
  EXPECT_EQ(t.Doc.FMissingImages[0].first, "LATE.PNG");
  a.reset();
  ASSERT_EQ(t.Doc.FMissingImages.size(), 1u);
  EXPECT_EQ(t.Doc.FMissingImages[0].second, static_cast<void*>(b.get()));
}

TEST(ImageObj, ImagesSwitchedOffAreNotFetchedUntilSwitchedOn) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  t.Host.ShowImages = false;
  auto img = MakeImage(t.Doc, {{sySrc, "p.bmp"}});
  img->ComputeSize(t.Canvas, 0, 300, false);
  EXPECT_TRUE(t.Host.Requests.empty());
  EXPECT_TRUE(!img->ShownBitmap() && !img->Gif());
  EXPECT_EQ(img->ShownHeight(), 24);  // a placeholder box
  t.Host.ShowImages = true;
  img->ComputeSize(t.Canvas, 0, 300, false);
  EXPECT_EQ(t.Host.Requests.size(), 1u);
  EXPECT_EQ(img->ShownWidth(), 30);
  EXPECT_EQ(img->ShownHeight(), 20);
}

TEST(ImageObj, DestructionReleasesTheCacheEntry) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  auto a = MakeImage(t.Doc, {{sySrc, "p.bmp"}});
  auto b = MakeImage(t.Doc, {{sySrc, "P.BMP"}});
  a->ComputeSize(t.Canvas, 0, 300, false);
  b->ComputeSize(t.Canvas, 0, 300, false);
  const int i = t.Doc.ImageCache().IndexOf("P.BMP");
  ASSERT_GE(i, 0);
  EXPECT_EQ(t.Doc.ImageCache().Item(i)->Holders, 2);
  // A print copy shares the picture without holding the entry.
  auto copy = b->CloneForPrint(&t.Doc);
  copy.reset();
  a.reset();
  EXPECT_EQ(t.Doc.ImageCache().Item(i)->Holders, 1);
  b.reset();
  EXPECT_EQ(t.Doc.ImageCache().Item(i)->Holders, 0);
}

TEST(ImageObj, AnimatedGifsJoinTheDocumentsAnimationList) {
  TImageDoc t;
  t.Host.AddFile("run.gif", Gif(4));
  auto a = MakeImage(t.Doc, {{sySrc, "run.gif"}});
  auto b = MakeImage(t.Doc, {{sySrc, "run.gif"}});
  a->ComputeSize(t.Canvas, 0, 300, false);
  b->ComputeSize(t.Canvas, 0, 300, false);
  ASSERT_NE(a->Gif(), nullptr);
  ASSERT_NE(b->Gif(), nullptr);
  EXPECT_NE(a->Gif(), b->Gif());  // each runs its own clock over the shared frames
  EXPECT_EQ(a->ShownWidth(), 4);
  EXPECT_EQ(t.Doc.FAnimatedImages.size(), 2u);
  a.reset();
  ASSERT_EQ(t.Doc.FAnimatedImages.size(), 1u);
  EXPECT_EQ(t.Doc.FAnimatedImages[0], b->Gif());
}

TEST(ImageObj, ActiveGifsFollowTheMouse) {
  TImageDoc t;
  for (int frames : {2, 3, 4}) t.Host.AddFile(std::to_string(frames) + ".gif", Gif(frames));
  struct Step {
    int state;
    int frame;  // 0: running
  };
  struct Case {
    int frames;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {2, {{1, 2}, {2, 2}, {0, 1}}},
      {3, {{1, 2}, {2, 3}, {1, 2}, {0, 1}}},
      {4, {{1, 0}, {2, 0}, {0, -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    auto img = MakeImage(t.Doc, {{sySrc, std::to_string(c.frames) + ".gif"}, {syActive, ""}});
    img->ComputeSize(t.Canvas, 0, 300, false);
    TAnimatedGif* gif = img->Gif();
    ASSERT_NE(gif, nullptr);
    EXPECT_FALSE(gif->Running());
    EXPECT_TRUE(t.Doc.FAnimatedImages.empty());
    for (const Step& s : c.steps) {
      t.Host.Invalidated.clear();
      img->SetMouseState(s.state);
      EXPECT_EQ(img->MouseState, s.state);
      EXPECT_FALSE(t.Host.Invalidated.empty());
      const bool listed = !t.Doc.FAnimatedImages.empty();
      if (s.frame > 0) {
        EXPECT_EQ(gif->FrameNo(), s.frame);
        EXPECT_FALSE(gif->Running());
        EXPECT_FALSE(listed);
      } else if (s.frame == 0) {
        EXPECT_TRUE(gif->Running());
        EXPECT_EQ(t.Doc.FAnimatedImages.size(), 1u);
      } else {
        EXPECT_FALSE(gif->Running());
        EXPECT_FALSE(listed);
      }
    }
  }
  // Pictures without ACTIVE ignore the mouse.
  auto plain = MakeImage(t.Doc, {{sySrc, "2.gif"}});
  plain->ComputeSize(t.Canvas, 0, 300, false);
  plain->SetMouseState(2);
  EXPECT_EQ(plain->MouseState, 0);
  EXPECT_EQ(plain->Gif()->FrameNo(), 1);
}

// ---- drawing ----

TEST(ImageObjDraw, OpaqueAndMaskedPicturesAreStretched) {
  TImageDoc t;
  t.Host.AddBitmap("solid.bmp", 30, 20);
  t.Host.AddBitmap("holes.bmp", 30, 20, clWhite, clWhite);
  auto solid = MakeImage(t.Doc, {{sySrc, "solid.bmp"}, {syWidth, "60"}});
  auto holes = MakeImage(t.Doc, {{sySrc, "holes.bmp"}, {syWidth, "15"}});
  solid->ComputeSize(t.Canvas, 0, 300, false);
  holes->ComputeSize(t.Canvas, 0, 300, false);
  ASSERT_NE(holes->ShownMask(), nullptr);
  t.Canvas.Clear();
  solid->PaintObject(t.Canvas, 10, 100, 50);
  holes->PaintObject(t.Canvas, 80, 100, 50);
  EXPECT_EQ(t.Canvas.Text(),
            "StretchBlt 10,60 60x40 from 24bpp 30x20 at 0,0 30x20 SrcCopy\n"
            "MaskedStretchBlt 80,90 15x10 from 24bpp 30x20 mask 1bpp at 0,0 30x20\n");
  EXPECT_EQ(solid->DrawnLeft, 10);
  EXPECT_EQ(solid->DrawnTop, 60);
}

TEST(ImageObjDraw, MissingPictureFrameAndAltText) {
  TImageDoc t;
  t.Doc.SetBackgroundColor(clWhite);
  auto img = MakeImage(t.Doc, {{sySrc, "gone.gif"}, {syAlt, "aa bb cc dd ee ff"}, {syWidth, "60"}, {syHeight, "30"}});
  img->ComputeSize(t.Canvas, 0, 300, false);
  t.Canvas.SetTextColor(RGBColor(1, 2, 3));
  t.Canvas.Clear();
  img->PaintObject(t.Canvas, 100, 230, 0);  // box at 100,200 60x30
  ThtFontInfo arial;
  arial.Name = "Arial";
  arial.Size = 8;
  const TPlatformFont& font = *t.Doc.FontFor(arial).Font.Handle();
  const int lh = font.Metrics().Height;
  const std::vector<std::string>& lines = t.Canvas.Lines();
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0], "MaskedStretchBlt 104,204 16x16 from 4bpp 16x16 mask 1bpp at 0,0 16x16");
  // The alt text fills lines of width 60 - 26 from 24 right of the box's left, while a line's
  // bottom stays above the box's bottom - 1.
  std::vector<std::string> texts;
  std::vector<int> ys;
  for (const std::string& l : lines)
    if (l.rfind("TextOut ", 0) == 0) {
      int x = 0, y = 0;
      ASSERT_EQ(std::sscanf(l.c_str(), "TextOut %d,%d", &x, &y), 2) << l;
      EXPECT_EQ(x, 124);
      ys.push_back(y);
      texts.push_back(l.substr(l.find('"'), l.find('"', l.find('"') + 1) - l.find('"') + 1));
      EXPECT_NE(l.find("color=#010203"), std::string::npos) << l;
    }
  const int perLine = 34 / font.CharWidth(u'a');  // characters that fit
  ASSERT_FALSE(texts.empty());
  EXPECT_LE(int(texts[0].size()) - 2, perLine);
  for (std::size_t i = 0; i < ys.size(); ++i) {
    EXPECT_EQ(ys[i], 204 + int(i) * lh);
    EXPECT_LE(ys[i] + lh, 229);
  }
  EXPECT_GT(204 + int(ys.size()) * lh + lh, 229);  // stopped because the next line would not fit
  // The sunken frame: shadow on top and left, silver on a white page bottom and right.
  const std::string shadow = Hex(clBtnShadow), light = Hex(clSilver);
  const std::vector<std::string> frame(lines.end() - 4, lines.end());
  EXPECT_EQ(frame, (std::vector<std::string>{
                       "Line 100,229 100,200 pen=" + shadow,
                       "Line 100,200 159,200 pen=" + shadow,
                       "Line 159,200 159,229 pen=" + light,
                       "Line 159,229 100,229 pen=" + light,
                   }));
}

TEST(ImageObjDraw, SmallPlaceholdersShowNoPicture) {
  TImageDoc t;
  auto img = MakeImage(t.Doc, {{sySrc, "gone.gif"}, {syWidth, "20"}, {syHeight, "40"}});
  img->ComputeSize(t.Canvas, 0, 300, false);
  t.Canvas.Clear();
  img->PaintObject(t.Canvas, 0, 40, 0);
  EXPECT_EQ(t.Canvas.Text().find("Blt"), std::string::npos) << t.Canvas.Text();
  EXPECT_NE(t.Canvas.Text().find("Line"), std::string::npos);
}

TEST(ImageObjDraw, LinkBorderAndFocus) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  auto img = MakeImage(t.Doc, {{sySrc, "p.bmp"}});
  img->ComputeSize(t.Canvas, 0, 300, true);
  t.Canvas.SetTextColor(clBlue);
  t.Canvas.Clear();
  img->PaintObject(t.Canvas, 10, 122, 0, true);  // box 10,100 32x22
  EXPECT_EQ(t.Canvas.Text(),
            "StretchBlt 11,101 30x20 from 24bpp 30x20 at 0,0 30x20 SrcCopy\n"
            "Rectangle 10,100,42,122 pen=#0000FF brush=none\n"
            "FocusRect 10,100,42,122\n");
  EXPECT_EQ(img->DrawnRect(), Rect(11, 101, 41, 121));
  EXPECT_EQ(t.Canvas.TextColor(), clBlue);  // the focus rectangle's colours are put back
}

TEST(ImageObjDraw, VerticalPlacement) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 30);
  TFontSpec spec;
  spec.Height = -20;  // fixed metrics: height 20, descent 4
  t.Canvas.SetFont(TPlatformFont::Create(spec));
  ASSERT_EQ(t.Canvas.Font()->Metrics().Descent, 4);
  struct Case {
    TAlignCode placement;
    int vspace;
    int top;
  };
  // Line top 50, baseline 100.
  const Case cases[] = {
      {acTop, 5, 55},      {acLeft, 5, 55},      {acRight, 0, 50},    {acBottom, 0, 70},
      {acBottom, 5, 65},   {acBaseline, 0, 70},  {acMiddle, 0, 79},   {acMiddle, 4, 79},
      {acSub, 0, 73},      {acSuper, 0, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(PlacementName(c.placement)) + " vspace " + std::to_string(c.vspace));
    auto img = MakeImage(t.Doc, {{sySrc, "p.bmp"}, {syVspace, std::to_string(c.vspace)}});
    img->Placement = c.placement;
    img->ComputeSize(t.Canvas, 0, 300, false);
    img->PaintObject(t.Canvas, 0, 100, 50);
    EXPECT_EQ(img->DrawnTop, c.top);
  }
}

TEST(ImageObjDraw, AnimatedFramesAndDrawnMarks) {
  TImageDoc t;
  t.Host.AddFile("run.gif", Gif(3));
  auto img = MakeImage(t.Doc, {{sySrc, "run.gif"}, {syWidth, "8"}});
  img->ComputeSize(t.Canvas, 0, 300, false);
  ASSERT_NE(img->Gif(), nullptr);
  img->Gif()->SelectFrame(2);
  t.Canvas.Clear();
  img->PaintObject(t.Canvas, 0, 8, 0);
  EXPECT_TRUE(img->Gif()->PaintedLately());
  EXPECT_EQ(img->Gif()->LastDest(), Rect(0, 0, 8, 8));
  // The second of the strip's three slots, stretched to the display size.
  const TRect slot = img->Gif()->SlotRect(2);
  EXPECT_NE(t.Canvas.Text().find("8x8 from"), std::string::npos) << t.Canvas.Text();
  EXPECT_NE(t.Canvas.Text().find("at " + std::to_string(slot.Left) + "," + std::to_string(slot.Top)), std::string::npos)
      << t.Canvas.Text();
}

// ---- printing ----

TEST(ImagePrint, MaskedPicturesPrintThroughAClipRegion) {
  // 4 x 2 picture, opaque at columns 1-2 of row 0 and column 3 of row 1, printed twice as large.
  auto image = TBitmap::Create(4, 2, 24);
  auto mask = TBitmap::Create(4, 2, 1);
  mask->Fill(clWhite);
  mask->SetPixel(1, 0, clBlack);
  mask->SetPixel(2, 0, clBlack);
  mask->SetPixel(3, 1, clBlack);
  const TRegion region = MaskRegion(*mask, 0, 2, 100, 10, 8, 4);
  EXPECT_EQ(region, TRegion::FromRect(Rect(102, 10, 106, 12)).Combine(TRegion::FromRect(Rect(106, 12, 108, 14)),
                                                                      TRegionOp::Or));
  TRecordingCanvas c(TSize{500, 500});
  PrintImage(c, 100, 10, 8, 4, *image, mask.get());
  EXPECT_EQ(c.Text(),
            "Save\n"
            "ClipRegion n=2 (102,10,106,12 106,12,108,14)\n"
            "StretchBlt 100,10 8x4 from 24bpp 4x2 at 0,0 4x2 SrcCopy\n"
            "Restore\n");
  // A slice of rows; opaque pictures go straight to the device.
  EXPECT_EQ(MaskRegion(*mask, 1, 1, 0, 0, 4, 1), TRegion::FromRect(Rect(3, 0, 4, 1)));
  c.Clear();
  PrintImage(c, 0, 0, 4, 1, *image, nullptr, 1, 1);
  EXPECT_EQ(c.Text(), "StretchBlt 0,0 4x1 from 24bpp 4x2 at 0,1 4x1 SrcCopy\n");
}

TEST(ImagePrint, ShrinkingKeepsTheSampledPixels) {
  // Shrunk 4 -> 2 columns: destination pixel j samples source column 2j + 1.
  auto mask = TBitmap::Create(4, 1, 1);
  mask->Fill(clWhite);
  mask->SetPixel(1, 0, clBlack);  // sampled by column 0
  mask->SetPixel(2, 0, clBlack);  // sampled by nobody
  EXPECT_EQ(MaskRegion(*mask, 0, 1, 0, 0, 2, 1), TRegion::FromRect(Rect(0, 0, 1, 1)));
}

// ---- lists, hit tests, links ----

TEST(ImageObjList, PositionsAndHitTests) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  t.Host.OnPanelCreate = [](const std::string&, const std::string&, const std::string&, TNativeControl& panel) {
    panel.SetBounds(Bounds(0, 0, 50, 50));
  };
  TImageObjList list;
  auto panelAttrs = Attrs({{syName, "p"}});
  auto* panel = list.Add(std::make_unique<TPanelObj>(&t.Doc, *panelAttrs, 2));
  auto* first = static_cast<TImageObj*>(list.Add(MakeImage(t.Doc, {{sySrc, "p.bmp"}, {syUsemap, "#m"}, {syHspace, "4"}}, 5)));
  auto* second = static_cast<TImageObj*>(list.Add(MakeImage(t.Doc, {{sySrc, "p.bmp"}, {syIsmap, ""}}, 9)));
  for (const auto& o : list) o->ComputeSize(t.Canvas, 0, 300, false);
  auto map = std::make_shared<TMapItem>("M");
  t.Doc.AddMap("M", map);

  EXPECT_EQ(list.ObjectAtIndex(5), first);
  EXPECT_EQ(list.ObjectAtIndex(6), nullptr);
  EXPECT_EQ(list.CharsToNextObject(3), 2);
  EXPECT_EQ(list.CharsToNextObject(5), 0);
  EXPECT_EQ(list.CharsToNextObject(10), NoObjectAhead);
  TAlignCode align = acNone;
  int sl = 0, sr = 0;
  EXPECT_EQ(list.GetWidthAt(5, align, sl, sr), 30);
  EXPECT_EQ(sl, 4);
  EXPECT_EQ(list.GetHeightAt(9, align), 20);
  EXPECT_EQ(list.GetHeightAt(8, align), -1);
  list.CloseGap(5);
  EXPECT_EQ(first->TextIndex(), 5);
  EXPECT_EQ(second->TextIndex(), 8);

  // All three drawn over one another at 0,0: the panel is skipped, the first image wins.
  panel->DrawObject(t.Canvas, 0, 50, 0, false);
  first->PaintObject(t.Canvas, 0, 20, 0);
  second->PaintObject(t.Canvas, 20, 20, 0);
  TImageHit hit;
  ASSERT_TRUE(list.ImageAtPoint(25, 7, hit));
  EXPECT_EQ(hit.Image, first);
  EXPECT_EQ(hit.Map, map.get());
  EXPECT_EQ(hit.X, 25);
  EXPECT_EQ(hit.Y, 7);
  ASSERT_TRUE(list.ImageAtPoint(45, 19, hit));
  EXPECT_EQ(hit.Image, second);
  EXPECT_TRUE(hit.ServerSideMap);
  EXPECT_EQ(hit.Map, nullptr);
  EXPECT_EQ(hit.X, 25);
  EXPECT_FALSE(list.ImageAtPoint(45, 20, hit));
  EXPECT_FALSE(list.ImageAtPoint(50, 0, hit));
}

TEST(ImageHotSpot, MapsServerSideMapsAndTitles) {
  TImageDoc t;
  auto img = MakeImage(t.Doc, {{syAlt, "alt"}, {syIsmap, ""}});
  TUrlTarget textLink;
  textLink.Assign("u", "frame");
  THotSpot spot;
  ASSERT_TRUE(ImageHotSpot(*img, nullptr, 5, 7, &textLink, spot));
  EXPECT_TRUE(spot.IsLink);
  EXPECT_EQ(spot.Link.Url(), "u?5,7");
  EXPECT_EQ(spot.Link.Target(), "frame");
  EXPECT_EQ(spot.Title, "alt");
  EXPECT_EQ(spot.Image, static_cast<TTextObject*>(img.get()));
  // Outside any link only the title is there.
  spot = {};
  EXPECT_FALSE(ImageHotSpot(*img, nullptr, 5, 7, nullptr, spot));
  EXPECT_TRUE(spot.HasTitle);
  // A map decides by itself: its area's link and title, or nothing.
  TMapItem map("M");
  map.AddArea(TAreaShape::Rect, {0, 0, 9, 9}, "a.html", "", "area title");
  map.AddArea(TAreaShape::Rect, {10, 0, 19, 9}, "", "", "");
  spot = {};
  ASSERT_TRUE(ImageHotSpot(*img, &map, 5, 7, &textLink, spot));
  EXPECT_EQ(spot.Link.Url(), "a.html");
  EXPECT_EQ(spot.Title, "area title");
  spot = {};
  EXPECT_FALSE(ImageHotSpot(*img, &map, 15, 7, &textLink, spot));
  EXPECT_FALSE(spot.IsLink);
}

// ---- panels ----

TEST(PanelObj, HostSizesThePanelAndLayoutPlacesIt) {
  TImageDoc t;
  std::string seen;
  t.Host.OnPanelCreate = [&](const std::string& name, const std::string& type, const std::string& src,
                             TNativeControl& panel) {
    seen = name + "|" + type + "|" + src + "|" + std::to_string(panel.Bounds().Width());
    panel.SetBounds(Bounds(panel.Bounds().Left, panel.Bounds().Top, 120, 80));
  };
  auto attrs = Attrs({{syName, "chart"}, {syType, "graph"}, {sySrc, "data.csv"}, {syWidth, "90"}, {syHeight, "250%"}});
  {
    TPanelObj panel(&t.Doc, *attrs, 0);
    EXPECT_EQ(seen, "chart|graph|data.csv|90");  // the pixel width reached the control first
    ASSERT_EQ(t.Doc.FPanelList.size(), 1u);
    EXPECT_TRUE(panel.HeightInPercent);  // a panel's percentage is clamped to 100
    EXPECT_EQ(panel.WantedHeight, 100);
    panel.ComputeSize(t.Canvas, 50, 300, true);
    EXPECT_EQ(panel.BoxWidth, 90);
    EXPECT_EQ(panel.BoxHeight, 50);
    auto* control = static_cast<THeadlessControl*>(panel.Control());
    EXPECT_EQ(control->Bounds(), Bounds(-4000, -4000, 90, 50));
    EXPECT_FALSE(control->Visible());
    t.Doc.FYOff = 30;
    panel.DrawObject(t.Canvas, 15, 100, 0, false);
    EXPECT_EQ(control->Bounds(), Bounds(15, 20, 90, 50));  // paint panel coordinates
    EXPECT_TRUE(control->Visible());
    MarkPanelsNotDrawn(t.Doc);
    HidePanelsNotDrawn(t.Doc);
    EXPECT_FALSE(control->Visible());
  }
  EXPECT_TRUE(t.Doc.FPanelList.empty());
}

TEST(PanelObj, PrintedWithoutAHandlerAsAFrameWithItsAltText) {
  TImageDoc t;
  auto attrs = Attrs({{syAlt, "Chart"}, {syWidth, "100"}, {syHeight, "60"}});
  TPanelObj panel(&t.Doc, *attrs, 0);
  panel.ComputeSize(t.Canvas, 0, 300, false);
  t.Doc.FPrinting = true;
  panel.Placement = acTop;
  t.Canvas.Clear();
  panel.DrawObject(t.Canvas, 10, 0, 20, false);
  const std::string out = t.Canvas.Text();
  EXPECT_NE(out.find("Rectangle 10,20,110,80 pen=#000000 brush=#FFFFFF\n"), std::string::npos) << out;
  EXPECT_NE(out.find("IntersectClip 25,35,95,65\n"), std::string::npos) << out;
  EXPECT_NE(out.find("TextOut 25,35 \"Chart\""), std::string::npos) << out;
  t.Doc.FPrinting = false;
}

// ---- dump ----

TEST(ImageObj, DumpLine) {
  TImageDoc t;
  t.Host.AddBitmap("p.bmp", 30, 20);
  auto img = MakeImage(t.Doc, {{sySrc, "p.bmp"}, {syAlign, "left"}});
  img->ComputeSize(t.Canvas, 0, 300, true);
  IndentManager indents;
  indents.Reset(10, 310);
  img->PlaceFloat(indents, 40);
  auto gone = MakeImage(t.Doc, {{sySrc, "gone.gif"}});
  gone->ComputeSize(t.Canvas, 0, 300, false);
  TDumpWriter out;
  img->Dump(out, 1);
  gone->Dump(out, 1);
  EXPECT_EQ(out.Text(),
            "  image 13,40 32x22 align=left space=3,0,3,0 src=\"p.bmp\" border\n"
            "  image 0,0 26x24 align=bottom src=\"gone.gif\" error\n");
  EXPECT_EQ(indents.LeftEdgeAt(40), 10 + 38);
}

}  // namespace
}  // namespace korva::test
