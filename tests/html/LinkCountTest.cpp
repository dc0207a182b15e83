// The prescan's link reading (NextLink, CountLinks) against the reader's own symbols.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "html/HtmlParse.h"
#include "html/Limits.h"
#include "ReaderTestUtil.h"

namespace korva {
namespace {

using test::TReaderRig;

// Where each A start tag having HREF starts, as Next reads the symbols one by one; an error
// ends the list as it ends the prescan.
std::vector<int> LinksBySymbols(TReaderRig& rig, const std::string& text) {
  rig.Load(text);
  rig.Reader.SetPrescan(true);
  std::vector<int> at;
  try {
    for (rig.Reader.Next(); rig.Reader.Sy() != syEof; rig.Reader.Next())
      if (rig.Reader.Sy() == syA && rig.Reader.Attributes().Find(syHref)) at.push_back(rig.Reader.TagPos());
  } catch (const EParseError&) {
  }
  return at;
}

// The same as NextLink finds them.
std::vector<int> LinksByNextLink(TReaderRig& rig, const std::string& text) {
  rig.Load(text);
  rig.Reader.SetPrescan(true);
  std::vector<int> at;
  try {
    while (rig.Reader.NextLink()) at.push_back(rig.Reader.TagPos());
  } catch (const EParseError&) {
  }
  return at;
}

int CountOf(const std::string& text) {
  TReaderRig rig;
  rig.Load(text);
  rig.Reader.SetPrescan(true);
  rig.Reader.Next();
  return CountLinks(rig.Reader, ManyLinksThreshold);
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(LinkCount, AgreesWithTheSymbolsOnTrickyInput) {
  struct TCase {
    std::string Text;
    int Links;
  };
  const TCase cases[] = {
      {"<a href=x>one</a>", 1},
      {"<A HREF=\"x\"><a HrEf='y'><a\r\nhref\n=\n\"z\"><a\thref=w>", 4},
      {"<a href>bare</a><a href=\"\">empty</a>", 2},
      {"<a name=x><a hrefx=1><a data-href=x><a h&#114;ef=x><a &#104;ref=x>", 0},
      // A slash after the name is passed over, as between attributes.
      {"<ab href=x><a/ href=x></a href=x><a1 href=x>", 1},
      // Comments and declarations vanish wherever they stand, also inside names and values.
      {"<!-- <a href=x> --><!DOCTYPE <a href=x>><a href=y>", 1},
      {"<a<!-- c -->bc href=x><a<!-- c --> href=x>", 1},
      {"<a title=\"<!-- \" href=y -->\"><a title=\"<!--\">\" href=z -->\" href=w>", 1},
      {"<!-- a -- b --><a href=1><!-- c --!><a href=2><!-- d -- ><a href=3><!----><a href=4>", 4},
      // Script and style contents are read as symbols here.
      {"<script>document.write('<a href=x>')</script><style><a href=y></style>", 2},
      // Tag ends inside values, and text that only looks like a tag.
      {"<p title=\"<a href=x>\"><p title='a>b' <a href=y>", 0},
      {"a < b <a href=x> c<<a href=y> <3 <", 2},
      {"<p x=a<a href=y><p w=-1%<a href=z>", 0},
      {"<a title=&gt;<a href=x><p title=\"&quot;<a href=x>\">", 1},
      {"<a href=\"unclosed", 1},
      // A heading's level digit is read before the attributes.
      {"<H 1 title=\"><a href=x>\"><h1 title=\">\"><a href=y></H 1 title=\"><a href=z>\">", 1},
      // Attributes beyond the kept number do not count.
      {"<a" + Repeat(" b", MaxAttributesPerTag) + " href=x>", 0},
      {"<a" + Repeat(" b", MaxAttributesPerTag - 1) + " href=x>", 1},
      // Errors end the count with what came before.
      {"<a href=x>text\x01<a href=y>", 1},
      {"<a href=x><!-- never closed <a href=y>", 1},
      {"<a href=x><a href=y title=\"\x01\"><a href=z>", 3},
  };
  for (const TCase& c : cases) {
    TReaderRig a, b;
    std::vector<int> bySymbols = LinksBySymbols(a, c.Text);
    EXPECT_EQ(LinksByNextLink(b, c.Text), bySymbols) << c.Text.substr(0, 120);
    EXPECT_EQ(static_cast<int>(bySymbols.size()), c.Links) << c.Text.substr(0, 120);
    EXPECT_EQ(CountOf(c.Text), c.Links) << c.Text.substr(0, 120);
  }
}

TEST(LinkCount, AgreesWithTheSymbolsOnMixedPieces) {
  // Documents strung together from the pieces the character and tag rules turn on.
  const char* pieces[] = {"<a href=", "<a href>", "<a", "<A", " href", " HREF", "=", "\"", "'", ">", "<!--", "-->", "--", "<!", "&amp;",
                          "&#60;", "&", "\r\n", "\n\r", "\r", "\t", " ", "<h", " 1", "2", "%", "-1", "<", "/",
                          "x", "<script>", "</a>", "<p", " title", "-", "!", "#"};
  const std::size_t count = sizeof(pieces) / sizeof(pieces[0]);
  std::mt19937 random(20261208);
  int withLinks = 0;
  for (int doc = 0; doc < 3000; ++doc) {
    std::string text;
    int length = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) text += pieces[random() % count];
    TReaderRig a, b;
    std::vector<int> bySymbols = LinksBySymbols(a, text);
    if (!bySymbols.empty()) ++withLinks;
    ASSERT_EQ(LinksByNextLink(b, text), bySymbols) << text;
  }
  // The mix does reach links, so the agreement covers them.
  EXPECT_GT(withLinks, 300);
}

TEST(LinkCount, IncludedTextIsReadLikeTheDocument) {
  TReaderRig a, b;
  for (TReaderRig* rig : {&a, &b})
    rig->Handlers.OnInclude = [](const std::string&, std::vector<std::string>, std::string& out) {
      out = "<a href=i><p title=\"<a href=j>\">";
    };
  const std::string text = "<a href=x><!--#inc--><a href=y>";
  std::vector<int> bySymbols = LinksBySymbols(a, text);
  EXPECT_EQ(bySymbols.size(), 3u);
  EXPECT_EQ(LinksByNextLink(b, text), bySymbols);
}

TEST(LinkCount, ManyLinksFlagTurnsAtTheThreshold) {
  struct TSkippingBuilder : THtmlBuilder {
    void BeginParse(THtmlReader&) override {}
    void BuildBody(THtmlReader&) override {}
    void BuildText(THtmlReader&) override {}
    void EndParse(THtmlReader&) override {}
  };
  const std::string link = "<a href=\"p.html\">l</a> <a name=n>t</a>\r\n";
  const std::string atLimit = Repeat(link, ManyLinksThreshold);
  struct TCase {
    std::string Text;
    bool Many;
  };
  const TCase cases[] = {
      {atLimit, false},
      {atLimit + link, true},
      {atLimit + "<!-- " + link + " -->", false},
      {atLimit + "<p title=\"" + link + "\">", false},
      {atLimit + "<script>x = '" + link + "';</script>", true},
      {"<a href=first>" + Repeat(link, ManyLinksThreshold - 1), false},
      {"<a href=first>" + Repeat(link, ManyLinksThreshold), true},
  };
  for (const TCase& c : cases) {
    TSkippingBuilder builder;
    TReaderDocument document;
    ParseHtml(c.Text, builder, &document, nullptr);
    EXPECT_EQ(document.ManyLinks, c.Many) << c.Text.substr(c.Text.size() - 80);
  }
  // The count stops just past the limit, whatever follows.
  EXPECT_EQ(CountOf(Repeat(link, 1000) + "\x01"), ManyLinksThreshold + 1);
}

}  // namespace
}  // namespace korva
