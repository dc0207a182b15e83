// Page navigation over real archives: start pages, link clicks, the history with Back, Forward
// and the list, deferred anchors, archives with folders, missing members and external links.
#include <gtest/gtest.h>

#include <filesystem>

#include "../archive/ZipWriter.h"
#include "app/Navigation.h"
#include "archive/ZipArchive.h"

namespace korva {
namespace {

using test::BuildZip;
using test::TTempDir;
using test::TZipMember;
using Log = std::vector<std::string>;

// The window as the navigator sees it: every call written down as one line.
class NavigationTest : public ::testing::Test {
 protected:
  TTempDir Dir;
  TZipArchive Zip;
  Log Calls;
  Log ArchiveMessages;
  bool ExternalAccepted = true;
  // The content pane's scroll position and page title as the navigator reads them.
  int Scroll = 0;
  std::string Title;
  std::unique_ptr<TPageNavigator> Nav;

  // Opens an archive of these members (written under sub/ of the temporary folder) and loads
  // the start pages.
  void Open(const std::vector<TZipMember>& members, const std::string& title = "Ref") {
    std::filesystem::create_directories(Dir / "docs");
    const std::string file = Dir.Write("docs/test.zip", BuildZip(members));
    TZipUserInterface ui;
    ui.ShowMessage = [this](const std::string& text) { ArchiveMessages.push_back(text); };
    Zip.SetUserInterface(ui);
    Zip.SetDLLDirectory(KORVA_BIN_DIR);
    Zip.SetActive(false);
    TNavigatorView view;
    view.ClearDocument = [this] { Calls.push_back("clear"); };
    view.LoadContent = [this](const std::string& bytes, const std::string& base) {
      Calls.push_back("load " + bytes + (base.empty() ? "" : " base " + base));
    };
    view.GoToAnchor = [this](const std::string& anchor) {
      Calls.push_back("anchor " + anchor);
      return true;
    };
    view.LoadNavigation = [this](const std::string& bytes, const std::string&) { Calls.push_back("nav " + bytes); };
    view.HistoryAppend = [this](const std::string& entry) { Calls.push_back("append " + entry); };
    view.HistoryRemove = [this](int first, int count) {
      Calls.push_back("remove " + std::to_string(first) + "+" + std::to_string(count));
    };
    view.ContentScrollPos = [this] { return Scroll; };
    view.SetContentScrollPos = [this](int y) {
      Scroll = y;
      Calls.push_back("scroll " + std::to_string(y));
    };
    view.ContentTitle = [this] { return Title; };
    view.HistorySelect = [this](int row) { Calls.push_back("select " + std::to_string(row)); };
    view.SetCaption = [this](const std::string& caption) { Calls.push_back("caption " + caption); };
    view.ShowStatus = [this](const std::string& text) { Calls.push_back("status " + text); };
    view.OpenExternal = [this](const std::string& url) {
      Calls.push_back("open " + url);
      return ExternalAccepted;
    };
    Nav = std::make_unique<TPageNavigator>(Zip, view);
    Nav->SetArchiveFileName(file);
    Nav->SetIndexTitle(title);
    Nav->LoadStartPages();
  }
  void OpenFlat() {
    Open({{"NavigationFrame.html", "N"}, {"Overview.html", "O"}, {"a.html", "A"}, {"b.html", "B"}, {"c.html", "C"}});
    Calls.clear();
  }
  // Clicks a link and returns the calls it made.
  Log Click(const std::string& url, bool* handledOut = nullptr, TPane pane = TPane::pnContent) {
    Calls.clear();
    bool handled = !handledOut;  // a value the click must overwrite
    Nav->PageViewerHotSpotClick(pane, url, handled);
    if (handledOut) *handledOut = handled;
    return std::exchange(Calls, {});
  }
  Log Idle(TPageNavigator::TIdleState* state = nullptr) {
    Calls.clear();
    TPageNavigator::TIdleState s = Nav->AppIdle();
    if (state) *state = s;
    return std::exchange(Calls, {});
  }
  Log Back(bool back) {
    Calls.clear();
    Nav->BackForwardButtonClick(back);
    return std::exchange(Calls, {});
  }
  std::string Read(TPane pane, const std::string& reference) {
    std::optional<std::string> data = Nav->ReaderFor(pane)(reference);
    return data ? *data : "(none)";
  }
};

TEST_F(NavigationTest, StartPagesFillBothPanesAndStartTheHistory) {
  Open({{"NavigationFrame.html", "N"}, {"Overview.html", "O"}});
  // No clear at start-up; the history starts with the overview, selected.
  EXPECT_EQ(Calls, (Log{"nav N", "load O", "append Overview.html", "select 0"}));
  EXPECT_EQ(Nav->PageHistory(), (Log{"Overview.html"}));
  EXPECT_EQ(Nav->ContentMember(), "Overview.html");
  EXPECT_EQ(Nav->NavigationMember(), "NavigationFrame.html");
  EXPECT_TRUE(ArchiveMessages.empty());
}

TEST_F(NavigationTest, WithoutTheOverviewALinkStartsTheHistory) {
  Open({{"NavigationFrame.html", "N"}, {"a.html", "A"}});
  EXPECT_EQ(Calls, (Log{"nav N", "status Page not found in the archive: Overview.html"}));
  EXPECT_TRUE(Nav->PageHistory().empty());
  TPageNavigator::TIdleState state{true, true};
  Idle(&state);
  EXPECT_FALSE(state.BackEnabled);
  EXPECT_FALSE(state.ForwardEnabled);
  EXPECT_EQ(Click("a.html", nullptr, TPane::pnNavigation),
            (Log{"clear", "load A", "status ", "append a.html", "select 0", "caption Ref - a.html"}));
  EXPECT_EQ(Nav->HistoryIndex(), 0);
}

TEST_F(NavigationTest, MissingArchiveIsReportedOnceAndLeavesThePanesEmpty) {
  TZipUserInterface ui;
  ui.ShowMessage = [this](const std::string& text) { ArchiveMessages.push_back(text); };
  Zip.SetUserInterface(ui);
  Zip.SetDLLDirectory(KORVA_BIN_DIR);
  Nav = std::make_unique<TPageNavigator>(Zip, TNavigatorView{});
  Nav->SetArchiveFileName(Dir / "none.zip");
  Zip.SetActive(false);
  // Opening a missing archive says nothing; the window's title has said it could not be opened,
  // and each start page or link does not say it again.
  Nav->LoadStartPages();
  EXPECT_TRUE(Zip.Active());
  EXPECT_EQ(Zip.ZipFileName(), Dir / "none.zip");
  EXPECT_TRUE(ArchiveMessages.empty());
  EXPECT_TRUE(Nav->PageHistory().empty());
  bool handled = false;
  Nav->PageViewerHotSpotClick(TPane::pnContent, "a.html", handled);
  EXPECT_TRUE(ArchiveMessages.empty());
  // A page that could not be shown is no visit.
  EXPECT_TRUE(Nav->PageHistory().empty());
}

TEST_F(NavigationTest, AnchorLinkClickedTwiceRecordsTheVisitOnceAndJumpsEachTime) {
  OpenFlat();
  bool handled = false;
  EXPECT_EQ(Click("a.html#sec", &handled),
            (Log{"clear", "load A", "append a.html#sec", "select 1", "caption Ref - a.html"}));
  EXPECT_TRUE(handled);
  EXPECT_EQ(Idle(), (Log{"anchor #sec"}));
  EXPECT_EQ(Click("a.html#sec"), (Log{"clear", "load A", "select 1", "caption Ref - a.html"}));
  EXPECT_EQ(Idle(), (Log{"anchor #sec"}));
  EXPECT_EQ(Nav->PageHistory(), (Log{"Overview.html", "a.html"}));
  // Once delivered, nothing is left for the next idle moment.
  EXPECT_EQ(Idle(), Log{});
}

TEST_F(NavigationTest, FirstPendingAnchorWinsUntilIdle) {
  OpenFlat();
  Click("a.html#one");
  Click("b.html#two", nullptr, TPane::pnNavigation);
  // Always to the content pane, whichever pane's link set it.
  EXPECT_EQ(Idle(), (Log{"anchor #one"}));
  Click("c.html#three");
  EXPECT_EQ(Idle(), (Log{"anchor #three"}));
}

TEST_F(NavigationTest, HashLinkIsLeftToThePaneButIsAVisitInTheContentPane) {
  OpenFlat();
  bool handled = true;
  Scroll = 40;
  EXPECT_EQ(Click("#sec", &handled), (Log{"append Overview.html#sec", "select 1", "caption Ref - Overview.html"}));
  EXPECT_FALSE(handled);
  EXPECT_EQ(Nav->PageHistory(), (Log{"Overview.html", "Overview.html"}));
  EXPECT_TRUE(Nav->PendingAnchor().empty());
  EXPECT_EQ(Idle(), Log{});
  // Back within the page: no new load, the position the reader left.
  EXPECT_EQ(Back(true), (Log{"caption Ref - Overview.html", "select 0"}));
  EXPECT_EQ(Idle(), (Log{"scroll 40"}));
  // The navigation pane's own jumps are not the content's history.
  EXPECT_EQ(Click("#x", &handled, TPane::pnNavigation), Log{});
  EXPECT_FALSE(handled);
  EXPECT_EQ(Nav->PageHistory().size(), 2u);
}

TEST_F(NavigationTest, ALinkFromTheMiddleOfTheHistoryDropsTheEntriesAfterIt) {
  OpenFlat();
  Click("a.html");
  Click("b.html");
  EXPECT_EQ(Back(true), (Log{"clear", "load A", "caption Ref - a.html", "select 1"}));
  EXPECT_EQ(Back(true), (Log{"clear", "load O", "caption Ref - Overview.html", "select 0"}));
  ASSERT_EQ(Nav->HistoryIndex(), 0);
  EXPECT_EQ(Click("c.html"), (Log{"clear", "load C", "remove 1+2", "append c.html", "select 1", "caption Ref - c.html"}));
  EXPECT_EQ(Nav->PageHistory(), (Log{"Overview.html", "c.html"}));
  TPageNavigator::TIdleState state;
  Idle(&state);
  EXPECT_TRUE(state.BackEnabled);
  EXPECT_FALSE(state.ForwardEnabled);
  // The next Back goes where the reader came from.
  EXPECT_EQ(Back(true), (Log{"clear", "load O", "caption Ref - Overview.html", "select 0"}));
}

TEST_F(NavigationTest, BackAndForwardReturnToWhereTheReaderLeftThePage) {
  OpenFlat();
  Title = "Overview page";
  Scroll = 300;
  Click("a.html#sec");
  Idle();
  Title = "";
  Scroll = 120;  // the reader scrolled on from the anchor
  Click("b.html");
  Scroll = 55;
  EXPECT_EQ(Back(true), (Log{"clear", "load A", "caption Ref - a.html", "select 1"}));
  // The position left, not the anchor the page was opened at.
  EXPECT_EQ(Idle(), (Log{"scroll 120"}));
  Title = "Overview page";
  EXPECT_EQ(Back(true), (Log{"clear", "load O", "caption Ref - Overview page", "select 0"}));
  EXPECT_EQ(Idle(), (Log{"scroll 300"}));
  Title = "";
  EXPECT_EQ(Back(false), (Log{"clear", "load A", "caption Ref - a.html", "select 1"}));
  EXPECT_EQ(Idle(), (Log{"scroll 120"}));
  EXPECT_EQ(Back(false), (Log{"clear", "load B", "caption Ref - b.html", "select 2"}));
  EXPECT_EQ(Idle(), (Log{"scroll 55"}));
}

TEST_F(NavigationTest, BackAtTheStartAndForwardAtTheEndOnlyReselect) {
  OpenFlat();
  Click("a.html");
  TPageNavigator::TIdleState state;
  Idle(&state);
  EXPECT_TRUE(state.BackEnabled);
  EXPECT_FALSE(state.ForwardEnabled);
  EXPECT_EQ(Back(false), (Log{"select 1"}));
  EXPECT_EQ(Back(true), (Log{"clear", "load O", "caption Ref - Overview.html", "select 0"}));
  EXPECT_EQ(Back(true), (Log{"select 0"}));
  Idle(&state);
  EXPECT_FALSE(state.BackEnabled);
  EXPECT_TRUE(state.ForwardEnabled);
  EXPECT_EQ(Back(false), (Log{"clear", "load A", "caption Ref - a.html", "select 1"}));
}

TEST_F(NavigationTest, EmptyLinkIsNoVisit) {
  OpenFlat();
  bool handled = false;
  EXPECT_EQ(Click("", &handled), Log{});
  EXPECT_TRUE(handled);
  EXPECT_EQ(Nav->PageHistory(), (Log{"Overview.html"}));
}

TEST_F(NavigationTest, HistoryListPickShowsTheRowWithoutRecording) {
  OpenFlat();
  Click("a.html");
  Click("b.html");
  Calls.clear();
  Nav->HistoryListBoxDblClick(0);
  EXPECT_EQ(Calls, (Log{"clear", "load O", "caption Ref - Overview.html"}));
  EXPECT_EQ(Nav->HistoryIndex(), 0);
  Calls.clear();
  Nav->HistoryListBoxDblClick(-1);
  Nav->HistoryListBoxDblClick(3);
  EXPECT_EQ(Calls, Log{});
  EXPECT_EQ(Nav->HistoryIndex(), 0);
  EXPECT_EQ(Nav->PageHistory().size(), 3u);
}

TEST_F(NavigationTest, ClickDuringAnExtractionDoesNotDisturbIt) {
  OpenFlat();
  Click("a.html");
  Click("b.html");
  Click("c.html");
  // The archive lets the window handle its events while it extracts: another click comes in
  // then, and grows the history under the page being shown.
  bool nested = false;
  TZipUserInterface ui;
  ui.ProcessMessages = [&] {
    if (std::exchange(nested, true)) return;
    bool handled = false;
    Nav->PageViewerHotSpotClick(TPane::pnContent, "gone.html", handled);
  };
  Zip.SetUserInterface(ui);
  Calls.clear();
  Nav->HistoryListBoxDblClick(1);
  ASSERT_TRUE(nested);
  // The nested click's message about the missing page, then the page the double click asked for.
  EXPECT_EQ(Log(Calls.end() - 5, Calls.end()),
            (Log{"status Page not found in the archive: gone.html", "clear", "load A", "status ",
                 "caption Ref - a.html"}));
  EXPECT_EQ(Nav->ContentMember(), "a.html");
  EXPECT_EQ(Nav->PageHistory().back(), "c.html");
  EXPECT_EQ(Nav->HistoryIndex(), 1);
}

TEST_F(NavigationTest, MissingMemberKeepsThePageAndSaysSo) {
  OpenFlat();
  Click("a.html");
  // No entry, no caption: the first Back still goes to the page before.
  EXPECT_EQ(Click("gone.html#x"), (Log{"status Page not found in the archive: gone.html"}));
  // No dialog from the archive: the status line is the only word of it.
  EXPECT_TRUE(ArchiveMessages.empty());
  EXPECT_EQ(Nav->ContentMember(), "a.html");
  EXPECT_EQ(Nav->PageHistory(), (Log{"Overview.html", "a.html"}));
  EXPECT_TRUE(Nav->PendingAnchor().empty());
  EXPECT_EQ(Back(true), (Log{"clear", "load O", "status ", "caption Ref - Overview.html", "select 0"}));
}

TEST_F(NavigationTest, ExternalLinksGoToTheDesktopAndLeaveTheHistory) {
  OpenFlat();
  struct Case {
    std::string Url, Opened;
  } cases[] = {
      {"http://example.com/a.html#top", "http://example.com/a.html#top"},
      {"HTTPS://example.com/", "HTTPS://example.com/"},
      {"mailto:docs@example.com", "mailto:docs@example.com"},
      {"ftp://example.com/f.txt", "ftp://example.com/f.txt"},
      {"  https://example.com/x  ", "https://example.com/x"},
      {"//example.com/x", "http://example.com/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Url);
    bool handled = false;
    EXPECT_EQ(Click(c.Url, &handled), (Log{"open " + c.Opened}));
    EXPECT_TRUE(handled);
  }
  EXPECT_EQ(Nav->PageHistory(), (Log{"Overview.html"}));
  EXPECT_TRUE(Nav->PendingAnchor().empty());
  // Nothing took it: the status line says so.
  ExternalAccepted = false;
  EXPECT_EQ(Click("http://x.org/"), (Log{"open http://x.org/", "status No program could open http://x.org/"}));
}

TEST_F(NavigationTest, LinksThatCouldRunSomethingAreNotFollowed) {
  OpenFlat();
  for (const char* url : {"javascript:alert(1)", "file:///etc/passwd", "data:text/html,x", "vbscript:x"}) {
    SCOPED_TRACE(url);
    bool handled = false;
    EXPECT_EQ(Click(url, &handled), (Log{std::string("status Link not followed: ") + url}));
    EXPECT_TRUE(handled);
  }
  EXPECT_EQ(Nav->PageHistory(), (Log{"Overview.html"}));
  // A drive letter is no scheme: a member name that is not there.
  EXPECT_EQ(Click("c:a.html").back(), "status Page not found in the archive: c:a.html");
}

// A documentation set with folders: pages in html/guide and html/ref, pictures and the style
// sheet in sibling folders, one member stored with backslashes.
class FolderArchiveTest : public NavigationTest {
 protected:
  void SetUp() override {
    Open({{"NavigationFrame.html", "N"},
          {"Overview.html", "O"},
          {"html/guide/intro.html", "INTRO"},
          {"html/guide/next page.html", "NEXT"},
          {"html/ref/api.html", "API"},
          {"html\\ref\\types.html", "TYPES"},
          {"html/images/logo.png", "PNG"},
          {"html/css/style.css", "CSS"},
          {"index.html", "INDEX"}});
    Calls.clear();
    Click("html/guide/intro.html", nullptr, TPane::pnNavigation);
  }
};

TEST_F(FolderArchiveTest, LinksResolveAgainstThePageThatNamesThem) {
  EXPECT_EQ(Nav->ContentMember(), "html\\guide\\intro.html");
  // The history shows member paths with "/".
  EXPECT_EQ(Click("../ref/api.html#Open"),
            (Log{"clear", "load API", "append html/ref/api.html#Open", "select 2", "caption Ref - html/ref/api.html"}));
  EXPECT_EQ(Idle(), (Log{"anchor #Open"}));
  // From api.html: a sibling stored with backslashes, a "./" link, and one climbing to the root.
  auto loaded = [](const Log& calls) {
    for (const std::string& c : calls)
      if (c.rfind("load ", 0) == 0) return c;
    return std::string("(nothing loaded)");
  };
  EXPECT_EQ(loaded(Click("./types.html")), "load TYPES");
  EXPECT_EQ(loaded(Click("../../index.html")), "load INDEX");
  EXPECT_EQ(loaded(Click("/html/guide/intro.html")), "load INTRO");
  // Climbing above the root stops at the root.
  EXPECT_EQ(loaded(Click("../../../../Overview.html")), "load O");
  // Case is the archive's business: it finds members whatever the case; history keeps the link's.
  EXPECT_EQ(loaded(Click("HTML/GUIDE/INTRO.HTML")), "load INTRO");
  EXPECT_EQ(Nav->PageHistory().back(), "HTML\\GUIDE\\INTRO.HTML");
  // Escaped names and queries find their member.
  EXPECT_EQ(loaded(Click("next%20page.html?x=1")), "load NEXT");
  EXPECT_EQ(Nav->PageHistory().back(), "HTML\\GUIDE\\next page.html");
  EXPECT_EQ(Nav->PageHistory(),
            (Log{"Overview.html", "html\\guide\\intro.html", "html\\ref\\api.html", "html\\ref\\types.html",
                 "index.html", "html\\guide\\intro.html", "Overview.html", "HTML\\GUIDE\\INTRO.HTML",
                 "HTML\\GUIDE\\next page.html"}));
}

TEST_F(FolderArchiveTest, EachPaneResolvesAgainstItsOwnPage) {
  // The same link names different members in the two panes.
  EXPECT_EQ(Click("../ref/api.html", nullptr, TPane::pnNavigation),
            (Log{"status Page not found in the archive: ref\\api.html"}));
  EXPECT_EQ(Click("../ref/api.html", nullptr, TPane::pnContent),
            (Log{"clear", "load API", "status ", "append html/ref/api.html", "select 2", "caption Ref - html/ref/api.html"}));
  // Back uses the recorded names, not the page on show.
  EXPECT_EQ(Back(true), (Log{"clear", "load INTRO", "caption Ref - html/guide/intro.html", "select 1"}));
}

TEST_F(FolderArchiveTest, PicturesAndStyleSheetsComeFromTheArchive) {
  EXPECT_EQ(Read(TPane::pnContent, "../images/logo.png"), "PNG");
  EXPECT_EQ(Read(TPane::pnContent, "../css/style.css"), "CSS");
  EXPECT_EQ(Read(TPane::pnContent, "../IMAGES/LOGO.PNG"), "PNG");
  EXPECT_EQ(Read(TPane::pnContent, "..\\images\\logo.png#frag"), "PNG");
  EXPECT_EQ(Read(TPane::pnNavigation, "html/images/logo.png"), "PNG");
  EXPECT_EQ(Read(TPane::pnNavigation, "../images/logo.png"), "(none)");
  EXPECT_EQ(Read(TPane::pnContent, "http://example.com/logo.png"), "(none)");
  EXPECT_EQ(Read(TPane::pnContent, ""), "(none)");
  // The referring member may be given directly, with either separator.
  EXPECT_EQ(Nav->Reader()("html/ref/api.html", "../css/style.css").value_or("(none)"), "CSS");
  // The pane's reader follows the page on show.
  Click("../ref/api.html");
  EXPECT_EQ(Read(TPane::pnContent, "../images/logo.png"), "PNG");
  EXPECT_EQ(Read(TPane::pnContent, "types.html"), "TYPES");
}

TEST_F(FolderArchiveTest, FilesBesideTheArchiveAreTheFallbackButNothingAboveIt) {
  std::filesystem::create_directories(Dir / "docs/html/images");
  Dir.Write("docs/html/images/beside.gif", "GIF");
  Dir.Write("secret.txt", "SECRET");
  EXPECT_EQ(Read(TPane::pnContent, "../images/beside.gif"), "GIF");
  // The archive wins over a file of the same name.
  Dir.Write("docs/html/images/logo.png", "FILE");
  EXPECT_EQ(Read(TPane::pnContent, "../images/logo.png"), "PNG");
  // ".." stops at the archive's folder.
  EXPECT_EQ(Read(TPane::pnContent, "../../../secret.txt"), "(none)");
  EXPECT_EQ(Read(TPane::pnContent, "/../secret.txt"), "(none)");
  EXPECT_EQ(Read(TPane::pnContent, "file:///etc/hostname"), "(none)");
  // A folder is not a file.
  EXPECT_EQ(Read(TPane::pnContent, "../images/"), "(none)");
}

TEST_F(FolderArchiveTest, CommandLinePageOpensFromTheRootLikeALink) {
  Click("../ref/api.html");
  Calls.clear();
  Nav->OpenStartMember("html/guide/intro.html", "Setup");
  EXPECT_EQ(Calls, (Log{"clear", "load INTRO", "append html/guide/intro.html#Setup", "select 3",
                        "caption Ref - html/guide/intro.html"}));
  EXPECT_EQ(Idle(), (Log{"anchor #Setup"}));
  // Only an anchor: for the page on show.
  Calls.clear();
  Nav->OpenStartMember("", "Top");
  EXPECT_EQ(Calls, Log{});
  EXPECT_EQ(Idle(), (Log{"anchor #Top"}));
  Nav->OpenStartMember("http://example.com/", "");
  EXPECT_EQ(Calls, (Log{"status Not a page of the archive: http://example.com/"}));
}

}  // namespace
}  // namespace korva
