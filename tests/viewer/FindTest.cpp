// Find in page: matches across font runs, links, lines and table cells; case; the current match
// moving with wrap-around and kept in view; the markers drawn.
#include <QImage>

#include "ViewerTestSupport.h"
#include "layout/SectionList.h"

namespace korva::test {
namespace {

class FindTest : public ViewerTest {
 protected:
  // The text of each highlight, from the document's characters.
  std::vector<std::string> Matches() {
    std::vector<std::string> out;
    for (const auto& [first, end] : V->Document().Highlights()) {
      std::string s;
      for (int p = first; p < end; ++p) {
        char16_t c = 0;
        TCharObject object{};
        if (V->Document().CharAt(p, c, object)) s += c < 128 ? char(c) : '?';
      }
      out.push_back(s);
    }
    return out;
  }
};

TEST_F(FindTest, MatchesCrossFontRunsLinksAndLinesButKeepToTheirCase) {
  V->LoadStream("<p>Alpha <b>be</b>ta and <a href=x.html>beta</a></p>"
                "<table><tr><td>BETA gamma<td>alphabet</table><pre>x beta\ny</pre>",
                "");
  EXPECT_EQ(V->Find("beta", false), 4);
  EXPECT_EQ(Matches(), (std::vector<std::string>{"beta", "beta", "BETA", "beta"}));
  EXPECT_EQ(V->Find("beta", true), 3);
  EXPECT_EQ(V->Find("BETA", true), 1);
  // "alphabet" holds "bet" once and "alpha" holds no "beta".
  EXPECT_EQ(V->Find("bet", false), 5);
  EXPECT_EQ(V->Find("nothing", false), 0);
  EXPECT_EQ(V->CurrentMatch(), -1);
  EXPECT_FALSE(V->FindNext(false));
  // Accented letters fold too.
  V->LoadStream("<p>CAF&Eacute; caf&eacute;</p>", "");
  EXPECT_EQ(V->Find("caf\xC3\xA9", false), 2);
  EXPECT_EQ(V->Find("caf\xC3\xA9", true), 1);
  V->ClearFind();
  EXPECT_EQ(V->MatchCount(), 0);
}

TEST_F(FindTest, NextAndPreviousWrapAndKeepTheCurrentMatchInView) {
  std::string page;
  for (int i = 0; i < 100; ++i) page += "<p>line " + std::to_string(i) + (i % 30 == 5 ? " needle" : "") + "</p>";
  V->LoadStream(page, "");
  ASSERT_EQ(V->Find("needle", false), 4);  // lines 5, 35, 65, 95
  EXPECT_EQ(V->CurrentMatch(), 0);
  const int top0 = V->Position();
  bool wrapped = true;
  ASSERT_TRUE(V->FindNext(false, &wrapped));
  EXPECT_FALSE(wrapped);
  EXPECT_EQ(V->CurrentMatch(), 1);
  EXPECT_GT(V->Position(), top0);  // line 35 is below the first screen
  int y = 0;
  ASSERT_TRUE(V->Document().LineYAt(V->Document().Highlights()[1].first, y));
  EXPECT_GE(y, V->Position());
  EXPECT_LT(y, V->Position() + V->PaintPanel()->height());
  V->FindNext(false);
  V->FindNext(false);
  EXPECT_EQ(V->CurrentMatch(), 3);
  ASSERT_TRUE(V->FindNext(false, &wrapped));
  EXPECT_TRUE(wrapped);
  EXPECT_EQ(V->CurrentMatch(), 0);
  ASSERT_TRUE(V->FindNext(true, &wrapped));
  EXPECT_TRUE(wrapped);
  EXPECT_EQ(V->CurrentMatch(), 3);
  // A new search starts from the top of the view.
  V->SetPosition(V->MaxVertical());
  EXPECT_EQ(V->Find("needle", false), 4);
  EXPECT_EQ(V->CurrentMatch(), 3);
}

TEST_F(FindTest, MatchesAreMarkedAndTheCurrentOneDistinctly) {
  V->LoadStream("<p>one match, two match</p>", "");
  auto count = [&](QRgb color) {
    const QImage image = V->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
    return n;
  };
  const QRgb yellow = qRgb(255, 255, 0), orange = qRgb(255, 150, 50);
  EXPECT_EQ(count(yellow), 0);
  V->Find("match", false);
  Settle();
  EXPECT_GT(count(yellow), 0);
  EXPECT_GT(count(orange), 0);
  V->ClearFind();
  Settle();
  EXPECT_EQ(count(yellow) + count(orange), 0);
}

}  // namespace
}  // namespace korva::test
