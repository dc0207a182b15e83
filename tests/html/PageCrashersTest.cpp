// Pages that once crashed the engine, replayed through the same run as the page fuzzer: build,
// layout, drawing, hit tests, dump and a second layout. Each NAME.bin is named by its cause and
// comes with NAME.expected, the laid-out size and dump length it gives now (with
// KORVA_WRITE_EXPECTED set, missing ones are written for review).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "PageExercise.h"

namespace korva::test {
namespace {

TEST(PageCrashers, ReplayToTheirExpectedOutcome) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(KORVA_TEST_DATA) / "page-crashers";
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".bin") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream f(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    const std::string bytes = ss.str();
    const page_exercise::TExerciseResult r =
        page_exercise::ExercisePage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(r.Ran);
    const std::string got = "height " + std::to_string(r.Height) + "\nscroll width " +
                            std::to_string(r.ScrollWidth) + "\ndump lines " + std::to_string(r.DumpLines) + "\n";
    fs::path expectedPath = entry.path();
    expectedPath.replace_extension(".expected");
    if (!fs::exists(expectedPath) && std::getenv("KORVA_WRITE_EXPECTED"))
      std::ofstream(expectedPath, std::ios::binary) << got;
    std::ifstream e(expectedPath, std::ios::binary);
    ASSERT_TRUE(e) << expectedPath << " is missing; this run made:\n" << got;
    std::stringstream expected;
    expected << e.rdbuf();
    EXPECT_EQ(got, expected.str());
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
}  // namespace korva::test
