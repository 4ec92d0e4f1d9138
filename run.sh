#!/usr/bin/env bash
# Installs what is missing, builds, and starts horlix.exe under Wine from a
# program folder that holds it and its shipped zone data file. Without a
# display of your own it runs on a virtual one (and says so).
set -euo pipefail
cd "$(dirname "$0")"
HORLIX_XVFB_PID=
had_display=${DISPLAY:-}
. tools/setup.sh
. tests/wine/env.sh

prog=build/run/Horlix
mkdir -p "$prog"
cp build/windows/bin/horlix.exe resources/horlixtz.ini "$prog/"
if [ -z "$had_display" ]; then
  echo "No display: Horlix runs on the virtual display $DISPLAY (stop it with Ctrl-C)."
fi
cleanup() { [ -n "$HORLIX_XVFB_PID" ] && kill "$HORLIX_XVFB_PID" 2>/dev/null || true; }
trap cleanup EXIT
wine "$prog/horlix.exe"
