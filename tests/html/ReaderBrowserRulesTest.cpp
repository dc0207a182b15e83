// The reader on pages as they are written today: encodings found the way browsers find them,
// markup that is never text, "/>" on tags, the full set of named references, and tabs in
// preformatted text.
#include <gtest/gtest.h>

#include "ReaderTestUtil.h"
#include "html/EncodingSniffer.h"
#include "html/Entities.h"

using namespace korva;
using namespace korva::test;

namespace {

std::string Pad(std::size_t n) { return "<p>" + std::string(n, ' '); }

}  // namespace

// ---- which encoding ----

TEST(EncodingSniffer, DecidesAsBrowsersDo) {
  const struct {
    std::string Page;
    TEncodingSource Source;
    unsigned CodePage;
  } cases[] = {
      {"", esNone, 0},
      {"<p>plain ASCII</p>", esNone, 0},
      {"caf\xE9", esNone, 0},                         // not UTF-8: the viewer's page
      {"caf\xC3\xA9", esUtf8Content, 65001},
      {"caf\xC3\xA9 \xC3", esNone, 0},                // cut short
      {"\xED\xA0\x80", esNone, 0},                    // an encoded surrogate
      // Byte order marks win over everything.
      {"\xEF\xBB\xBF<meta charset=koi8-r>", esByteOrderMark, 65001},
      {"\xFF\xFE<\0p\0>\0", esByteOrderMark, 1200},
      {"\xFE\xFF\0<\0p\0>", esByteOrderMark, 1201},
      // META charset and content-type; labels of every kind, any case, padded.
      {"<meta charset=\"KOI8-R\">", esMeta, 20866},
      {"<meta charset=latin1>", esMeta, 1252},
      {"<meta charset=us-ascii>", esMeta, 1252},
      {"<meta charset=' iso-8859-2 '>", esMeta, 28592},
      {"<meta/charset=koi8-u>", esMeta, 21866},
      {"<meta name=x charset=gb18030>", esMeta, 54936},
      {"<meta charset=gb2312>", esMeta, 936},
      {"<meta charset=x-sjis>", esMeta, 932},
      {"<meta charset=utf-16>", esMeta, 65001},
      {"<meta charset=x-user-defined>", esMeta, 1252},
      {"<meta charset=iso-8859-8-i>", esMeta, 38598},
      {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=ISO-2022-JP\">", esMeta, 50220},
      {"<meta http-equiv=content-type content=\"text/html;charset='euc-kr'\">", esMeta, 949},
      {"<meta content=\"text/html; charset=windows-1250\" http-equiv=\"Content-Type\">", esMeta, 1250},
      // Content without the pragma, unknown and replacement labels count for nothing.
      {"<meta content=\"text/html; charset=koi8-r\">", esNone, 0},
      {"<meta charset=bogus>caf\xC3\xA9", esUtf8Content, 65001},
      {"<meta charset=iso-2022-kr>", esNone, 0},
      {"<metacharset=koi8-r>", esNone, 0},
      // Comments are skipped, attribute values of other tags are no markup.
      {"<!-- <meta charset=koi8-r> --><meta charset=gbk>", esMeta, 936},
      {"<!--><meta charset=big5>", esMeta, 950},
      {"<p title='<meta charset=koi8-r>'><meta charset=big5>", esMeta, 950},
      {"<!DOCTYPE html><?php x ?></p><meta charset=euc-jp>", esMeta, 51932},
      {"<!-- never closed <meta charset=koi8-r>", esNone, 0},
      // Only the first 1,024 bytes are looked at.
      {Pad(1010) + "<meta charset=koi8-r>", esNone, 0},
      {Pad(990) + "<meta charset=koi8-r>", esMeta, 20866},
      // The XML declaration, after a META.
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><html>", esXmlDeclaration, 28605},
      {"<?xml version='1.0' encoding='UTF-8' standalone='no'?>\xC3", esXmlDeclaration, 65001},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?><meta charset=windows-1250>", esMeta, 1250},
      {"<?xml version=\"1.0\"?>caf\xC3\xA9", esUtf8Content, 65001},
      {" <?xml version=\"1.0\" encoding=\"koi8-r\"?>", esNone, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Page.substr(0, 80));
    TEncodingDecision d = SniffEncoding(c.Page);
    EXPECT_EQ(d.Source, c.Source);
    EXPECT_EQ(d.CodePage, c.CodePage);
  }
}

