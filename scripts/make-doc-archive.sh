#!/usr/bin/env bash
# Builds a documentation archive with folders from a real Debian documentation package, to try
# the program on a set that is not flat:
#
#   scripts/make-doc-archive.sh OUT.zip
#   korva-api-loader OUT.zip [sqlite/c3ref/open.html] [--screenshot shot.png]
#
# The package is sqlite3-doc (a HTML manual of some 900 pages). Its pages sit in folders
# (c3ref/, session/, releaselog/, syntax/) and name their pictures and style sheet in sibling
# folders (../images/banner.gif, ../sqlite.css); they also hold javascript: links and links to
# the web. The archive holds the program's three fixed pages at its root and the manual under
# sqlite/. Nothing is installed on the system but the zip tool when it is missing: the package
# is downloaded with apt-get and unpacked in a temporary folder.
set -euo pipefail

package=sqlite3-doc
usage() { echo "usage: $0 OUT.zip" >&2; exit 2; }
[ $# -eq 1 ] || usage
case "$1" in -*) usage ;; esac
out=$(realpath -m -- "$1")
[ -d "$(dirname "$out")" ] || { echo "$0: no folder $(dirname "$out")" >&2; exit 1; }

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! command -v zip >/dev/null; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends zip
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# apt's download user cannot write to a private temporary folder; it then downloads as the
# caller and says so on every run, which tells nobody anything.
fetch() { apt-get download -qq "$package" 2> >(grep -v 'unsandboxed' >&2); }
if ! fetch; then
  # Package lists not there yet (a fresh machine).
  $SUDO apt-get update -qq
  fetch
fi
deb=$(ls "$package"_*.deb)
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -x "$deb" unpacked
docs=unpacked/usr/share/doc/sqlite3
[ -f "$docs/docs.html" ] || { echo "$0: $deb has no docs.html where it was expected" >&2; exit 1; }

mkdir -p stage/sqlite
# Pages, style sheets and pictures; the search database, PDFs and Debian's own files stay out.
(cd "$docs" && find . -type f \( -name '*.html' -o -name '*.css' -o -name '*.gif' -o -name '*.png' \
   -o -name '*.jpg' -o -name '*.jpeg' -o -name '*.bmp' \) -exec cp --parents -t "$work/stage/sqlite" {} +)

title="SQLite documentation ($package $version)"
cat > stage/KorvaAPI_Index.html <<EOF
<html><head><title>$title</title></head><body></body></html>
EOF
cat > stage/NavigationFrame.html <<EOF
<html><head><title>Contents</title><link rel="stylesheet" href="sqlite/sqlite.css"></head>
<body>
<h3>Contents</h3>
<p><a href="Overview.html">Overview</a></p>
<p><a href="sqlite/docs.html">Documentation index</a><br>
<a href="sqlite/c3ref/intro.html">C interface</a><br>
<a href="sqlite/c3ref/open.html#Opening">Opening a database</a><br>
<a href="sqlite/c3ref/funclist.html">Function list</a><br>
<a href="sqlite/session/intro.html">Sessions</a><br>
<a href="sqlite/lang.html">SQL language</a><br>
<a href="sqlite/fileformat2.html">File format</a><br>
<a href="sqlite/changes.html">Release history</a></p>
<p><a href="sqlite/c3ref/no-such-page.html">A page that is not there</a><br>
<a href="https://www.debian.org/">Debian (outside the archive)</a></p>
</body></html>
EOF
cat > stage/Overview.html <<EOF
<html><head><title>Overview</title></head>
<body>
<h1>$title</h1>
<p>The manual of Debian's <b>$package</b> package, version $version, as an archive with folders:
pages in <tt>sqlite/</tt> and its sub-folders, pictures in <tt>sqlite/images/</tt>, the style
sheet in <tt>sqlite/</tt>.</p>
<p><img src="sqlite/images/sqlite370_banner.gif" alt="banner"></p>
<p>Start with the <a href="sqlite/docs.html">documentation index</a> or the
<a href="sqlite/c3ref/intro.html">C interface</a>.</p>
</body></html>
EOF

rm -f "$out"
(cd stage && zip -q -r -9 -X -D "$out" .)
echo "$out: $(cd stage && find . -type f | wc -l) members from $package $version"
