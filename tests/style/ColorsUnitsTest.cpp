#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Font.h"
#include "platform/Types.h"
#include "style/Colors.h"
#include "style/Units.h"
#include "CommaLocale.h"

using namespace korva;

namespace {

TColor Parse(std::string_view text, bool needPound = false) {
  TColor c = 0xDEADBEEF;
  EXPECT_TRUE(ParseColor(text, needPound, c)) << text;
  return c;
}

bool Fails(std::string_view text, bool needPound = false) {
  TColor c;
  return !ParseColor(text, needPound, c);
}

}  // namespace

TEST(ParseColor, HexFormsAndThePound) {
  EXPECT_EQ(Parse("#f00"), 0x020000FFu);
  EXPECT_EQ(Parse("f00"), 0x020000FFu);
  EXPECT_EQ(Parse("ff0000"), 0x020000FFu);
  EXPECT_EQ(Parse("#FF0000", true), 0x020000FFu);
  EXPECT_EQ(Parse("#123456"), 0x02563412u);
  EXPECT_EQ(Parse("#12345"), 0x02452301u);
  EXPECT_EQ(Parse("  #ABC  "), 0x02CCBBAAu);
  EXPECT_EQ(Parse("x#0000ff"), 0x02FF0000u);  // everything up to the "#" is dropped
  EXPECT_TRUE(Fails("f00", true));
  EXPECT_EQ(Parse("red", true), 0x000000FFu);
  EXPECT_TRUE(Fails("#ggg"));
  EXPECT_TRUE(Fails("#"));
  EXPECT_TRUE(Fails("#123456789"));
  EXPECT_TRUE(Fails(""));
  EXPECT_TRUE(Fails("   "));
}

TEST(ParseColor, CacheDoesNotBypassThePound) {
  EXPECT_EQ(Parse("abc"), 0x02CCBBAAu);
  EXPECT_TRUE(Fails("abc", true));
  EXPECT_EQ(Parse("abc"), 0x02CCBBAAu);
  EXPECT_EQ(Parse("#abc", true), 0x02CCBBAAu);
}

TEST(ParseColor, RgbFunction) {
  EXPECT_EQ(Parse("rgb(100%, 0, 20%)"), 0x023300FFu);
  EXPECT_EQ(Parse("rgb(300,-5,0)"), 0x020000FFu);
  EXPECT_EQ(Parse("RGB( 1 , 2 , 3 )"), 0x02030201u);
  EXPECT_EQ(Parse("rgb(1,2)"), 0x00000201u | 0x02000000u);
  EXPECT_EQ(Parse("rgb(x, 2.5, 99999999999999)"), 0x02FF0000u);
  EXPECT_EQ(Parse("rgb(40%,150%,-10%)"), 0x0200FF66u);
  EXPECT_TRUE(Fails("rgb 1,2,3"));
  EXPECT_TRUE(Fails("rgb(1,2,3"));
  EXPECT_TRUE(Fails("rgb"));
}

TEST(ParseColor, NamesAndSystemColours) {
  EXPECT_EQ(Parse("transparent"), clNone);
  EXPECT_EQ(Parse("ButtonFace"), 0xFF00000Fu);
  EXPECT_EQ(Parse("SCROLLBAR"), 0xFF000000u);
  EXPECT_EQ(Parse("threedlightshadow"), 0xFF000014u);
  EXPECT_EQ(Parse("crimson"), 0x003C14DCu);
  EXPECT_EQ(Parse("Grey"), Parse("gray"));
  EXPECT_EQ(Parse("lightgoldenrodyellow"), 0x00D2FAFAu);
  EXPECT_EQ(Parse("  White "), 0x00FFFFFFu);
  EXPECT_TRUE(Fails("notacolour", true));
}

TEST(ParseColor, TableIsCompleteAndSearchable) {
  const TNamedColor* table = NamedColorTable();
  std::set<std::string_view> names;
  for (int i = 0; i < NamedColorCount; ++i) {
    names.insert(table[i].Name);
    TColor c;
    ASSERT_TRUE(FindNamedColor(table[i].Name, c)) << table[i].Name;
    EXPECT_EQ(c, table[i].Color) << table[i].Name;
    if (i >= 1 && i <= 147) {
      EXPECT_EQ(c & 0xFF000000u, 0u) << table[i].Name;
    }
    if (i >= 148) {
      EXPECT_TRUE(IsSystemColor(c)) << table[i].Name;
    }
  }
  EXPECT_EQ(names.size(), size_t(NamedColorCount));
  EXPECT_EQ(table[0].Name, "transparent");
  EXPECT_EQ(table[147].Name, "slategrey");
}

