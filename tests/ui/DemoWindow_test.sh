#!/usr/bin/env bash
# The real application on the demo project, under a virtual X server: a top-level window titled
# "demo - Pagewick" appears and the program keeps running until it is told to stop.
# Usage (inside xvfb-run): DemoWindow_test.sh PAGEWICK SOURCE_DIR
set -uo pipefail
app=$1
demo=$2/examples/demo/demo.pwproj
PAGEWICK_HOME=$(mktemp -d)
export PAGEWICK_HOME
trap 'rm -rf "$PAGEWICK_HOME"' EXIT

"$app" "$demo" &
pid=$!
found=
for _ in $(seq 1 100); do
  if xwininfo -root -children 2>/dev/null | grep -q '"demo - Pagewick"'; then found=1; break; fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
sleep 1
if ! kill -0 "$pid" 2>/dev/null; then
  echo "the application ended on its own"
  exit 1
fi
kill "$pid"
wait "$pid" 2>/dev/null
if [ -z "$found" ]; then
  echo "no window titled \"demo - Pagewick\""
  exit 1
fi
echo "window shown"
