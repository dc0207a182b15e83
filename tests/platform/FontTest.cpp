#include <gtest/gtest.h>

#include <QFontInfo>

#include <string>
#include <vector>

#include "platform/Font.h"
#include "platform/QtBridge.h"

using namespace korva;

namespace {

TPlatformFontPtr MakeFont(const std::string& name, int height, int weight = FW_NORMAL, bool italic = false) {
  TFontSpec spec;
  spec.Name = name;
  spec.Height = height;
  spec.Weight = weight;
  spec.Italic = italic;
  return TPlatformFont::Create(spec);
}

class FixedFontTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFixedFontMetrics(true); }
  void TearDown() override { SetFixedFontMetrics(false); }
};

}  // namespace

TEST_F(FixedFontTest, MetricsDependOnlyOnTheEmHeight) {
  auto f = MakeFont("Times New Roman", -16);
  const TTextMetric& m = f->Metrics();
  EXPECT_EQ(m.Ascent, 13);
  EXPECT_EQ(m.Descent, 3);
  EXPECT_EQ(m.Height, 16);
  EXPECT_EQ(m.InternalLeading, 0);
  EXPECT_EQ(m.ExternalLeading, 0);
  EXPECT_EQ(m.AveCharWidth, 8);
  EXPECT_EQ(m.MaxCharWidth, 8);
  EXPECT_EQ(m.CharSet, ANSI_CHARSET);

  // Bold and another face change nothing; a positive height is the cell (= em here); 0 is 16.
  auto bold = MakeFont("Courier New", -16, FW_BOLD, true);
  EXPECT_EQ(bold->Metrics().Height, 16);
  EXPECT_EQ(bold->TextWidth(u"Hello"), f->TextWidth(u"Hello"));
  EXPECT_EQ(MakeFont("Arial", 20)->Metrics().Ascent, 16);
  EXPECT_EQ(MakeFont("Arial", 0)->Metrics().Height, 16);
  EXPECT_EQ(MakeFont("Arial", -11)->CharWidth(u'W'), 5);
  EXPECT_EQ(MakeFont("Arial", -1)->CharWidth(u'W'), 1);  // at least one pixel
  // Absurd sizes are clamped, not honoured.
  EXPECT_EQ(MakeFont("Arial", -2147483647 - 1)->Metrics().Height, MaxFontEmHeight);
  EXPECT_EQ(MakeFont("Arial", 2147483647)->Metrics().Height, MaxFontEmHeight);
}

TEST_F(FixedFontTest, RangeExtentIsTheSumOfItsPieces) {
  auto f = MakeFont("Arial", -13);  // 6 pixels a unit
  const std::u16string text = u"The quick brown fox\u00A0jumps \U0001F600 over";
  const int whole = f->TextWidth(text);
  // The pair is one character: 34 units of which one is the low half.
  EXPECT_EQ(whole, int(text.size() - 1) * 6);
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    const std::u16string_view v(text);
    const int a = f->TextWidth(v.substr(0, cut)), b = f->TextWidth(v.substr(cut));
    // Cutting a pair in two measures the high half alone; anywhere else the sum is exact.
    if (cut > 0 && cut < text.size() && text[cut] >= 0xDC00 && text[cut] <= 0xDFFF) continue;
    EXPECT_EQ(a + b, whole) << "cut at " << cut;
  }
}

TEST_F(FixedFontTest, FitIsTheLargestCountThatFits) {
  auto f = MakeFont("Arial", -20);  // 10 pixels a unit
  const std::u16string s = u"abcdefghij";
  int fit = -1;
  std::vector<int> partial(s.size(), -1);
  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 35, 0, &fit, partial.data()), 30);
  EXPECT_EQ(fit, 3);
  // Filled up to the fit only; the rest is left as it was.
  for (int i = 0; i < int(s.size()); ++i) EXPECT_EQ(partial[i], i < 3 ? 10 * (i + 1) : -1) << i;

  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 40, 0, &fit, nullptr), 40);  // exact boundary fits
  EXPECT_EQ(fit, 4);
  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 9, 0, &fit, nullptr), 0);  // none fits
  EXPECT_EQ(fit, 0);
  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 1000, 0, &fit, nullptr), 100);
  EXPECT_EQ(fit, 10);
  // Extra pixels after every character count against the width.
  partial.assign(s.size(), -1);
  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 38, 3, &fit, partial.data()), 26);
  EXPECT_EQ(fit, 2);
  EXPECT_EQ(partial[1], 26);
  EXPECT_EQ(partial[2], -1);
  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 1000, 3, &fit, partial.data()), 130);
  EXPECT_EQ(partial[9], 130);
  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 38, 3, &fit, nullptr), 26);  // stops early, same answer
  // The fitted width is the extent of the fitted count, for every limit.
  for (int w = 0; w <= 110; ++w) {
    const int width = f->FitText(s.data(), int(s.size()), w, 0, &fit, nullptr);
    EXPECT_EQ(width, f->TextWidth(s.data(), fit));
    EXPECT_LE(width, w);
    if (fit < int(s.size())) {
      EXPECT_GT(f->TextWidth(s.data(), fit + 1), w);
    }
  }
  EXPECT_EQ(f->FitText(s.data(), 0, 100, 0, &fit, nullptr), 0);
  EXPECT_EQ(fit, 0);
}

