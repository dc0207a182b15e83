// A stand-in unzip library for tests: its version and run result come from the environment
// (KORVA_FAKE_UNZLIB_VERSION, default 177; KORVA_FAKE_UNZLIB_RESULT, default 0).
#include <cstdint>
#include <cstdlib>

#include "unzlib/UnzLib.h"

namespace {
long EnvNumber(const char* name, long def) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtol(v, nullptr, 10) : def;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t UnzLibExec(korva::TUnzParams*) {
  return std::int32_t(EnvNumber("KORVA_FAKE_UNZLIB_RESULT", 0));
}
extern "C" __attribute__((visibility("default"))) std::uint32_t GetUnzLibVersion() {
  return std::uint32_t(EnvNumber("KORVA_FAKE_UNZLIB_VERSION", 177));
}
extern "C" __attribute__((visibility("default"))) std::uint32_t GetUnzLibPrivVersion() { return 1; }
