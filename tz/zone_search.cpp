// Zone search over the zone list and the generated search table.
#include "tz/zone_search.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

struct ZoneSearchNames {
  const char* zone;
  const char* countries;  // each list separated by ';'
  const char* olderNames;
  const char* cities;
};

const ZoneSearchNames kZoneSearchTable[] = {
#include "tz/zone_search_table.inc"
};

enum Rank {
  kExactCity = 0,
  kExactOtherName,
  kExactCountry,
  kCityWord,
  kOtherNameWord,
  kCountryWord,
  kExactAbbreviation,
  kAbbreviationStart,
};

// Lower-case letters of the Windows Latin-1 code page 0xC0..0xFF without
// their accents ('x' and 's' where none fits, 0 for the multiplication and
// division signs).
constexpr char kLatinFold[65] =
    "aaaaaaaceeeeiiiidnooooo\0ouuuuyts"
    "aaaaaaaceeeeiiiidnooooo\0ouuuuyty";

char FoldChar(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return static_cast<char>(c);
  if (c >= 0xC0) return kLatinFold[c - 0xC0];
  if (c == 0x8A || c == 0x9A) return 's';
  if (c == 0x8E || c == 0x9E) return 'z';
  if (c == 0x9F) return 'y';
  return 0;
}

// text (up to end, or its terminator) as lower-case words of letters and
// digits, one space between words, cut to fit out.
void Fold(const char* text, const char* end, char* out, size_t size) {
  size_t n = 0;
  bool gap = false;
  for (const char* p = text; (end == nullptr || p < end) && *p != '\0'; ++p) {
    const char c = FoldChar(static_cast<unsigned char>(*p));
    if (c == 0) {
      gap = n > 0;
      continue;
    }
    if (gap && n + 1 < size) out[n++] = ' ';
    gap = false;
    if (n + 1 < size) out[n++] = c;
  }
  out[n] = '\0';
}

// Whether query (folded) begins a word of folded.
bool BeginsWord(const char* folded, const char* query) {
  const size_t length = std::strlen(query);
  for (const char* p = folded; *p != '\0'; ++p) {
    if ((p == folded || p[-1] == ' ') && std::strncmp(p, query, length) == 0) return true;
  }
  return false;
}

// The best rank of query among the names of a ';'-separated list; a name
// that is an identifier counts by its city too.
int ListRank(const char* list, const char* query, int exact, int word) {
  int best = kNoZoneMatch;
  const char* p = list;
  while (*p != '\0') {
    const char* end = std::strchr(p, ';');
    if (end == nullptr) end = p + std::strlen(p);
    char name[128];
    Fold(p, end, name, sizeof name);
    const char* slash = static_cast<const char*>(std::memchr(p, '/', static_cast<size_t>(end - p)));
    char city[128] = "";
    if (slash != nullptr) {
      while (const char* next = static_cast<const char*>(
                 std::memchr(slash + 1, '/', static_cast<size_t>(end - slash - 1)))) {
        slash = next;
      }
      Fold(slash + 1, end, city, sizeof city);
    }
    if (std::strcmp(name, query) == 0 || std::strcmp(city, query) == 0) return exact;
    if (BeginsWord(name, query)) best = std::min(best, word);
    p = *end == ';' ? end + 1 : end;
  }
  return best;
}

int AbbreviationRank(const char* rule, const char* query) {
  int best = kNoZoneMatch;
  const size_t length = std::strlen(query);
  for (const char* p = rule; *p != '\0' && *p != ',';) {
    const char* start = p;
    while ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z')) ++p;
    if (p == start) {
      ++p;
      continue;
    }
    char name[kZoneQueryChars];
    Fold(start, p, name, sizeof name);
    if (std::strcmp(name, query) == 0) return kExactAbbreviation;
    if (std::strncmp(name, query, length) == 0) best = kAbbreviationStart;
  }
  return best;
}

const ZoneSearchNames* FindSearchNames(const char* zone) {
  const ZoneSearchNames* first = kZoneSearchTable;
  const ZoneSearchNames* last = kZoneSearchTable + std::size(kZoneSearchTable);
  const ZoneSearchNames* at = std::lower_bound(
      first, last, zone,
      [](const ZoneSearchNames& row, const char* name) { return std::strcmp(row.zone, name) < 0; });
  return at != last && std::strcmp(at->zone, zone) == 0 ? at : nullptr;
}

int FoldedRank(const char* query, const char* name, const char* rule) {
  int rank = ListRank(name, query, kExactCity, kCityWord);
  if (rank == kExactCity) return rank;
  if (const ZoneSearchNames* names = FindSearchNames(name)) {
    rank = std::min(rank, ListRank(names->olderNames, query, kExactOtherName, kOtherNameWord));
    rank = std::min(rank, ListRank(names->cities, query, kExactOtherName, kOtherNameWord));
    rank = std::min(rank, ListRank(names->countries, query, kExactCountry, kCountryWord));
  }
  return std::min(rank, AbbreviationRank(rule != nullptr ? rule : "", query));
}

}  // namespace

int ZoneMatchRank(const char* query, const char* name, const char* rule) {
  char folded[kZoneQueryChars];
  Fold(query != nullptr ? query : "", nullptr, folded, sizeof folded);
  if (name == nullptr) return kNoZoneMatch;
  if (folded[0] == '\0') return kCityWord;
  return FoldedRank(folded, name, rule);
}

int SearchZones(const char* query, const ZoneEntry* list, const ZoneEntry** out, int capacity) {
  struct Found {
    int rank;
    const ZoneEntry* zone;
  };
  static Found found[kMaxZoneMatches];
  char folded[kZoneQueryChars];
  Fold(query != nullptr ? query : "", nullptr, folded, sizeof folded);
  int count = 0;
  for (const ZoneEntry* z = list; z != nullptr && count < kMaxZoneMatches; z = z->next) {
    const int rank = folded[0] == '\0' ? kCityWord : FoldedRank(folded, z->name, z->tz);
    if (rank < kNoZoneMatch) found[count++] = Found{rank, z};
  }
  std::sort(found, found + count, [](const Found& a, const Found& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    return std::strcmp(a.zone->name, b.zone->name) < 0;
  });
  const int n = std::min(count, capacity);
  for (int i = 0; i < n; ++i) out[i] = found[i].zone;
  return n;
}
