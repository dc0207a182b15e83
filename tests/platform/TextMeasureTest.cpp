// Text measurement as a line breaker uses it: fitting the start of a long paragraph must cost
// only the start, and the fast measuring path must agree with the per-character one and with
// where drawing puts the glyphs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/CodePage.h"
#include "platform/RecordingCanvas.h"

using namespace korva;

namespace {

TPlatformFontPtr MakeFont(const char* name, int height) {
  TFontSpec spec;
  spec.Name = name;
  spec.Height = height;
  return TPlatformFont::Create(spec);
}

// A font of someone else's: every unit 10 pixels wide, counting the units it is asked about.
class TCountingFont final : public TPlatformFont {
 public:
  const TFontSpec& Spec() const override { return FSpec; }
  const TTextMetric& Metrics() const override { return FMetrics; }
  int CharWidth(char16_t) const override {
    ++Measured;
    return 10;
  }
  mutable int Measured = 0;

 private:
  TFontSpec FSpec;
  TTextMetric FMetrics{16, 13, 3};
};

// Answers through the base class's per-character paths only, from a real font's widths.
class TPerCharFont final : public TPlatformFont {
 public:
  explicit TPerCharFont(TPlatformFontPtr inner) : FInner(std::move(inner)) {}
  const TFontSpec& Spec() const override { return FInner->Spec(); }
  const TTextMetric& Metrics() const override { return FInner->Metrics(); }
  int CharWidth(char16_t c) const override { return FInner->CharWidth(c); }
  int CodePointWidth(char32_t cp) const override { return FInner->CodePointWidth(cp); }

 private:
  TPlatformFontPtr FInner;
};

}  // namespace

TEST(TextMeasureTest, FittingMeasuresOnlyUpToTheFit) {
  const std::u16string paragraph(100000, u'a');
  const int n = int(paragraph.size());
  auto font = std::make_shared<TCountingFont>();
  int fit = -1;
  std::vector<int> partial(paragraph.size(), -1);
  // The font itself: nothing past the first unit that does not fit (9 fit in 95).
  EXPECT_EQ(font->FitText(paragraph.data(), n, 95, 0, &fit, partial.data()), 90);
  EXPECT_EQ(fit, 9);
  EXPECT_EQ(font->Measured, 10);
  EXPECT_EQ(partial[8], 90);
  EXPECT_EQ(partial[9], -1);

  // Through a canvas, plain and justified (a run of units is measured ahead at most).
  for (bool justified : {false, true}) {
    TRecordingCanvas c;
    c.SetFont(font);
    c.SetTextCharacterExtra(1);
    if (justified) c.SetTextJustification(30, 3);
    font->Measured = 0;
    partial.assign(paragraph.size(), -1);
    EXPECT_EQ(c.TextFit(paragraph.data(), n, 1000, &fit, partial.data()), 990) << justified;
    EXPECT_EQ(fit, 90);
    EXPECT_EQ(partial[89], 990);
    EXPECT_EQ(partial[90], -1);
    EXPECT_LT(font->Measured, 1000) << justified;
  }
}