TEST(EncodingSniffer, EveryLabelNamesAPageThePlatformDecodes) {
  const char* labels[] = {"utf8", "ibm866", "iso-8859-3", "iso_8859-4", "cyrillic", "arabic", "greek8", "hebrew",
                          "logical", "latin6", "iso-8859-13", "iso885914", "l9", "iso-8859-16", "koi8", "koi8-ru",
                          "mac", "x-mac-cyrillic", "tis-620", "cp1250", "x-cp1251", "ascii", "cp1253", "latin5",
                          "cp1255", "cp1256", "cp1257", "cp1258", "chinese", "gb18030", "big5-hkscs",
                          "x-euc-jp", "csiso2022jp", "windows-31j", "korean", "utf-16be", "unicode"};
  for (const char* label : labels) {
    SCOPED_TRACE(label);
    unsigned cp = 0;
    ASSERT_TRUE(EncodingLabelToCodePage(label, cp));
    EXPECT_TRUE(IsCodePageSupported(cp));
    std::string a = cp == 1200 ? std::string("A\0", 2) : cp == 1201 ? std::string("\0A", 2) : "A";
    EXPECT_EQ(MultiByteToWide(cp, a), u"A");
  }
  unsigned cp = 0;
  EXPECT_FALSE(EncodingLabelToCodePage("", cp));
  EXPECT_FALSE(EncodingLabelToCodePage("utf-7", cp));
  EXPECT_FALSE(EncodingLabelToCodePage(std::string(100, 'a'), cp));
}

TEST(EncodingSniffer, CharsetOfContentType) {
  unsigned cp = 0;
  EXPECT_TRUE(CharsetFromContentType("text/html; charset=koi8-r", cp));
  EXPECT_EQ(cp, 20866u);
  EXPECT_TRUE(CharsetFromContentType("text/html; CHARSET = \"Shift_JIS\"; x", cp));
  EXPECT_EQ(cp, 932u);
  EXPECT_TRUE(CharsetFromContentType("charset; charset=big5", cp));  // the first is no parameter
  EXPECT_EQ(cp, 950u);
  EXPECT_FALSE(CharsetFromContentType("text/html; charset=\"koi8-r", cp));
  EXPECT_FALSE(CharsetFromContentType("text/html", cp));
  EXPECT_FALSE(CharsetFromContentType("text/html; charset=", cp));
}

// ---- the decision in the reader ----

TEST(HtmlReaderEncoding, DeclaredPageIsReadInItAndKeepsIt) {
  TReaderRig rig;
  // KOI8-R: "мир" is CD C9 D2. A later META naming another page changes nothing.
  THtmlReader& r = rig.Load("<meta charset=koi8-r><p>\xCD\xC9\xD2<meta http-equiv=content-type "
                            "content=\"text/html; charset=windows-1252\">\xCD");
  EXPECT_EQ(r.Encoding().Source, esMeta);
  EXPECT_EQ(rig.Charsets.CodePage(), 20866u);
  std::vector<std::string> text;
  for (r.Next(); r.Sy() != syEof;) {
    if (r.Sy() == syText) text.push_back(Utf8(r.Token().S()));
    if (r.Sy() == syMeta) r.DoMeta();
    else r.Next();
  }
  EXPECT_EQ(text, (std::vector<std::string>{"\u043C\u0438\u0440", "\u043C"}));
  EXPECT_EQ(rig.Charsets.CodePage(), 20866u);
}

