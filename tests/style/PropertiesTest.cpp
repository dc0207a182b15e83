#include <gtest/gtest.h>

#include "platform/Font.h"
#include "style/Properties.h"
#include "style/Units.h"

using namespace korva;

namespace {

TVMarginArray Box(const TProperties& p) {
  TVMarginArray m;
  p.GetVerticalBox(m);
  return m;
}

}  // namespace

TEST(Properties, CreateAndSerials) {
  TProperties a, b;
  EXPECT_GT(b.FSerial, a.FSerial);
  for (int i = piMarginTop; i <= piLeft; ++i) EXPECT_EQ(a.Value(i), TPropValue(NotSetValue)) << i;
  EXPECT_EQ(a.Value(piZIndex), TPropValue(0));
  EXPECT_TRUE(a.Value(piColor).IsEmpty());
  EXPECT_TRUE(a.Value(piDisplay).IsEmpty());
  EXPECT_EQ(a.FTextBackColor, clNone);
}

TEST(Properties, InheritanceThroughSpanOnly) {
  TProperties parent;
  parent.FTagName = "div";
  parent.SetFromText(piColor, "red");
  parent.SetFromText(piMarginLeft, "10px");
  parent.SetFromText(piBackgroundColor, "blue");
  parent.SetFromText(piBorderStyle, "solid");
  parent.SetFromText(piDisplay, "block");
  parent.FTitleText = "t";
  parent.FEmPixels = 17;

  TProperties child;
  child.InheritFrom(parent);
  EXPECT_EQ(child.Value(piColor), TPropValue(0xFFu));
  EXPECT_EQ(child.Value(piMarginLeft), TPropValue(NotSetValue));
  EXPECT_TRUE(child.Value(piBackgroundColor).IsEmpty());
  EXPECT_TRUE(child.Value(piDisplay).IsEmpty());
  EXPECT_EQ(child.FTitleText, "t");
  EXPECT_EQ(child.FEmPixels, 17);
  EXPECT_EQ(child.FExPixels, 8);

  parent.FTagName = "span";
  TProperties spanChild;
  spanChild.InheritFrom(parent);
  EXPECT_EQ(spanChild.Value(piMarginLeft), TPropValue("10px"));
  EXPECT_EQ(spanChild.Value(piBackgroundColor), TPropValue(0xFF0000u));
  EXPECT_TRUE(spanChild.Value(piBorderStyle).IsEmpty());  // never taken from a span
  EXPECT_EQ(spanChild.Value(piBorderTopStyle), TPropValue("solid"));
  for (bool f : spanChild.FLocalFlags) EXPECT_FALSE(f);
}

TEST(Properties, SetFromTextStoresByProperty) {
  TProperties p;
  p.SetFromText(piColor, "nonsense");
  EXPECT_EQ(p.Value(piColor), TPropValue(0));
  p.SetFromText(piBackgroundColor, "nonsense");
  EXPECT_EQ(p.Value(piBackgroundColor), TPropValue(clNone));
  p.SetFromText(piBorderColor, "#00ff00");
  for (int i : {piBorderColor, piBorderTopColor, piBorderRightColor, piBorderBottomColor, piBorderLeftColor})
    EXPECT_EQ(p.Value(i), TPropValue(0x0200FF00u)) << i;
  p.SetFromText(piBorderColor, "nonsense");
  EXPECT_EQ(p.Value(piBorderColor), TPropValue(0x0200FF00u));
  p.SetFromText(piBorderLeftColor, "nonsense");
  EXPECT_EQ(p.Value(piBorderLeftColor), TPropValue(0x0200FF00u));

  p.SetFromText(piBorderStyle, "dashed");
  for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) EXPECT_EQ(p.Value(i), TPropValue("dashed"));
  p.SetFromText(piBorderTopStyle, "none");
  EXPECT_EQ(p.Value(piBorderStyle), TPropValue("dashed"));
  p.SetFromText(piBorderTopStyle, "dotted");
  EXPECT_EQ(p.Value(piBorderStyle), TPropValue("dotted"));

  p.SetFromText(piVisibility, "hidden");
  EXPECT_EQ(p.GetVisibility(), viHidden);
  p.SetFromText(piVisibility, "collapse");
  EXPECT_EQ(p.GetVisibility(), viHidden);
  p.SetFromText(piVisibility, "visible");
  EXPECT_EQ(p.GetVisibility(), viVisible);
  p.SetFromText(piTextTransform, "uppercase");
  EXPECT_EQ(p.GetTextTransform(), txUpper);
  p.SetFromText(piTextTransform, "capitalize");
  EXPECT_EQ(p.GetTextTransform(), txNone);
  p.SetFromText(piFontVariant, "small-caps");
  p.SetFromText(piFontVariant, "bogus");
  EXPECT_EQ(p.GetFontVariant(), "small-caps");

  p.AssignByName("text-indent", "2em");
  EXPECT_EQ(p.Value(piTextIndent), TPropValue("2em"));
  p.AssignByName("no-such-thing", "2em");
  p.AssignByName("Text-Indent", "3em");  // names are exact
  EXPECT_EQ(p.Value(piTextIndent), TPropValue("2em"));
}

