#!/usr/bin/env bash
# Authenticode signing of the release's programs with osslsigncode (SHA-256),
# used by release.sh --codesign and, through makensis, for the uninstaller
# and the installer as NSIS writes them.
#
#   codesign.sh check            proves the certificate can sign; prints the
#                                name it is issued to
#   codesign.sh sign FILE...     signs each FILE in place, then verifies it
#   codesign.sh verify FILE...   verifies each FILE's signature
#
# The certificate and its password come from the environment, never from
# the command line (where every user of the machine could read them):
#   HORLIX_CODESIGN_PFX        the code-signing certificate with its key (PKCS #12)
#   HORLIX_CODESIGN_PASS_FILE  a file whose first line is the PFX's password
#   HORLIX_CODESIGN_TIMESTAMP  optional RFC 3161 time-stamp server address
#   HORLIX_CODESIGN_CA         optional certificate authorities to verify
#                              against (default: the system's)
# Exit status 0 when all holds, 1 with one line naming the reason otherwise.
set -euo pipefail
fail() {
  echo "codesign: $*" >&2
  exit 1
}
pfx=${HORLIX_CODESIGN_PFX:?} pass=${HORLIX_CODESIGN_PASS_FILE:?}

# The certificate the PFX holds for its key, in PEM form.
leaf_certificate() {
  openssl pkcs12 -in "$pfx" -passin "file:$pass" -nokeys -clcerts 2>/dev/null ||
    openssl pkcs12 -legacy -in "$pfx" -passin "file:$pass" -nokeys -clcerts 2>/dev/null
}

check() {
  command -v osslsigncode >/dev/null ||
    fail "osslsigncode is not installed, and it signs the programs (apt-get install osslsigncode)"
  [ -f "$pfx" ] && [ -r "$pfx" ] || fail "cannot read the certificate file $pfx"
  [ -f "$pass" ] && [ -r "$pass" ] || fail "cannot read the password file $pass"
  local cert
  cert=$(leaf_certificate) && [ -n "$cert" ] ||
    fail "$pfx does not open with the password given (or is not a PKCS #12 file)"
  echo "$cert" | openssl x509 -noout -checkend 0 >/dev/null ||
    fail "the certificate in $pfx has expired ($(echo "$cert" | openssl x509 -noout -enddate))"
  echo "$cert" | openssl x509 -noout -ext extendedKeyUsage 2>/dev/null | grep -q "Code Signing" ||
    fail "the certificate in $pfx is not for code signing (it lacks the extended key usage Code Signing)"
  echo "$cert" | openssl x509 -noout -subject -nameopt multiline |
    sed -n 's/^ *commonName *= //p' | head -n 1
}

verify() {
  local ca=()
  [ -z "${HORLIX_CODESIGN_CA:-}" ] || ca=(-CAfile "$HORLIX_CODESIGN_CA")
  for file in "$@"; do
    osslsigncode verify "${ca[@]}" -in "$file" >/dev/null 2>&1 ||
      fail "the Authenticode signature of $file does not verify"
  done
}

sign() {
  local ts=()
  [ -z "${HORLIX_CODESIGN_TIMESTAMP:-}" ] || ts=(-ts "$HORLIX_CODESIGN_TIMESTAMP")
  for file in "$@"; do
    # osslsigncode writes a new file; the signed copy replaces the original.
    osslsigncode sign -pkcs12 "$pfx" -readpass "$pass" -h sha256 -n "Horlix World Time Utility" \
        "${ts[@]}" -in "$file" -out "$file.signed" >/dev/null ||
      { rm -f "$file.signed"; fail "osslsigncode could not sign $file"; }
    mv "$file.signed" "$file"
  done
  verify "$@"
}

case "${1:-}" in
  check) check ;;
  sign | verify) what=$1; shift; "$what" "$@" ;;
  *) echo "usage: $0 check | sign FILE... | verify FILE..." >&2; exit 2 ;;
esac
