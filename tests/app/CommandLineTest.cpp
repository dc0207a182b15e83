// The program's command line.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace korva {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLineTest, ArchivePageAndScreenshot) {
  struct Case {
    Args In;
    std::string Archive, Member, Anchor, Screenshot;
  } cases[] = {
      {{}, "", "", "", ""},
      {{"docs.zip"}, "docs.zip", "", "", ""},
      {{"docs.zip", "html/a.html#Intro"}, "docs.zip", "html/a.html", "Intro", ""},
      {{"docs.zip", "a.html#x#y"}, "docs.zip", "a.html", "x#y", ""},
      {{"docs.zip", "a.html#"}, "docs.zip", "a.html", "", ""},
      {{"docs.zip", "#Intro"}, "docs.zip", "", "Intro", ""},
      {{"--screenshot", "s.png", "docs.zip", "a.html"}, "docs.zip", "a.html", "", "s.png"},
      {{"docs.zip", "--screenshot=s.png"}, "docs.zip", "", "", "s.png"},
      // The last one counts.
      {{"--screenshot", "a.png", "--screenshot", "b.png"}, "", "", "", "b.png"},
      // After "--" a leading dash is a name.
      {{"--", "-odd.zip", "--help"}, "-odd.zip", "--help", "", ""},
      // Qt's options and their values are not ours.
      {{"-platform", "offscreen", "docs.zip"}, "docs.zip", "", "", ""},
      {{"--style=fusion", "-reverse", "docs.zip"}, "docs.zip", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.In));
    const TCommandLine r = ParseCommandLine(c.In);
    EXPECT_EQ(r.Action, TCommandLine::caRun) << r.Error;
    EXPECT_EQ(r.Archive, c.Archive);
    EXPECT_EQ(r.StartMember, c.Member);
    EXPECT_EQ(r.StartAnchor, c.Anchor);
    EXPECT_EQ(r.Screenshot, c.Screenshot);
  }
}

TEST(CommandLineTest, HelpVersionAndErrors) {
  struct Case {
    Args In;
    TCommandLine::TAction Action;
    std::string Error;
  } cases[] = {
      {{"--help"}, TCommandLine::caHelp, ""},
      {{"-h"}, TCommandLine::caHelp, ""},
      {{"docs.zip", "--help", "--bogus"}, TCommandLine::caHelp, ""},
      {{"--version"}, TCommandLine::caVersion, ""},
      {{"--bogus"}, TCommandLine::caError, "unknown option --bogus"},
      {{"-x", "--help"}, TCommandLine::caError, "unknown option -x"},
      {{"-"}, TCommandLine::caError, "unknown option -"},
      {{"--screenshot"}, TCommandLine::caError, "option --screenshot needs a file name"},
      {{"--screenshot", ""}, TCommandLine::caError, "option --screenshot needs a file name"},
      {{"--screenshot="}, TCommandLine::caError, "option --screenshot needs a file name"},
      {{"-platform"}, TCommandLine::caError, "option -platform needs a value"},
      {{"a.zip", "b.html", "c"}, TCommandLine::caError, "too many arguments, from c"},
      {{""}, TCommandLine::caError, "an empty archive name"},
      {{"a.zip", ""}, TCommandLine::caError, "an empty page name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.In));
    const TCommandLine r = ParseCommandLine(c.In);
    EXPECT_EQ(r.Action, c.Action);
    EXPECT_EQ(r.Error, c.Error);
  }
  EXPECT_NE(UsageText().find("[ARCHIVE.zip [MEMBER[#anchor]]] [--screenshot FILE.png]"), std::string::npos);
  EXPECT_NE(ShortUsageText().find("--help"), std::string::npos);
  EXPECT_EQ(VersionText(), std::string("korva-api-loader ") + ProgramVersion + "\n");
}

}  // namespace
}  // namespace korva
