// Loading and formatting: the width chosen for the text, the scroll bars, the number of
// formatting passes, keeping the text at the top on resize, anchors and link names.
#include <QApplication>
#include <QResizeEvent>

#include "ViewerTestSupport.h"
#include "layout/SectionList.h"
#include "platform/MemoryStream.h"

namespace korva::test {
namespace {

// A page exactly `height` pixels tall.
std::string Box(int height) {
  return "<body><div style=\"height:" + std::to_string(height) + "px\"></div></body>";
}
// A page `width` pixels wide (a table: blocks report no more than the width they are given).
std::string Wide(int width, int height) {
  return "<table width=" + std::to_string(width) + " cellspacing=0 cellpadding=0 border=0><tr><td height=" +
         std::to_string(height) + ">x</td></tr></table>";
}

class FormatTest : public ViewerTest {};

// The viewer is 300 x 200 with a 1-pixel border on each side: 298 x 198 inside it.
TEST_F(FormatTest, BarsFollowThePageHeight) {
  const int bar = V->BarWidth();
  struct Case {
    const char* name;
    int height;
    bool vBar;
    int laidWidth;
    int passes;
    int panelWidth;
  } cases[] = {
      // Short page: full width, one pass, no bars, the panel fills the window less the border.
      {"short", 50, false, 298, 1, 298},
      // Exactly fitting: no bar, and the text keeps the full width, so none of it is hidden
      // under a bar. (Within a bar's width of the bottom the width with a bar is tried too,
      // as the text might then need a horizontal bar; the full width wins again.)
      {"exact", 198, false, 298, 3, 298},
      {"within a bar of the bottom", 198 - 10, false, 298, 3, 298},
      {"above the bar band", 198 - 20, false, 298, 1, 298},
      // One pixel taller: a bar, and the text formatted again at the narrower width.
      {"taller", 199, true, 298 - bar, 2, 298 - bar},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = V->FormatCount();
    V->LoadStream(Box(c.height), "");
    EXPECT_EQ(V->DocHeight(), c.height);
    EXPECT_EQ(V->VScrollBar()->isVisible(), c.vBar);
    EXPECT_FALSE(V->HScrollBar()->isVisible());
    EXPECT_EQ(V->Document().LaidWidth(), c.laidWidth);
    EXPECT_EQ(V->FormatCount() - before, c.passes);
    EXPECT_EQ(V->PaintPanel()->width(), c.panelWidth);
    EXPECT_EQ(V->PaintPanel()->height(), 198);
    EXPECT_EQ(V->PaintPanel()->pos(), QPoint(1, 1));
  }
}

TEST_F(FormatTest, WideContentIsCappedAt6000) {
  V->LoadStream("<table width=7000><tr><td>x</td></tr></table>", "");
  EXPECT_EQ(V->ScrollWidth(), 6000);
  EXPECT_TRUE(V->HScrollBar()->isVisible());
  EXPECT_EQ(V->HScrollBar()->Maximum(), 6000);
  V->SetHScrollPos(100000);
  EXPECT_EQ(V->HScrollPos(), 6000 - V->PaintPanel()->width());
}

// The horizontal bar reaches the widest content, whatever makes it wide: a block's own width
// counts even when what is inside it is narrower or nothing at all.
TEST_F(FormatTest, TheHorizontalBarReachesTheWidestContent) {
  struct Case {
    const char* page;
    int width;
  } cases[] = {
      {"<div style=\"width:1000px\">x</div>", 1000},
      {"<div style=\"width:1000px\"></div>", 1000},
      {"<div style=\"width:1000px;height:20px\"></div>", 1000},
      {"<div style=\"width:1000px\"><table><tr><td>x</td></tr></table></div>", 1000},
      {"<div style=\"width:1000px;padding-left:10px;border:solid 2px\"></div>", 1014},
      {"<div style=\"margin-left:50px\"><div style=\"width:1000px\"></div></div>", 1050},
      {"<div style=\"width:1000px;float:left\"></div>", 1000},
      {"<div style=\"width:7000px\"></div>", 6000},
      {"<table width=1000 cellspacing=0><tr><td>x</td></tr></table>", 1000},
      {"<img src=\"none\" width=1000 height=10>", 1000},
      {"<pre>0123456789012345678901234567890123456789012345678901234567890123456789</pre>", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    V->LoadStream(c.page, "");
    if (c.width == 0) {
      // Preformatted lines are as wide as their text, which the font decides.
      EXPECT_GT(V->ScrollWidth(), V->PaintPanel()->width());
    } else {
      EXPECT_EQ(V->ScrollWidth(), c.width);
    }
    EXPECT_TRUE(V->HScrollBar()->isVisible());
    EXPECT_EQ(V->HScrollBar()->Maximum(), V->ScrollWidth());
    V->SetHScrollPos(100000);
    EXPECT_EQ(V->HScrollPos() + V->PaintPanel()->width(), V->ScrollWidth());
  }
  // A narrow block leaves the width alone: no bar.
  V->LoadStream("<div style=\"width:100px\"></div>", "");
  EXPECT_FALSE(V->HScrollBar()->isVisible());
}

TEST_F(FormatTest, LongSourcesAreFormattedOnceAtTheBarWidth) {
  std::string page = Paragraphs(400);
  ASSERT_GE(page.size(), 10000u);
  const int before = V->FormatCount();
  V->LoadStream(page, "");
  EXPECT_EQ(V->FormatCount() - before, 1);
  EXPECT_EQ(V->Document().LaidWidth(), 298 - V->BarWidth());
  EXPECT_TRUE(V->VScrollBar()->isVisible());
}

TEST_F(FormatTest, APageSwitchCostsOneLayoutAndOnePaint) {
  V->LoadStream("<p>first</p>", "");
  Settle();
  const int formats = V->FormatCount(), paints = V->PaintCount();
  V->LoadStream("<p>second</p>", "");
  Settle();
  EXPECT_EQ(V->FormatCount() - formats, 1);
  EXPECT_EQ(V->PaintCount() - paints, 1);
}

TEST_F(FormatTest, ScrollBarStylesAndShowVScroll) {
  V->SetScrollBars(TScrollStyle::ssNone);
  V->LoadStream(Wide(1000, 1000), "");
  EXPECT_FALSE(V->VScrollBar()->isVisible());
  EXPECT_FALSE(V->HScrollBar()->isVisible());
  V->SetScrollBars(TScrollStyle::ssBoth);
  EXPECT_TRUE(V->VScrollBar()->isVisible());
  EXPECT_TRUE(V->HScrollBar()->isVisible());
  // A vertical bar kept on a short page, disabled.
  V->SethtOptions(htShowVScroll);
  V->LoadStream(Box(20), "");
  EXPECT_TRUE(V->VScrollBar()->isVisible());
  EXPECT_FALSE(V->VScrollBar()->isEnabled());
  EXPECT_EQ(V->Document().LaidWidth(), 298 - V->BarWidth());
}

TEST_F(FormatTest, ResizingKeepsTheSameTextAtTheTop) {
  // Lines long enough to wrap differently at the two widths.
  std::string page;
  for (int i = 0; i < 60; ++i)
    page += "<p><a name=\"p" + std::to_string(i) + "\"></a>Paragraph " + std::to_string(i) +
            " has words enough to wrap over lines</p>";
  V->LoadStream(page, "");
  ASSERT_TRUE(V->GoToAnchor("p30"));
  TIDObject* p30 = V->Document().IDNameList().Find("P30");
  ASSERT_NE(p30, nullptr);
  const int before = p30->DocumentY();
  ASSERT_EQ(V->Position(), before);
  V->resize(200, 200);
  Settle();
  EXPECT_NE(p30->DocumentY(), before);  // the layout did change
  EXPECT_EQ(V->Position(), p30->DocumentY());
  // Halfway into a paragraph: the same distance into it.
  V->SetPosition(p30->DocumentY() + 5);
  V->resize(260, 200);
  Settle();
  EXPECT_EQ(V->Position(), p30->DocumentY() + 5);
}

TEST_F(FormatTest, TheBarIsToldOnlyOfChanges) {
  V->LoadStream(Paragraphs(60), "");
  const int calls = V->VScrollBar()->ParamsCalls();
  EXPECT_EQ(V->VScrollBar()->Max(), V->DocHeight());
  EXPECT_EQ(V->VScrollBar()->Page(), V->PaintPanel()->height() + 1);
  V->Reformat();
  EXPECT_EQ(V->VScrollBar()->ParamsCalls(), calls);
  V->SetPosition(40);
  EXPECT_EQ(V->VScrollBar()->value(), 40);
  EXPECT_EQ(V->VScrollBar()->maximum(), V->MaxVertical());
}

TEST_F(FormatTest, ResizingToTheSameSizeDoesNotFormat) {
  V->LoadStream(Paragraphs(30), "");
  const int formats = V->FormatCount();
  V->hide();
  V->show();
  Settle();
  EXPECT_EQ(V->FormatCount(), formats);
}

TEST_F(FormatTest, AnchorsAreFoundInAnyCase) {
  V->LoadStream(Paragraphs(40) + "<p><a name=\"intro\"></a>Intro</p>" + Paragraphs(40), "");
  const int y = V->Document().IDNameList().Find("INTRO")->DocumentY();
  for (const char* name : {"Intro", "#INTRO", "intro"}) {
    V->SetPosition(0);
    EXPECT_TRUE(V->GoToAnchor(name)) << name;
    EXPECT_EQ(V->Position(), y) << name;
  }
  V->SetPosition(10);
  EXPECT_FALSE(V->GoToAnchor("nowhere"));
  EXPECT_FALSE(V->GoToAnchor(""));
  EXPECT_FALSE(V->GoToAnchor("#"));
  EXPECT_EQ(V->Position(), 10);
}

TEST_F(FormatTest, AnAnchorNearTheEndScrollsAsFarAsItCan) {
  V->LoadStream(Paragraphs(40), "#p39");
  EXPECT_EQ(V->Position(), V->MaxVertical());
  EXPECT_GT(V->Position(), 0);
}

TEST_F(FormatTest, LoadingWithoutAnAnchorGoesToTheTopUnlessTheSameFileIsReloaded) {
  TTempFolder dir;
  const std::string a = dir.Write("a.html", Paragraphs(40));
  const std::string b = dir.Write("b.html", Paragraphs(40));
  V->LoadDocumentFile(a, dkHtml);
  V->SetPosition(100);
  V->LoadDocumentFile(a, dkHtml);
  EXPECT_EQ(V->Position(), 100);
  V->LoadDocumentFile(b, dkHtml);
  EXPECT_EQ(V->Position(), 0);
  V->SetPosition(100);
  V->LoadStream(Paragraphs(40), "");  // no name: always the top
  EXPECT_EQ(V->CurrentFile(), "");
  EXPECT_EQ(V->Position(), 0);
}

TEST_F(FormatTest, MissingFileRaisesAndLeavesTheViewerUsable) {
  std::vector<bool> processing;
  V->OnProcessing = [&](TPageViewer*, bool on) { processing.push_back(on); };
  EXPECT_THROW(V->LoadDocumentFile("/nonexistent/x.html", dkHtml), EInOutError);
  EXPECT_FALSE(V->Processing());
  EXPECT_EQ(processing, (std::vector<bool>{true, false}));
  V->LoadStream("<p>still works</p>", "");
  EXPECT_GT(V->DocHeight(), 0);
}

TEST_F(FormatTest, StreamsAndTitles) {
  TMemoryStream s;
  const std::string page = "<title>The title</title><p>x";
  s.Write(page.data(), page.size());
  V->LoadStream(s, "");
  EXPECT_EQ(V->DocumentTitle(), "The title");
  EXPECT_EQ(V->SourceText(), page);
  V->ClearDocument();
  EXPECT_EQ(V->DocumentTitle(), "");
  EXPECT_EQ(V->DocHeight(), 0);
  EXPECT_FALSE(V->VScrollBar()->isVisible());
}

TEST_F(FormatTest, RefreshMetaGivesDelayAndUrl) {
  struct Case {
    const char* content;
    int delay;
    const char* url;
  } cases[] = {{"0; URL=next.html", 1, "next.html"}, {"5", 5, ""}, {"3;url=a.htm", 3, "a.htm"}};
  for (const Case& c : cases) {
    int delay = -2;
    std::string url = "unset";
    V->OnMetaRefresh = [&](TPageViewer*, int d, const std::string& u) {
      delay = d;
      url = u;
    };
    V->LoadStream(std::string("<meta http-equiv=\"Refresh\" content=\"") + c.content + "\"><p>x", "");
    EXPECT_EQ(delay, c.delay) << c.content;
    EXPECT_EQ(url, c.url) << c.content;
  }
  // Not a number: no refresh.
  int raised = 0;
  V->OnMetaRefresh = [&](TPageViewer*, int, const std::string&) { ++raised; };
  V->LoadStream("<meta http-equiv=refresh content=\"soon; url=x.html\"><p>x", "");
  EXPECT_EQ(raised, 0);
}

TEST_F(FormatTest, LinkNamesExpandAgainstTheDocument) {
  TTempFolder dir;
  const std::string a = dir.Write("a.html", "<p>x");
  V->LoadDocumentFile(a, dkHtml);
  EXPECT_EQ(V->ExpandLinkName("http://example.com/x.html"), "http://example.com/x.html");
  EXPECT_EQ(V->ExpandLinkName("b.html"), dir.Path() + "/b.html");
  EXPECT_EQ(V->ExpandLinkName("sub/../c.html"), dir.Path() + "/c.html");
  EXPECT_EQ(V->ExpandLinkName(" /abs/d.html "), "/abs/d.html");
}

TEST_F(FormatTest, PropertySetters) {
  V->SetImageCacheCount(99);
  EXPECT_EQ(V->ImageCacheCount(), 20);
  V->SetPrintScale(10);
  EXPECT_EQ(V->PrintScale(), 4.0);
  V->SetPrintScale(0.1);
  EXPECT_EQ(V->PrintScale(), 0.25);
  V->SetServerRoot("  c:\\site\\ ");
  EXPECT_EQ(V->ServerRoot(), "c:\\site");
  V->SetHistoryMaxCount(-3);
  EXPECT_EQ(V->HistoryMaxCount(), 0);
  V->SetVisitedMaxCount(-3);
  EXPECT_EQ(V->VisitedMaxCount(), 0);
}

TEST_F(FormatTest, VisitedLinksAreMarkedAndTrimmed) {
  V->SetVisitedMaxCount(2);
  V->LoadStream(Paragraphs(5) + "<p><a href=\"#p1\">one</a>", "");
  V->GoToAnchor("p1");
  V->GoToAnchor("p2");
  V->GoToAnchor("p3");
  ASSERT_EQ(V->Visited().size(), 2u);
  EXPECT_EQ(V->Visited()[0], "#p3");
  EXPECT_EQ(V->Visited()[1], "#p2");
  V->SetVisitedMaxCount(0);
  EXPECT_TRUE(V->Visited().empty());
}

// Linked and imported sheets are read from the page's folder or below it, nothing else: a sheet
// above it, at an absolute path or behind "file:" changes nothing.
TEST_F(FormatTest, StyleSheetsAreReadOnlyFromThePagesFolder) {
  TTempFolder dir;
  std::filesystem::create_directories(dir.Path() + "/docs/css");
  const std::string tall = "p { margin-top: 150px }";
  dir.Write("outside.css", tall);
  dir.Write("docs/css/inside.css", tall);
  dir.Write("docs/css/imports.css", "@import url(../../outside.css); @import url(" + dir.Path() + "/outside.css);");
  auto heightWith = [&](const std::string& href) {
    V->LoadDocumentFile(dir.Write("docs/page.html", "<link rel=stylesheet href=\"" + href + "\"><p>x</p>"), dkHtml);
    return V->DocHeight();
  };
  const int plain = heightWith("none.css");
  EXPECT_GT(heightWith("css/inside.css"), plain + 100);
  for (const std::string& href : std::vector<std::string>{"../outside.css", "css/../../outside.css",
                                                          dir.Path() + "/outside.css",
                                                          "file://" + dir.Path() + "/outside.css", "css/imports.css"})
    EXPECT_EQ(heightWith(href), plain) << href;
}

}  // namespace
}  // namespace korva::test
