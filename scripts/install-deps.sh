#!/usr/bin/env bash
# Installs everything the build, the tests, the benchmarks and the program need, with apt-get,
# and only what is missing. Every entry point (README commands, CI) runs this first.
# Fonts: Liberation draws the classic Windows faces; WenQuanYi Micro Hei (small, with Han, kana
# and Hangul) is the fallback for CJK text. The test suite's first test (fonts) checks both.
# Locales: a German locale (decimal comma) lets the tests show that numbers are read the same
# whatever the user's locale.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-svg-dev libgl-dev
  zlib1g-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libgif-dev libpng-dev libgumbo-dev liblitehtml-dev
  fonts-liberation2 fonts-wqy-microhei fontconfig
  xvfb xauth zip unzip python3 locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  echo "Generating the de_DE.UTF-8 locale"
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
