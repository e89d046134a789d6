#!/usr/bin/env bash
# Takes the README's screenshot of the main window with the demo project under Xvfb.
# Usage: scripts/screenshot.sh [BUILD_DIR] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
OUT=${2:-docs/screenshot.png}
cmake --build "$BUILD_DIR" --target pw_ui_screenshot >/dev/null
# A private settings folder: the picture must not depend on who took it.
export PAGEWICK_HOME="$(mktemp -d)"
trap 'rm -rf "$PAGEWICK_HOME"' EXIT
xvfb-run -a -s "-screen 0 1280x800x24" \
  "$BUILD_DIR/tests/ui/pw_ui_screenshot" examples/demo/demo.pwproj "$OUT" "${PAGEWICK_LANG:-1033}"
echo "Saved $OUT"
