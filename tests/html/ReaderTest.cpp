#include <gtest/gtest.h>

#include "../style/CommaLocale.h"
#include "ReaderTestUtil.h"

using namespace korva;
using namespace korva::test;

// ---- characters ----

TEST(HtmlReaderChars, EveryLineEndCombinationIsOneCarriageReturn) {
  TReaderRig rig;
  EXPECT_EQ(rig.Chars("a\r\nb"), "a\rb");
  EXPECT_EQ(rig.Chars("a\n\rb"), "a\rb");
  EXPECT_EQ(rig.Chars("a\rb"), "a\rb");
  EXPECT_EQ(rig.Chars("a\nb"), "a\rb");
  EXPECT_EQ(rig.Chars("a\r\n\r\nb"), "a\r\rb");
  EXPECT_EQ(rig.Chars("a\n\r\n\rb"), "a\r\rb");
  EXPECT_EQ(rig.Chars("a\r\rb"), "a\r\rb");
  EXPECT_EQ(rig.Chars("a\n\nb"), "a\r\rb");
  EXPECT_EQ(rig.Chars("a\r\n\nb"), "a\r\rb");
  EXPECT_EQ(rig.Chars("a\tb"), "a b");
  EXPECT_EQ(rig.Chars("\r\n"), "\r");
}

TEST(HtmlReaderChars, PositionsCountEveryByteOfTheMainText) {
  TReaderRig rig;
  std::vector<int> pos;
  EXPECT_EQ(rig.Chars("a\r\nb\tc", &pos), "a\rb c");
  EXPECT_EQ(pos, (std::vector<int>{0, 1, 3, 4, 5}));
  pos.clear();
  EXPECT_EQ(rig.Chars("x<!-- c -->y", &pos), "xy");
  EXPECT_EQ(pos, (std::vector<int>{0, 11}));
}

TEST(HtmlReaderChars, UpperCaseShadowUsesTheSystemCodePage) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("a\xE9z");
  EXPECT_EQ(r.ChUp(), 'A');
  r.GetCh();
  EXPECT_EQ(r.Ch(), 0xE9);
  EXPECT_EQ(r.ChUp(), 0xC9);
}

TEST(HtmlReaderChars, TextIsCutAtTheFirstZeroByte) {
  TReaderRig rig;
  EXPECT_EQ(rig.Chars(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(rig.Reader.Text(), "ab");
}

TEST(HtmlReaderChars, PeekDoesNotConsume) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("ab");
  EXPECT_EQ(r.PeekByte(), 'b');
  EXPECT_EQ(r.Ch(), 'a');
  r.GetCh();
  EXPECT_EQ(r.PeekByte(), 0);
  r.GetCh();
  EXPECT_EQ(r.Ch(), 0);
  r.GetCh();  // the end reads as 0 for ever
  EXPECT_EQ(r.Ch(), 0);
  EXPECT_EQ(r.CharPos(), 1);
}

// ---- comments ----

TEST(HtmlReaderComments, VanishInTextBetweenAttributesAndInsideValues) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("x  <!-- c -->  y"), Syms{"'x y'"});
  EXPECT_EQ(rig.Symbols("<a <!-- c --> href=\"u\">"), Syms{"A HREF=\"u\""});
  EXPECT_EQ(rig.Symbols("<a href=\"u<!-- c -->v\">"), Syms{"A HREF=\"uv\""});
  EXPECT_EQ(rig.Symbols("<a href=u<!-- c -->v>"), Syms{"A HREF=\"uv\""});
  EXPECT_EQ(rig.Symbols("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\"><p>"), Syms{"P"});
  EXPECT_EQ(rig.Symbols("a<!>b"), Syms{"'ab'"});
}

TEST(HtmlReaderComments, EndMarkers) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("<!-- a -- >b"), Syms{"'b'"});
  EXPECT_EQ(rig.Symbols("<!-- a --!>b"), Syms{"'b'"});
  EXPECT_EQ(rig.Symbols("<!-- a -- \r\n >b"), Syms{"'b'"});
  EXPECT_EQ(rig.Symbols("<!---->b"), Syms{"'b'"});
  EXPECT_EQ(rig.Symbols("<!-- a - b -> c --->d"), Syms{"'d'"});
  EXPECT_EQ(rig.Symbols("<!-- <p> -- x -->e"), Syms{"'e'"});
  EXPECT_EQ(rig.Symbols("<!-- a --!-->f"), Syms{"'f'"});
  EXPECT_EQ(rig.Symbols("<!-x>g"), Syms{"'g'"});  // a declaration
}

