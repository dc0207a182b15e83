// Line breaking of text sections, checked through the layout dump (fixed font metrics: every
// character of the default font has the same advance).
#include <gtest/gtest.h>

#include "LayoutFixture.h"
#include "TextTestUtil.h"

namespace korva::test {
namespace {

// Each case: a paragraph laid out at a width, the dump compared with expected/<name>.txt.
struct TBreakCase {
  const char* Name;
  std::u16string Text;
  int Width;
  const char* Style;
};

class LineBreakCases : public ::testing::TestWithParam<TBreakCase> {};

TEST_P(LineBreakCases, Dump) {
  const TBreakCase& c = GetParam();
  TLayoutFixture f;
  AddParagraph(f, c.Text, c.Style);
  ExpectDump(c.Name, f.Layout(c.Width));
}

INSTANTIATE_TEST_SUITE_P(
    Text, LineBreakCases,
    ::testing::Values(
        // Lines break after spaces; the spaces hang past the line end.
        TBreakCase{"text-wrap", u"the quick brown fox jumps over the lazy dog", 100, ""},
        // A word longer than the line overflows it and widens the section.
        TBreakCase{"text-long-word", u"a incomprehensibilities b", 80, ""},
        // Breaks after a hyphen and after a question mark, not elsewhere inside the words.
        TBreakCase{"text-hyphen-question", u"aaaa-bbbb why?not", 50, ""},
        // CJK characters break between any two.
        TBreakCase{"text-cjk", u"\u4e00\u4e01\u4e02\u4e03\u4e04\u4e05\u4e06", 30, ""},
        // Justified: every line but the last gets extra pixels over its spaces.
        TBreakCase{"text-justify", u"aa bb cc dd ee ff gg hh", 70, "text-align: justify"},
        TBreakCase{"text-center-right", u"ab cd", 100, "text-align: right"},
        // A line height smaller than the font: negative space, lines overlap.
        TBreakCase{"text-negative-line-height", u"aaa bbb ccc", 40, "line-height: 8px"},
        TBreakCase{"text-first-line-indent", u"aa bb cc dd", 60, "text-indent: 16px"}),
    [](const ::testing::TestParamInfo<TBreakCase>& info) {
      std::string n = info.param.Name;
      for (char& ch : n)
        if (ch == '-') ch = '_';
      return n;
    });

// "abc<br>def": the first section ends with the break, which goes at Finish after text; a lone
// break keeps its line.
TEST(LineBreakTest, LineBreaks) {
  TLayoutFixture f;
  AddParagraph(f, u"abc\b", "", 0);
  AddParagraph(f, u"def", "", 8);
  AddParagraph(f, u"\b", "", 20);
  ExpectDump("text-line-breaks", f.Layout(200));
}

// A long word beside a float moves below it; a short one stays beside it.
TEST(LineBreakTest, LongWordMovesBelowFloat) {
  TLayoutFixture f;
  f.Doc.AddSection(std::make_unique<TFloatBox>(&f.Doc, 100, 40, false));
  AddParagraph(f, u"ab incomprehensible cd");
  ExpectDump("text-long-word-float", f.Layout(200));
}

// NOBR text never breaks, except at the breakable space a WBR adds.
TEST(LineBreakTest, NoBreakWithWbr) {
  TLayoutFixture f;
  TProperties& p = f.Push("p");
  auto s = std::make_unique<TSection>(&f.Doc, nullptr, p, true, nullptr);
  AddText(*s, u"xx ", 0);
  s->FNoBreak = true;
  AddText(*s, u"aa bb cc", 3);
  s->FNoBreak = false;
  AddText(*s, u" ", 11);  // WBR
  s->FNoBreak = true;
  AddText(*s, u"dd ee", 12);
  s->FNoBreak = false;
  s->Finish();
  f.Pop("p");
  f.Doc.AddSection(std::move(s));
  ExpectDump("text-nobr-wbr", f.Layout(50));
}

TEST(LineBreakTest, JustifiedLinesDrawWithExtraSpace) {
  TLayoutFixture f;
  AddParagraph(f, u"aa bb cc dd ee ff gg hh", "text-align: justify");
  f.Layout(70);
  std::string drawn = f.Draw();
  // Every line but the last is drawn with the canvas's justification; the last without.
  std::size_t lines = 0, justified = 0;
  for (std::size_t at = 0; (at = drawn.find("TextOut", at)) != std::string::npos; ++at) {
    std::size_t eol = drawn.find('\n', at);
    ++lines;
    if (drawn.substr(at, eol - at).find(" just=") != std::string::npos) ++justified;
  }
  ASSERT_GE(lines, 3u);
  EXPECT_EQ(lines - 1, justified) << drawn;
}

}  // namespace
}  // namespace korva::test
