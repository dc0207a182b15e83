// Archives made by Info-ZIP's zip (when it is installed): the directory agrees with unzip's
// listing and every member comes out byte for byte.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "ArchiveFixture.h"

namespace korva::test {
namespace {

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

class ZipInteropTest : public ArchiveTest {};

TEST_F(ZipInteropTest, InfoZipArchivesAgreeWithUnzip) {
  if (!HaveTool("zip") || !HaveTool("unzip")) GTEST_SKIP() << "zip/unzip not installed";
  const std::string src = Dir / "src";
  std::filesystem::create_directories(src + "/docs/sub");
  std::filesystem::create_directories(src + "/empty");
  WriteFile(src + "/index.html", HtmlLikeText(200000));
  WriteFile(src + "/docs/page.html", "<title>Page</title>");
  WriteFile(src + "/docs/sub/deep.txt", "deep");
  WriteFile(src + "/zero.txt", "");
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary.push_back(char((i * 7919) >> 3));
  WriteFile(src + "/bin.dat", binary);
  const std::string zip = Dir / "z.zip";
  ASSERT_EQ(std::system(("cd '" + src + "' && zip -qr '" + zip + "' . && echo comment | zip -qz '" + zip + "'").c_str()), 0);
  // The same archive behind a stub, and with bytes after it.
  WriteFile(Dir / "stub.zip", std::string(3000, 'S') + ReadFile(zip));
  WriteFile(Dir / "tail.zip", ReadFile(zip) + "trailing text");
  for (const std::string& archive : {zip, Dir / "stub.zip", Dir / "tail.zip"}) {
    SCOPED_TRACE(archive);
    Zip.SetZipFileName(archive);
    std::set<std::string> expected, got;
    const std::string listing = Capture("unzip -Z1 '" + archive + "' 2>/dev/null");
    std::size_t start = 0;
    while (start < listing.size()) {
      std::size_t end = listing.find('\n', start);
      std::string name = listing.substr(start, end - start);
      start = end == std::string::npos ? listing.size() : end + 1;
      if (!name.empty() && name.back() != '/') expected.insert(name);
    }
    for (std::string name : Names()) {
      std::string bytes = *Extract(name);
      for (char& c : name)
        if (c == '\\') c = '/';
      EXPECT_EQ(bytes, ReadFile(src + "/" + name)) << name;
      got.insert(name);
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(expected.size(), 5u);
  }
}

}  // namespace
}  // namespace korva::test
