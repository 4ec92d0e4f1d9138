#include "tz/abbreviation.h"

#include <cstdio>
#include <cstring>

namespace {

struct OffsetWord {
  int value;
  const char* word;
};

#include "tz/abbreviation_words.inc"

// The entry of table whose word text starts with, or null; with whole set,
// the word must be all of text.
template <size_t N>
const OffsetWord* WordAt(const OffsetWord (&table)[N], const char* text, bool whole) {
  for (const OffsetWord& entry : table) {
    const size_t length = std::strlen(entry.word);
    if (std::strncmp(text, entry.word, length) != 0) continue;
    if (!whole || text[length] == '\0') return &entry;
  }
  return nullptr;
}

// IANA's spelling of a spelt-out offset name into text (at least 6 bytes);
// false when name is not one.
bool OffsetText(const char* name, char* text, size_t size) {
  const size_t prefix = std::strlen(kOffsetNamePrefix);
  if (std::strncmp(name, kOffsetNamePrefix, prefix) != 0) return false;
  const OffsetWord* sign = WordAt(kSignWords, name + prefix, false);
  if (sign == nullptr) return false;
  const char* rest = name + prefix + std::strlen(sign->word);
  // "Four" + "teen" is no name but "Fourteen" is: every hour word is tried
  // with the whole remainder as its minutes.
  for (const OffsetWord& hour : kHourWords) {
    const size_t length = std::strlen(hour.word);
    if (std::strncmp(rest, hour.word, length) != 0) continue;
    const OffsetWord* minutes = WordAt(kMinuteWords, rest + length, true);
    if (minutes == nullptr) continue;
    if (minutes->value == 0) {
      std::snprintf(text, size, "%c%02d", sign->value, hour.value);
    } else {
      std::snprintf(text, size, "%c%02d%02d", sign->value, hour.value, minutes->value);
    }
    return true;
  }
  return false;
}

}  // namespace

void ReadableAbbreviation(const char* name, char* out, size_t size) {
  if (size == 0) return;
  char text[16];
  std::snprintf(out, size, "%s", OffsetText(name, text, sizeof text) ? text : name);
}
