#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ReaderTestUtil.h"
#include "html/HtmlParse.h"
#include "style/PropStack.h"
#include "style/StyleList.h"

using namespace korva;
using namespace korva::test;

// ---- SCRIPT, TEXTAREA, STYLE, TITLE ----

TEST(HtmlReaderScript, HandlerGetsTheTextWithItsComments) {
  TReaderRig rig;
  std::string got;
  rig.Handlers.OnScript = [&](const std::string& name, const std::string& language, const std::string& script) {
    got = name + "|" + language + "|" + script;
  };
  THtmlReader& r = rig.Load(
      "<script language=\"JavaScript\" name=s1><!--\nif (a<b && c</d) x();\n// --></SCRIPT >after");
  r.Next();
  ASSERT_EQ(r.Sy(), syScript);
  r.DoScript();
  EXPECT_EQ(got, "s1|JavaScript|<!--\r\nif (a<b && c</d) x();\r\n// -->");
  EXPECT_FALSE(r.Raw());
  r.Next();
  EXPECT_EQ(rig.Describe(), "'after'");
}

TEST(HtmlReaderScript, WithoutHandlerTheContentsAreSkipped) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("<script>document.write(\"<p>x</p>\"); <!-- y --></script><b>");
  r.Next();
  r.DoScript();
  r.Next();
  EXPECT_EQ(r.Sy(), syB);
  // An unterminated script runs to the end of the document.
  rig.Load("<script>a\r\nb");
  r.Next();
  r.DoScript();
  r.Next();
  EXPECT_EQ(r.Sy(), syEof);
}

TEST(HtmlReaderScript, EndTagVariants) {
  TReaderRig rig;
  std::string got;
  rig.Handlers.OnScript = [&](const std::string&, const std::string&, const std::string& s) { got = s; };
  THtmlReader& r = rig.Load("<script>a</scripts>b</script  x>c");
  r.Next();
  r.DoScript();
  EXPECT_EQ(got, "a</scripts>b");  // a foreign construct is text
  r.Next();
  EXPECT_EQ(rig.Describe(), "'c'");
  // At most six characters before the ">" are consumed; the rest is text.
  rig.Load("<script>a</script abcdefgh>z");
  r.Next();
  r.DoScript();
  r.Next();
  EXPECT_EQ(rig.Describe(), "'fgh>z'");
}

TEST(HtmlReaderTextArea, LinesAndReferences) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("<textarea rows=3>one\r\ntwo &amp; &lt;b&gt;\n\nlast</TEXTAREA >next");
  r.Next();
  ASSERT_EQ(r.Sy(), syTextarea);
  std::vector<std::string> lines;
  r.ReadTextArea([&](const std::string& s) { lines.push_back(s); });
  EXPECT_EQ(lines, (std::vector<std::string>{"one\r\n", "two & <b>\r\n", "\r\n", "last"}));
  r.Next();
  EXPECT_EQ(rig.Describe(), "'next'");

  lines.clear();
  rig.Load("<textarea></textarea>");
  r.Next();
  r.ReadTextArea([&](const std::string& s) { lines.push_back(s); });
  EXPECT_EQ(lines, (std::vector<std::string>{""}));
}

TEST(HtmlReaderStyle, ContentsGoToTheStyleSheetParser) {
  TReaderRig rig;
  TStyleList styles;
  THtmlReader& r = rig.Load(
      "<style type=\"text/css\">\r\n<!--\r\nh1, P.Note { color: red }\r\n/* a comment */ em\t{ font-weight: bold }\r\n-->\r\n"
      "</style>text");
  r.Next();
  ASSERT_EQ(r.Sy(), syStyle);
  r.ReadStyle(&styles);
  EXPECT_EQ(r.Ch(), '<');
  EXPECT_NE(styles.Find("h1"), nullptr);
  EXPECT_NE(styles.Find("p.note"), nullptr);
  EXPECT_NE(styles.Find("em"), nullptr);
  r.Next();
  EXPECT_EQ(r.Sy(), syEndStyle);
  r.Next();
  EXPECT_EQ(rig.Describe(), "'text'");
}

