#!/usr/bin/env bash
# Installs what is missing, builds both trees and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
HORLIX_XVFB_PID=
. tools/setup.sh
. tests/wine/env.sh
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$HORLIX_XVFB_PID" ] && kill "$HORLIX_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
# Keep the wine server and the prefix's services up for the whole run, started
# here with their output detached: a service started by the first test would
# hold that test's output pipe open and CTest would wait for it.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
ctest --test-dir build/native --output-on-failure -j"$(nproc 2>/dev/null || echo 2)" "$@"
