#!/usr/bin/env bash
# Cuts a release: checks the maker's key and addresses, builds the release in
# a tree of its own, proves the result and only then writes DIR with the
# installer, the portable zip of the program folder, the signed installer
# information file, SHA256SUMS, the download page and the winget manifest.
#
#   ./release.sh --key KEY.pem --site URL [--update-server URL] [--url URL]
#                [--out DIR] [--publish ROOT] [--winget-id PUBLISHER.NAME]
#                [--codesign PFX [--codesign-pass FILE] [--codesign-ca FILE]
#                 [--timestamp URL]]
#
# --key: the maker's RSA-1024 private key (PEM, unencrypted, exponent 65537),
#        the only thing in its file, readable by its owner alone and kept
#        outside the source tree. The updater is built to trust its public
#        half, derived here; the development key of tools/devkey is refused.
#        The key is read by horlix-sign's own parser (tools/sign/key_check.cpp,
#        compiled here into a temporary folder), so what passes is what signs.
# --site: the maker's web site, http://HOST[:PORT] or https:// (the About
#        box, the browser links, where horlixupdater fetches the info file);
#        also the update server unless --update-server names another. No
#        query or fragment, nothing that needs escaping, a host the users
#        reach (see tools/check_release.py; a private address only warns).
# --url: where the installer will be offered for download (the info file's
#        "url="); default: SITE/horlix/horlix-VERSION-setup.exe
# --out: the output folder, default dist
# --publish: also put the release (installer, signed info file, the shipped
#        zone data file) into the folder ROOT that server/horlix-update-server
#        serves, with tools/horlix-publish, with the portable zip,
#        SHA256SUMS and the download page
# --winget-id: the winget package identifier (default Brenvale.Horlix); the
#        release's winget/ folder holds its manifest
# --codesign: Authenticode-sign horlix.exe, horlixupdater.exe, the
#        uninstaller and the installer with this code-signing certificate and
#        its key (PKCS #12). Its password is the first line of the file
#        --codesign-pass names, or else the environment variable
#        HORLIX_CODESIGN_PASSWORD: never an argument, which every user of the
#        machine could read. --codesign-ca: the certificate authorities the
#        signatures are proven against (default: the system's). --timestamp:
#        an RFC 3161 time-stamp server, so the signatures outlive the
#        certificate.
#
# The release trees are build/release/windows and build/release/native
# (HORLIX_RELEASE_BUILD chooses another folder); the development trees keep
# the development key. Exit status 0 on success, 1 on a refused key or
# address, certificate or winget identifier or a failed build or proof
# (nothing written), 2 on bad usage.
set -euo pipefail
usage() {
  echo "usage: $0 --key KEY.pem --site URL [--update-server URL] [--url URL] [--out DIR] [--publish ROOT]" \
       "[--winget-id PUBLISHER.NAME] [--codesign PFX [--codesign-pass FILE] [--codesign-ca FILE] [--timestamp URL]]" >&2
  exit 2
}
fail() {
  echo "release: $*" >&2
  exit 1
}

