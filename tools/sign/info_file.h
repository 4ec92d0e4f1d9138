// The signed installer information file that horlixupdater downloads.
//
//   exever=VERSION
//   size=BYTES
//   url=ADDRESS
//   dig=32 HEX DIGITS          BlockDigest of the installer
//   #
//   sig=256 HEX DIGITS         RSA signature over BlockDigest of the text
//                              before the "#" (all four lines, with their
//                              line feeds)
//
// The updater finds each key by its first occurrence anywhere in the text,
// ends the url, dig and sig values at ';', CR, LF or the end, signs the text
// up to the first '#', and reads at most 1023 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/sign/sign_key.h"

constexpr size_t kInfoFileMax = 1023;
constexpr uint32_t kInfoUrlMax = 511;

// The signature over a 16-byte digest: the PKCS #1 v1.5 block type 1 with a
// DigestInfo header (00 01 FF..FF 00 3020300c06082a864886f70d020505000410
// digest) raised to the private exponent, as 256 hexadecimal digits.
// Returns 0, or -1 when the result does not pass the updater's own check
// (a key whose halves do not belong together).
int32_t SignDigest(const SignKey *key, const unsigned char digest[16], char sigHex[257]);

// Null when url can stand in the info file, else the reason it cannot.
const char *CheckInstallerUrl(const char *url);

// Builds the complete info file into out (outSize bytes, terminated).
// Returns its length, or -1 with the reason in err.
int32_t MakeInfoFile(char *out, size_t outSize, const SignKey *key, uint32_t version, const char *url,
                     const unsigned char *installer, uint32_t installerSize, char *err, size_t errSize);

// Builds the signature file of a zone data file (update/zone_signature.h)
// for the file's bytes and its [Version] Date into out. Returns its length,
// or -1 with the reason in err.
int32_t MakeZoneSignatureFile(char *out, size_t outSize, const SignKey *key, const char *date,
                              const unsigned char *file, uint32_t fileSize, char *err, size_t errSize);
