// Shared set-up of the layout tests: a document with a headless host and the default style
// sheet, fixed font metrics, a recording canvas, the property stack for making element styles,
// and comparison of layout dumps with expected files under expected/.
//
// Set KORVA_UPDATE_EXPECTED=1 to write the expected files from the current output (then read
// them before committing).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "layout/SectionList.h"
#include "platform/RecordingCanvas.h"
#include "style/PropStack.h"
#include "style/StyleParser.h"

namespace korva::test {

inline std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Compares a dump with expected/<name>.txt.
inline void ExpectDump(const std::string& name, const std::string& actual) {
  std::string path = std::string(KORVA_TEST_DATA) + "/expected/" + name + ".txt";
  if (const char* u = std::getenv("KORVA_UPDATE_EXPECTED"); u && std::string(u) == "1") {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  std::string expected = ReadTextFile(path);
  ASSERT_FALSE(expected.empty()) << "missing expected file " << path;
  EXPECT_EQ(expected, actual) << "layout dump differs from " << path;
}

struct TLayoutFixture {
  THeadlessHost Host;
  TSectionList Doc{&Host};
  TRecordingCanvas Canvas{TSize{1000, 1000}};
  TPropStack& Stack = PropStack();
  std::vector<std::shared_ptr<TProperties>> InlineStyles;

  explicit TLayoutFixture(const std::string& sheet = {}, TDocumentDefaults defaults = {}) {
    Doc.ApplyDefaults(defaults);
    if (!sheet.empty()) ParseStyleText(Doc.Styles(), sheet, "");
    Stack.Reset(*Doc.Styles().DefaultProps());
  }
  ~TLayoutFixture() { Stack.Clear(); }

  // Opens an element with an optional style attribute; returns its computed style.
  TProperties& Push(std::string_view tag, std::string_view style = {}, std::string_view cls = {},
                    std::string_view id = {}) {
    std::shared_ptr<TProperties> inlineStyle;
    if (!style.empty()) {
      inlineStyle = std::make_shared<TProperties>();
      ParseInlineStyle(style, *inlineStyle);
      InlineStyles.push_back(inlineStyle);
    }
    return Stack.PushElement(Doc.Styles(), tag, cls, id, inlineStyle, {}, {});
  }
  void Pop(std::string_view tag) { Stack.PopElement(Doc.Styles(), tag); }
  TProperties& Top() { return Stack.Last(); }

  // Lays the document out at a width and returns its dump.
  std::string Layout(int width) {
    int scrollWidth = 0;
    Doc.DoLayout(Canvas, width, 0, scrollWidth);
    return Doc.LayoutDump();
  }
  // Draws the whole document into the recording canvas and returns what was drawn.
  std::string Draw(TRect clip = {0, 0, 100000, 100000}) {
    Canvas.Clear();
    Doc.DrawDocument(Canvas, clip, 0);
    return Canvas.Text();
  }
};

}  // namespace korva::test
