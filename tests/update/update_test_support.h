// Shared pieces of the update tests: a progress list that records its
// lines, a balloon that records its texts, registry look-ups, and the
// maker's signature of a zone data file.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "clocks/registry.h"
#include "clocks/settings.h"
#include "tools/sign/info_file.h"
#include "tools/sign/sign_key.h"
#include "update/progress_list.h"

#include "dev_key.inc"

namespace updatetest {

struct Recorded {
  std::vector<std::string> lines;
  int clears = 0;
};

inline ProgressList RecordingList(Recorded* into) {
  return ProgressList{
      [](ProgressList* self) {
        auto* r = static_cast<Recorded*>(self->context);
        r->lines.clear();
        ++r->clears;
      },
      [](ProgressList* self, const char* line) {
        static_cast<Recorded*>(self->context)->lines.push_back(line);
      },
      into};
}

inline bool ReadDwordValue(const char* name, int32_t* value) {
  uint32_t type = 0;
  uint32_t size = sizeof *value;
  return RegistryRead(kMainKey, name, &type, value, &size) == 0 && type == kRegDword;
}

inline bool ReadLastCheck(uint8_t out[8]) {
  uint32_t type = 0;
  uint32_t size = 8;
  return RegistryRead(kMainKey, "UpdateLastCheck", &type, out, &size) == 0 &&
         type == kRegBinary && size == 8;
}

// The signature file of a zone data file's bytes with its Date, signed
// with the development key, which the test builds trust.
inline std::string ZoneSignature(const std::string& bytes, const char* date) {
  SignKey key;
  char err[256];
  if (ParseSignKeyPem(kDevKeyPem, std::strlen(kDevKeyPem), &key, err, sizeof err) != 0) return err;
  char text[1024];
  const int32_t length =
      MakeZoneSignatureFile(text, sizeof text, &key, date,
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<uint32_t>(bytes.size()), err, sizeof err);
  return length < 0 ? std::string(err) : std::string(text, static_cast<size_t>(length));
}

}  // namespace updatetest
