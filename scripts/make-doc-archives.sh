#!/usr/bin/env bash
# Builds one zip archive per documentation set from Debian's documentation packages, to measure
# the engine on real pages of each kind (Sphinx, DocBook, Doxygen, hand-written) and in English,
# French and Japanese:
#
#   scripts/make-doc-archives.sh OUTDIR [SET...]
#
# Each archive OUTDIR/SET.zip holds the set's pages with their style sheets and pictures, at the
# member paths they have in the package (usr/share/doc/...). Scripts, search indexes and
# Debian's own files stay out. OUTDIR/sets.tsv lists what was built, one set a line:
# name, kind, language, archive, folder of the pages, page pattern, packages and versions.
# tools/compare-text.py reads it. Packages are downloaded with apt-get and unpacked in a
# temporary folder, never installed. With SET names only those sets are built.
# (scripts/make-doc-archive.sh still builds the single SQLite archive the program opens.)
set -euo pipefail

usage() { echo "usage: $0 OUTDIR [SET...]" >&2; exit 2; }
[ $# -ge 1 ] || usage
case "$1" in -*) usage ;; esac
outdir=$(realpath -m -- "$1"); shift
mkdir -p "$outdir"

# name | kind | language | packages (space-separated) | folder of the set in the packages | page pattern
sets=(
  "python-en|sphinx|en|python3.11-doc|usr/share/doc/python3.11/html|*.html"
  "devref-fr|sphinx|fr|developers-reference-fr|usr/share/developers-reference/fr|*.html"
  "devref-ja|sphinx|ja|developers-reference-ja|usr/share/developers-reference/ja|*.html"
  "postgresql-en|docbook|en|postgresql-doc-15|usr/share/doc/postgresql-doc-15/html|*.html"
  "debref-fr|docbook|fr|debian-reference-fr debian-reference-common|usr/share/debian-reference|*.fr.html"
  "debref-ja|docbook|ja|debian-reference-ja debian-reference-common|usr/share/debian-reference|*.ja.html"
  "maintguide-fr|docbook|fr|maint-guide-fr|usr/share/doc/maint-guide-fr/html|*.fr.html"
  "maintguide-ja|docbook|ja|maint-guide-ja|usr/share/doc/maint-guide-ja/html|*.ja.html"
  "log4cplus-en|doxygen|en|liblog4cplus-doc|usr/share/doc/liblog4cplus-dev/html|*.html"
  "lmdb-en|doxygen|en|lmdb-doc|usr/share/doc/lmdb-doc/html|*.html"
  "sqlite-en|hand|en|sqlite3-doc|usr/share/doc/sqlite3|*.html"
  "libxml2-en|hand|en|libxml2-doc|usr/share/doc/libxml2/html|*.html"
)

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! command -v zip >/dev/null; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends zip
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/debs"

# apt's download user cannot write to a private temporary folder; it then downloads as the
# caller and says so, which tells nobody anything.
fetch() { (cd "$work/debs" && apt-get download -qq "$@" 2> >(grep -v 'unsandboxed' >&2)); }
updated=0
deb_of() {
  local p=$1 f
  f=$(ls "$work/debs/${p}"_*.deb 2>/dev/null | head -1 || true)
  if [ -z "$f" ]; then
    if ! fetch "$p"; then
      [ $updated -eq 1 ] && return 1
      $SUDO apt-get update -qq; updated=1
      fetch "$p" || return 1
    fi
    f=$(ls "$work/debs/${p}"_*.deb | head -1)
  fi
  echo "$f"
}

want=" $* "
index="$outdir/sets.tsv"
tmpindex="$work/sets.tsv"
[ -f "$index" ] && cp "$index" "$tmpindex" || : > "$tmpindex"
for entry in "${sets[@]}"; do
  IFS='|' read -r name kind lang packages root pattern <<<"$entry"
  if [ $# -gt 0 ] && [[ "$want" != *" $name "* ]]; then continue; fi
  tree="$work/tree-$name"
  mkdir -p "$tree"
  versions=()
  for p in $packages; do
    deb=$(deb_of "$p") || { echo "$0: cannot download $p" >&2; exit 1; }
    dpkg-deb -x "$deb" "$tree"
    versions+=("$p=$(dpkg-deb -f "$deb" Version)")
  done
  [ -d "$tree/$root" ] || { echo "$0: $packages have no $root" >&2; exit 1; }
  stage="$work/stage-$name"
  mkdir -p "$stage"
  # Pages of the set's language, style sheets and pictures; symbolic links to other packages'
  # scripts (jquery and the like) stay out, links inside the set are stored as the files.
  (cd "$tree" && find "$root" \( -type f -o -type l \) \
      \( -name "$pattern" -o -name '*.css' -o -name '*.gif' -o -name '*.png' -o -name '*.jpg' \
         -o -name '*.jpeg' -o -name '*.bmp' -o -name '*.svg' \) -print0 |
    while IFS= read -r -d '' f; do
      [ -e "$f" ] || continue
      mkdir -p "$stage/$(dirname "$f")"
      cp -L "$f" "$stage/$f"
    done)
  pages=$(cd "$stage" && find "$root" -type f -name "$pattern" | wc -l)
  members=$(cd "$stage" && find . -type f | wc -l)
  archive="$outdir/$name.zip"
  rm -f "$archive"
  (cd "$stage" && zip -q -r -9 -X -D "$archive" .)
  grep -v "^$name	" "$tmpindex" > "$tmpindex.new" || true
  mv "$tmpindex.new" "$tmpindex"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$kind" "$lang" "$archive" "$root" "$pattern" \
    "${versions[*]}" >> "$tmpindex"
  echo "$archive: $kind, $lang, $pages pages, $members members, $root (${versions[*]})"
  rm -rf "$tree" "$stage"
done
sort "$tmpindex" > "$index"
echo "$index: $(wc -l < "$index") sets"