TEST(HtmlReaderEncoding, UndeclaredPagesFallBackToUtf8OrTheViewersPage) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("<p>caf\xC3\xA9", 1251), (Syms{"P", "'caf\u00E9'"}));
  EXPECT_EQ(rig.Reader.Encoding().Source, esUtf8Content);
  // Not UTF-8: the viewer's own page, which a late META may still change.
  EXPECT_EQ(rig.Symbols("<p>\xE9", 1251), (Syms{"P", "'\u0439'"}));
  THtmlReader& r = rig.Load(Pad(1100) + "<meta charset=koi8-r>\xCD", 1251);
  r.Next();
  r.Next();
  r.Next();
  ASSERT_EQ(r.Sy(), syMeta);
  r.DoMeta();
  EXPECT_EQ(Utf8(r.Token().S()), "\u043C");
}

TEST(HtmlReaderEncoding, Utf16IsReadAsUtf8) {
  TReaderRig rig;
  // "<p>é𝄞" in UTF-16LE and BE, after their marks; a zero unit ends the text as a zero byte does.
  std::string le("\xFF\xFE<\0p\0>\0\xE9\0\x34\xD8\x1E\xDD", 14);
  EXPECT_EQ(rig.Symbols(le), (Syms{"P", "'\u00E9\U0001D11E'"}));
  EXPECT_EQ(rig.Charsets.CodePage(), 65001u);
  EXPECT_EQ(rig.Reader.Text(), "<p>\xC3\xA9\xF0\x9D\x84\x9E");
  std::string be("\xFE\xFF\0<\0p\0>\0\xE9\0\0\0x", 14);
  EXPECT_EQ(rig.Symbols(be), (Syms{"P", "'\u00E9'"}));
  // An odd last byte is no character.
  EXPECT_EQ(rig.Symbols(std::string("\xFF\xFEx\0y", 5)), (Syms{"'x\uFFFD'"}));
}

TEST(HtmlReaderEncoding, Iso2022JpByLabelOrEscapes) {
  TReaderRig rig;
  // "あ" as ESC $ B 24 22 ESC ( B.
  EXPECT_EQ(rig.Symbols("<meta charset=iso-2022-jp>\x1b$B$\"\x1b(Bx"), (Syms{"META CHARSET=\"iso-2022-jp\"", "'\u3042x'"}));
  EXPECT_TRUE(rig.Reader.Converted());
  EXPECT_EQ(rig.Charsets.CodePage(), 932u);
}

TEST(HtmlReaderEncoding, PlainTextLooksOnlyAtMarksAndUtf8) {
  TReaderRig rig;
  rig.Charsets.SetCodePage(1251);
  rig.Reader.SetCharsets(&rig.Charsets);
  rig.Reader.LoadText("<meta charset=koi8-r>\xCD", false);
  EXPECT_EQ(rig.Charsets.CodePage(), 1251u);
  rig.Reader.LoadText("<meta charset=koi8-r>\xC3\xA9", false);
  EXPECT_EQ(rig.Charsets.CodePage(), 65001u);
}

// ---- markup that is never text ----

TEST(HtmlReaderMarkup, DeclarationsInstructionsAndCdataVanish) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><!DOCTYPE html><html>"),
            Syms{"HTML"});
  EXPECT_EQ(rig.Symbols("a <?pi x?> b<![CDATA[c]]>d<?>e<!>f"), Syms{"'a bdef'"});
  // A CDATA section ends at its first ">", as a bogus comment does.
  EXPECT_EQ(rig.Symbols("<![CDATA[x>y]]>z"), Syms{"'y]]>z'"});
  EXPECT_EQ(rig.Symbols("</head>\n<?pi?>\n<!-- c -->\n<body>"), (Syms{"/HEAD", "' '", "BODY"}));
  // In attribute values "<?" is kept; comments vanish there as before.
  EXPECT_EQ(rig.Symbols("<a title=\"a<?b?>c<!-- d -->e\" href=x<?y>z"), (Syms{"A TITLE=\"a<?b?>ce\" HREF=\"x<?y\"", "'z'"}));
  // Not followed by "!" or "?", a "<" is still text.
  EXPECT_EQ(rig.Symbols("1 < 2"), (Syms{"'1 '", "'<'", "' 2'"}));
}

