#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs the whole test suite: once optimised,
# once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for preset in asan release; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  # The fonts the tests will measure and draw with (the suite's first test checks them too and
  # names the package of any that is missing).
  QT_QPA_PLATFORM=offscreen "build/$preset/tests/platform/check_fonts"
  ctest --preset "$preset" -j2
done
