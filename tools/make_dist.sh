#!/usr/bin/env bash
# Writes a release's files from built trees (nothing is built here):
#   OUT/horlix-VERSION-setup.exe     the installer
#   OUT/horlix-VERSION-portable.zip  the program folder Horlix/ as a zip
#   OUT/horlixquicki-sig.txt         the signed installer information file
#                                    that horlixupdater fetches
#   OUT/horlixtz.ini                 the zone data file the program folder ships
#   OUT/horlixtz-sig.txt             its signature, which horlix checks before
#                                    it installs a zone data file from /src/
# Usage: make_dist.sh WINDOWS_BUILD NATIVE_BUILD OUT INSTALLER_URL KEY.pem
set -euo pipefail
if [ $# -ne 5 ]; then
  echo "usage: $0 WINDOWS_BUILD NATIVE_BUILD OUT INSTALLER_URL KEY.pem" >&2
  exit 2
fi
win=$1 native=$2 out=$3 url=$4 key=$5
# The address goes into the signed info file: the same form release.sh and
# tools/horlix-publish take, checked before anything is written.
python3 "$(dirname "$0")/check_release.py" form --url "$url" --path 2>&1 |
  sed 's/^release: /make_dist: /' >&2 || exit 1

# The installer this tree builds (the folder may hold older ones).
setup="$win/installer/$(cat "$win/installer/setup-name.txt" 2>/dev/null || true)"
if [ ! -f "$setup" ]; then
  echo "make_dist: no installer in $win/installer (build the Windows tree first)" >&2
  exit 1
fi
version=$(basename "$setup")
version=${version#horlix-}
version=${version%-setup.exe}
# The version number the programs use: the four parts written together.
number=$(echo "$version" | tr -d .)
sign="$native/bin/horlix-sign"
[ -x "$sign" ] || { echo "make_dist: $sign has not been built" >&2; exit 1; }
[ -f "$key" ] || { echo "make_dist: no key file $key" >&2; exit 1; }

mkdir -p "$out"
cp "$setup" "$out/"
zip="$out/horlix-$version-portable.zip"
rm -f "$zip"
(cd "$win/program" && python3 -m zipfile -c "$(realpath -m "$zip")" Horlix)
"$sign" "$key" "$number" "$url" "$out/$(basename "$setup")" > "$out/horlixquicki-sig.txt.new"
mv "$out/horlixquicki-sig.txt.new" "$out/horlixquicki-sig.txt"
cp "$win/program/Horlix/horlixtz.ini" "$out/horlixtz.ini"
"$sign" --zone "$key" "$out/horlixtz.ini" > "$out/horlixtz-sig.txt.new"
mv "$out/horlixtz-sig.txt.new" "$out/horlixtz-sig.txt"
echo "make_dist: version $version ($number) in $out:"
ls -l "$out"
