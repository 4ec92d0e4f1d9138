// Time-zone engine: POSIX-style zone rule strings turned into a table of
// precomputed transitions (1970-2037), and local time computed from it.
#pragma once

#include <cstdint>

// Signed seconds since 1970-01-01T00:00:00 UTC, no leap seconds.
using UtcInstant = int64_t;

constexpr int kMaxTransitions = 370;
constexpr int kMaxZoneTypes = 256;
constexpr int kAbbrevChars = 512;
constexpr int kRuleCacheChars = 256;
constexpr int kYearFirst = 1970;
constexpr int kYearLast = 2037;
constexpr int kDstTransitionCount = 2 * (kYearLast - kYearFirst + 1);  // 136

// One local-time type of a zone.
struct ZoneType {
  int32_t offset;       // seconds east of UTC: local = UTC + offset
  int32_t isdst;        // 0 or 1
  int32_t abbrevIndex;  // start of the name in ZoneState::abbrevChars
};

struct ZoneState {
  int32_t transitionCount;  // 0 or 136
  int32_t typeCount;        // 0 (empty rule), 1 or 2
  int32_t abbrevLength;     // bytes in use in abbrevChars, terminators included
  UtcInstant transitions[kMaxTransitions];
  uint8_t transitionTypes[kMaxTransitions];
  ZoneType types[kMaxZoneTypes];
  char abbrevChars[kAbbrevChars];
  char cachedRule[kRuleCacheChars];
  int32_t cacheValid;
  // [0] standard-time name, [1] daylight-saving name; each points into
  // abbrevChars or at a constant of three spaces.
  const char* currentAbbrev[2];
};

// A parsed start or end rule of daylight saving.
struct TransitionRule {
  int32_t kind;   // 0 = Jn, 1 = zero-based day n, 2 = Mm.w.d
  int32_t day;    // kind 0: 1..365, kind 1: 0..365, kind 2: weekday 0..6
  int32_t week;   // 1..5, 5 = last such weekday of the month
  int32_t month;  // 1..12
  int32_t time;   // seconds after local midnight, default 7200
};

// The nine calendar fields, in the order of the C library's struct tm.
struct BrokenDownTime {
  int sec;    // 0..59 (60 only from the platform)
  int min;    // 0..59
  int hour;   // 0..23
  int mday;   // 1..31
  int mon;    // 0..11
  int year;   // years since 1900
  int wday;   // 0..6, 0 = Sunday
  int yday;   // 0..365
  int isdst;  // 0 or 1
};

// The three spaces shown for a name a zone does not have.
extern const char kNoAbbrev[];

// Makes the state describe text (null counts as empty). Never fails: a text
// that does not parse gives UTC named "GMT". Unchanged text costs one compare.
void SetZoneRule(ZoneState* state, const char* text);

// 0 on success, -1 when rejected. With lastDitch set, the whole text becomes
// a standard-time name with offset 0.
int ParseZoneRule(const char* text, ZoneState* state, int lastDitch);

// Each returns the position after what it consumed, or nullptr on error.
const char* ParseRule(const char* text, TransitionRule* rule);
const char* ParseOffset(const char* text, int32_t* seconds);
const char* ParseClockTime(const char* text, int32_t* seconds);
const char* ParseNumber(const char* text, int32_t* value, int32_t min, int32_t max);

// The UTC instant at which rule fires in year; yearStart is January 1 00:00
// UTC of that year and westOffset the POSIX offset in force before it.
UtcInstant TransitionTime(UtcInstant yearStart, int year, const TransitionRule* rule,
                          int32_t westOffset);

void RefreshAbbreviations(ZoneState* state);

// Zeroed state with both current names "   "; out of memory ends the program.
ZoneState* CreateZoneState();
// Frees *state if any and clears the owner's pointer; safe to call twice.
void DestroyZoneState(ZoneState** state);

// The index of the type in force at t: the standard type before the first
// transition (and when there are none), otherwise that of the last
// transition at or before t.
int TypeInForce(const ZoneState* state, UtcInstant t);

// Local fields of t in the zone, or nullptr when the year does not fit.
// Records the name in force in currentAbbrev[isdst].
BrokenDownTime* ZoneLocalTime(ZoneState* state, UtcInstant t, BrokenDownTime* result);

// Calendar fields of t + offset seconds, isdst 0; nullptr when the year
// leaves the 32-bit range.
BrokenDownTime* BreakDownTime(UtcInstant t, int32_t offset, BrokenDownTime* result);

int64_t LeapDaysThrough(int64_t y);

bool IsLeapYear(int64_t year);
int MonthLength(int64_t year, int month0);  // month0: 0..11