TEST(HtmlReaderStyle, EmptyElementHandsBackTheEndTag) {
  TReaderRig rig;
  TStyleList styles;
  THtmlReader& r = rig.Load("<style></style>x<style>\r\n</STYLE>y");
  r.Next();
  r.ReadStyle(&styles);
  r.Next();
  EXPECT_EQ(r.Sy(), syEndStyle);
  r.Next();
  EXPECT_EQ(rig.Describe(), "'x'");
  r.Next();
  r.ReadStyle(&styles);
  r.Next();
  EXPECT_EQ(r.Sy(), syEndStyle);
  r.Next();
  EXPECT_EQ(rig.Describe(), "'y'");
  EXPECT_EQ(r.Token().Positions()[0], 33);
}

TEST(HtmlReaderStyle, WithoutAStyleListTheContentsAreSkipped) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("<style>p { x: 1 } /* </style> */ em {}</style><b>");
  r.Next();
  r.ReadStyle(nullptr);
  r.Next();
  EXPECT_EQ(r.Sy(), syEndStyle);
  r.Next();
  EXPECT_EQ(r.Sy(), syB);
  rig.Load("<style>p {");
  r.Next();
  r.ReadStyle(nullptr);
  r.Next();
  EXPECT_EQ(r.Sy(), syEof);
}

TEST(HtmlReaderTitle, ConcatenatesTextSymbols) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("<title>KORVA &amp; API  <!-- x --> Loader &euro;&#8364;&#x4E00;</title><body>");
  r.Next();
  ASSERT_EQ(r.Sy(), syTitle);
  EXPECT_EQ(r.ReadTitle(), "KORVA & API Loader \xE2\x82\xAC\xE2\x82\xAC\xE4\xB8\x80");
  EXPECT_EQ(r.Sy(), syEndTitle);
  rig.Load("<title>a < b</title>");
  r.Next();
  EXPECT_EQ(r.ReadTitle(), "a < b");
}

TEST(HtmlReaderPre, PreformattedTextKeepsWhiteSpace) {
  TReaderRig rig;
  THtmlReader& r = rig.Load("  a\t &lt;b\x01\r\nc");
  r.NextPreformatted();
  // The tab after column 3 advances to column 8.
  EXPECT_EQ(Utf8(r.Token().S()), "  a      <b\x01");
  EXPECT_EQ(r.Ch(), '\r');
  r.GetCh();
  r.NextPreformatted();
  EXPECT_EQ(Utf8(r.Token().S()), "c");
}

// ---- includes ----

TEST(HtmlReaderInclude, HandlerTextIsReadBeforeTheRest) {
  TReaderRig rig;
  std::string command;
  std::vector<std::string> params;
  rig.Handlers.OnInclude = [&](const std::string& c, std::vector<std::string> p, std::string& out) {
    command = c;
    params = std::move(p);
    if (c == "include") out = "<b>in</b>";
  };
  EXPECT_EQ(rig.Symbols("x<!--#include file=\"a\r\nb.htm\" size=3 flag-->y"),
            (Syms{"'x'", "B", "'in'", "/B", "'y'"}));
  EXPECT_EQ(command, "include");
  EXPECT_EQ(params, (std::vector<std::string>{"FILE=a b.htm", "SIZE=3", "FLAG="}));
  // Positions stay those of the main text.
  THtmlReader& r = rig.Load("<!--#x-->yz");
  r.Next();
  EXPECT_EQ(rig.Describe(), "'yz'");
  EXPECT_EQ(r.Token().Positions()[0], 9);
}

TEST(HtmlReaderInclude, NestedIncludesAndLimits) {
  TReaderRig rig;
  int calls = 0;
  rig.Handlers.OnInclude = [&](const std::string& c, std::vector<std::string>, std::string& out) {
    ++calls;
    if (c == "outer") out = "[<!--#inner-->]";
    else if (c == "inner") out = "i";
    else if (c == "loop") out = "<!--#loop--><!--#loop-->";  // grows without end unless limited
  };
  EXPECT_EQ(rig.Symbols("a<!--#outer-->b"), Syms{"'a[i]b'"});
  calls = 0;
  EXPECT_EQ(rig.Symbols("<!--#loop-->end"), Syms{"'end'"});
  EXPECT_LE(calls, 1000);
  // Without a handler an include is a comment.
  TReaderRig plain;
  EXPECT_EQ(plain.Symbols("a<!--#include file=x-->b"), Syms{"'ab'"});
}

// ---- progress ----