TEST(HtmlReaderComments, UnclosedCommentEndsThePassAfterWhatCameBefore) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("<p>a</p><!-- b <p>c");
  r.Next();
  EXPECT_EQ(r.Sy(), syP);
  r.Next();
  EXPECT_EQ(rig.Describe(), "'a'");
  r.Next();
  EXPECT_EQ(r.Sy(), syEndP);  // the symbol before the comment is finished
  try {
    r.Next();
    FAIL() << "no error";
  } catch (const EParseError& e) {
    EXPECT_STREQ(e.what(), "Open Comment at End of HTML File");
  }
  EXPECT_THROW(r.Next(), EParseError);
  EXPECT_THROW(rig.Symbols("<!DOCTYPE"), EParseError);
  rig.Load("text <!-- and no end");
  r.Next();
  EXPECT_EQ(rig.Describe(), "'text '");
  EXPECT_THROW(r.Next(), EParseError);
}

TEST(HtmlReaderComments, RawFlagKeepsComments) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("<!--x-->");
  EXPECT_EQ(r.Ch(), 0);
  rig.Load("");
  r.LoadText("<!--x-->");
  r.SetRaw(true);
  r.GetCh();
  EXPECT_EQ(r.Ch(), '<');
  r.GetCh();
  EXPECT_EQ(r.Ch(), '!');
}

// ---- tags ----

TEST(HtmlReaderTags, NamesEndTagsAndSlashes) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("<b><B ></b>"), (Syms{"B", "B", "/B"}));
  EXPECT_EQ(rig.Symbols("<br/>"), Syms{"BR"});
  EXPECT_EQ(rig.Symbols("<br />"), Syms{"BR"});
  EXPECT_EQ(rig.Symbols("</li></br></foo></>"), (Syms{"UnknownTag", "UnknownTag", "UnknownTag", "UnknownTag"}));
  EXPECT_EQ(rig.Symbols("<table><tr><td></td></tr></table>"), (Syms{"TABLE", "TR", "TD", "/TD", "/TR", "/TABLE"}));
  EXPECT_EQ(rig.Symbols("<foo bar=1>x"), (Syms{"UnknownTag BAR=\"1\"", "'x'"}));
}

TEST(HtmlReaderTags, HeadingLevels) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("<h3 align=center>x</h3>"), (Syms{"H3 ALIGN=\"center\"", "'x'", "/H3"}));
  EXPECT_EQ(rig.Symbols("<h7>"), Syms{"UnknownTag"});
  EXPECT_EQ(rig.Symbols("<H1><h6><h 2>"), (Syms{"H1", "H6", "H2"}));
  EXPECT_EQ(rig.Symbols("<h>"), Syms{"H"});  // level 0: the builder skips it
  EXPECT_EQ(rig.Symbols("<hr><h0>"), (Syms{"HR", "UnknownTag"}));
}

TEST(HtmlReaderTags, LessThanThatOpensNoTagIsText) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("a < b"), (Syms{"'a '", "'<'", "' b'"}));
  EXPECT_EQ(rig.Symbols("1<2"), (Syms{"'1'", "'<'", "'2'"}));
  EXPECT_EQ(rig.Symbols("<<b>"), (Syms{"'<'", "B"}));
  THtmlReader& r = rig.Load("x < y");
  r.Next();
  r.Next();
  EXPECT_EQ(r.Token().Positions()[0], 2);
}

TEST(HtmlReaderTags, TagPositionAndTheCharacterAfterIt) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("ab<p  class=x >cd");
  r.Next();
  r.Next();
  EXPECT_EQ(r.Sy(), syP);
  EXPECT_EQ(r.TagPos(), 2);
  EXPECT_EQ(r.Ch(), 'c');
  EXPECT_EQ(r.CharPos(), 15);
}

