// Archives that once crashed the reader or the library: each is read and every member
// extracted, unattended.
#include <filesystem>

#include "ArchiveFixture.h"

namespace korva::test {
namespace {

class ZipCrashersTest : public ArchiveTest {};

TEST_F(ZipCrashersTest, EveryCrasherReadsAndExtractsQuietly) {
  const std::filesystem::path dir = std::filesystem::path(KORVA_TEST_DATA) / "crashers";
  int files = 0;
  for (const auto& item : std::filesystem::directory_iterator(dir)) {
    if (!item.is_regular_file()) continue;
    SCOPED_TRACE(item.path().filename().string());
    ++files;
    Zip.SetUnattended(true);
    Zip.SetZipFileName(item.path().string());
    for (int i = 0; i < Zip.Count(); ++i) {
      const std::string name = Zip.DirEntry(i).FFileName;
      if (TZipStream* s = Zip.ExtractMemberToStream(name)) {
        EXPECT_EQ(s->Size(), Zip.DirEntry(i).FUncompressedSize);
      }
    }
    EXPECT_TRUE(Dialogs.empty());
  }
  EXPECT_GT(files, 0);
}

TEST_F(ZipCrashersTest, NamesWithZeroBytesTravelAsCStrings) {
  const std::string name("\0\0\0\0tail.txt", 12);
  Open({{name, "abc", 0}, {std::string("x\0y", 3), "def", 0}});
  ASSERT_EQ(Zip.Count(), 2);
  EXPECT_EQ(Extract(name), "abc");
  EXPECT_EQ(Extract(std::string("x\0y", 3)), "def");
}

}  // namespace
}  // namespace korva::test