TEST(Properties, MergeFlagsAndSkipsUnsetSides) {
  TProperties rule;
  rule.SetFromText(piMarginTop, "4px");
  rule.SetFromText(piColor, "red");
  TProperties element;
  element.SetFromText(piMarginLeft, "7px");
  element.SetFromText(piZIndex, "3");
  element.Merge(rule);
  EXPECT_EQ(element.Value(piMarginTop), TPropValue("4px"));
  EXPECT_TRUE(element.FLocalFlags[piMarginTop]);
  EXPECT_EQ(element.Value(piMarginLeft), TPropValue("7px"));  // NotSetValue in the rule
  EXPECT_FALSE(element.FLocalFlags[piMarginLeft]);
  EXPECT_EQ(element.Value(piZIndex), TPropValue("3"));  // the rule's z-index is only its initial 0
  EXPECT_FALSE(element.FLocalFlags[piZIndex]);
  EXPECT_TRUE(element.FLocalFlags[piColor]);

  // Attribute hints only fill what no rule has set.
  element.SetFromAttribute(TPropValue(0x00FF00u), piColor);
  EXPECT_EQ(element.Value(piColor), TPropValue(0xFFu));
  element.SetFromAttribute(TPropValue(0x00FF00u), piBackgroundColor);
  EXPECT_EQ(element.GetBackgroundColor(), 0x00FF00u);
  element.SetFromAttribute(TPropValue(0x0000FFu), piBackgroundColor);
  EXPECT_EQ(element.GetBackgroundColor(), 0x00FF00u);
}

TEST(Properties, ColoursNeedTheLocalFlag) {
  TProperties p;
  p.SetFromText(piBackgroundColor, "red");
  p.SetFromText(piColor, "red");
  EXPECT_EQ(p.GetBackgroundColor(), clNone);
  EXPECT_EQ(p.GetSpecifiedColor(), clNone);
  p.SetTextBackColor();
  EXPECT_EQ(p.FTextBackColor, clNone);
  TProperties q;
  q.Merge(p);
  EXPECT_EQ(q.GetBackgroundColor(), 0xFFu);
  EXPECT_EQ(q.GetSpecifiedColor(), 0xFFu);
  q.SetTextBackColor();
  EXPECT_EQ(q.FTextBackColor, 0xFFu);

  // A font built before the text background was taken from the set gets it afterwards.
  TProperties r;
  r.Merge(p);
  EXPECT_EQ(r.BuildFont()->BGColor, clNone);
  r.SetTextBackColor();
  EXPECT_EQ(r.BuildFont()->BGColor, 0xFFu);
}

