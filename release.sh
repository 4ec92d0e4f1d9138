#!/usr/bin/env bash
# Cuts a release: builds everything (tools/setup.sh), then writes dist/ with
# the installer, the portable zip of the program folder and the signed
# installer information file (tools/make_dist.sh).
#
#   ./release.sh [--url INSTALLER_URL] [--key KEY.pem] [--out DIR] [--publish ROOT]
#
# --url: where the installer will be offered for download (the info file's
#        "url="); default: the web site's /horlix/horlix-VERSION-setup.exe
# --key: the RSA-1024 private key to sign with; default the development key
#        tools/devkey/horlix-dev-private.pem, which only development builds
#        trust. A real release also builds with the matching public key:
#        HORLIX_CMAKE_ARGS=-DHORLIX_PUBLIC_KEY_FILE=modulus.txt ./release.sh ...
# --out: the output folder, default dist
# --publish: also put the release (installer, signed info file, the shipped
#        zone data file) into the folder ROOT that server/horlix-update-server
#        serves, with tools/horlix-publish
set -euo pipefail
cd "$(dirname "$0")"
url= key=tools/devkey/horlix-dev-private.pem out=dist publish=
while [ $# -gt 0 ]; do
  case "$1" in
    --url) url=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --publish) publish=$2; shift 2 ;;
    *) echo "usage: $0 [--url INSTALLER_URL] [--key KEY.pem] [--out DIR] [--publish ROOT]" >&2
       exit 2 ;;
  esac
done
HORLIX_XVFB_PID=
. tools/setup.sh
[ -n "$HORLIX_XVFB_PID" ] && kill "$HORLIX_XVFB_PID" 2>/dev/null || true
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
site=$(sed -n 's/^HORLIX_WEB_SITE:STRING=//p' build/windows/CMakeCache.txt)
[ -n "$url" ] || url="$site/horlix/horlix-$version-setup.exe"
tools/make_dist.sh build/windows build/native "$out" "$url" "$key"
if [ -n "$publish" ]; then
  tools/horlix-publish --root "$publish" --zone-file resources/horlixtz.ini \
      --installer "$out/horlix-$version-setup.exe" --version "$(echo "$version" | tr -d .)" \
      --key "$key" --url "$url" --sign-tool build/native/bin/horlix-sign
fi
