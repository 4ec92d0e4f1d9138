#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need (only those missing),
# configures and builds the three trees (Windows, fuzz, native), and prepares
# a Wine prefix. Sourced by run.sh, test.sh and release.sh from the project root.
#
# Installing needs root. Run as another user, it names what is missing and
# prints the one command for root to run, then stops.
#
# The caller may set HORLIX_SETUP_PREFIX to the Wine prefix to prepare
# (run.sh: its own prefix); otherwise it is the tests' prefix (tests/wine/env.sh).
# Afterwards DISPLAY names a display that answers: the caller's own, or a
# virtual one started here (its pid in HORLIX_XVFB_PID, its reason in
# HORLIX_DISPLAY_NOTE); when none can be started, the script stops.
set -euo pipefail

packages=(cmake make g++ libgtest-dev googletest g++-mingw-w64-x86-64 mingw-w64-tools
          wine wine64 xvfb xauth x11-utils python3 openssl libssl-dev tzdata
          clang libclang-rt-14-dev
          nsis fp-utils zlib1g-dev
          apache2 apache2-utils)

export DEBIAN_FRONTEND=noninteractive
uid=${HORLIX_UID:-$(id -u)}   # HORLIX_UID: only to try the non-root messages as root
apt_updated=
apt_update_once() {
  [ -n "$apt_updated" ] || apt-get update -q
  apt_updated=1
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The zone data checks compare the shipped horlixtz.ini with the IANA release
# it was made from: bring Debian's tzdata to that release (up or down).
want_tz=$(sed -n 's/^Release=//p' resources/horlixtz.ini | tr -d '\r' | head -n 1)
have_tz=$(sed -n '1s/^# version //p' /usr/share/zoneinfo/tzdata.zi 2>/dev/null || true)
tz_version=
if [ -n "$want_tz" ] && [ "$want_tz" != "$have_tz" ]; then
  [ "$uid" != 0 ] || apt_update_once
  tz_version=$(apt-cache madison tzdata 2>/dev/null | awk -v r="$want_tz" '$3 ~ "^" r "-" { print $3; exit }')
  if [ -z "$tz_version" ]; then
    echo "warning: Debian offers no tzdata of IANA release $want_tz, which resources/horlixtz.ini" \
         "was made from (this machine has ${have_tz:-none}): the zone data checks will fail" >&2
  fi
fi

if [ "$uid" != 0 ]; then
  if [ ${#missing[@]} -gt 0 ] || [ -n "$tz_version" ]; then
    line="apt-get update && apt-get install -y --no-install-recommends"
    [ ${#missing[@]} -eq 0 ] || line+=" ${missing[*]}"
    [ -z "$tz_version" ] || line+=" --allow-downgrades tzdata=$tz_version"
    [ ${#missing[@]} -eq 0 ] || echo "Missing packages: ${missing[*]}" >&2
    [ -z "$tz_version" ] || echo "The zone data checks need tzdata $tz_version (IANA $want_tz;" \
                                 "this machine has ${have_tz:-none})." >&2
    echo "Installing needs root. As root, run:" >&2
    echo "    $line" >&2
    if [ ${#missing[@]} -gt 0 ]; then
      echo "then run this script again." >&2
      exit 1
    fi
    echo "Going on without it: the zone data checks will fail until then." >&2
  fi
else
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt_update_once
    apt-get install -y -q --no-install-recommends "${missing[@]}"
    # The package may start the system's own Apache (port 80); the site tests
    # and bench/site run httpd of their own, so none is left running.
    if [[ " ${missing[*]} " == *" apache2 "* ]]; then
      apache2ctl stop >/dev/null 2>&1 || true
    fi
  fi
  if [ -n "$tz_version" ]; then
    echo "Installing tzdata $tz_version (IANA $want_tz, the release of resources/horlixtz.ini; was ${have_tz:-none})"
    apt-get install -y -q --no-install-recommends --allow-downgrades "tzdata=$tz_version"
  fi
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
