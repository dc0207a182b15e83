// Running the engine's command-line tools as a user runs them, for the tests of what they print.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace korva::test {

// What the shell command prints on standard output; a failed exit fails the test.
inline std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0) << command;
  } else {
    ADD_FAILURE() << "cannot run " << command;
  }
  return out;
}

}  // namespace korva::test
