#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need (only those missing),
# configures and builds both trees, and prepares the Wine prefix.
# Sourced by run.sh and test.sh from the project root.
set -euo pipefail

packages=(cmake make g++ libgtest-dev googletest g++-mingw-w64-x86-64 mingw-w64-tools
          wine wine64 xvfb xauth x11-utils python3 openssl libssl-dev tzdata
          clang libclang-rt-14-dev
          nsis fp-utils zlib1g-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

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
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi

# A virtual display when there is none: the window tests and the program need one.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    HORLIX_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    break
  done
fi