TEST(HtmlReaderProgress, EveryFourKilobytesWithTheDocumentsShare) {
  TReaderRig rig;
  std::vector<int> reports;
  rig.Handlers.OnProgress = [&](TProgressStage stage, int percent) {
    EXPECT_EQ(stage, psRunning);
    reports.push_back(percent);
  };
  rig.Document.ProgressShare = 75;
  std::string text;
  while (text.size() < 16384) text += "<p class=x>Some words &amp; more words.</p>\r\n";
  text.resize(16384);
  rig.Symbols(text);
  EXPECT_EQ(reports, (std::vector<int>{18, 37, 56, 75}));
  reports.clear();
  rig.Load(text);
  rig.Reader.SetPrescan(true);
  while (rig.Reader.Sy() != syEof || rig.Reader.Ch() != 0) rig.Reader.Next();
  EXPECT_TRUE(reports.empty());
}

// ---- parse entries ----

namespace {

struct TRecordingBuilder : THtmlBuilder {
  std::vector<std::string> Seen;
  std::string Chars;
  bool Began = false, Ended = false;
  unsigned CodePageSeen = 0;
  TProperties Defaults;
  void BeginParse(THtmlReader&) override {
    Began = true;
    PropStack().Reset(Defaults);
  }
  void BuildBody(THtmlReader& r) override {
    CodePageSeen = r.CodePage();
    while (r.Sy() != syEof) {
      Seen.push_back(r.Sy() == syText ? "'" + Utf8(r.Token().S()) + "'" : std::string(SymbolName(r.Sy())));
      r.Next();
    }
  }
  void BuildText(THtmlReader& r) override {
    CodePageSeen = r.CodePage();
    while (r.Ch() != 0) {
      Chars.push_back(static_cast<char>(r.Ch()));
      r.GetCh();
    }
  }
  // Leaves the property stack as it is: emptying it is the parse entry's job.
  void EndParse(THtmlReader&) override { Ended = true; }
};

}  // namespace

TEST(ParseHtml, ByteOneEndsTheBuildingPassQuietly) {
  TRecordingBuilder b;
  TReaderDocument doc;
  ParseHtml("<p>first</p>\x01<p>second</p>", b, &doc, nullptr);
  EXPECT_TRUE(b.Began);
  EXPECT_TRUE(b.Ended);
  EXPECT_EQ(b.Seen, (std::vector<std::string>{"P", "'first'", "/P"}));

  TRecordingBuilder t;
  ParseText("<p>first</p>\x01<!-- x -->", t, &doc);
  EXPECT_EQ(t.Chars, "<p>first</p>\x01<!-- x -->");
}

TEST(ParseHtml, UnclosedCommentKeepsWhatCameBefore) {
  TRecordingBuilder b;
  ParseHtml("<b>x</b><!-- never closed", b, nullptr, nullptr);
  EXPECT_EQ(b.Seen, (std::vector<std::string>{"B", "'x'", "/B"}));
  EXPECT_TRUE(b.Ended);
}

TEST(ParseHtml, PrescanCountsLinks) {
  auto page = [](int links) {
    std::string s = "<html><body>";
    for (int i = 0; i < links; ++i) s += "<a href=\"p" + std::to_string(i) + ".html\">l</a> <a name=x>n</a>\n";
    return s;
  };
  TRecordingBuilder b;
  TReaderDocument doc;
  ParseHtml(page(400), b, &doc, nullptr);
  EXPECT_FALSE(doc.ManyLinks);
  ParseHtml(page(401), b, &doc, nullptr);
  EXPECT_TRUE(doc.ManyLinks);

  // An error ends the prescan and leaves the flag alone.
  TReaderDocument other;
  ParseHtml("\x01" + page(500), b, &other, nullptr);
  EXPECT_FALSE(other.ManyLinks);
  EXPECT_TRUE(PropStack().Empty());

  // The count stops once it is beyond the limit.
  TReaderRig rig;
  rig.Load(page(1000));
  rig.Reader.Next();
  EXPECT_EQ(CountLinks(rig.Reader, 400), 401);
}

TEST(ParseHtml, PrescanRegistersNoIdsAndTheBuildingPassDoes) {
  TIDNameList ids;
  TReaderDocument doc;
  doc.IDNames = &ids;
  struct TCountingBuilder : TRecordingBuilder {
    TIDNameList* IDs = nullptr;
    int CountAtStart = -1;
    void BuildBody(THtmlReader& r) override {
      CountAtStart = IDs->Count();
      TRecordingBuilder::BuildBody(r);
    }
  } b;
  b.IDs = &ids;
  ParseHtml("<p id=one>x<p id=two>", b, &doc, nullptr);
  EXPECT_EQ(b.CountAtStart, 1);  // the first tag was read before the pass began
  EXPECT_EQ(ids.Count(), 2);
}

