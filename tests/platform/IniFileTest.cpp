#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/IniFile.h"
#include "platform/System.h"

using namespace korva;

namespace {

std::string TempName(const char* tag) {
  return TempDir() + "korva-ini-" + tag + "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ".ini";
}

std::string Slurp(const std::string& f) {
  std::ifstream in(f, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

TEST(IniFile, MissingFileReadsDefaultsAndIsNotCreated) {
  std::string f = TempName("missing");
  std::remove(f.c_str());
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadString("APIPath", "APIPath", "/opt/docs/"), "/opt/docs/");
  EXPECT_EQ(ini.ReadInteger("A", "B", 7), 7);
  EXPECT_FALSE(ini.SectionExists("APIPath"));
  EXPECT_FALSE(FileExists(f));
}

TEST(IniFile, WriteCreatesFileAndReadsBackIgnoringCase) {
  std::string f = TempName("write");
  std::remove(f.c_str());
  TIniFile ini(f);
  ASSERT_TRUE(ini.WriteString("APIPath", "APIPath", "/srv/korva/"));
  EXPECT_TRUE(FileExists(f));
  EXPECT_EQ(Slurp(f), "[APIPath]\r\nAPIPath=/srv/korva/\r\n");
  EXPECT_EQ(ini.ReadString("apipath", "APIPATH", ""), "/srv/korva/");
  // Rewriting a key keeps its spelling and position; new keys join their section.
  ASSERT_TRUE(ini.WriteString("APIPATH", "apipath", "C:\\Docs\\"));
  ASSERT_TRUE(ini.WriteString("Other", "X", "1"));
  ASSERT_TRUE(ini.WriteString("apipath", "Second", "2"));
  EXPECT_EQ(Slurp(f), "[APIPath]\r\nAPIPath=C:\\Docs\\\r\nSecond=2\r\n\r\n[Other]\r\nX=1\r\n");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"APIPath", "Other"}));
  EXPECT_EQ(ini.ReadSection("APIPATH"), (std::vector<std::string>{"APIPath", "Second"}));
  ASSERT_TRUE(ini.DeleteKey("apipath", "second"));
  ASSERT_TRUE(ini.EraseSection("OTHER"));
  EXPECT_FALSE(ini.SectionExists("Other"));
  EXPECT_EQ(ini.ReadString("APIPath", "Second", "gone"), "gone");
  std::remove(f.c_str());
}

TEST(IniFile, ExistingFileParsing) {
  std::string f = TempName("parse");
  {
    std::ofstream out(f, std::ios::binary);
    out << "; comment\r\n  [ Main ]  \n key one =  spaced value  \r\nquoted=\"  kept  \"\nnum=0x1F\nbad=12abc\n"
           "dup=first\ndup=second\n[Empty]\n";
  }
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadString("main", "KEY ONE", ""), "spaced value");
  EXPECT_EQ(ini.ReadString("Main", "quoted", ""), "  kept  ");
  EXPECT_EQ(ini.ReadInteger("Main", "num", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Main", "bad", -1), -1);
  EXPECT_EQ(ini.ReadString("Main", "dup", ""), "first");
  EXPECT_TRUE(ini.SectionExists("empty"));
  EXPECT_FALSE(ini.ValueExists("Empty", "key one"));
  EXPECT_FALSE(ini.ValueExists("Main", "; comment"));
  std::remove(f.c_str());
}

TEST(IniFile, UnwritableLocationFailsCleanly) {
  TIniFile ini("/nonexistent-dir/korva/x.ini");
  EXPECT_FALSE(ini.WriteString("A", "B", "C"));
  EXPECT_EQ(ini.ReadString("A", "B", "d"), "d");
}
