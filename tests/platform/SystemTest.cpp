#include <gtest/gtest.h>

#include "platform/System.h"

using namespace korva;

TEST(System, ProgramLocationAndPaths) {
  std::string exe = ProgramFileName();
  ASSERT_FALSE(exe.empty());
  EXPECT_TRUE(FileExists(exe));
  std::string dir = ProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_EQ(exe.substr(0, dir.size()), dir);
  SetProgramDirForTests("/tmp/x");
  EXPECT_EQ(ProgramDir(), "/tmp/x/");
  SetProgramDirForTests("");
  EXPECT_EQ(ProgramDir(), dir);

  EXPECT_EQ(NativePath("docs\\api\\a.html"), "docs/api/a.html");
  EXPECT_TRUE(DirectoryExists(TempDir()));
  EXPECT_FALSE(FileExists(TempDir()));
  EXPECT_EQ(FileSize(TempDir() + "definitely-not-here.bin"), -1);
}

TEST(System, DynamicLibraries) {
  std::string err;
  EXPECT_EQ(TDynLib::Load("libdoes-not-exist-korva.so", &err), nullptr);
  EXPECT_FALSE(err.empty());
  auto libz = TDynLib::Load("libz.so.1", &err);
  ASSERT_NE(libz, nullptr) << err;
  EXPECT_NE(libz->Symbol("zlibVersion"), nullptr);
  EXPECT_EQ(libz->Symbol("no_such_entry_point"), nullptr);
  EXPECT_EQ(libz->Path().front(), '/');
}

TEST(System, ClockAndScreenBits) {
  std::uint32_t a = GetTickCount();
  std::uint32_t b = TimeGetTime();
  EXPECT_LE(a, b);
  EXPECT_EQ(ScreenColorBits(), 24);
  SetScreenColorBits(8);
  EXPECT_EQ(ScreenColorBits(), 8);
  SetScreenColorBits(5);  // not a display class: back to the reading
  EXPECT_EQ(ScreenColorBits(), 24);
}