TEST(ParseEntries, LeaveAnEmptyPropertyStackAlsoAfterAnError) {
  struct TFailingBuilder : TRecordingBuilder {
    void BuildBody(THtmlReader&) override { throw std::runtime_error("build"); }
    void BuildText(THtmlReader&) override { throw std::runtime_error("build"); }
  };
  TRecordingBuilder b;
  ParseText("plain text", b, nullptr);
  EXPECT_TRUE(b.Ended);
  EXPECT_TRUE(PropStack().Empty());
  ParseHtml("<p>x", b, nullptr, nullptr);
  EXPECT_TRUE(PropStack().Empty());
  TFailingBuilder f;
  EXPECT_THROW(ParseText("plain text", f, nullptr), std::runtime_error);
  EXPECT_TRUE(f.Ended);
  EXPECT_TRUE(PropStack().Empty());
  ParseHtml("<p>x", f, nullptr, nullptr);  // ends quietly
  EXPECT_TRUE(PropStack().Empty());
}

TEST(ParseHtml, ByteOrderMarkReachesThePropertyStack) {
  TRecordingBuilder b;
  ParseHtml("\xEF\xBB\xBFx", b, nullptr, nullptr);
  EXPECT_EQ(b.CodePageSeen, 65001u);
  ParseText("\xEF\xBB\xBFx", b, nullptr);
  EXPECT_EQ(b.CodePageSeen, 65001u);
  EXPECT_EQ(b.Chars, "x");
}

TEST(TheStyle, MadeFromTheStyleAttribute) {
  TReaderRig rig;
  rig.Load("<p style=\"color: red; margin-left: 3px\">");
  rig.Reader.Next();
  std::shared_ptr<TProperties> p = TheStyle(rig.Reader.Attributes());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(rig.Reader.Attributes().OwnedStyle().get(), p.get());
  rig.Load("<p>");
  rig.Reader.Next();
  EXPECT_EQ(TheStyle(rig.Reader.Attributes()), nullptr);
}

TEST(TheStyle, LinkKeepsItsInlineStyleAfterAMisnestedEndTag) {
  // "</b>" closes an element below the link, whose state fonts are then combined again with its
  // inline style, long after the reader has moved on to other tags with style attributes.
  TStyleList styles;
  styles.Initialize(TStyleDefaults{});
  TPropStack stack;
  stack.Reset(*styles.DefaultProps());
  TReaderRig rig;
  THtmlReader& r = rig.Load(
      "<div><b><a href=x style=\"color: red\"><i style=\"color: blue\"><u style=\"color: #00ff00\">t</b>");
  for (r.Next(); r.Sy() != syEof; r.Next()) {
    if (r.Sy() == syEndB) {
      ASSERT_TRUE(stack.PopElement(styles, "b"));
    } else if (r.Sy() != syText) {
      std::string tag = LowerCase(std::string(SymbolName(r.Sy())));
      stack.PushElement(styles, tag, {}, {}, TheStyle(r.Attributes()), {}, tag == "a" ? "link" : "");
    }
  }
  rig.Load("<p style=\"color: yellow\">");  // and the reader's own sets are gone
  r.Next();
  TheStyle(r.Attributes());
  ASSERT_EQ(stack.Count(), 5);
  TProperties& a = stack[2];
  ASSERT_EQ(a.FTagName, "a");
  ASSERT_TRUE(a.FLinkFonts);
  for (const ThtFontInfo& f : a.FLinkFonts->Ar) EXPECT_EQ(f.Color, 0xFFu);  // red in every state
  EXPECT_EQ(stack[4].FLinkFonts->Ar[lfHover].Color, 0x0200FF00u);
}

// ---- hostile input ----

