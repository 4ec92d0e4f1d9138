// How the profile functions read an INI text, as measured under Wine:
// - a line ends at CR or LF; blanks (space, tab, VT, FF and Ctrl-Z) around it
//   are dropped;
// - a line starting with "[" and holding a later "]" is a section header;
//   the name is what lies between "[" and the last "]", trimmed. A name that
//   is empty is not listed, but its keys still belong to it;
// - any other line belongs to the section above it (none before the first):
//   the key is what comes before the first "=", trimmed; a line without "="
//   is a key without a value, which gives the default. ";" starts nothing;
// - names and values are kept as NUL-terminated texts, so a NUL byte ends a
//   name or value where it stands, but not its line;
// - names compare without case; the first section of a name is the only one
//   searched and the first key of a name the only one read; the name asked
//   for is trimmed first;
// - a value between a pair of the same quotes loses them, in the way the
//   functions do it: the copy starts after the first quote and loses its last
//   character when the value after that quote fits the buffer.
#include "clocks/zone_ini.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tz/fatal.h"

namespace {

constexpr size_t kValueBuffer = 256;  // the buffer the start-up passed

struct Section {
  const char* name;  // NUL-terminated in the text
  const char* tz;    // the first "TZ" key's value; null without one
  bool tzSeen;       // a "TZ" key came, with or without a value
};

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const char* a, const char* b, size_t bLength) {
  for (size_t i = 0; i < bLength; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;  // also at the end of a
  }
  return a[bLength] == '\0';
}

uint32_t HashName(const char* name, size_t length) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < length; ++i) h = (h ^ static_cast<unsigned char>(Lower(name[i]))) * 16777619u;
  return h;
}

void* AllocateOrDie(size_t size) {
  void* p = std::malloc(size);
  if (p == nullptr) FatalOutOfMemory("malloc failed to allocate memory.");
  return p;
}

// The first section of each name, by hash with linear probing.
struct NameIndex {
  int32_t* slots;  // section number, -1 when free
  size_t mask;
  const Section* sections;

  int32_t Find(const char* name, size_t length) const {
    for (size_t i = HashName(name, length) & mask;; i = (i + 1) & mask) {
      if (slots[i] < 0 || SameName(sections[slots[i]].name, name, length)) return slots[i];
    }
  }
  void Add(int32_t section) {
    const char* name = sections[section].name;
    const size_t length = std::strlen(name);
    size_t i = HashName(name, length) & mask;
    while (slots[i] >= 0) {
      if (SameName(sections[slots[i]].name, name, length)) return;  // a later duplicate
      i = (i + 1) & mask;
    }
    slots[i] = section;
  }
};

// Splits the text into sections, terminating names and values in place.
size_t ParseSections(char* text, size_t size, Section* sections) {
  size_t count = 0;
  size_t pos = 0;
  while (pos < size) {
    size_t b = pos;
    size_t e = pos;
    while (e < size && text[e] != '\r' && text[e] != '\n') ++e;
    pos = e + 1;
    while (b < e && Blank(text[b])) ++b;
    while (e > b && Blank(text[e - 1])) --e;
    if (b == e) continue;
    if (text[b] == '[') {
      size_t close = e - 1;
      while (close > b && text[close] != ']') --close;
      if (close > b) {
        size_t nb = b + 1;
        size_t ne = close;
        while (nb < ne && Blank(text[nb])) ++nb;
        while (ne > nb && Blank(text[ne - 1])) --ne;
        text[ne] = '\0';
        sections[count++] = Section{text + nb, nullptr, false};
        continue;
      }
    }
    if (count == 0 || sections[count - 1].tzSeen) continue;
    size_t eq = b;
    while (eq < e && text[eq] != '=') ++eq;
    size_t ke = eq;
    while (ke > b && Blank(text[ke - 1])) --ke;
    if (strnlen(text + b, ke - b) != 2 || Lower(text[b]) != 't' || Lower(text[b + 1]) != 'z') {
      continue;
    }
    Section& s = sections[count - 1];
    s.tzSeen = true;
    if (eq == e) continue;  // no "=": no value
    size_t vb = eq + 1;
    while (vb < e && Blank(text[vb])) ++vb;
    text[e] = '\0';
    s.tz = text + vb;
  }
  return count;
}

// The value as the functions copy it into the 256-byte buffer.
void CopyValue(const char* value, char* out) {
  size_t length = std::strlen(value);
  size_t cut = 0;
  if ((value[0] == '"' || value[0] == '\'') && value[1] != '\0' && value[length - 1] == value[0]) {
    ++value;
    --length;
    cut = length <= kValueBuffer ? 1 : 0;
  }
  size_t n = length < kValueBuffer - 1 ? length : kValueBuffer - 1;
  n -= cut;
  std::memcpy(out, value, n);
  out[n] = '\0';
}

}  // namespace

bool ReadZoneText(char* text, size_t size, ZoneSectionFn found, void* context) {
  for (size_t i = 0; i < size; ++i) {
    if (static_cast<unsigned char>(text[i]) > 0x7F) return false;
  }
  text[size] = '\0';
  // A header takes at least two bytes ("[]") and a line break.
  const size_t most = size / 3 + 1;
  auto* sections = static_cast<Section*>(AllocateOrDie(most * sizeof(Section)));
  const size_t count = ParseSections(text, size, sections);
  size_t slots = 16;
  while (slots < count * 2) slots *= 2;
  NameIndex index{static_cast<int32_t*>(AllocateOrDie(slots * sizeof(int32_t))), slots - 1,
                  sections};
  std::memset(index.slots, 0xFF, slots * sizeof(int32_t));
  for (size_t i = 0; i < count; ++i) index.Add(static_cast<int32_t>(i));
  for (size_t i = 0; i < count; ++i) {
    const char* name = sections[i].name;
    if (name[0] == '\0') continue;
    size_t length = std::strlen(name);
    while (length > 0 && Blank(name[length - 1])) --length;  // before a NUL in the name
    const int32_t first = index.Find(name, length);
    char tz[kValueBuffer] = "";
    if (first >= 0 && sections[first].tz != nullptr) CopyValue(sections[first].tz, tz);
    found(name, tz, context);
  }
  std::free(index.slots);
  std::free(sections);
  return true;
}