TEST(TextMeasureTest, FastPathMeasuresAndDrawsAsThePerCharacterPath) {
  const std::u16string texts[] = {
      u"Justified text, drawn in pieces and measured whole",
      u"pair \U0001F600 lone \xD800 high, lone \xDC00 low, tab\t, \u65E5\u672C\u8A9E",
      std::u16string(300, u'x') + u" \U0001F600" + std::u16string(300, u' '),  // runs across measuring chunks
  };
  struct {
    int Extra, JustExtra, JustBreaks;
  } settings[] = {{0, 0, 0}, {2, 0, 0}, {-1, 0, 0}, {1, 11, 4}, {0, -7, 3}, {0, 500, 200}};
  for (bool fixed : {false, true}) {
    SetFixedFontMetrics(fixed);
    const TPlatformFontPtr fast = MakeFont("Times New Roman", -15);
    SetFixedFontMetrics(false);
    const auto slow = std::make_shared<TPerCharFont>(fast);
    for (const std::u16string& text : texts) {
      const int n = int(text.size());
      // The font's own sum and its per-unit advances.
      EXPECT_EQ(fast->TextWidth(text), slow->TextWidth(text));
      std::vector<int> a(text.size()), b(text.size());
      fast->CharAdvances(text.data(), n, a.data());
      slow->CharAdvances(text.data(), n, b.data());
      EXPECT_EQ(a, b);
      for (const auto& st : settings) {
        SCOPED_TRACE(testing::Message() << "fixed " << fixed << " extra " << st.Extra << " just " << st.JustExtra << "/"
                                        << st.JustBreaks << " length " << n);
        auto surface = [&](const TPlatformFontPtr& font) {
          auto bmp = TBitmap::Create(n * 12 + 40, 30, 32);
          bmp->Fill(clWhite);
          auto c = CreateBitmapCanvas(*bmp);
          c->SetFont(font);
          c->SetBkMode(TBkMode::Transparent);
          c->SetTextCharacterExtra(st.Extra);
          c->SetTextJustification(st.JustExtra, st.JustBreaks);
          return std::make_pair(std::move(bmp), std::move(c));
        };
        auto [fastBmp, fastCanvas] = surface(fast);
        auto [slowBmp, slowCanvas] = surface(slow);
        const int extent = fastCanvas->TextExtent(text.data(), n).cx;
        EXPECT_EQ(extent, slowCanvas->TextExtent(text.data(), n).cx);
        for (int width : {0, 37, extent / 2, extent, 1 << 30}) {
          std::vector<int> pf(text.size(), -1), ps(text.size(), -1);
          int ff = -1, fs = -2;
          EXPECT_EQ(fastCanvas->TextFit(text.data(), n, width, &ff, pf.data()),
                    slowCanvas->TextFit(text.data(), n, width, &fs, ps.data()))
              << width;
          EXPECT_EQ(ff, fs) << width;
          EXPECT_EQ(pf, ps) << width;
        }
        // Drawn glyph by glyph at the measured advances: the same pixels and the same end.
        fastCanvas->SetTextAlign(TA_UPDATECP);
        slowCanvas->SetTextAlign(TA_UPDATECP);
        fastCanvas->MoveTo(20, 5);
        slowCanvas->MoveTo(20, 5);
        fastCanvas->TextOut(0, 0, text.data(), n);
        slowCanvas->TextOut(0, 0, text.data(), n);
        EXPECT_EQ(fastCanvas->PenPos().x, 20 + extent);
        EXPECT_EQ(slowCanvas->PenPos().x, 20 + extent);
        EXPECT_EQ(fastBmp->SaveToBmp(), slowBmp->SaveToBmp());
      }
    }
  }
}

// Text kept in one byte per character measures and fits exactly as the same text in UTF-16,
// through the font's tables and through the base class's widening path, for every byte and
// across the widening path's pieces.
TEST(TextMeasureTest, OneByteTextMeasuresAsItsUtf16) {
  std::string bytes;
  for (int i = 0; i < 600; ++i) bytes.push_back(char(i < 256 ? i : "word \x93quoted\x94 \xE9t\xE9 "[i % 19]));
  const std::u16string wide = MultiByteToWide(1252, bytes);
  ASSERT_EQ(bytes.size(), wide.size());
  const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const int n = int(bytes.size());
  for (int b = 0; b < 256; ++b) EXPECT_EQ(wide[std::size_t(b)], Cp1252Char(std::uint8_t(b))) << b;
  for (bool fixed : {false, true}) {
    SetFixedFontMetrics(fixed);
    const TPlatformFontPtr fast = MakeFont("Arial", -13);
    SetFixedFontMetrics(false);
    const auto slow = std::make_shared<TPerCharFont>(fast);
    for (const TPlatformFont* font : {static_cast<const TPlatformFont*>(fast.get()), static_cast<const TPlatformFont*>(slow.get())}) {
      SCOPED_TRACE(testing::Message() << "fixed " << fixed << (font == fast.get() ? " tables" : " widening"));
      EXPECT_EQ(fast->TextWidth(wide), font->TextWidth1252(s, n));
      EXPECT_EQ(fast->TextWidth(wide.data() + 100, 7), font->TextWidth1252(s + 100, 7));
      const int whole = fast->TextWidth(wide);
      for (int width : {0, 5, whole / 3, whole - 1, whole, 1 << 30})
        for (int extra : {0, 2, -1}) {
          std::vector<int> pw(wide.size(), -1), pb(wide.size(), -1);
          int fw = -1, fb = -2;
          EXPECT_EQ(fast->FitText(wide.data(), n, width, extra, &fw, pw.data()),
                    font->FitText1252(s, n, width, extra, &fb, pb.data()))
              << width << " " << extra;
          EXPECT_EQ(fw, fb) << width << " " << extra;
          EXPECT_EQ(pw, pb) << width << " " << extra;
        }
    }
  }
}
