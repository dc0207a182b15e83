#include <gtest/gtest.h>

#include "platform/RecordingCanvas.h"

using namespace korva;

namespace {

class RecordingCanvasTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFixedFontMetrics(true); }
  void TearDown() override { SetFixedFontMetrics(false); }

  static TPlatformFontPtr Font(const char* name, int height, int weight = FW_NORMAL) {
    TFontSpec spec;
    spec.Name = name;
    spec.Height = height;
    spec.Weight = weight;
    return TPlatformFont::Create(spec);
  }
};

}  // namespace

TEST_F(RecordingCanvasTest, WritesOneLinePerCall) {
  TRecordingCanvas c;
  c.SetOrigin(10, 20);
  c.FillRect({0, 0, 100, 20}, clRed);
  c.SetFont(Font("Arial", -16, FW_BOLD));
  c.SetBkMode(TBkMode::Transparent);
  c.TextOut(5, 7, u"Hello");
  c.SetPen({clBlue, 3, TPenStyle::Dash, TPenCap::Square, TPenJoin::Miter});
  c.SetBrush({clWhite, TBrushStyle::Clear});
  c.Rectangle({0, 0, 4, 4});
  c.SetPen({});
  c.SetBrush({RGBColor(1, 2, 3)});
  c.Polygon({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, TFillMode::Winding);
  c.MoveTo(1, 1);
  c.LineTo(5, 1);
  c.Polyline({{0, 0}, {1, 1}});
  c.Ellipse({0, 0, 7, 5});
  c.FrameRect({1, 2, 3, 4}, clSilver);
  c.DrawFocusRect({1, 2, 3, 4});
  auto bmp = TBitmap::Create(32, 32, 24);
  auto mask = TBitmap::Create(32, 32, 1);
  c.SetOrigin(0, 0);
  c.BitBlt(0, 0, 32, 32, *bmp, 0, 0, TRop::SrcCopy);
  c.SetStretchMode(TStretchMode::Halftone);
  c.StretchBlt(1, 2, 64, 48, *bmp, 0, 0, 32, 32, TRop::SrcAnd);
  c.MaskedStretchBlt(0, 0, 16, 16, *bmp, *mask, 2, 3, 30, 29);
  c.BitBlt(0, 0, 0, 5, *bmp, 0, 0, TRop::SrcCopy);  // empty: not written
  c.TextOut(0, 0, u"");                               // likewise
  const std::vector<std::string> expected{
      "FillRect 10,20,110,40 #FF0000",
      "TextOut 15,27 \"Hello\" w=40 font=Arial/-16/b color=#000000 bk=transparent",
      "Rectangle 10,20,14,24 pen=#0000FF/3/dash/square/miter brush=none",
      "Polygon n=4 (10,20 14,20 14,24 10,24) winding pen=#000000 brush=#010203",
      "Line 11,21 15,21 pen=#000000",
      "Polyline n=2 (10,20 11,21) pen=#000000",
      "Ellipse 10,20,17,25 pen=#000000 brush=#010203",
      "FrameRect 11,22,13,24 #C0C0C0",
      "FocusRect 11,22,13,24",
      "BitBlt 0,0 32x32 from 24bpp 32x32 at 0,0 SrcCopy",
      "StretchBlt 1,2 64x48 from 24bpp 32x32 at 0,0 32x32 SrcAnd mode=Halftone",
      "MaskedStretchBlt 0,0 16x16 from 24bpp 32x32 mask 1bpp at 2,3 30x29 mode=Halftone",
  };
  EXPECT_EQ(c.Lines(), expected);
  std::string joined;
  for (const std::string& l : expected) joined += l + "\n";
  EXPECT_EQ(c.Text(), joined);
  c.Clear();
  EXPECT_TRUE(c.Lines().empty());
}

TEST_F(RecordingCanvasTest, TextDetails) {
  TRecordingCanvas c;
  TFontSpec spec;
  spec.Name = "Courier New";
  spec.Height = 13;
  spec.Italic = spec.Underline = spec.StrikeOut = true;
  spec.CharSet = SHIFTJIS_CHARSET;
  c.SetFont(TPlatformFont::Create(spec));
  c.SetTextColor(clBtnText);  // system colours are resolved
  c.SetBkColor(RGBColor(0xAB, 0xCD, 0xEF));
  c.SetTextAlign(TA_RIGHT | TA_BASELINE);
  c.SetTextCharacterExtra(2);
  c.SetTextJustification(5, 2);
  c.TextOut(1, 2, u"a \"q\" \\ \u00E9\U0001F600\x08");
  const std::string btn = [] {
    char buf[8];
    const TColor t = ColorToRGB(clBtnText);
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(t), GetGValue(t), GetBValue(t));
    return std::string(buf);
  }();
  // 11 units of 6 (the pair's low half measures 0) + 12 x 2 extra + 3 + 2 justification (the
  // third space gets none).
  EXPECT_EQ(c.Lines().back(), "TextOut 1,2 \"a \\\"q\\\" \\\\ \xC3\xA9\xF0\x9F\x98\x80\\u0008\" w=" +
                                  std::to_string(11 * 6 + 12 * 2 + 5) + " font=Courier New/13/ius/cs=128 color=" + btn +
                                  " bk=#ABCDEF align=right+baseline extra=2 just=5/2");
  const int dx[] = {3, 4};
  const TRect r{0, 0, 9, 9};
  c.SetTextAlign(TA_UPDATECP);
  c.MoveTo(7, 8);
  c.ExtTextOut(100, 100, ETO_OPAQUE | ETO_CLIPPED, &r, u"ab", 2, dx);
  EXPECT_EQ(c.Lines().back(),
            "ExtTextOut 7,8 \"ab\" w=7 opaque=0,0,9,9 clipped=0,0,9,9 dx=3,4 font=Courier New/13/ius/cs=128 color=" + btn +
                " bk=#ABCDEF align=updatecp");
  EXPECT_EQ(c.PenPos(), (TPoint{14, 8}));
  c.ExtTextOut(0, 0, ETO_OPAQUE, &r, u"", 0, nullptr);  // an opaque rectangle alone still draws
  EXPECT_EQ(c.Lines().size(), 3u);
}