TEST(Properties, FontInfoWeightsStylesAndFaces) {
  TProperties p;
  p.FValues[piFontSize] = 12.0;
  auto bold = [&](const char* weight) {
    p.FValues[piFontWeight] = weight;
    ThtFontInfo info;
    p.GetFontInfo(info);
    return (info.Style & fsBold) != 0;
  };
  EXPECT_TRUE(bold("600"));
  EXPECT_TRUE(bold("bolder"));
  EXPECT_TRUE(bold("bold"));
  EXPECT_FALSE(bold("lighter"));
  EXPECT_FALSE(bold("500"));
  p.FValues[piFontWeight] = 700;
  ThtFontInfo info;
  p.GetFontInfo(info);
  EXPECT_TRUE(info.Style & fsBold);

  p.FValues[piFontStyle] = "oblique";
  p.FValues[piTextDecoration] = "line-through";
  p.FValues[piFontFamily] = "'No Such Face', serif";
  p.GetFontInfo(info);
  EXPECT_EQ(info.Style, fsBold | fsItalic | fsStrikeOut);
  EXPECT_EQ(info.Name, "Times New Roman");
  EXPECT_DOUBLE_EQ(info.Size, 12.0);

  p.FValues[piFontFamily] = "\"Nope One\", 'Nope Two'";
  p.GetFontInfo(info);
  EXPECT_EQ(info.Name, "");
  p.FValues[piFontFamily] = " \"Courier New\" ";
  p.GetFontInfo(info);
  EXPECT_EQ(info.Name, "Courier New");
}

TEST(Properties, BuildFontSetsEmAndCharExtra) {
  TProperties p;
  p.FValues[piFontFamily] = "arial";
  p.FValues[piFontSize] = 12.0;  // 16 pixels at 96 ppi
  p.FValues[piFontWeight] = "bold";
  p.FValues[piTextDecoration] = "underline";
  p.FValues[piLetterSpacing] = "0.5em";
  p.FValues[piColor] = 0x123456;
  auto font = p.BuildFont();
  EXPECT_EQ(font->Height(), -16);
  EXPECT_EQ(font->Style(), fsBold | fsUnderline);
  EXPECT_EQ(font->Color(), 0x123456u);
  EXPECT_EQ(p.FEmPixels, 16);
  EXPECT_EQ(p.FExPixels, 8);
  EXPECT_EQ(font->tmHeight, 16);
  EXPECT_EQ(font->tmDescent, 3);
  EXPECT_EQ(font->CharExtra, 8);
  EXPECT_TRUE(font->Handle());
  EXPECT_EQ(font->Handle()->Metrics().Height, 16);

  // The cached font answers until something changes the set.
  p.FValues[piFontSize] = 24.0;
  EXPECT_EQ(p.BuildFont()->Height(), -16);
  p.SetFromText(piLetterSpacing, "normal");
  auto rebuilt = p.BuildFont();
  EXPECT_EQ(rebuilt->Height(), -32);
  EXPECT_EQ(rebuilt->CharExtra, 0);
  EXPECT_EQ(p.FEmPixels, 32);

  p.FValues[piLetterSpacing] = 3;
  p.FCachedFont.reset();
  EXPECT_EQ(p.BuildFont()->CharExtra, 3);
  p.FValues[piLetterSpacing] = "99999in";
  p.FCachedFont.reset();
  EXPECT_EQ(p.BuildFont()->CharExtra, 1000);
}

TEST(Properties, CharsetsAndCodePages) {
  TProperties p;
  p.SetCharsetCode(31);
  EXPECT_EQ(p.FCharsetCode, 238);
  EXPECT_EQ(p.FCodePageNum, 28592);
  p.SetCharsetCode(RUSSIAN_CHARSET);
  EXPECT_EQ(p.FCharsetCode, RUSSIAN_CHARSET);
  EXPECT_EQ(p.FCodePageNum, 1251);
  p.SetCharsetCode(SHIFTJIS_CHARSET);
  EXPECT_EQ(p.FCodePageNum, 932);
  p.SetCharsetCode(DEFAULT_CHARSET);
  EXPECT_EQ(p.FCharsetCode, DEFAULT_CHARSET);
  p.SetCharsetCode(99);  // not in the table: code page unchanged
  EXPECT_EQ(p.FCharsetCode, 99);
  p.SetUtf8();
  EXPECT_EQ(p.FCodePageNum, 65001);
  EXPECT_EQ(p.FCharsetCode, 0);
  p.SetCharsetCode(-5);
  p.SetCharsetCode(1000);
  EXPECT_EQ(p.FCodePageNum, 65001);
}

