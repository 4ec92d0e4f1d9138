// Shared pieces of the update tests: a progress list that records its
// lines, a balloon that records its texts, and registry look-ups.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "clocks/registry.h"
#include "clocks/settings.h"
#include "update/progress_list.h"

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

}  // namespace updatetest