TEST_F(RecordingCanvasTest, PathsAreOneLine) {
  TRecordingCanvas c;
  c.SetPen({clBlack, 2, TPenStyle::Dot});
  c.BeginPath();
  c.MoveTo(0, 0);
  c.LineTo(10, 0);
  c.LineTo(10, 5);
  c.CloseFigure();
  c.MoveTo(20, 20);
  c.LineTo(30, 20);
  c.Ellipse({1, 2, 3, 4});
  c.EndPath();
  EXPECT_TRUE(c.Lines().empty());
  c.StrokeAndFillPath();
  ASSERT_EQ(c.Lines().size(), 1u);
  EXPECT_EQ(c.Lines()[0],
            "StrokeAndFillPath (0,0 10,0 10,5 z) (20,20 30,20) ellipse(1,2,3,4) pen=#000000/2/dot brush=#FFFFFF");
  c.FillPath();  // nothing left
  EXPECT_EQ(c.Lines()[1], "FillPath brush=#FFFFFF");
}

TEST_F(RecordingCanvasTest, ClipStateIsTracked) {
  TRecordingCanvas c;
  EXPECT_EQ(c.ClipBox(), (TRect{-1000000, -1000000, 1000000, 1000000}));
  TRecordingCanvas sized({200, 100});
  EXPECT_EQ(sized.Size(), (TSize{200, 100}));
  EXPECT_EQ(sized.ClipBox(), (TRect{0, 0, 200, 100}));
  sized.SetOrigin(10, 10);
  EXPECT_EQ(sized.ClipBox(), (TRect{-10, -10, 190, 90}));
  sized.SaveState();
  sized.IntersectClipRect({0, 0, 50, 50});
  sized.ExcludeClipRect({0, 0, 50, 10});
  EXPECT_EQ(sized.ClipBox(), (TRect{0, 10, 50, 50}));
  sized.IntersectClipRegion(TRegion::FromRect({40, 40, 60, 60}));
  EXPECT_EQ(sized.ClipBox(), (TRect{40, 40, 50, 50}));
  sized.RestoreState();
  EXPECT_EQ(sized.ClipBox(), (TRect{-10, -10, 190, 90}));
  EXPECT_EQ(sized.Origin(), (TPoint{10, 10}));
  const std::vector<std::string> expected{"Save", "IntersectClip 10,10,60,60", "ExcludeClip 10,10,60,20",
                                          "ClipRegion n=1 (50,50,70,70)", "Restore"};
  EXPECT_EQ(sized.Lines(), expected);
  sized.RestoreState();  // unmatched: nothing, not even a line
  EXPECT_EQ(sized.Lines().size(), expected.size());
  EXPECT_EQ(sized.Grab({0, 0, 5, 5}), nullptr);
}

TEST_F(RecordingCanvasTest, MeasuresWithItsState) {
  TRecordingCanvas c;
  c.SetFont(Font("Times New Roman", -20));  // 10 pixels a unit
  EXPECT_EQ(c.TextExtent(u"abc"), (TSize{30, 20}));
  c.SetTextCharacterExtra(1);
  EXPECT_EQ(c.TextExtent(u"abc").cx, 33);
  c.SetTextJustification(7, 3);  // 3, 2, 2
  EXPECT_EQ(c.TextExtent(u"a b c d").cx, 7 * 11 + 7);
  EXPECT_EQ(c.TextExtent(u" ").cx, 11 + 3);  // measuring uses nothing up
  int fit = 0;
  EXPECT_EQ(c.TextFit(u"a b c d", 7, 40, &fit, nullptr), 36);  // "a b" = 33 + 3
  EXPECT_EQ(fit, 3);
  c.TextOut(0, 0, u"a ");  // uses the first break
  EXPECT_EQ(c.TextJustification(), (TTextJustification{7, 3, 1}));
  EXPECT_EQ(c.TextExtent(u" ").cx, 11 + 2);
  c.SaveState();
  c.SetTextJustification(0, 0);
  EXPECT_EQ(c.TextExtent(u" ").cx, 11);
  c.RestoreState();
  EXPECT_EQ(c.TextJustification(), (TTextJustification{7, 3, 1}));
  // Negative extra is spread exactly as well.
  c.SetTextCharacterExtra(0);
  c.SetTextJustification(-5, 2);  // -3, -2
  EXPECT_EQ(c.TextExtent(u"a b c").cx, 50 - 5);
}