# Authenticode: the certificate is proven before anything is built, the
# programs signed in a copy of the program folder, from which the installer
# is built again with its uninstaller signed as makensis writes it.
codesign_check() {
  [ -n "$codesign" ] || return 0
  if [ -z "$codesign_pass" ]; then
    [ -n "${HORLIX_CODESIGN_PASSWORD+set}" ] ||
      fail "--codesign needs the certificate's password: --codesign-pass FILE or HORLIX_CODESIGN_PASSWORD"
    # Handed to the tools as a file that only this user can read.
    codesign_pass=$(umask 077 && mktemp)
    trap 'rm -f "$codesign_pass"' EXIT
    printf '%s\n' "$HORLIX_CODESIGN_PASSWORD" > "$codesign_pass"
  fi
  export HORLIX_CODESIGN_PFX=$codesign HORLIX_CODESIGN_PASS_FILE=$codesign_pass
  export HORLIX_CODESIGN_CA=$codesign_ca HORLIX_CODESIGN_TIMESTAMP=$timestamp
  signer=$(tools/codesign.sh check 2>&1) || fail "${signer#codesign: }"
}
codesign_build() {
  local signed="$tree/signed" name
  name=$(cat "$tree/windows/installer/setup-name.txt")
  rm -rf "$signed"
  mkdir -p "$signed/program" "$signed/installer"
  cp -r "$tree/windows/program/Horlix" "$signed/program/"
  tools/codesign.sh sign "$signed/program/Horlix/horlix.exe" "$signed/program/Horlix/horlixupdater.exe" ||
    fail "the programs could not be signed; nothing was written to $out"
  # As installer/CMakeLists.txt builds it, with the signing tool.
  makensis -V2 -DVERSION="$version" -DPROGRAM_DIR="$signed/program/Horlix" \
      -DOUTFILE="$signed/installer/$name" -DICON="$PWD/resources/horlix.ico" -DWEB_SITE="$site" \
      -DSIGN_TOOL="$PWD/tools/codesign.sh" installer/horlix.nsi ||
    fail "the signed installer could not be built; nothing was written to $out"
  echo "$name" > "$signed/installer/setup-name.txt"
  programs=$signed
}
codesign_verify() {
  tools/codesign.sh verify "$programs/program/Horlix/horlix.exe" "$programs/program/Horlix/horlixupdater.exe" \
      "$stage/horlix-$version-setup.exe" ||
    fail "the Authenticode signatures do not prove out; nothing was written to $out"
}
# The winget manifest and the download page, from the files and SHA256SUMS.
write_listing() {
  python3 tools/release_listing.py write "$stage" --version "$version" --url "$url" --site "$site" \
      --winget-id "$winget_id" --signer "${signer:-}" ||
    fail "the winget manifest or the download page could not be written; nothing was written to $out"
}

key= site= server= url= out=$(dirname "$0")/dist publish=
winget_id=Brenvale.Horlix codesign= codesign_pass= codesign_ca= timestamp=
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --key) key=$2 ;;
    --site) site=$2 ;;
    --update-server) server=$2 ;;
    --url) url=$2 ;;
    --out) out=$2 ;;
    --publish) publish=$2 ;;
    --winget-id) winget_id=$2 ;;
    --codesign) codesign=$2 ;;
    --codesign-pass) codesign_pass=$2 ;;
    --codesign-ca) codesign_ca=$2 ;;
    --timestamp) timestamp=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[ -n "$key" ] && [ -n "$site" ] || usage
[ -n "$codesign" ] || [ -z "$codesign_pass$codesign_ca$timestamp" ] || usage
[ -n "$server" ] || server=$site
# Paths are the caller's; the work happens in the source tree.
key=$(realpath -m -- "$key")
out=$(realpath -m -- "$out")
[ -z "$publish" ] || publish=$(realpath -m -- "$publish")
[ -z "$codesign" ] || codesign=$(realpath -m -- "$codesign")
[ -z "$codesign_pass" ] || codesign_pass=$(realpath -m -- "$codesign_pass")
[ -z "$codesign_ca" ] || codesign_ca=$(realpath -m -- "$codesign_ca")
cd "$(dirname "$0")"
command -v openssl >/dev/null && command -v python3 >/dev/null ||
  fail "openssl and python3 are needed to check the key (apt-get install openssl python3)"

# The addresses the programs are built for.
python3 tools/check_release.py address --site "$site" || exit 1
[ "$server" = "$site" ] || python3 tools/check_release.py address --update-server "$server" || exit 1
[ -z "$url" ] || python3 tools/check_release.py address --url "$url" --path || exit 1
# With --publish, tools/horlix-publish keeps the installer at the address's path.
[ -z "$publish" ] || python3 tools/check_release.py installer "${url:-$site/horlix/x.exe}" || exit 1

# The key, read by horlix-sign's parser: one unencrypted RSA private key of
# 1024 bits, exponent 65537, in PEM, and nothing else in the file.
[ -e "$key" ] || fail "no key file $key"
[ -f "$key" ] && [ -r "$key" ] || fail "cannot read the key file $key"
command -v c++ >/dev/null || fail "a C++ compiler is needed to check the key (apt-get install g++)"
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
c++ -std=c++20 -O0 -I. tools/sign/key_check.cpp tools/sign/sign_key.cpp -o "$check/horlix-keycheck" ||
  fail "cannot compile the key check tools/sign/key_check.cpp"
