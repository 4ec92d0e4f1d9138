#!/usr/bin/env bash
# Installs what is missing, builds everything, installs the built installer
# silently into the project's Wine prefix (build/wineprefix; over an earlier
# installation, closing a running Horlix) and starts the installed horlix.exe
# from C:\Program Files\Horlix. Without a display of your own it runs on a
# virtual one (and says so).
set -euo pipefail
cd "$(dirname "$0")"
HORLIX_XVFB_PID=
had_display=${DISPLAY:-}
. tools/setup.sh
. tests/wine/env.sh
# No menu entries of the installed program on the host's desktop.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

setup=build/windows/installer/$(cat build/windows/installer/setup-name.txt)
echo "Installing $(basename "$setup") into $WINEPREFIX"
wine "$setup" /S
if [ -z "$had_display" ]; then
  echo "No display: Horlix runs on the virtual display $DISPLAY (stop it with Ctrl-C)."
fi
cleanup() { [ -n "$HORLIX_XVFB_PID" ] && kill "$HORLIX_XVFB_PID" 2>/dev/null || true; }
trap cleanup EXIT
wine 'C:\Program Files\Horlix\horlix.exe'
