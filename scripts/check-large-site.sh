#!/usr/bin/env bash
# One-off check that the input limits leave room for a very large real site: writes a project of
# 230,000 pages and about 50 MB, builds it with pagewick-cli and prints the size, the page count,
# the time and the peak memory. Usage: scripts/check-large-site.sh [BUILD_DIR] [PAGES]
set -euo pipefail
build=${1:-build}
pages=${2:-230000}
cli="$build/src/cli/pagewick-cli"
[ -x "$cli" ] || { echo "build pagewick-cli first ($cli is missing)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/template/css"
cat >"$work/template/index.html" <<'HTML'
<html><head><title>{$title}</title><link rel="stylesheet" href="css/site.css"></head>
<body><nav>{$menu}</nav><main>{$content}</main></body></html>
HTML
echo 'body { margin: 0 }' >"$work/template/css/site.css"
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<project><content>$title Large Site'
  echo '[menu]'
  echo '* *[page000000.html Home]'
  awk -v n="$pages" 'BEGIN {
    for (i = 0; i < n; i++) {
      printf "[page%06d.html]\n$title Page %d\n= Page %d\n\nThis is page %d of a large site, with _[some] text and a *[page%06d.html link] to the next page.\nA second line of the same paragraph.\n\n* a point\n* another point\n", i, i, i, i, (i + 1) % n
    }
  }'
  echo '</content></project>'
} >"$work/site.pwproj"

bytes=$(stat -c %s "$work/site.pwproj")
echo "project: $pages pages, $bytes bytes"
/usr/bin/time -f "elapsed %e s, peak memory %M KiB" "$cli" build "$work/site.pwproj" --quiet
echo "pages written: $(find "$work/html" -name 'page*.html' | wc -l)"