TEST(HtmlReaderMarkup, AnUnclosedInstructionEndsTheDocument) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("a<?pi");
  r.Next();
  EXPECT_EQ(Utf8(r.Token().S()), "a");
  EXPECT_THROW(r.Next(), EParseError);
}

// ---- "/>" ----

TEST(HtmlReaderTags, SelfClosingSlashIsIgnored) {
  TReaderRig rig;
  EXPECT_EQ(rig.Symbols("a<br/>b<hr/><input/><meta/><link/>"), (Syms{"'a'", "BR", "'b'", "HR", "INPUT", "META", "LINK"}));
  EXPECT_EQ(rig.Symbols("<img src=\"a.png\"/>"), Syms{"IMG SRC=\"a.png\""});
  EXPECT_EQ(rig.Symbols("<img src='a.png' / alt=x />"), Syms{"IMG SRC=\"a.png\" ALT=\"x\""});
  EXPECT_EQ(rig.Symbols("<div/>x</div>"), (Syms{"DIV", "'x'", "/DIV"}));
  // An unquoted value keeps its slash.
  EXPECT_EQ(rig.Symbols("<a href=x/>"), Syms{"A HREF=\"x/\""});
  EXPECT_EQ(rig.Symbols("<td width=50/>"), Syms{"TD WIDTH=\"50/\""});
  EXPECT_EQ(rig.Symbols("<br/ clear=all>"), Syms{"BR CLEAR=\"all\""});
}

// ---- named references ----

TEST(HtmlReaderEntities, Html5Names) {
  TReaderRig rig;
  // Legacy names work without ";" and before other letters; the others need it.
  EXPECT_EQ(rig.Symbols("&copy 2024 &copy2024 &notit; &notin; &eacutex &hellip x"),
            Syms{"'\u00A9 2024 \u00A92024 \u00ACit; \u2209 \u00E9x &hellip x'"});
  // Two code points, and code points beyond U+FFFF as surrogate pairs.
  EXPECT_EQ(rig.Symbols("&NotEqualTilde;&fjlig;&Afr;&oopf;"), Syms{"'\u2242\u0338fj\U0001D504\U0001D560'"});
  // The longest name, and one longer than any.
  EXPECT_EQ(rig.Symbols("&CounterClockwiseContourIntegral;"), Syms{"'\u2233'"});
  EXPECT_EQ(rig.Symbols("&CounterClockwiseContourIntegralX;"), Syms{"'&CounterClockwiseContourIntegralX;'"});
  EXPECT_EQ(rig.Symbols("&AMP;&LT&rang;&apos;"), Syms{"'&<\u27E9\''"});
  THtmlReader& r = rig.Load("&copyx&Afr;");
  r.Next();
  std::vector<int> pos(r.Token().Positions(), r.Token().Positions() + r.Token().Count());
  EXPECT_EQ(pos, (std::vector<int>{0, 5, 6, 6}));
}

TEST(HtmlReaderEntities, Html5NamesInAttributes) {
  TReaderRig rig;
  rig.Charsets.SetCodePage(65001);
  auto title = [&](const std::string& value) {
    rig.Load("<a title=\"" + value + "\">", 65001);
    rig.Reader.Next();
    return rig.Reader.Attributes().Find(syTitle)->Text();
  };
  EXPECT_EQ(title("&copy 1"), "\u00A9 1");
  EXPECT_EQ(title("&copy;1"), "\u00A91");
  EXPECT_EQ(title("&copy1"), "&copy1");        // a legacy name before a letter or digit stays
  EXPECT_EQ(title("&copy=1"), "&copy=1");      // and before "="
  EXPECT_EQ(title("&notin"), "&notin");
  EXPECT_EQ(title("&fjlig;&Afr;"), "fj\U0001D504");
  rig.Load("<a href=?a=1&copy=2&lang=en&amp;b>");
  rig.Reader.Next();
  EXPECT_EQ(rig.Reader.Attributes().Find(syHref)->Text(), "?a=1&copy=2&lang=en&b");
}