TEST(HtmlReaderTags, ScriptAndStyleStopAtTheirClosingBracket) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("<script language=js><style>");
  r.Next();
  EXPECT_EQ(r.Sy(), syScript);
  EXPECT_EQ(r.Ch(), '>');
  rig.Load("<style type=\"text/css\">");
  r.Next();
  EXPECT_EQ(r.Sy(), syStyle);
  EXPECT_EQ(r.Ch(), '>');
  rig.Load("</style>x");
  r.Next();
  EXPECT_EQ(r.Sy(), syEndStyle);
  EXPECT_EQ(r.Ch(), 'x');
}

// ---- attributes ----

namespace {
TAttribute* Attr(TReaderRig& rig, const std::string& tag, TSymbol which) {
  rig.Load(tag);
  rig.Reader.Next();
  return rig.Reader.Attributes().Find(which);
}
}  // namespace

TEST(HtmlReaderAttributes, QuotedNumericAndPlainValues) {
  TReaderRig rig;
  Syms s = rig.Symbols("<img src=\"a b.gif\" alt='x \"y\"' width=10 name=x-y data-x = 'q'>");
  EXPECT_EQ(s, Syms{"IMG SRC=\"a b.gif\" ALT=\"x \"y\"\" WIDTH=\"10\" NAME=\"x-y\" DATA-X=\"q\""});
  TAttribute* a = Attr(rig, "<p data-x=1>", syUnknownAttr);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->WhichName(), "DATA-X");
  // A line end inside quotes is dropped; an unquoted value ends at white space or ">".
  EXPECT_EQ(Attr(rig, "<a href=\"x\r\ny\">", syHref)->Text(), "xy");
  EXPECT_EQ(Attr(rig, "<a href=x\ty>", syHref)->Text(), "x");
  EXPECT_EQ(Attr(rig, "<a href=x/>", syHref)->Text(), "x/");
  EXPECT_EQ(Attr(rig, "<a href=>", syHref)->Text(), "");
  EXPECT_EQ(Attr(rig, "<a href = \"x\">", syHref)->Text(), "x");
  // An unterminated quote runs to the end of the document.
  EXPECT_EQ(Attr(rig, "<a href=\"x>y", syHref)->Text(), "x>y");
}

TEST(HtmlReaderAttributes, BareBorderIsOne) {
  TReaderRig rig;
  TAttribute* a = Attr(rig, "<table border>", syBorder);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Value(), 1);
  EXPECT_EQ(a->Text(), "");
  EXPECT_EQ(Attr(rig, "<table border=0>", syBorder)->Value(), 0);
  EXPECT_EQ(Attr(rig, "<table border=thick>", syBorder)->Value(), 1);
  EXPECT_EQ(Attr(rig, "<td nowrap>", syNowrap)->Value(), 0);
}

TEST(HtmlReaderAttributes, NumericValueRulesOfWidth) {
  TReaderRig rig;
  auto width = [&](const std::string& v, int& value) {
    TAttribute* a = Attr(rig, "<td width" + v + ">", syWidth);
    value = a ? a->Value() : -999;
    return a ? a->Text() : std::string("<none>");
  };
  int n;
  EXPECT_EQ(width("=\"50%\"", n), "50%");
  EXPECT_EQ(n, 50);
  EXPECT_EQ(width("=\" 12 \"", n), " 12 ");
  EXPECT_EQ(n, 12);
  EXPECT_EQ(width("=abc", n), "abc");
  EXPECT_EQ(n, 0);
  EXPECT_EQ(width("=50%", n), "50%");
  EXPECT_EQ(n, 50);
  EXPECT_EQ(width("=50 %", n), "50%");
  EXPECT_EQ(n, 50);
  EXPECT_EQ(width("=-7", n), "-7");
  EXPECT_EQ(n, -7);
  EXPECT_EQ(width("=+3", n), "+3");
  EXPECT_EQ(n, 3);
  EXPECT_EQ(width("=2.5", n), "2.5");
  EXPECT_EQ(n, 2);  // halves to even
  EXPECT_EQ(width("='3.5'", n), "3.5");
  EXPECT_EQ(n, 4);
  EXPECT_EQ(width("=\"12px\"", n), "12px");
  EXPECT_EQ(n, 12);
  EXPECT_EQ(width("=\"x12\"", n), "x12");
  EXPECT_EQ(n, 0);
  EXPECT_EQ(width("=\"99999999999999999999\"", n), "99999999999999999999");
  EXPECT_EQ(n, 2147483647);
  EXPECT_EQ(width("", n), "");
  EXPECT_EQ(n, 0);
}

