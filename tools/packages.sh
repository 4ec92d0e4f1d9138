#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need (only those missing)
# and brings tzdata to the IANA release of the shipped zone data file.
# Sourced by tools/setup.sh and release.sh from the project root; defines
# apt_update_once.
#
# Installing needs root. Run as another user, it names what is missing and
# prints the one command for root to run, then stops (a tzdata of another
# release only warns).
packages=(cmake make g++ libgtest-dev googletest g++-mingw-w64-x86-64 mingw-w64-tools
          wine wine64 xvfb xauth x11-utils python3 openssl libssl-dev tzdata
          clang libclang-rt-14-dev
          nsis fp-utils zlib1g-dev osslsigncode python3-yaml
          apache2 apache2-utils python3-icalendar)

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
