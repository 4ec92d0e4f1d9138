#include "update/replies.h"

#include <cstring>

namespace {

constexpr uint32_t kLargestStatus = 2147483647;

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int DigitValue(char c, int base) {
  int v;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  else return -1;
  return v < base ? v : -1;
}

// One scanf-style unsigned conversion at *p: false on no digits or on a
// value beyond 32 bits; on success *p moves past the number.
bool ScanNumber(const char** p, int base, uint32_t* out) {
  const char* s = *p;
  while (IsSpace(*s)) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  if (base == 16 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && DigitValue(s[2], 16) >= 0) {
    s += 2;
  }
  if (DigitValue(*s, base) < 0) return false;
  uint64_t value = 0;
  for (int d; (d = DigitValue(*s, base)) >= 0; ++s) {
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (value > 0xFFFFFFFFull) return false;
  }
  uint32_t result = static_cast<uint32_t>(value);
  if (negative) result = 0u - result;
  *out = result;
  *p = s;
  return true;
}

bool Literal(const char** p, const char* text) {
  const size_t n = std::strlen(text);
  if (std::strncmp(*p, text, n) != 0) return false;
  *p += n;
  return true;
}

}  // namespace

int ParseStatusReply(const char* reply, uint32_t* status) {
  if (std::strncmp(reply, "status=", 7) != 0) return -1;
  const char* p = reply + 7;
  if (*p < '0' || *p > '9') return -1;
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const uint32_t digit = static_cast<uint32_t>(*p - '0');
    value = value > (kLargestStatus - digit) / 10 ? kLargestStatus : value * 10 + digit;
  }
  *status = value;
  return 0;
}

int ParseZoneInfoReply(const char* reply, uint32_t* crc, uint32_t* size) {
  *crc = 0;
  *size = 0;
  if (std::strncmp(reply, "crc=", 4) != 0 || std::strstr(reply, "size=") == nullptr) return -1;
  const char* p = reply + 4;
  uint32_t value = 0;
  if (!ScanNumber(&p, 16, &value)) return 0;
  *crc = value;
  if (!Literal(&p, ";size=")) return 0;
  if (!ScanNumber(&p, 10, &value)) return 0;
  *size = value;
  return 0;
}