TEST(AttributeNumber, LeadingNumberRoundedHalfToEven) {
  EXPECT_EQ(AttributeNumber("0.5"), 0);
  EXPECT_EQ(AttributeNumber("1.5"), 2);
  EXPECT_EQ(AttributeNumber("-2.5"), -2);
  EXPECT_EQ(AttributeNumber(".75"), 1);
  EXPECT_EQ(AttributeNumber("  40 % "), 40);
  EXPECT_EQ(AttributeNumber("+"), 0);
  EXPECT_EQ(AttributeNumber("-x"), 0);
  EXPECT_EQ(AttributeNumber("007"), 7);
  EXPECT_EQ(AttributeNumber("-99999999999999"), -2147483647 - 1);
}

TEST(AttributeNumber, ReadsTheSameUnderACommaLocale) {
  test::TCommaLocale comma;
  ASSERT_TRUE(comma.Active()) << test::TCommaLocale::Missing;
  EXPECT_EQ(AttributeNumber("1.75"), 2) << comma.Name();
  EXPECT_EQ(AttributeNumber("-0.75"), -1);
  EXPECT_EQ(AttributeNumber("33.9%"), 34);
  EXPECT_EQ(AttributeNumber("1,75"), 1);
  TReaderRig rig;
  EXPECT_EQ(Attr(rig, "<td width=\"49.6%\">", syWidth)->Value(), 50);
}

TEST(HtmlReaderAttributes, IdsAreRegisteredWithTheirPosition) {
  TReaderRig rig;
  rig.Symbols("ab <p id=Top>x<div id=\"\">");
  EXPECT_EQ(rig.IDs.Count(), 1);
  auto* place = dynamic_cast<TChPosObj*>(rig.IDs.Find("TOP"));
  ASSERT_NE(place, nullptr);
  EXPECT_EQ(place->ChPos(), 12);
  // Not during the prescan, nor without a document.
  TReaderRig quiet;
  quiet.Load("<p id=a>");
  quiet.Reader.SetPrescan(true);
  quiet.Reader.Next();
  EXPECT_EQ(quiet.IDs.Count(), 0);
}

// ---- text runs ----

TEST(HtmlReaderText, WhiteSpaceCollapsesWithinARun) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols(" a \r\n\t b  <b> c </b>"), (Syms{"' a b '", "B", "' c '", "/B"}));
  THtmlReader& r = rig.Load("a  \r\n b");
  r.Next();
  EXPECT_EQ(Utf8(r.Token().S()), "a b");
  ASSERT_EQ(r.Token().Count(), 3);
  EXPECT_EQ(r.Token().Positions()[1], 1);  // the space takes its first character's position
  EXPECT_EQ(r.Token().Positions()[2], 6);
}

TEST(HtmlReaderText, ControlBytesAreNotADocument) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("ab\x01" "cd");
  r.Next();
  EXPECT_EQ(rig.Describe(), "'ab'");
  try {
    r.Next();
    FAIL() << "no error";
  } catch (const EParseError& e) {
    EXPECT_STREQ(e.what(), "Not an HTML or Text document");
  }
  // Bytes 11 and 12 are text.
  EXPECT_EQ(rig.Symbols("a\x0B\x0C" "b").size(), 1u);
}

// ---- character references ----

TEST(HtmlReaderEntities, NamesAreCaseSensitive) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("&Eacute;&eacute;&EACUTE;"), Syms{"'\u00C9\u00E9&EACUTE;'"});
  EXPECT_EQ(rig.Symbols("&lt;p&gt; &amp;&quot;&nbsp;&euro;&hearts;&thetasym;&yuml;"),
            Syms{"'<p> &\"\u00A0\u20AC\u2665\u03D1\u00FF'"});
  EXPECT_EQ(rig.Symbols("&copx; & ; &#z &#x; &;"), Syms{"'&copx; & ; &#z &#x; &;'"});
  EXPECT_EQ(rig.Symbols("&abcdefghijklmnop"), Syms{"'&abcdefghijklmnop'"});
}