TEST(HtmlReaderLimits, HostilePagesNeitherCrashNorGrowWithoutBound) {
  TReaderRig rig;
  std::string many = "<p";
  for (int i = 0; i < 100000; ++i) many += " a" + std::to_string(i) + "=1";
  many += ">x";
  THtmlReader& r = rig.Load(many);
  r.Next();
  EXPECT_EQ(r.Sy(), syP);
  EXPECT_EQ(r.Attributes().Count(), 4096);
  r.Next();
  EXPECT_EQ(rig.Describe(), "'x'");

  std::string longName = "<" + std::string(100000, 'B') + " x=1>";
  EXPECT_EQ(rig.Symbols(longName), Syms{"UnknownTag X=\"1\""});

  std::string hugeValue = "<a href=\"" + std::string(5000000, 'v') + "\">";
  rig.Load(hugeValue);
  r.Next();
  EXPECT_EQ(r.Attributes().Find(syHref)->Text().size(), 5000000u);

  std::string bigRun(50u << 20, 'w');
  for (std::size_t i = 7; i < bigRun.size(); i += 13) bigRun[i] = ' ';
  rig.Load(bigRun);
  r.Next();
  EXPECT_EQ(r.Token().Count(), int(bigRun.size()));
  r.Next();
  EXPECT_EQ(r.Sy(), syEof);

  for (char c = 1; c <= 8; ++c) {
    EXPECT_THROW(rig.Symbols(std::string("<p title=\"") + c + "\">" + c), EParseError);
  }
  EXPECT_EQ(rig.Symbols("<a title='x"), Syms{"A TITLE=\"x\""});
  EXPECT_EQ(rig.Symbols("<a title"), Syms{"A TITLE=\"\""});
  EXPECT_EQ(rig.Symbols("<"), Syms{"'<'"});
  EXPECT_EQ(rig.Symbols("&"), Syms{"'&'"});
  EXPECT_EQ(rig.Symbols("&#"), Syms{"'&#'"});
}

namespace {

// What the reader makes of a page, read the way the document builder reads it: its first
// symbols, the number of them and the last, and how the page ended. Bytes outside printable
// ASCII are shown as \xNN.
std::string ReplaySummary(const std::string& page) {
  TReaderRig rig;
  rig.Handlers.OnScript = [](const std::string&, const std::string&, const std::string&) {};
  THtmlReader& r = rig.Load(page);
  long long count = 0;
  std::string first, last, end;
  try {
    r.Next();
    while (r.Sy() != syEof) {
      if (++count > 10000000) {
        end = "no end";
        break;
      }
      last = rig.Describe();
      switch (r.Sy()) {
        case syScript: r.DoScript(); break;
        case syStyle: r.ReadStyle(nullptr); break;
        case syTextarea: r.ReadTextArea([&](const std::string& s) { last += " [" + s + "]"; }); break;
        default: break;
      }
      if (last.size() > 100) last = last.substr(0, 100) + "...";
      if (count <= 8) first += last + "\n";
      if (r.Sy() == syMeta) r.DoMeta();  // reads the next symbol itself
      else r.Next();
    }
    if (end.empty()) end = "Eof";
  } catch (const EParseError& e) {
    end = std::string("error: ") + e.what();
  }
  std::string out = first;
  if (count > 8) out += "... " + std::to_string(count) + " symbols, the last:\n" + last + "\n";
  out += "end " + end + "\n";
  std::string shown;
  for (unsigned char c : out) {
    if ((c < 32 && c != '\n') || c >= 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      shown += buf;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

}  // namespace

TEST(HtmlReaderCrashers, ReplayToTheirExpectedOutcome) {
  // Pages that crashed, hung or misled a reader, or that run into one of its limits, named by
  // their cause. NAME.html comes with NAME.expected, what the reader made of it (with
  // KORVA_WRITE_EXPECTED set, missing ones are written for review).
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(KORVA_TEST_DATA) / "crashers";
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".html") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream f(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    TRecordingBuilder b;
    ParseHtml(ss.str(), b, nullptr, nullptr);
    EXPECT_TRUE(b.Ended);
    EXPECT_TRUE(PropStack().Empty());
    const std::string got = ReplaySummary(ss.str());
    fs::path expectedPath = entry.path();
    expectedPath.replace_extension(".expected");
    if (!fs::exists(expectedPath) && std::getenv("KORVA_WRITE_EXPECTED")) std::ofstream(expectedPath, std::ios::binary) << got;
    std::ifstream e(expectedPath, std::ios::binary);
    ASSERT_TRUE(e) << expectedPath << " is missing; this run made:\n" << got;
    std::stringstream expected;
    expected << e.rdbuf();
    EXPECT_EQ(got, expected.str());
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}
