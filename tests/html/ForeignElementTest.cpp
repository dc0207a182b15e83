// The reader takes the markup of an inline SVG element through whole: up to the end tag that
// matches its start, whatever the markup holds, and reads HTML on from there.
#include <gtest/gtest.h>

#include <string>

#include "ReaderTestUtil.h"

using namespace korva;
using namespace korva::test;

namespace {

// Reads the page's first symbol (an SVG start tag), the element, and the symbol after it.
struct TForeignRead {
  bool Fits = false;
  std::string Markup;
  std::string After;
};

TForeignRead ReadSvg(TReaderRig& rig, const std::string& page, std::size_t maxBytes = 1 << 20) {
  THtmlReader& r = rig.Load(page);
  r.Next();
  EXPECT_EQ(r.Sy(), sySvg) << page;
  TForeignRead out;
  out.Fits = r.ReadForeignElement("SVG", maxBytes, out.Markup);
  r.Next();
  out.After = rig.Describe();
  return out;
}

}  // namespace

TEST(HtmlReaderForeign, TakesTheElementAsWritten) {
  TReaderRig rig;
  // Nested SVG elements are counted; case, line ends and tabs stay as written.
  const std::string svg =
      "<svg viewBox=\"0 0 10 10\"><g>\r\n\t<svg x='1'><Text>a&lt;b</Text></svg>\n</g></SVG >";
  TForeignRead got = ReadSvg(rig, svg + "<b>after");
  EXPECT_TRUE(got.Fits);
  EXPECT_EQ(got.Markup, svg);
  EXPECT_EQ(got.After, "B");

  // A comment, character data, a processing instruction and a quoted ">" or "</svg>" do not
  // end it; a comment right after the element is removed as usual.
  const std::string tricky =
      "<svg><!-- </svg> --><style><![CDATA[ a > b </svg> ]]></style><?pi </svg> ?>"
      "<a title=\"x</svg>y\" href='>'/></svg>";
  got = ReadSvg(rig, tricky + "<!-- c -->tail");
  EXPECT_EQ(got.Markup, tricky);
  EXPECT_EQ(got.After, "'tail'");

  // Prefixed names count by their local name; an element merely starting with "svg" does not.
  const std::string prefixed = "<svg:svg xmlns:svg=\"http://www.w3.org/2000/svg\"><svgx/><svg:rect/></svg:svg>";
  got = ReadSvg(rig, prefixed + "z");
  EXPECT_EQ(got.Markup, prefixed);
  EXPECT_EQ(got.After, "'z'");
}

TEST(HtmlReaderForeign, SelfClosedUnterminatedAndTooLarge) {
  TReaderRig rig;
  // A start tag closed by "/>" is the whole element.
  TForeignRead got = ReadSvg(rig, "<svg width=5 /><i>x</svg>");
  EXPECT_EQ(got.Markup, "<svg width=5 />");
  EXPECT_EQ(got.After, "I");

  // Without its end tag the element runs to the end of the page.
  got = ReadSvg(rig, "<svg><g><text>never closed");
  EXPECT_EQ(got.Markup, "<svg><g><text>never closed");
  EXPECT_EQ(got.After, "Eof");

  // Markup over the limit is not kept, but the element is still passed over.
  got = ReadSvg(rig, "<svg><text>0123456789</text></svg>after", 20);
  EXPECT_FALSE(got.Fits);
  EXPECT_TRUE(got.Markup.empty());
  EXPECT_EQ(got.After, "'after'");

  // A "<" that opens no tag is text of the element.
  got = ReadSvg(rig, "<svg><text>1 < 2</text></svg>!");
  EXPECT_EQ(got.Markup, "<svg><text>1 < 2</text></svg>");
  EXPECT_EQ(got.After, "'!'");
}

TEST(HtmlReaderForeign, StartTagFromAnIncludeIsMadeAgain) {
  TReaderRig rig;
  rig.Handlers.OnInclude = [](const std::string&, std::vector<std::string>, std::string& text) {
    text = "<svg width=\"4\" height=\"2\">";
  };
  TForeignRead got = ReadSvg(rig, "<!--#pic --><rect/></svg>done");
  EXPECT_EQ(got.Markup, "<svg width=\"4\" height=\"2\"><rect/></svg>");
  EXPECT_EQ(got.After, "'done'");
}
