// The installer information file that horlixupdater downloads:
//
//   exever=1651            offered version, four digits written together
//   size=4194304           installer size in bytes
//   url=http://...         where the installer is
//   dig=<32 hex digits>    BlockDigest of the installer
//   #
//   sig=<hex digits>       RSA signature over BlockDigest of all text
//                          before the first "#"
//
// The text must begin with "exever=", and exever must be above the program's
// own version number (HORLIX_VERSION_NUMBER). exever, size, url and dig are taken
// from the signed text only, so nothing that the signature does not cover can
// supply them; sig is taken from the text after the "#".
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kInfoTextMax = 1023;

struct InstallerInfo {
  int32_t exever;
  int32_t size;  // 0 when missing or negative
  char url[512];
  char dig[64];
  char sig[512];
  uint32_t signedLength;  // bytes before the first "#" (all of them without one)
  unsigned char digest[16];
};

// Reads the file's items; returns nullptr, or the reason to cancel:
// "Invalid download" or "New version is older than current version".
const char* ReadInstallerInfo(const char* text, InstallerInfo* info);

// 16 digest bytes from hexadecimal text, pair by pair; bytes the text does
// not give stay 0, a pair that is not wholly hexadecimal gives the value of
// its valid leading part.
void DigestFromHex(const char* hex, unsigned char digest[16]);
