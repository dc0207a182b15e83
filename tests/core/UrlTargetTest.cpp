// Shared texts and links: copies share one counted entry, the last holder frees it, references
// stay put while the table grows, and the count is safe across threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/UrlTarget.h"

using namespace korva;

TEST(SharedText, EqualTextsAreHeldOnceAndFreedWithTheLastHolder) {
  const std::size_t base = TSharedText::LiveCount();
  {
    TSharedText a("icon_func.gif"), b(std::string("icon_func.gif"));
    TSharedText c;
    c = std::string_view("icon_func.gif");
    EXPECT_EQ(TSharedText::LiveCount(), base + 1);
    EXPECT_EQ(a.str().data(), c.str().data());
    EXPECT_TRUE(a == b);
    EXPECT_EQ(a, "icon_func.gif");
    a = TSharedText("other");
    EXPECT_EQ(TSharedText::LiveCount(), base + 2);
    b.clear();
    c = TSharedText();  // the last holder of "icon_func.gif"
    EXPECT_EQ(TSharedText::LiveCount(), base + 1);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.str(), "");
  }
  EXPECT_EQ(TSharedText::LiveCount(), base);
  TSharedText empty(""), fromEmpty(std::string{});
  EXPECT_EQ(TSharedText::LiveCount(), base);  // the empty text holds nothing
}

TEST(SharedText, AssignmentFromItsOwnTextAndMoves) {
  const std::size_t base = TSharedText::LiveCount();
  TSharedText a("self");
  a = a.str();  // the old text must outlive the lookup of the new one
  EXPECT_EQ(a, "self");
  TSharedText& alias = a;
  a = alias;
  EXPECT_EQ(a, "self");
  TSharedText b(std::move(a));
  EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty by design
  EXPECT_EQ(b, "self");
  TSharedText c("gone");
  c = std::move(b);
  EXPECT_EQ(c, "self");
  EXPECT_EQ(TSharedText::LiveCount(), base + 1);
}

// Many texts make the table grow several times and free entries out of order; the survivors
// must still be found (not added twice) and keep their characters where they were.
TEST(SharedText, SurvivorsStayFoundAndInPlaceWhileOthersComeAndGo) {
  const std::size_t base = TSharedText::LiveCount();
  TSharedText first("held throughout");
  const char* where = first.str().data();
  std::vector<TSharedText> texts;
  for (int i = 0; i < 5000; ++i) texts.emplace_back("text " + std::to_string(i));
  for (std::size_t i = 0; i < texts.size(); i += 3) texts[i].clear();
  for (std::size_t i = 1; i < texts.size(); i += 3) texts[i] = TSharedText();
  const std::size_t live = TSharedText::LiveCount();
  for (std::size_t i = 2; i < texts.size(); i += 3) {
    TSharedText again("text " + std::to_string(i));
    EXPECT_EQ(again.str().data(), texts[i].str().data()) << i;
  }
  EXPECT_EQ(TSharedText::LiveCount(), live);
  EXPECT_EQ(first.str().data(), where);
  EXPECT_EQ(first, "held throughout");
  texts.clear();
  EXPECT_EQ(TSharedText::LiveCount(), base + 1);
}

TEST(UrlTarget, LinksToTheSameAddressShareItsTextButNotTheirNumber) {
  const std::size_t base = TSharedText::LiveCount();
  {
    TUrlTarget a, b;
    a.Assign("Page12.html#kvOpenBuffer", "");
    b.Assign("Page12.html#kvOpenBuffer", "");
    EXPECT_NE(a.ID(), b.ID());
    EXPECT_EQ(a.Url().data(), b.Url().data());
    EXPECT_EQ(TSharedText::LiveCount(), base + 1);
    TUrlTarget framed;
    framed.Assign("Page12.html#kvOpenBuffer", "main");  // address, and the target
    EXPECT_EQ(TSharedText::LiveCount(), base + 3);
    EXPECT_EQ(framed.Url(), "Page12.html#kvOpenBuffer");
    EXPECT_EQ(framed.Target(), "main");
    EXPECT_EQ(a.Target(), "");
  }
  EXPECT_EQ(TSharedText::LiveCount(), base);
}

TEST(UrlTarget, CopiesKeepTheLinkWhenTheOriginalChangesOrGoes) {
  const std::size_t base = TSharedText::LiveCount();
  auto original = std::make_unique<TUrlTarget>();
  original->Assign("a.html", "top");
  original->SetTabIndex(3);
  TUrlTarget copy(*original);
  const std::string_view url = copy.Url();
  original->SetTabIndex(9);  // copy on write
  EXPECT_EQ(copy.TabIndex(), 3);
  EXPECT_EQ(original->TabIndex(), 9);
  EXPECT_EQ(original->Target(), "top");
  original->Assign("b.html", "");  // keeps the tab index, as it always did
  EXPECT_EQ(original->TabIndex(), 9);
  original.reset();
  EXPECT_EQ(url, "a.html");
  EXPECT_EQ(copy.Target(), "top");

  TUrlTarget moved(std::move(copy));
  EXPECT_EQ(copy.Url(), "");  // NOLINT(bugprone-use-after-move): moved-from is empty by design
  EXPECT_EQ(copy.ID(), 0);
  EXPECT_EQ(moved.Url(), "a.html");
  EXPECT_EQ(moved.TabIndex(), 3);
  const TUrlTarget& same = moved;
  moved = same;  // self-assignment keeps the link
  EXPECT_EQ(moved.Url(), "a.html");
  moved.Clear();
  EXPECT_EQ(moved.TabIndex(), 0);
  EXPECT_EQ(TSharedText::LiveCount(), base);

  TUrlTarget tabOnly;
  tabOnly.SetTabIndex(4);  // no address, but a tab index to keep
  EXPECT_EQ(tabOnly.TabIndex(), 4);
  EXPECT_EQ(tabOnly.Url(), "");
}

// Documents may be built on more than one thread: copies and releases of the same texts from
// two threads must leave the count exact.
TEST(UrlTarget, CountsStayExactAcrossThreads) {
  const std::size_t base = TSharedText::LiveCount();
  TUrlTarget shared;
  shared.Assign("shared.html", "frame");
  auto work = [&shared](int seed) {
    std::vector<TUrlTarget> copies;
    for (int i = 0; i < 20000; ++i) {
      copies.push_back(shared);
      TUrlTarget own;
      own.Assign("page" + std::to_string((i + seed) % 50) + ".html", i % 7 ? "" : "side");
      copies.push_back(own);
      if (copies.size() > 64) copies.erase(copies.begin(), copies.begin() + 32);
    }
  };
  std::thread t1(work, 0), t2(work, 25);
  t1.join();
  t2.join();
  EXPECT_EQ(TSharedText::LiveCount(), base + 2);
  EXPECT_EQ(shared.Target(), "frame");
}