TEST_F(FixedFontTest, FitNeverSplitsASurrogatePair) {
  auto f = MakeFont("Arial", -20);
  const std::u16string s = u"a\U0001F600b";
  int fit = -1;
  std::vector<int> partial(s.size(), -1);
  // With 2 pixels extra the pair costs 10 + 2 + 2: "a" (12) fits in 25, the pair would end at 26.
  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 25, 2, &fit, partial.data()), 12);
  EXPECT_EQ(fit, 1);
  EXPECT_EQ(partial, (std::vector<int>{12, -1, -1, -1}));  // not even the pair's high half
  EXPECT_EQ(f->FitText(s.data(), int(s.size()), 26, 2, &fit, partial.data()), 26);
  EXPECT_EQ(fit, 3);
  EXPECT_EQ(partial, (std::vector<int>{12, 24, 26, -1}));
  EXPECT_EQ(f->CharWidth(0xDE00), 0);
}

TEST_F(FixedFontTest, EarlierFontsKeepTheirMetrics) {
  auto fixed = MakeFont("Arial", -16);
  SetFixedFontMetrics(false);
  auto real = MakeFont("Arial", -16);
  EXPECT_EQ(fixed->Metrics().Height, 16);
  EXPECT_NE(real->Metrics().Height, 16);  // the real face has internal leading
  EXPECT_EQ(fixed->CharWidth(u'i'), 8);
}

TEST(RealFontTest, ClassicFacesResolveToTheirMetricTwins) {
  struct {
    const char* Name;
    const char* Family;
  } cases[] = {{"Times New Roman", "Liberation Serif"}, {"Arial", "Liberation Sans"}, {"Courier New", "Liberation Mono"},
               {"times new roman", "Liberation Serif"}, {"", "Liberation Sans"}};
  for (const auto& c : cases) {
    auto f = MakeFont(c.Name, -16);
    EXPECT_EQ(QFontInfo(ToQFont(*f)).family().toStdString(), c.Family) << c.Name;
  }
  EXPECT_TRUE(FontFaceInstalled("Times New Roman"));
  EXPECT_TRUE(FontFaceInstalled("ARIAL"));
  EXPECT_TRUE(FontFaceInstalled("Courier New"));
  EXPECT_TRUE(FontFaceInstalled("Liberation Serif"));
  EXPECT_TRUE(FontFaceInstalled("liberation mono"));
  EXPECT_FALSE(FontFaceInstalled("No Such Face Anywhere"));
  EXPECT_FALSE(FontFaceInstalled(""));
}

TEST(RealFontTest, MetricsAreConsistent) {
  for (const char* name : {"Times New Roman", "Arial", "Courier New"}) {
    for (int em : {8, 11, 13, 16, 24, 37}) {
      auto f = MakeFont(name, -em);
      const TTextMetric& m = f->Metrics();
      EXPECT_EQ(m.Height, m.Ascent + m.Descent) << name << em;
      EXPECT_EQ(m.InternalLeading, m.Height - em) << name << em;
      EXPECT_GT(m.Ascent, m.Descent);
      EXPECT_GE(m.ExternalLeading, 0);
      EXPECT_GT(m.AveCharWidth, 0);
      EXPECT_GE(m.MaxCharWidth, m.AveCharWidth);
      for (char16_t c = 0x20; c < 0x7F; ++c) EXPECT_LE(f->CharWidth(c), m.MaxCharWidth) << name << em << char(c);
      // A positive height asks for that cell height.
      EXPECT_EQ(MakeFont(name, m.Height)->Metrics().Height, m.Height) << name << em;
    }
  }
  // Liberation Serif's proportions at 16 pixels.
  auto times = MakeFont("Times New Roman", -16);
  EXPECT_EQ(times->Metrics().Ascent, 15);
  EXPECT_EQ(times->Metrics().Descent, 4);
  EXPECT_EQ(times->CharWidth(u'H'), 12);
  EXPECT_EQ(times->CharWidth(u' '), 4);
  EXPECT_EQ(times->Metrics().CharSet, ANSI_CHARSET);
  TFontSpec sjis;
  sjis.CharSet = SHIFTJIS_CHARSET;
  EXPECT_EQ(TPlatformFont::Create(sjis)->Metrics().CharSet, SHIFTJIS_CHARSET);
}

TEST(RealFontTest, WidthsBehave) {
  const std::u16string text = u"Hello, World! The quick brown fox.";
  auto normal = MakeFont("Arial", -16);
  auto bold = MakeFont("Arial", -16, FW_BOLD);
  EXPECT_GE(bold->TextWidth(text), normal->TextWidth(text));
  EXPECT_GT(bold->TextWidth(text), normal->TextWidth(text) * 101 / 100);
  EXPECT_GT(normal->CharWidth(u'W'), normal->CharWidth(u'i'));

  auto mono = MakeFont("Courier New", -16);
  for (char16_t c = 0x21; c < 0x7F; ++c) EXPECT_EQ(mono->CharWidth(c), mono->CharWidth(u' '));

  // Pieces add up with real advances too.
  const std::u16string_view v(text);
  for (std::size_t cut = 0; cut <= v.size(); ++cut)
    EXPECT_EQ(normal->TextWidth(v.substr(0, cut)) + normal->TextWidth(v.substr(cut)), normal->TextWidth(v));

  // Control characters take no room; characters the face lacks still measure.
  EXPECT_EQ(normal->CharWidth(u'\t'), 0);
  EXPECT_EQ(normal->CharWidth(8), 0);
  EXPECT_GT(normal->CharWidth(u'\u65E5'), 0);  // from a fallback face (or the missing-glyph box)
  EXPECT_GT(normal->TextWidth(u"\U0001F600"), 0);
  EXPECT_EQ(normal->TextWidth(u"\U0001F600"), normal->CodePointWidth(0x1F600));
}
