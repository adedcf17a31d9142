#!/usr/bin/env bash
# Runs a command in a virtual X server of its own. The server picks a free
# display itself (-displayfd), so runs started together never share one, as
# they can under `xvfb-run -a`.
# Usage: with-xvfb.sh COMMAND [ARG...]
set -euo pipefail
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true; rm -rf "$dir"' EXIT
# The server writes its display number once it accepts connections.
for _ in $(seq 600); do
  grep -q '^[0-9][0-9]*$' "$dir/display" 2>/dev/null && break
  kill -0 $xvfb 2>/dev/null || break
  sleep 0.1
done
grep -q '^[0-9][0-9]*$' "$dir/display" || { echo "FAIL: Xvfb did not start" >&2; cat "$dir/xvfb.log" >&2; exit 1; }
DISPLAY=:$(cat "$dir/display") "$@"
