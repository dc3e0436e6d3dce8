#!/usr/bin/env bash
# Runs a command on a private Xvfb server, started here and stopped afterwards.
set -euo pipefail
displayfile=$(mktemp)
Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp >"$displayfile" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do
    [ -s "$displayfile" ] && break
    sleep 0.05
done
[ -s "$displayfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"
unset WAYLAND_DISPLAY
"$@"
