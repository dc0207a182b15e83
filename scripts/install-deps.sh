#!/usr/bin/env bash
# Installs everything the build, the tests, the benchmarks and the program need, with apt-get,
# and only what is missing. Every entry point (README commands, CI) runs this first.
# Fonts: Liberation draws the classic Windows faces; WenQuanYi Micro Hei (small, with Han, kana
# and Hangul) is the fallback for CJK text. The test suite's first test (fonts) checks both.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev libgl-dev
  zlib1g-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libgif-dev libpng-dev libgumbo-dev
  fonts-liberation2 fonts-wqy-microhei fontconfig
  xvfb xauth zip unzip python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