TEST(HtmlReaderEntities, EveryGroupOfTheTable) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("&nbsp;&iexcl;&AElig;&ETH;&THORN;&szlig;&yuml;"), Syms{"'\u00A0\u00A1\u00C6\u00D0\u00DE\u00DF\u00FF'"});
  EXPECT_EQ(rig.Symbols("&fnof;&Alpha;&Omega;&sigmaf;&piv;&alefsym;&crarr;&hArr;&sdot;&rang;&loz;&diams;"),
            Syms{"'\u0192\u0391\u03A9\u03C2\u03D6\u2135\u21B5\u21D4\u22C5\u27E9\u25CA\u2666'"});
  EXPECT_EQ(rig.Symbols("&OElig;&Yuml;&circ;&zwnj;&lrm;&bdquo;&Dagger;&permil;&rsaquo;"),
            Syms{"'\u0152\u0178\u02C6\u200C\u200E\u201E\u2021\u2030\u203A'"});
  // Names beyond the old set; "hellip" is no legacy name, so it needs its ";".
  EXPECT_EQ(rig.Symbols("&apos;&NBSP;&Nbsp;&hellip"), Syms{"'\'&NBSP;&Nbsp;&hellip'"});
}

TEST(HtmlReaderEntities, SemicolonRulesInTextAndAttributes) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("&amp x&euro x"), Syms{"'& x&euro x'"});
  TAttribute* a = Attr(rig, "<a title=\"&amp x\">", syTitle);
  EXPECT_EQ(a->Text(), "& x");
  a = Attr(rig, "<a title=\"&euro x\">", syTitle);
  EXPECT_EQ(a->Text(), "&euro x");  // above 255 only with ";"
  a = Attr(rig, "<a title=\"&euro;\">", syTitle);
  EXPECT_EQ(a->Text(), "\x80");  // in the document's code page
  a = Attr(rig, "<a title=\"&eacute&copy;&EACUTE;\">", syTitle);
  EXPECT_EQ(a->Text(), "\xE9\xA9&EACUTE;");
  a = Attr(rig, "<a href=x?a=1&amp;b=2&c>", syHref);
  EXPECT_EQ(a->Text(), "x?a=1&b=2&c");
}

TEST(HtmlReaderEntities, NumericReferencesInText) {
  TReaderRig rig;
  // 128 to 159 are the characters of windows-1252: 150 is its en dash.
  EXPECT_EQ(rig.Symbols("&#150;&#8211;&#x2013;&#X2013"), Syms{"'\u2013\u2013\u2013\u2013'"});
  EXPECT_EQ(rig.Symbols("a&#9;b&#1;c&#0;d&#10;e"), Syms{"'a b?c\uFFFDd e'"});
  // Numbers are Unicode whatever the page.
  EXPECT_EQ(rig.Symbols("&#192;", 1251), Syms{"'\u00C0'"});
  EXPECT_EQ(rig.Symbols("&#65;&#x42;&#X63;"), Syms{"'ABc'"});
  // Beyond U+FFFF a surrogate pair; lone surrogates and values beyond Unicode are replaced.
  EXPECT_EQ(rig.Symbols("&#x1F600;&#128512;"), Syms{"'\U0001F600\U0001F600'"});
  EXPECT_EQ(rig.Symbols("&#xD800;&#x110000;&#99999999999999999999;"), Syms{"'\uFFFD\uFFFD\uFFFD'"});
  THtmlReader& r = rig.Load("ab&#x1F600;c");
  r.Next();
  ASSERT_EQ(r.Token().Count(), 5);
  EXPECT_EQ(r.Token().Positions()[2], 2);
  EXPECT_EQ(r.Token().Positions()[3], 2);
  EXPECT_EQ(r.Token().Positions()[4], 11);
}

TEST(HtmlReaderEntities, NumericReferencesInAttributes) {
  TReaderRig rig;
  EXPECT_EQ(Attr(rig, "<a title=\"&#150;&#8211;&#9;&#7;\">", syTitle)->Text(), "\x96\x96 ?");
  EXPECT_EQ(Attr(rig, "<a title=\"&#x1F600;\">", syTitle)->Text(), "?");
  rig.Charsets.SetCodePage(65001);
  rig.Reader.LoadText("<a title=\"&#x1F600;&eacute;\">");
  rig.Reader.GetCh();
  rig.Reader.Next();
  EXPECT_EQ(rig.Reader.Attributes().Find(syTitle)->Text(), "\xF0\x9F\x98\x80\xC3\xA9");
}

