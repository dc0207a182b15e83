// korva-render's search, run as a user runs it: the matches the viewer's find bar would mark.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ToolRun.h"

namespace {

std::string RunRender(const std::string& page, const std::string& args) {
  namespace fs = std::filesystem;
  const fs::path tool = fs::path(KORVA_BIN_DIR) / "korva-render";
  if (!fs::exists(tool)) {
    ADD_FAILURE() << tool << " is missing: build the korva-render target";
    return {};
  }
  const fs::path file = fs::temp_directory_path() / ("korva-render-test-" + std::to_string(::getpid()) + ".html");
  std::ofstream(file, std::ios::binary) << page;
  std::string out =
      korva::test::RunCommand("'" + tool.string() + "' --fixed-metrics " + args + " '" + file.string() + "' 2>/dev/null");
  fs::remove(file);
  return out;
}

}  // namespace

// A page in a folder of an archive reads the sheets of a sibling folder (".." within the
// archive, a query left off), but nothing named by an absolute path or a scheme.
TEST(RenderTool, SheetsComeFromTheArchiveAndNowhereElse) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("korva-render-tree-" + std::to_string(::getpid()));
  fs::create_directories(root / "html" / "css");
  fs::create_directories(root / "html" / "ref");
  std::ofstream(root / "html" / "css" / "a.css") << ".a { display: none }";
  std::ofstream(root / "outside.css") << ".b { display: none }";
  std::ofstream(root / "html" / "ref" / "page.html")
      << "<link rel=stylesheet href=\"../css/a.css?v=1\">"
         "<link rel=stylesheet href=\"" << (root / "outside.css").string() << "\">"
         "<link rel=stylesheet href=\"file://" << (root / "outside.css").string() << "\">"
         "<div class=a>A</div><div class=b>B</div>";
  ASSERT_EQ(std::system(("cd '" + root.string() + "' && zip -q -r docs.zip html").c_str()), 0);
  const std::string out =
      korva::test::RunCommand("'" + (fs::path(KORVA_BIN_DIR) / "korva-render").string() + "' --fixed-metrics --dump '" +
                              (root / "docs.zip").string() + "' html/ref/page.html 2>/dev/null");
  fs::remove_all(root);
  EXPECT_NE(out.find("block div.a 10,5 0x0 none"), std::string::npos) << out;
  EXPECT_NE(out.find("\"B\""), std::string::npos) << out;
}

TEST(RenderTool, FindListsTheMatchesAcrossRunsLinksAndCells) {
  const std::string out = RunRender(
      "<meta charset=utf-8><p>Caf\xC3\xA9 and <b>ca</b>f\xC3\xA9 and <a href=x>CAF\xC3\x89</a></p>"
      "<table><tr><td>caf\xC3\xA9</table>",
      "--find 'caf\xC3\xA9'");
  EXPECT_EQ(out.substr(0, out.find('\n')), "find: 4 matches") << out;
  EXPECT_NE(out.find("match 1: positions 0-4, line at y "), std::string::npos) << out;
  EXPECT_NE(out.find("match 4: "), std::string::npos) << out;
  EXPECT_EQ(RunRender("<p>nothing here</p>", "--find zebra"), "find: 0 matches\n");
}