TEST(Entities, TableIsSortedAndComplete) {
  TEntityValue v;
  ASSERT_TRUE(LookupEntity("amp", v));
  EXPECT_TRUE(v.Legacy);
  ASSERT_TRUE(LookupEntity("zwnj", v));
  EXPECT_EQ(v.First, 0x200Cu);
  ASSERT_TRUE(LookupEntity("AElig", v));  // the first name
  ASSERT_TRUE(LookupEntity("nGt", v));
  EXPECT_EQ(v.First, 0x226Bu);
  EXPECT_EQ(v.Second, 0x20D2u);
  EXPECT_FALSE(v.Legacy);
  EXPECT_FALSE(LookupEntity("", v));
  EXPECT_FALSE(LookupEntity("Amp", v));
  EXPECT_EQ(LongestLegacyEntity("notit", v), 3);
  EXPECT_EQ(LongestLegacyEntity("ltx", v), 2);
  EXPECT_EQ(LongestLegacyEntity("hellip", v), 0);
}

// ---- tabs in preformatted text ----

TEST(HtmlReaderPre, TabsAdvanceToTheNextMultipleOfEight) {
  TReaderRig rig;
  auto pre = [&](std::string text, unsigned codePage = 1252) {
    THtmlReader& r = rig.Load(std::move(text), codePage);
    std::vector<std::string> lines(1);
    while (r.Ch() != 0) {
      if (r.Ch() == '\r') {
        lines.emplace_back();
        r.GetCh();
      } else if (r.Ch() == '<') {
        r.Next();  // an inline tag between the pieces
      } else {
        r.NextPreformatted();
        lines.back() += Utf8(r.Token().S());
      }
    }
    return lines;
  };
  using Lines = std::vector<std::string>;
  EXPECT_EQ(pre("\tx\n1234567\ty\n12345678\tz"), (Lines{"        x", "1234567 y", "12345678        z"}));
  // Characters, not bytes; references count as the character they stand for.
  EXPECT_EQ(pre("\xC3\xA9\xC3\xA9\tx", 65001), Lines{"\u00E9\u00E9      x"});
  EXPECT_EQ(pre("&lt;&amp;\tx"), Lines{"<&      x"});
  // Across inline tags, and from the start of each line.
  EXPECT_EQ(pre("ab<b>cd</b>\tx\r\n\ty"), (Lines{"abcd    x", "        y"}));
  // A BR and a PRE start a line.
  EXPECT_EQ(pre("abc<br>\tx"), Lines{"abc        x"});
  // The spaces take the position of the tab.
  THtmlReader& r = rig.Load("a\tb");
  r.NextPreformatted();
  std::vector<int> pos(r.Token().Positions(), r.Token().Positions() + r.Token().Count());
  EXPECT_EQ(pos, (std::vector<int>{0, 1, 1, 1, 1, 1, 1, 1, 2}));
  // Outside preformatted text a tab is white space as before.
  EXPECT_EQ(rig.Symbols("a\t\tb"), Syms{"'a b'"});
}

TEST(HtmlReaderTextArea, KeepsTabsAndDropsTheFirstLineEnd) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("<textarea>\n\ta\tb&#9;c\n</textarea>x");
  r.Next();
  ASSERT_EQ(r.Sy(), syTextarea);
  std::vector<std::string> lines;
  r.ReadTextArea([&](const std::string& line) { lines.push_back(line); });
  // A reference to a tab is white space, as in text.
  EXPECT_EQ(lines, (std::vector<std::string>{"\ta\tb c\r\n", ""}));
  r.Next();
  EXPECT_EQ(Utf8(r.Token().S()), "x");
}