TEST(Properties, LineHeightAndTextIndent) {
  TProperties p;
  p.FEmPixels = 16;
  p.FExPixels = 8;
  EXPECT_EQ(p.GetLineHeight(20), -1);
  p.FValues[piLineHeight] = "normal";
  EXPECT_EQ(p.GetLineHeight(20), -1);
  p.FValues[piLineHeight] = "1.5";
  EXPECT_EQ(p.GetLineHeight(20), 30);
  p.FValues[piLineHeight] = "150%";
  EXPECT_EQ(p.GetLineHeight(20), 24);
  p.FValues[piLineHeight] = "18px";
  EXPECT_EQ(p.GetLineHeight(20), 18);

  bool percent = true;
  EXPECT_EQ(p.GetTextIndent(percent), 0);
  EXPECT_FALSE(percent);
  p.FValues[piTextIndent] = "30%";
  EXPECT_EQ(p.GetTextIndent(percent), 30);
  EXPECT_TRUE(percent);
  p.FValues[piTextIndent] = "2ex";  // ex is taken as the em here
  EXPECT_EQ(p.GetTextIndent(percent), 32);
  EXPECT_FALSE(percent);
}

TEST(Properties, SmallGetters) {
  TProperties p;
  TAlignCode a;
  EXPECT_FALSE(p.GetVertAlign(a));
  p.FValues[piVerticalAlign] = "text-top";
  ASSERT_TRUE(p.GetVertAlign(a));
  EXPECT_EQ(a, acTop);
  p.FValues[piVerticalAlign] = "super";
  ASSERT_TRUE(p.GetVertAlign(a));
  EXPECT_EQ(a, acSuper);
  p.FValues[piVerticalAlign] = "text-bottom";
  EXPECT_FALSE(p.GetVertAlign(a));
  p.FValues[piFloat] = "right";
  ASSERT_TRUE(p.GetFloatMode(a));
  EXPECT_EQ(a, acRight);
  TClearCode c;
  p.FValues[piClear] = "both";
  ASSERT_TRUE(p.GetClear(c));
  EXPECT_EQ(c, ccBoth);
  p.FValues[piListStyleType] = "upper-roman";
  EXPECT_EQ(p.GetListStyleType(), lsUpperRoman);
  p.FValues[piListStyleType] = "armenian";
  EXPECT_EQ(p.GetListStyleType(), lsBlank);
  p.FValues[piPosition] = "absolute";
  EXPECT_EQ(p.GetPositionMode(), posAbsolute);
  p.FValues[piZIndex] = "7";
  EXPECT_EQ(p.GetZIndex(), 7);
  p.FValues[piZIndex] = "auto";
  EXPECT_EQ(p.GetZIndex(), 0);
  p.FValues[piDisplay] = "none";
  EXPECT_TRUE(p.DisplayNone());
  p.FValues[piPageBreakBefore] = "always";
  p.FValues[piPageBreakInside] = "avoid";
  bool before, after, intact;
  p.GetPageBreaks(before, after, intact);
  EXPECT_TRUE(before);
  EXPECT_FALSE(after);
  EXPECT_TRUE(intact);
  EXPECT_FALSE(p.HasVisibleBorderStyle());
  p.FValues[piBorderStyle] = "groove";
  EXPECT_EQ(p.GetBorderStyle(), bssGroove);
  EXPECT_TRUE(p.HasVisibleBorderStyle());

  std::string url;
  EXPECT_FALSE(p.GetBackgroundImage(url));
  p.FValues[piBackgroundImage] = "none";
  EXPECT_TRUE(p.GetBackgroundImage(url));
  EXPECT_EQ(url, "");
  p.FValues[piBackgroundImage] = "url(\"img/a b.gif\")";
  EXPECT_TRUE(p.GetBackgroundImage(url));
  EXPECT_EQ(url, "img/a b.gif");
  p.FValues[piListStyleImage] = "url('x')";
  EXPECT_TRUE(p.GetListStyleImage(url));
  EXPECT_EQ(url, "x");

  EXPECT_EQ(ParseUrlText("url(a.gif"), "a.gif");
  EXPECT_EQ(ParseUrlText("url(\"\")"), "\"\"");  // too short to lose its quotes
  EXPECT_EQ(ParseUrlText("none"), "");
  EXPECT_EQ(ParseAlignment("AbsMiddle"), acMiddle);
  EXPECT_EQ(ParseAlignment("center"), acMiddle);
  EXPECT_EQ(ParseAlignment("justify"), acJustify);
  EXPECT_EQ(ParseAlignment("texttop"), acNone);
  EXPECT_EQ(ParseBorderStyle("double"), bssDouble);
  EXPECT_EQ(ParseBorderStyle("wavy"), bssNone);
}

