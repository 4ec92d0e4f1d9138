#!/usr/bin/env bash
# Installs what is missing, builds everything, installs the built installer
# silently into a Wine prefix of its own, build/wineprefix-run (over an
# earlier installation, closing a running Horlix), and starts the installed
# horlix.exe from C:\Program Files\Horlix. No test touches that prefix, so the
# clocks and settings made there survive ./test.sh. Without a usable display
# it runs on a virtual one and says how to look at it. It keeps running until
# Horlix ends (Exit in its menu) or Ctrl-C.
#
# HORLIX_RUN_WINEPREFIX chooses another prefix (never the tests' own).
set -euo pipefail
cd "$(dirname "$0")"
HORLIX_XVFB_PID=
run_prefix=${HORLIX_RUN_WINEPREFIX:-$PWD/build/wineprefix-run}
. tests/wine/env.sh
if [ "$(realpath -m "$run_prefix")" = "$(realpath -m "$WINEPREFIX")" ]; then
  echo "error: the prefix to run in, $run_prefix, is the tests' prefix: choose another" \
       "HORLIX_RUN_WINEPREFIX" >&2
  exit 1
fi
HORLIX_SETUP_PREFIX=$run_prefix
. tools/setup.sh
export WINEPREFIX=$run_prefix
# No menu entries of the installed program on the host's desktop.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
cleanup() { [ -n "$HORLIX_XVFB_PID" ] && kill "$HORLIX_XVFB_PID" 2>/dev/null || true; }
trap cleanup EXIT

setup=build/windows/installer/$(cat build/windows/installer/setup-name.txt)
echo "Installing $(basename "$setup") into $WINEPREFIX"
wine "$setup" /S

echo "Starting C:\\Program Files\\Horlix\\horlix.exe on display $DISPLAY."
if [ -n "$HORLIX_XVFB_PID" ]; then
  echo "That display is virtual: nothing shows on your screen. To look at it:"
  echo "    tools/screenshot.py --display $DISPLAY --prefix $WINEPREFIX strip.png   # the strip"
  if command -v import >/dev/null; then
    echo "    import -window root -display $DISPLAY screen.png   # the whole display"
  else
    echo "    (with imagemagick installed: import -window root -display $DISPLAY screen.png)"
  fi
  echo "The virtual display ends with this script."
fi
echo "This script keeps running until Horlix ends (Exit in its menu) or Ctrl-C."
wine 'C:\Program Files\Horlix\horlix.exe'
