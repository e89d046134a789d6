#!/usr/bin/env bash
# Builds the demo site headless and says where it went; with a display, then opens the demo
# project in the desktop application.
set -euo pipefail
build=${1:-build}
demo="$(pwd)/examples/demo/demo.pwproj"
"$build/src/cli/pagewick-cli" build "$demo" --quiet
echo "Open $(pwd)/examples/demo/html/index.html in a browser to see the site."
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/src/ui/pagewick" ]; then
  exec "$build/src/ui/pagewick" "$demo"
fi