TEST(Properties, BackgroundPosition) {
  TProperties p;
  TBackgroundPosArray pos;
  auto at = [&](const char* text) {
    p.FValues[piBackgroundPosition] = text;
    p.GetBackgroundPos(16, 8, pos);
  };
  p.GetBackgroundPos(16, 8, pos);
  EXPECT_EQ(pos[0].PosType, bpDim);
  EXPECT_EQ(pos[1].Value, 0);
  EXPECT_TRUE(pos[0].Repeat && pos[1].Repeat);

  at("left top");
  EXPECT_EQ(pos[0].PosType, bpLeft);
  EXPECT_EQ(pos[1].PosType, bpTop);
  at("top left");
  EXPECT_EQ(pos[0].PosType, bpLeft);
  EXPECT_EQ(pos[1].PosType, bpTop);
  at("bottom 20px");
  EXPECT_EQ(pos[0].PosType, bpDim);
  EXPECT_EQ(pos[0].Value, 20);
  EXPECT_EQ(pos[1].PosType, bpBottom);
  at("50% 2em");
  EXPECT_EQ(pos[0].PosType, bpPercent);
  EXPECT_EQ(pos[0].Value, 50);
  EXPECT_EQ(pos[1].PosType, bpDim);
  EXPECT_EQ(pos[1].Value, 32);
  at("center right");
  EXPECT_EQ(pos[0].PosType, bpRight);
  EXPECT_EQ(pos[1].PosType, bpCenter);
  at("right");
  EXPECT_EQ(pos[0].PosType, bpRight);
  EXPECT_EQ(pos[1].PosType, bpCenter);
  at("bottom");
  EXPECT_EQ(pos[0].PosType, bpCenter);
  EXPECT_EQ(pos[1].PosType, bpBottom);
  at("10px");
  EXPECT_EQ(pos[0].Value, 10);
  EXPECT_EQ(pos[1].PosType, bpCenter);

  p.FValues[piBackgroundRepeat] = "repeat-x";
  p.FValues[piBackgroundAttachment] = "fixed";
  p.GetBackgroundPos(16, 8, pos);
  EXPECT_TRUE(pos[0].Repeat);
  EXPECT_FALSE(pos[1].Repeat);
  EXPECT_TRUE(pos[0].Fixed && pos[1].Fixed);
  p.FValues[piBackgroundRepeat] = "no-repeat";
  p.GetBackgroundPos(16, 8, pos);
  EXPECT_FALSE(pos[0].Repeat || pos[1].Repeat);
}

TEST(ResolveBox, BlockBorderWidthsAndAutos) {
  TProperties p;
  p.SetFromText(piMarginLeft, "auto");
  p.SetFromText(piMarginRight, "10%");
  p.SetFromText(piPaddingTop, "1em");
  p.SetFromText(piBorderTopStyle, "solid");
  p.SetFromText(piBorderTopWidth, "medium");
  p.SetFromText(piBorderRightStyle, "solid");
  p.SetFromText(piBorderRightWidth, "thick");
  p.SetFromText(piBorderBottomStyle, "solid");  // width not given: 4
  p.SetFromText(piBorderLeftWidth, "9px");       // style none: 0
  p.SetFromText(piHeight, "50%");
  p.SetFromText(piBackgroundColor, "red");
  TBoxValues r;
  int autos = -1;
  ResolveBlockBox(Box(p), 200, 100, 10, 5, r, autos);
  EXPECT_EQ(r[piMarginLeft], AutoValue);
  EXPECT_EQ(r[piMarginRight], 20);
  EXPECT_EQ(r[piPaddingTop], 10);
  EXPECT_EQ(r[piPaddingRight], 0);
  EXPECT_EQ(r[piBorderTopWidth], 4);
  EXPECT_EQ(r[piBorderRightWidth], 6);
  EXPECT_EQ(r[piBorderBottomWidth], 4);
  EXPECT_EQ(r[piBorderLeftWidth], 0);
  EXPECT_EQ(r[piHeight], 50 - 10 - 4 - 4);  // a percentage height excludes paddings and borders
  EXPECT_EQ(r[piWidth], AutoValue);
  EXPECT_EQ(r[piTop], AutoValue);
  EXPECT_EQ(r[piBackgroundColor], 0xFF);
  EXPECT_EQ(r[piBorderColor], int(clNone));
  EXPECT_EQ(r[piBorderTopStyle], bssSolid);
  EXPECT_EQ(autos, 2);

  p.SetFromText(piBorderTopWidth, "thin");
  p.SetFromText(piWidth, "120px");
  ResolveBlockBox(Box(p), 200, 100, 10, 5, r, autos);
  EXPECT_EQ(r[piBorderTopWidth], 2);
  EXPECT_EQ(r[piWidth], 120);
  EXPECT_EQ(autos, 1);
}

