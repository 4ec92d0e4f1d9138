#include "updater/info_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "horlix_version.h"

namespace {

// Where key's value starts in the first len bytes of text, or nullptr.
const char* FindValue(const char* text, size_t len, const char* key) {
  const size_t keyLen = std::strlen(key);
  for (size_t i = 0; i + keyLen <= len; ++i) {
    if (std::memcmp(text + i, key, keyLen) == 0) return text + i + keyLen;
  }
  return nullptr;
}

// A decimal number as the C library reads it, kept within int32.
int32_t ReadNumber(const char* value) {
  if (value == nullptr) return 0;
  errno = 0;
  const long long v = std::strtoll(value, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// The value up to ';', CR, LF or the end (of the searched part), cut to
// size - 1 characters.
void ReadText(const char* value, const char* end, char* out, size_t size) {
  size_t n = 0;
  if (value != nullptr) {
    while (value + n < end && n < size - 1 && value[n] != ';' && value[n] != '\r' &&
           value[n] != '\n' && value[n] != '\0') {
      ++n;
    }
    std::memcpy(out, value, n);
  }
  out[n] = '\0';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void DigestFromHex(const char* hex, unsigned char digest[16]) {
  std::memset(digest, 0, 16);
  size_t count = std::strlen(hex) / 2;
  if (count > 16) count = 16;
  for (size_t i = 0; i < count; ++i) {
    const int high = HexValue(hex[2 * i]);
    const int low = HexValue(hex[2 * i + 1]);
    if (high < 0) continue;
    digest[i] = static_cast<unsigned char>(low < 0 ? high : high * 16 + low);
  }
}

const char* ReadInstallerInfo(const char* text, InstallerInfo* info) {
  std::memset(info, 0, sizeof *info);
  if (std::strncmp(text, "exever=", 7) != 0) return "Invalid download";
  const size_t total = std::strlen(text);
  const char* hash = std::strchr(text, '#');
  const size_t signedLen = hash != nullptr ? static_cast<size_t>(hash - text) : total;
  info->signedLength = static_cast<uint32_t>(signedLen);
  const char* signedEnd = text + signedLen;

  info->exever = ReadNumber(FindValue(text, signedLen, "exever="));
  // Only a newer release is taken: a genuine older one would be a downgrade.
  if (info->exever <= HORLIX_VERSION_NUMBER) return "New version is older than current version";
  info->size = ReadNumber(FindValue(text, signedLen, "size="));
  if (info->size < 0) info->size = 0;
  ReadText(FindValue(text, signedLen, "url="), signedEnd, info->url, sizeof info->url);
  ReadText(FindValue(text, signedLen, "dig="), signedEnd, info->dig, sizeof info->dig);
  if (hash != nullptr) {
    ReadText(FindValue(hash, total - signedLen, "sig="), text + total, info->sig,
             sizeof info->sig);
  }
  DigestFromHex(info->dig, info->digest);
  return nullptr;
}