TEST(LengthToPixels, UnitsAndRounding) {
  EXPECT_EQ(LengthToPixels("2em", false, 0, -1, 16, 8), 32);
  EXPECT_EQ(LengthToPixels("3ex", false, 0, -1, 16, 7), 21);
  EXPECT_EQ(LengthToPixels("1in", false, 0, -1, 0, 0), ScreenPixelsPerInch());
  EXPECT_EQ(LengthToPixels("50%", false, 300, -1, 0, 0), 150);
  EXPECT_EQ(LengthToPixels("7.5", false, 0, -1, 0, 0), 8);
  EXPECT_EQ(LengthToPixels("6.5", false, 0, -1, 0, 0), 6);
  EXPECT_EQ(LengthToPixels("-2.5px", false, 0, -1, 0, 0), -2);
  EXPECT_EQ(LengthToPixels("12qq", false, 0, -77, 0, 0), -77);
  EXPECT_EQ(LengthToPixels("3", true, 10, -1, 0, 0), 30);
  EXPECT_EQ(LengthToPixels("12pt", false, 0, -1, 0, 0), 16);
  EXPECT_EQ(LengthToPixels("1pc", false, 0, -1, 0, 0), 16);
  EXPECT_EQ(LengthToPixels("1cm", false, 0, -1, 0, 0), 38);
  EXPECT_EQ(LengthToPixels("10mm", false, 0, -1, 0, 0), 38);
  EXPECT_EQ(LengthToPixels(" 4 PX ", false, 0, -1, 0, 0), 4);
  EXPECT_EQ(LengthToPixels(".5em", false, 0, -1, 10, 0), 5);
  EXPECT_EQ(LengthToPixels("auto", false, 0, -9, 10, 0), -9);
  EXPECT_EQ(LengthToPixels("px", false, 0, -9, 10, 0), 0);  // unreadable number reads as 0
  EXPECT_EQ(LengthToPixels("1e3px", false, 0, -9, 10, 0), -9);  // "e" never starts an exponent
  EXPECT_EQ(LengthToPixels("nanpx", false, 0, -9, 10, 0), -9);
  EXPECT_EQ(LengthToPixels("99999999999999999999999px", false, 0, -9, 0, 0), 1000000);
  EXPECT_EQ(LengthToPixels("-99999999999999999999999px", false, 0, -9, 0, 0), -1000000);
}

TEST(FontSizeToPoints, UnitsAndKeywords) {
  SetDefaultFontSize(12);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("12px", 10), 9.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("12", 10), 9.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("larger", 10), 12.5);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("smaller", 10), 7.5);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("x-large", 10), 24.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("x-large", 40), 24.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("150%", 10), 15.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("2em", 10), 20.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("2ex", 10), 10.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("1in", 10), 72.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("1pc", 10), 12.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("xx-small", 10), 8.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("medium", 10), 14.4);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("xx-large", 10), 36.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("bogus", 10), 12.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("1e999999em", 10), 12.0);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("99999999999999pt", 10), 2000.0);
  SetDefaultFontSize(10);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("x-large", 10), 20.0);
  SetDefaultFontSize(12);
}

TEST(Numbers, ReadTheSameUnderACommaLocale) {
  test::TCommaLocale comma;
  ASSERT_TRUE(comma.Active()) << test::TCommaLocale::Missing;
  EXPECT_EQ(LengthToPixels("1.5em", false, 0, -1, 10, 5), 15) << comma.Name();
  EXPECT_EQ(LengthToPixels("2.75px", false, 0, -1, 0, 0), 3);
  EXPECT_EQ(LengthToPixels("0.5in", false, 0, -1, 0, 0), ScreenPixelsPerInch() / 2);
  EXPECT_DOUBLE_EQ(FontSizeToPoints("1.5em", 10), 15.0);
  double n = 0;
  ASSERT_TRUE(ReadWholeNumber(" 1.25 ", n));
  EXPECT_DOUBLE_EQ(n, 1.25);
  EXPECT_FALSE(ReadWholeNumber("1,25", n));  // a comma is never a decimal separator here
  EXPECT_EQ(Parse("rgb(50.4%, 0, 0)"), 0x02000081u);
}

TEST(Numbers, ExponentsSaturateOrVanish) {
  const struct {
    const char* Text;
    double Value;
  } cases[] = {
      {"1.5e2", 150.0},   {"+2.5E-1", 0.25},  {"-3e0", -3.0},       {".5", 0.5},
      {"1e999", 1e300},   {"-1e999", -1e300}, {"1e-999", 0.0},      {"-1e-999", 0.0},
      {"0.000000000000000000000000000000000000001e-300", 0.0},      {"12345678901234567890e300", 1e300},
      {"1e99999999999999999999", 1e300},      {"5.", 5.0},
  };
  for (const auto& c : cases) {
    double n = -7;
    ASSERT_TRUE(ReadWholeNumber(c.Text, n)) << c.Text;
    EXPECT_DOUBLE_EQ(n, c.Value) << c.Text;
  }
}
