// The zone data file's one-pass reader over any text. Checks that a text
// with a byte above ASCII is declined, that every listed name is non-empty
// and stands in the text, that every value fits the 256-byte buffer, and
// that names equal but for case give the same value (the first section of a
// name is the only one read).
#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "clocks/zone_ini.h"
#include "fuzz_common.h"

namespace {

struct Listed {
  std::string name, tz;
};

void Collect(const char* name, const char* tz, void* context) {
  static_cast<std::vector<Listed>*>(context)->push_back({name, tz});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string original(reinterpret_cast<const char*>(data), size);
  std::string text = original + '\0';
  std::vector<Listed> listed;
  const bool read = ReadZoneText(text.data(), size, Collect, &listed);
  bool ascii = true;
  for (size_t i = 0; i < size; ++i) ascii = ascii && data[i] <= 0x7F;
  FUZZ_CHECK(read == ascii);
  FUZZ_CHECK(read || listed.empty());
  for (size_t i = 0; i < listed.size(); ++i) {
    FUZZ_CHECK(!listed[i].name.empty());
    FUZZ_CHECK(original.find(listed[i].name) != std::string::npos);
    FUZZ_CHECK(listed[i].tz.size() <= 255);
    for (size_t j = 0; j < i; ++j) {
      if (strcasecmp(listed[i].name.c_str(), listed[j].name.c_str()) == 0) {
        FUZZ_CHECK(listed[i].tz == listed[j].tz);
      }
    }
  }
  return 0;
}
