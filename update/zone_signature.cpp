#include "update/zone_signature.h"

#include <cstdio>
#include <cstring>

#include "bignum/block_digest.h"
#include "bignum/signature.h"

namespace {

constexpr size_t kSignatureDigits = 256;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

int ZoneSignedText(const char* date, const unsigned char* file, uint32_t fileSize, char* out,
                   size_t size) {
  unsigned char digest[16];
  BlockDigest(digest, file, fileSize);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return std::snprintf(out, size, "zd=%s;size=%u;dig=%s;", date, static_cast<unsigned>(fileSize),
                       hex);
}

int CheckZoneSignature(const char* text, uint32_t length, const char* date,
                       const unsigned char* file, uint32_t fileSize) {
  if (length > kZoneSignatureMax || std::memchr(text, '\0', length) != nullptr) return -1;
  const char* hash = static_cast<const char*>(std::memchr(text, '#', length));
  if (hash == nullptr) return -1;
  const size_t signedLength = static_cast<size_t>(hash - text);

  // The signed text must be exactly the one this file and date give.
  char expected[128];
  const int expectedLength = ZoneSignedText(date, file, fileSize, expected, sizeof expected);
  if (expectedLength <= 0 || static_cast<size_t>(expectedLength) >= sizeof expected ||
      static_cast<size_t>(expectedLength) != signedLength ||
      std::memcmp(expected, text, signedLength) != 0) {
    return -1;
  }

  // "sig=", exactly 256 hexadecimal digits, then at most a line end.
  const char* sig = hash + 1;
  const char* end = text + length;
  if (end - sig < 4 || std::memcmp(sig, "sig=", 4) != 0) return -1;
  sig += 4;
  if (static_cast<size_t>(end - sig) < kSignatureDigits) return -1;
  char sigHex[kSignatureDigits + 1];
  for (size_t i = 0; i < kSignatureDigits; ++i) {
    if (!IsHexDigit(sig[i])) return -1;
    sigHex[i] = sig[i];
  }
  sigHex[kSignatureDigits] = '\0';
  for (const char* p = sig + kSignatureDigits; p < end; ++p) {
    if (*p != '\r' && *p != '\n') return -1;
  }

  unsigned char digest[16];
  BlockDigest(digest, reinterpret_cast<const unsigned char*>(text),
              static_cast<uint32_t>(signedLength));
  return VerifySignature(sigHex, digest) == 0 ? 0 : -1;
}