modulus=$("$check/horlix-keycheck" "$key" 2>"$check/why") || fail "$key: $(head -n 1 "$check/why")"
modulus=${modulus#Modulus=}
dev_modulus=$(sed 's/^Modulus=//' tools/devkey/horlix-dev-modulus.txt | tr -d ' \r\n' | tr a-f A-F)
[ "$modulus" != "$dev_modulus" ] ||
  fail "$key is the development key of tools/devkey: its private half is published in the repository," \
       "so anyone could sign updates for a release that trusts it"
case "$key" in
  "$(pwd -P)"/*) fail "$key lies inside the source tree $(pwd -P), where a commit, an archive or a" \
                      "copy of the tree takes it along: keep it elsewhere" ;;
esac
mode=$(stat -c %a -- "$key")
(( (8#$mode & 8#077) == 0 )) ||
  fail "$key can be read or written by other users (mode $mode): chmod 600 $key, as ssh asks of its keys"

python3 tools/release_listing.py check-id "$winget_id" || exit 1
codesign_check

# The release trees, configured with the key's modulus and the addresses.
. tools/packages.sh
tree=${HORLIX_RELEASE_BUILD:-build/release}
mkdir -p "$tree"
tree=$(cd "$tree" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
# The modulus file is public: rewritten only when it changes.
echo "Modulus=$modulus" > "$tree/release-modulus.txt.new"
if cmp -s "$tree/release-modulus.txt.new" "$tree/release-modulus.txt"; then
  rm "$tree/release-modulus.txt.new"
else
  mv "$tree/release-modulus.txt.new" "$tree/release-modulus.txt"
fi
config=(-DCMAKE_BUILD_TYPE=Release -DHORLIX_WERROR=ON -DHORLIX_PUBLIC_KEY_FILE="$tree/release-modulus.txt"
        -DHORLIX_WEB_SITE="$site" -DHORLIX_UPDATE_SERVER="$server")
cmake -S . -B "$tree/windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake "${config[@]}" >/dev/null
cmake --build "$tree/windows" -j"$jobs" --target horlix_installer
cmake -S . -B "$tree/native" -DHORLIX_SANITIZERS=OFF "${config[@]}" >/dev/null
cmake --build "$tree/native" -j"$jobs" --target horlix-sign

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/windows/CMakeCache.txt")
[ -n "$url" ] || url="$site/horlix/horlix-$version-setup.exe"
programs="$tree/windows"
[ -z "$codesign" ] || codesign_build
stage="$tree/dist"
rm -rf "$stage"
tools/make_dist.sh "$programs" "$tree/native" "$stage" "$url" "$key"
(cd "$stage" && sha256sum -- "horlix-$version-setup.exe" "horlix-$version-portable.zip" \
    horlixquicki-sig.txt > SHA256SUMS)
write_listing

# The proof: the shipped updater trusts exactly this key, and the info file
# verifies with its public half.
openssl rsa -in "$key" -passin pass: -pubout -out "$tree/release-public.pem" 2>/dev/null
python3 tools/check_release.py build "$programs/program/Horlix/horlixupdater.exe" "$modulus" \
    "$dev_modulus" "$stage/horlixquicki-sig.txt" "$tree/release-public.pem" ||
  fail "the built release does not prove out; nothing was written to $out"
[ -z "$codesign" ] || codesign_verify

mkdir -p "$out"
rm -rf "$out/winget"
cp -r -- "$stage"/* "$out/"
echo "release: version $version for $site in $out:"
ls -l "$out"
if [ -n "$codesign" ]; then
  echo "release: the programs, the uninstaller and the installer are Authenticode-signed by $signer"
else
  echo "release: the programs are not Authenticode-signed (--codesign PFX signs them)"
fi
if [ -n "$publish" ]; then
  tools/horlix-publish --root "$publish" --zone-file resources/horlixtz.ini \
      --installer "$out/horlix-$version-setup.exe" --version "$(echo "$version" | tr -d .)" \
      --key "$key" --url "$url" --sign-tool "$tree/native/bin/horlix-sign" \
      --beside "$out/horlix-$version-portable.zip" --beside "$out/SHA256SUMS" \
      --download-page "$out/download.html"
fi
