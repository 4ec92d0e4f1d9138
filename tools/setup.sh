#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need (only those missing),
# configures and builds the three trees (Windows, fuzz, native), and prepares
# a Wine prefix. Sourced by run.sh and test.sh from the project root.
#
# The packages and tzdata come from tools/packages.sh (as root; another user
# is told the one command for root to run).
#
# The caller may set HORLIX_SETUP_PREFIX to the Wine prefix to prepare
# (run.sh: its own prefix); otherwise it is the tests' prefix (tests/wine/env.sh).
# Afterwards DISPLAY names a display that answers: the caller's own, or a
# virtual one started here (its pid in HORLIX_XVFB_PID, its reason in
# HORLIX_DISPLAY_NOTE); when none can be started, the script stops.
set -euo pipefail

. tools/packages.sh

jobs=$(nproc 2>/dev/null || echo 2)
root=$(pwd)
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DHORLIX_WERROR=ON ${HORLIX_CMAKE_ARGS:-} >/dev/null
cmake --build build/windows -j"$jobs"
# The fuzz targets: clang with libFuzzer, ASan and UBSan, in a tree of their own.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHORLIX_FUZZ=ON \
      -DHORLIX_WERROR=ON >/dev/null
cmake --build build/fuzz -j"$jobs"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release -DHORLIX_WERROR=ON \
      -DHORLIX_WINDOWS_BUILD_DIR="$root/build/windows" -DHORLIX_FUZZ_BUILD_DIR="$root/build/fuzz" \
      ${HORLIX_CMAKE_ARGS:-} >/dev/null
cmake --build build/native -j"$jobs"

# A Wine prefix of our own inside the build folder, made once and reused.
. tests/wine/env.sh
setup_prefix=${HORLIX_SETUP_PREFIX:-$WINEPREFIX}
# A prefix counts as made only when wineboot succeeded (the stamp file); one
# whose creation failed is made again from scratch.
if [ ! -f "$setup_prefix/.horlix-ready" ]; then
  echo "Creating Wine prefix $setup_prefix"
  rm -rf "$setup_prefix"
  mkdir -p "$setup_prefix"
  if ! WINEPREFIX=$setup_prefix wineboot -i >"$setup_prefix.log" 2>&1 ||
     ! WINEPREFIX=$setup_prefix wineserver -w || [ ! -f "$setup_prefix/system.reg" ]; then
    echo "error: wineboot could not make the Wine prefix $setup_prefix (see $setup_prefix.log)" >&2
    exit 1
  fi
  touch "$setup_prefix/.horlix-ready"
fi

. tools/display.sh