TEST(ResolveBox, VerticalInlineAndCell) {
  TProperties p;
  p.FValues[piMarginTop] = ParagraphSpaceValue;
  p.SetFromText(piMarginBottom, "25%");
  TBoxValues r;
  bool topAuto, bottomAuto;
  ResolveVerticalBox(Box(p), 400, 10, 5, r, topAuto, bottomAuto);
  EXPECT_EQ(r[piMarginTop], 14);
  EXPECT_TRUE(topAuto);
  EXPECT_EQ(r[piMarginBottom], 100);
  EXPECT_FALSE(bottomAuto);
  p.FValues[piMarginTop] = NotSetValue;
  ResolveVerticalBox(Box(p), 400, 10, 5, r, topAuto, bottomAuto);
  EXPECT_EQ(r[piMarginTop], 0);
  EXPECT_FALSE(topAuto);

  TBoxValues inl;
  inl[piPaddingTop] = 1234;
  p.SetFromText(piMarginLeft, "3px");
  p.SetFromText(piWidth, "auto");
  ResolveInlineBox(Box(p), 200, 200, 10, 5, inl);
  EXPECT_EQ(inl[piMarginLeft], 3);
  EXPECT_EQ(inl[piMarginRight], NotSetValue);
  EXPECT_EQ(inl[piMarginTop], NotSetValue);
  EXPECT_EQ(inl[piWidth], AutoValue);
  EXPECT_EQ(inl[piHeight], NotSetValue);
  EXPECT_EQ(inl[piPaddingTop], 1234);  // left as it was

  TProperties cell;
  cell.SetFromText(piPaddingTop, "10%");
  cell.SetFromText(piPaddingLeft, "5px");
  TBoxValues c;
  ResolveCellPadding(Box(cell), 10, 5, c);
  EXPECT_EQ(c[piPaddingTop], -10);
  EXPECT_EQ(c[piPaddingLeft], 5);
  EXPECT_EQ(c[piPaddingRight], -1);
}

