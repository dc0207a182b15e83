// The text a TEXTAREA starts with: one line end right after the start tag is layout of the
// source, not part of the text.
#include <gtest/gtest.h>

#include "BuildTestSupport.h"
#include "ReaderTestUtil.h"
#include "layout/FormControl.h"

namespace korva::test {
namespace {

// The control's text as the reader hands it over, lines joined.
std::string AreaText(const std::string& page) {
  TReaderRig rig;
  THtmlReader& r = rig.Load(page);
  r.Next();
  EXPECT_EQ(r.Sy(), syTextarea);
  std::string text;
  r.ReadTextArea([&](const std::string& s) { text += s; });
  r.Next();
  EXPECT_EQ(rig.Describe(), "'after'") << "the end tag is read past";
  return text;
}

TEST(TextAreaText, OneLeadingLineEndIsDropped) {
  struct Case {
    const char* page;
    const char* text;
  } cases[] = {
      {"<textarea>\nab</textarea>after", "ab"},
      {"<textarea>\rab</textarea>after", "ab"},
      {"<textarea>\r\nab</textarea>after", "ab"},
      // Only one: a blank first line written after it stays.
      {"<textarea>\n\nab</textarea>after", "\r\nab"},
      {"<textarea>\r\n\r\nab</textarea>after", "\r\nab"},
      // Only right after the tag: spaces before the line end keep it, and so do later lines.
      {"<textarea> \nab</textarea>after", " \r\nab"},
      {"<textarea>ab\n</textarea>after", "ab\r\n"},
      {"<textarea>a\nb</textarea>after", "a\r\nb"},
      // A text of just one line end is empty.
      {"<textarea>\n</textarea>after", ""},
      {"<textarea></textarea>after", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    EXPECT_EQ(AreaText(c.page), c.text);
  }
}

TEST(TextAreaText, TheBuiltControlStartsWithTheFirstWrittenLine) {
  TBuiltPage page("<form><textarea name=t>\r\nfirst\nsecond</textarea></form>");
  ASSERT_EQ(1u, page.Doc.FHtmlFormList.size());
  const auto& controls = page.Doc.FHtmlFormList[0]->Controls();
  ASSERT_EQ(1u, controls.size());
  auto* area = dynamic_cast<TTextAreaFormControlObj*>(controls[0].get());
  ASSERT_NE(nullptr, area);
  EXPECT_EQ(area->TheText, u"first\r\nsecond");
}

}  // namespace
}  // namespace korva::test
