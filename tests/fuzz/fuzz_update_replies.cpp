// The two replies of the update server: ParseStatusReply ("status=...") and
// ParseZoneInfoReply ("crc=%x;size=%u;"), from any text and from replies
// built of numbers in every spelling scanf accepts. Checks the documented
// results against a plain reading of the digits, and the information reply
// against glibc's sscanf with the same pattern (where no number overflows).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "update/replies.h"

namespace {

void CheckStatus(const std::string& text) {
  uint32_t status = 0xDEADBEEF;
  const int rc = ParseStatusReply(text.c_str(), &status);
  const char* s = text.c_str();
  const bool valid = std::strncmp(s, "status=", 7) == 0 && s[7] >= '0' && s[7] <= '9';
  FUZZ_CHECK(rc == (valid ? 0 : -1));
  if (!valid) {
    FUZZ_CHECK(status == 0xDEADBEEF);
    return;
  }
  unsigned long long v = 0;
  for (const char* p = s + 7; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + static_cast<unsigned>(*p - '0');
    if (v > 2147483647ull) v = 2147483647ull;
  }
  FUZZ_CHECK(status == v);
}

void CheckInfo(const std::string& text, bool compareWithScanf) {
  uint32_t crc = 1, size = 1;
  const int rc = ParseZoneInfoReply(text.c_str(), &crc, &size);
  const char* s = text.c_str();
  const bool recognised = std::strncmp(s, "crc=", 4) == 0 && std::strstr(s, "size=") != nullptr;
  FUZZ_CHECK(rc == (recognised ? 0 : -1));
  if (!recognised) {
    FUZZ_CHECK(crc == 0 && size == 0);
    return;
  }
  if (!compareWithScanf) return;
  unsigned int refCrc = 0, refSize = 0;
  std::sscanf(s, "crc=%x;size=%u;", &refCrc, &refSize);
  FUZZ_CHECK(crc == refCrc);
  FUZZ_CHECK(size == refSize);
}

// A number as scanf may meet it: blanks, a sign, "0x" for hex, a few digits
// (few enough that it never overflows 32 bits).
std::string Number(FuzzedDataProvider& in, bool hex) {
  std::string out;
  out.append(in.ConsumeIntegralInRange<int>(0, 2), " \t\n"[in.ConsumeIntegralInRange<int>(0, 2)]);
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 1: out += '-'; break;
    case 2: out += '+'; break;
    default: break;
  }
  // A "0x" with no digit after it is read differently by scanf
  // implementations, so a prefix always has one.
  const bool prefix = hex && in.ConsumeBool();
  if (prefix) out += in.ConsumeBool() ? "0x" : "0X";
  const int digits = in.ConsumeIntegralInRange<int>(prefix ? 1 : 0, hex ? 7 : 9);
  for (int i = 0; i < digits; ++i) {
    const char* set = hex ? "0123456789abcdefABCDEF" : "0123456789";
    out += set[in.ConsumeIntegralInRange<size_t>(0, std::strlen(set) - 1)];
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::string terminated(text.c_str());
    CheckStatus(terminated);
    CheckInfo(terminated, false);
    CheckStatus("status=" + terminated);
    CheckInfo("crc=" + terminated, false);
    return 0;
  }
  // A reply built of numbers scanf reads the same way.
  const std::string crc = Number(in, true);
  const std::string sep = in.ConsumeBool() ? ";size=" : in.ConsumeRandomLengthString(8);
  const std::string sz = Number(in, false);
  std::string tail = in.ConsumeRandomLengthString(16);
  tail = tail.c_str();
  const std::string reply = "crc=" + crc + sep + sz + ";" + tail + (in.ConsumeBool() ? "size=" : "");
  // The comparison needs the number to end where it was built to end: a
  // separator that goes on with digits (or stands in for a missing number)
  // would make it overflow, which the reply reader refuses and scanf leaves
  // undefined.
  const bool numberEnds = sep.empty() ? false
                          : std::strchr("0123456789abcdefABCDEFxX", sep[0]) == nullptr;
  // A separator that ends in a digit, a blank or a sign runs on into the size
  // (";size=90" followed by nine digits overflows).
  const bool sepJoinsSize =
      !sep.empty() && std::strchr("0123456789+- \t\n\v\f\r", sep.back()) != nullptr;
  const bool hasDigit = crc.find_first_of("0123456789abcdefABCDEF") != std::string::npos;
  const bool comparable =
      hasDigit && sep.find('\0') == std::string::npos &&
      (sep == ";size=" || (numberEnds && !sepJoinsSize));
  CheckInfo(reply.c_str(), comparable);
  CheckStatus("status=" + sz);
  return 0;
}