TEST(HtmlReaderEntities, NumbersFrom128To255OnEveryPage) {
  // Unicode on every page, 128 to 159 read as windows-1252 has them; attribute values hold
  // them in the page's bytes ("?" where the page lacks them).
  const struct {
    unsigned CodePage;
    const char* Page;
    const char* Text;       // UTF-8
    const char* Attribute;  // bytes of the page
  } cases[] = {
      {65001, "caf&#233; &#xE9;t&#xe9;", "caf\u00E9 \u00E9t\u00E9", "caf\xC3\xA9 \xC3\xA9t\xC3\xA9"},
      {65001, "&#150;&#128;&#255;&#129;", "\u2013\u20AC\u00FF\u0081", "\xE2\x80\x93\xE2\x82\xAC\xC3\xBF\xC2\x81"},
      {932, "x&#233;AB", "x\u00E9AB", "x?AB"},
      {932, "&#163;&#x82;&#xA0;z", "\u00A3\u201A\u00A0z", "\x81\x92??z"},
      {936, "&#233;A", "\u00E9A", "\xA8\xA6" "A"},
      {1252, "caf&#233;&#150;", "caf\u00E9\u2013", "caf\xE9\x96"},
      {1251, "&#192;&#233;&#1040;", "\u00C0\u00E9\u0410", "??\xC0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Page) + " in " + std::to_string(c.CodePage));
    TReaderRig rig;
    EXPECT_EQ(rig.Symbols(c.Page, c.CodePage), Syms{"'" + std::string(c.Text) + "'"});
    rig.Load("<a title=\"" + std::string(c.Page) + "\">", c.CodePage);
    rig.Reader.Next();
    EXPECT_EQ(rig.Reader.Attributes().Find(syTitle)->Text(), c.Attribute);
  }
}

TEST(HtmlReaderEntities, PositionsOfReferencesAndTheirSurroundings) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("x&amp;y&#150;z&bogus");
  r.Next();
  EXPECT_EQ(Utf8(r.Token().S()), "x&y\u2013z&bogus");
  std::vector<int> pos(r.Token().Positions(), r.Token().Positions() + r.Token().Count());
  EXPECT_EQ(pos, (std::vector<int>{0, 1, 6, 7, 13, 14, 15, 16, 17, 18, 19}));
}

// ---- code pages ----

TEST(HtmlReaderCodePages, DoubleByteCharactersKeepTheirFirstBytePosition) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("a\x82\xA0\x82\xA2 b", 932);
  r.Next();
  EXPECT_EQ(Utf8(r.Token().S()), "a\u3042\u3044 b");
  std::vector<int> pos(r.Token().Positions(), r.Token().Positions() + r.Token().Count());
  EXPECT_EQ(pos, (std::vector<int>{0, 1, 3, 5, 6}));
}

TEST(HtmlReaderCodePages, ByteOrderMarkSwitchesToUtf8) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("\xEF\xBB\xBF" "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(rig.Charsets.CodePage(), 65001u);
  r.Next();
  EXPECT_EQ(Utf8(r.Token().S()), "\u00E9t\u00E9");
  std::vector<int> pos(r.Token().Positions(), r.Token().Positions() + r.Token().Count());
  EXPECT_EQ(pos, (std::vector<int>{0, 2, 3}));
  // The mark alone is UTF-8 too, with nothing to read.
  TReaderRig short3;
  short3.Load("\xEF\xBB\xBF");
  EXPECT_EQ(short3.Charsets.CodePage(), 65001u);
  EXPECT_EQ(short3.Reader.Text(), "");
}

