#!/usr/bin/env bash
# Installs what is missing, builds the three trees (Windows, fuzz, native) and
# runs every test through CTest.
# The tests run in Wine prefixes of their own (build/wineprefix and the
# suites' prefixes under build/native), never in ./run.sh's
# build/wineprefix-run, and this script ends only the wine server it started.
set -euo pipefail
cd "$(dirname "$0")"
HORLIX_XVFB_PID=
. tools/setup.sh
. tests/wine/env.sh

# Whether a wine server serves the test prefix now: it runs in a folder
# named after the prefix's device and inode (server-DEV-INODE, in hexadecimal).
wine_server_up() {
  local name proc comm
  name=server-$(printf '%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for proc in /proc/[0-9]*; do
    read -r comm 2>/dev/null <"$proc/comm" || continue
    case "$comm" in wineserver*) ;; *) continue ;; esac
    case "$(readlink "$proc/cwd" 2>/dev/null)" in */"$name") return 0 ;; esac
  done
  return 1
}
server_was_up=
if wine_server_up; then
  server_was_up=1
  echo "A wine server already serves $WINEPREFIX: it is left running at the end."
fi
cleanup() {
  [ -n "$server_was_up" ] || wineserver -k >/dev/null 2>&1 || true
  [ -n "$HORLIX_XVFB_PID" ] && kill "$HORLIX_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
# Keep the wine server and the prefix's services up for the whole run, started
# here with their output detached: a service started by the first test would
# hold that test's output pipe open and CTest would wait for it.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
ctest --test-dir build/native --output-on-failure -j"$(nproc 2>/dev/null || echo 2)" "$@"
