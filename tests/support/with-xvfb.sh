#!/usr/bin/env bash
# Runs a command on a private Xvfb server, started here and stopped afterwards.
set -euo pipefail
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null; }
trap "kill $XVFB_PID 2>/dev/null; wait $XVFB_PID 2>/dev/null" EXIT
read -r -t 15 number <&"${XVFB[0]}" || { echo "Xvfb did not start" >&2; exit 1; }
env -u WAYLAND_DISPLAY DISPLAY=":$number" "$@"
