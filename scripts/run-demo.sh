#!/usr/bin/env bash
# Opens the demo project in the desktop application; without a display, builds it headless.
set -euo pipefail
build=${1:-build}
demo="$(pwd)/examples/demo/demo.pwproj"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/src/ui/pagewick" ]; then
  exec "$build/src/ui/pagewick" "$demo"
fi
echo "No display: building the demo site headless."
"$build/src/cli/pagewick-cli" build "$demo"
