// korva-tokens, run as a user runs it: what it prints of a page must be what the engine reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ToolRun.h"

namespace {

std::string RunTokens(const std::string& page) {
  namespace fs = std::filesystem;
  const fs::path tool = fs::path(KORVA_BIN_DIR) / "korva-tokens";
  if (!fs::exists(tool)) {
    ADD_FAILURE() << tool << " is missing: build the korva-tokens target";
    return {};
  }
  const fs::path file = fs::temp_directory_path() / ("korva-tokens-test-" + std::to_string(::getpid()) + ".html");
  std::ofstream(file, std::ios::binary) << page;
  std::string out = korva::test::RunCommand("'" + tool.string() + "' '" + file.string() + "'");
  fs::remove(file);
  return out;
}

}  // namespace

TEST(TokensTool, PrintsTheStyleSheetTheParserRead) {
  // A sheet hidden from old browsers in a comment is read as rules, not shown as text.
  std::string out = RunTokens(
      "<style type=\"text/css\">\n<!--\np.note, h1 { color: red; margin-top: 2px }\n-->\n</style><p class=note>x</p>");
  EXPECT_NE(out.find("  style \"\\r<!--\\rp.note, h1 { color: red; margin-top: 2px }\\r-->\\r\"\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("  rule \"p.note\" color=0x000000FF margin-top=\"2px\"\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\n/STYLE @"), std::string::npos) << out;
  EXPECT_EQ(out.find("Text @"), out.find("Text @98 \"x\"\n")) << out;  // the paragraph's text only
  // An empty element and one cut off by the end of the page.
  out = RunTokens("<style></style><style>em { font-weight: bold");
  EXPECT_NE(out.find("STYLE @0\n  style \"\"\n/STYLE @7\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  style \"em { font-weight: bold\"\n  rule \"em\" font-weight=\"bold\"\nEof\n"), std::string::npos)
      << out;
}

TEST(TokensTool, PrintsHowTheEncodingWasDecided) {
  std::string out = RunTokens("<meta charset=koi8-r><p>\xCD");
  EXPECT_EQ(out.find("-- encoding: code page 20866 (meta), read as 20866\n"), 0u) << out;
  EXPECT_NE(out.find("Text @24 \"\u043C\"\n"), std::string::npos) << out;
  out = RunTokens(std::string("\xFF\xFE<\0p\0>\0", 8));
  EXPECT_EQ(out.find("-- encoding: code page 1200 (byte order mark), read as 65001\n"), 0u) << out;
  out = RunTokens("<p>x");
  EXPECT_EQ(out.find("-- encoding: code page 1252 (default)\n"), 0u) << out;
}
