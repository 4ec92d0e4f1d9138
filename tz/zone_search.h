// Finding zones by what people call them: the identifier and its city, the
// countries a zone serves, its older names, the large cities it serves and
// the abbreviations of its rule. Case and accents do not matter; a query
// matches at the beginning of any word ("york" finds America/New_York).
#pragma once

#include <cstddef>

#include "clocks/zone_file.h"

// A query is compared on at most this many characters, folded.
constexpr size_t kZoneQueryChars = 64;
// The most zones one search returns (more than any zone data file holds).
constexpr int kMaxZoneMatches = 2048;
// The rank of a zone the query does not find.
constexpr int kNoZoneMatch = 100;

// How well query finds the zone name with rule string rule: 0 is best (the
// query is the zone's city), then an older name or large city, a country,
// the beginning of a word of each of those, an abbreviation; kNoZoneMatch
// when it does not. A zone the search table does not know (from a zone data
// file installed later) is found by its identifier and abbreviations only.
int ZoneMatchRank(const char* query, const char* name, const char* rule);

// The zones of the list that query finds, best first (equal ranks by name),
// at most capacity of them; returns how many. A query without letters or
// digits finds every zone.
int SearchZones(const char* query, const ZoneEntry* list, const ZoneEntry** out, int capacity);
