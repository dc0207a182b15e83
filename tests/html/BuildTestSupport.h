// Whole pages built by the document builder and laid out with fixed font metrics; the layout
// dumps are compared with files under expected/ (KORVA_UPDATE_EXPECTED=1 rewrites them; read
// them before committing).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "html/HtmlBuilder.h"
#include "layout/SectionList.h"
#include "platform/RecordingCanvas.h"

namespace korva::test {

inline std::string ReadExpectedFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void ExpectBuildDump(const std::string& name, const std::string& actual) {
  std::string path = std::string(KORVA_TEST_DATA) + "/expected/" + name + ".txt";
  if (const char* u = std::getenv("KORVA_UPDATE_EXPECTED"); u && std::string(u) == "1") {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  std::string expected = ReadExpectedFile(path);
  ASSERT_FALSE(expected.empty()) << "missing expected file " << path;
  EXPECT_EQ(expected, actual) << "layout dump differs from " << path;
}

struct TBuiltPage {
  THeadlessHost Host;
  TSectionList Doc{&Host};
  TRecordingCanvas Canvas{TSize{1000, 1000}};
  TDocumentBuilder Builder{Doc};

  explicit TBuiltPage(const std::string& html, bool text = false) {
    Doc.ApplyDefaults(TDocumentDefaults{});
    if (text) BuildTextDocument(Doc, html, Builder);
    else BuildHtmlDocument(Doc, html, Builder);
  }
  std::string Layout(int width = 300) {
    int scrollWidth = 0;
    Doc.DoLayout(Canvas, width, 0, scrollWidth);
    return Doc.LayoutDump();
  }
};

}  // namespace korva::test