TEST(HtmlReaderCodePages, Iso2022JpIsRecodedToShiftJis) {
  TReaderRig rig;
  // "a", HIRAGANA A and I in JIS X 0208, "b".
  THtmlReader& r = rig.Load("a\x1b$B$\"$$\x1b(Bb");
  EXPECT_TRUE(r.Converted());
  EXPECT_EQ(rig.Charsets.CodePage(), 932u);
  EXPECT_EQ(r.Text(), "a\x82\xA0\x82\xA2" "b");
  r.Next();
  EXPECT_EQ(Utf8(r.Token().S()), "a\u3042\u3044b");
  EXPECT_EQ(Iso2022JpToShiftJis("\x1b$@!!\x1b(J!"), "\x81\x40!");
}

TEST(HtmlReaderCodePages, MetaCharsetSwitches) {
  TReaderRig rig;
  THtmlReader& r = rig.Load(
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\xC0\xE1");
  std::string seen;
  rig.Handlers.OnMeta = [&](const std::string& h, const std::string& n, const std::string& c) {
    seen = h + "|" + n + "|" + c;
  };
  r.Next();
  ASSERT_EQ(r.Sy(), syMeta);
  r.DoMeta();  // reads the next symbol too
  EXPECT_EQ(rig.Charsets.CodePage(), 1251u);
  EXPECT_EQ(seen, "Content-Type||text/html; charset=windows-1251");
  EXPECT_EQ(Utf8(r.Token().S()), "\u0410\u0431");

  // UTF-8 is not in the table; it is looked for after it.
  rig.Load("<meta http-equiv=content-type content='text/html; charset=UTF-8'>\xC3\xA9");
  r.Next();
  r.DoMeta();
  EXPECT_EQ(Utf8(r.Token().S()), "\u00E9");
  // Other META elements change nothing but still reach the handler.
  rig.Load("<meta name=author content=\"charset=1251\">x");
  r.Next();
  r.DoMeta();
  EXPECT_EQ(rig.Charsets.CodePage(), 1252u);
  EXPECT_EQ(seen, "|author|charset=1251");
}

TEST(HtmlReaderCodePages, EucJpIsReadThroughItsCodePage) {
  TReaderRig rig;
  // Declared near the start: decided before reading, half-width katakana (0x8E) included.
  THtmlReader& r = rig.Load("<meta http-equiv=Content-Type content=\"text/html; charset=EUC-JP\">\xA4\xA2\x8E\xB1x");
  EXPECT_EQ(rig.Charsets.CodePage(), 51932u);
  r.Next();
  r.DoMeta();
  EXPECT_FALSE(r.Converted());
  EXPECT_EQ(Utf8(r.Token().S()), "\u3042\uFF71x");
  std::vector<int> pos(r.Token().Positions(), r.Token().Positions() + r.Token().Count());
  EXPECT_EQ(pos, (std::vector<int>{66, 68, 70}));
  // Declared late: the META switches the page for what follows it.
  std::string late = "<p>" + std::string(1100, ' ') + "<meta http-equiv=Content-Type content=\"text/html; charset=EUC-JP\">\xA4\xA2";
  rig.Load(late);
  EXPECT_EQ(rig.Charsets.CodePage(), 1252u);
  r.Next();
  r.Next();
  r.Next();
  ASSERT_EQ(r.Sy(), syMeta);
  r.DoMeta();
  EXPECT_EQ(rig.Charsets.CodePage(), 51932u);
  EXPECT_EQ(Utf8(r.Token().S()), "\u3042");
}

TEST(Charsets, TableOrderDecides) {
  int cs = -1;
  ASSERT_TRUE(LookupCharset("text/html; charset=iso-8859-15", cs));
  EXPECT_EQ(cs, 0);  // row 2 ("8859-1") comes first
  ASSERT_TRUE(LookupCharset("windows-1250", cs));
  EXPECT_EQ(cs, 238);
  ASSERT_TRUE(LookupCharset("iso-8859-2", cs));
  EXPECT_EQ(cs, 31);
  ASSERT_TRUE(LookupCharset("koi8-r", cs));
  EXPECT_EQ(cs, 204);
  EXPECT_FALSE(LookupCharset("utf-8", cs));
  TSimpleCharsets c;
  c.SetCharsetCode(31);
  EXPECT_EQ(c.CodePage(), 28592u);
  c.SetCharsetCode(129);
  EXPECT_EQ(c.CodePage(), 949u);
  c.SetCharsetCode(99);  // unknown: unchanged
  EXPECT_EQ(c.CodePage(), 949u);
}
