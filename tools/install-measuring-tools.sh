#!/usr/bin/env bash
# Installs what tools/compare-text.py and scripts/make-doc-archives.sh need to measure the
# engine against a browser: Debian's chromium (headless, driven through playwright-core),
# poppler-utils (pdftotext, for sets that ship PDF beside HTML), zip, ImageMagick, and node with npm.
# None of this is needed to build, test or run the program.
#
#   tools/install-measuring-tools.sh [NODE_DIR]
#
# playwright-core goes into NODE_DIR (default build/measure-node, outside git); it drives the
# system's /usr/bin/chromium and downloads no browser of its own.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
nodedir=$(realpath -m -- "${1:-$here/build/measure-node}")

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
need=()
command -v chromium >/dev/null || need+=(chromium)
command -v pdftotext >/dev/null || need+=(poppler-utils)
command -v zip >/dev/null || need+=(zip)
command -v unzip >/dev/null || need+=(unzip)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
# ImageMagick's convert crops the tall screenshots into views worth looking at. No fonts here: the
# browser uses the faces scripts/install-deps.sh installs (CJK ones included), and another CJK
# face would change the fallback the engine's own tests see.
[ -x /usr/bin/convert ] && /usr/bin/convert -version >/dev/null 2>&1 || need+=(imagemagick)
if [ ${#need[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

mkdir -p "$nodedir"
if [ ! -d "$nodedir/node_modules/playwright-core" ]; then
  (cd "$nodedir" && [ -f package.json ] || echo '{"private":true}' > package.json
   cd "$nodedir" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --no-audit --no-fund --silent playwright-core@1)
fi
echo "chromium: $(chromium --version 2>/dev/null | head -1)"
echo "pdftotext: $(pdftotext -v 2>&1 | head -1)"
echo "playwright-core: $(node -e "console.log(require('$nodedir/node_modules/playwright-core/package.json').version)")"
echo "node modules: $nodedir/node_modules"