namespace korva {
namespace {

// Box lengths read once at creation must resolve exactly as the text they came from, at any base.
TEST(PrepareBoxLengths, ResolvesAsTheTextDoes) {
  const std::vector<std::vector<std::string>> rows = {
      {"10px", "2em", "50%", "auto", "3ex", "1in", "7", "12pt", "bogus", "-25%"},
      {"auto", "auto", "33.3%", "0", "1.5em", "2cm", "4mm", "1pc", "%", "100%"},
  };
  const std::vector<std::string> borders = {"thin", "medium", "thick", "3px", "50%", "x", "1em", "0"};
  for (const auto& row : rows) {
    for (std::size_t shift = 0; shift < row.size(); ++shift) {
      TVMarginArray raw;
      for (int i = BoxFirst; i <= BoxLast; ++i) raw[i] = NotSetValue;
      int k = int(shift);
      for (int i : {piMarginTop, piMarginRight, piMarginBottom, piMarginLeft, piPaddingTop, piPaddingRight,
                    piPaddingBottom, piPaddingLeft, piWidth, piHeight, piTop, piLeft})
        raw[i] = row[std::size_t(k++) % row.size()];
      for (int i = piBorderTopWidth; i <= piBorderLeftWidth; ++i) raw[i] = borders[(shift + std::size_t(i)) % borders.size()];
      for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) raw[i] = int(bssSolid);
      TVMarginArray prepared = raw;
      PrepareBoxLengths(prepared, 16, 8);
      for (int i = BoxFirst; i <= BoxLast; ++i)
        EXPECT_FALSE(prepared[i].IsText() && prepared[i].Text() != "auto") << "index " << i << " still text";
      for (int width : {0, 333, 800})
        for (int height : {0, 400, 1001}) {
          TBoxValues a{}, b{};
          int autoA = 0, autoB = 0;
          ResolveBlockBox(raw, width, height, 16, 8, a, autoA);
          ResolveBlockBox(prepared, width, height, 16, 8, b, autoB);
          EXPECT_EQ(a, b) << "row shift " << shift << " at " << width << "x" << height;
          EXPECT_EQ(autoA, autoB);
          bool t1, b1, t2, b2;
          ResolveVerticalBox(raw, height, 16, 8, a, t1, b1);
          ResolveVerticalBox(prepared, height, 16, 8, b, t2, b2);
          EXPECT_EQ(a, b);
          ResolveCellPadding(raw, 16, 8, a);
          ResolveCellPadding(prepared, 16, 8, b);
          EXPECT_EQ(a, b);
        }
    }
  }
}

// The compact form a block keeps must hold every kind of value and resolve as the array does.
TEST(CompactBox, HoldsAndResolvesAsTheArray) {
  const std::vector<TPropValue> values = {TPropValue(),       TPropValue(NotSetValue), TPropValue(ParagraphSpaceValue),
                                          TPropValue(-7),     TPropValue(0x00FF8040u), TPropValue(2.5),
                                          TPropValue("auto"), TPropValue("red"),       TPropValue(TPercent{33.3}),
                                          TPropValue(TPercent{-25}), TPropValue("12%")};
  for (std::size_t shift = 0; shift < values.size(); ++shift) {
    TVMarginArray raw;
    for (int i = BoxFirst; i <= BoxLast; ++i) raw[i] = values[(shift + std::size_t(i)) % values.size()];
    for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) raw[i] = int((shift + std::size_t(i)) % 3);
    const TCompactBox box(raw);
    for (int i = BoxFirst; i <= BoxLast; ++i) {
      EXPECT_EQ(box.Get(i), raw[i]) << "index " << i;
      EXPECT_EQ(box[i].IsInt(), raw[i].IsInt());
      EXPECT_EQ(box[i].IsPercent(), raw[i].IsPercent());
      EXPECT_EQ(box[i].TextOrEmpty(), raw[i].TextOrEmpty());
      EXPECT_EQ(box[i].Number(), raw[i].Number());
    }
    for (int width : {0, 333})
      for (int height : {0, 1001}) {
        TBoxValues a{}, b{};
        int autoA = 0, autoB = 0;
        ResolveBlockBox(raw, width, height, 16, 8, a, autoA);
        ResolveBlockBox(box, width, height, 16, 8, b, autoB);
        EXPECT_EQ(a, b) << "shift " << shift;
        EXPECT_EQ(autoA, autoB);
        bool t1, b1, t2, b2;
        ResolveVerticalBox(raw, height, 16, 8, a, t1, b1);
        ResolveVerticalBox(box, height, 16, 8, b, t2, b2);
        EXPECT_EQ(a, b);
        EXPECT_EQ(t1, t2);
        EXPECT_EQ(b1, b2);
      }
  }
}

// Values written later replace earlier ones of any kind, and leave the other slots alone.
TEST(CompactBox, OverwritesAnyKind) {
  TCompactBox box;
  EXPECT_TRUE(box[piWidth].IsEmpty());
  const std::vector<TPropValue> sequence = {TPropValue(TPercent{50}), TPropValue(12), TPropValue("auto"),
                                            TPropValue(2.25), TPropValue(), TPropValue(TPercent{1}), TPropValue(-3)};
  box[piLeft] = TPropValue("auto");
  for (const TPropValue& v : sequence) {
    box[piWidth] = v;
    EXPECT_EQ(box.Get(piWidth), v);
    const TPropValue copy = box[piWidth];
    EXPECT_EQ(copy, v);
    EXPECT_TRUE(box[piLeft].TextIs("auto"));
    EXPECT_TRUE(box[piHeight].IsEmpty());
  }
  EXPECT_THROW((void)box[piHeight].Int(), std::bad_variant_access);
}

}  // namespace
}  // namespace korva
