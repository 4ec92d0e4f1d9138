// Local time of a UTC instant in a zone, and the life of zone states.
#include "tz/zone.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "tz/fatal.h"

namespace {

int YearLength(int64_t year) { return IsLeapYear(year) ? 366 : 365; }

bool FitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

}  // namespace

int TypeInForce(const ZoneState* state, UtcInstant t) {
  if (state->transitionCount == 0 || t < state->transitions[0]) {
    for (int i = 0; i < state->typeCount; ++i) {
      if (state->types[i].isdst == 0) return i;
    }
    return 0;
  }
  const UtcInstant* first = state->transitions + 1;
  const UtcInstant* last = state->transitions + state->transitionCount;
  const int i = static_cast<int>(std::upper_bound(first, last, t) - state->transitions);
  return state->transitionTypes[i - 1];
}

ZoneState* CreateZoneState() {
  auto* state = static_cast<ZoneState*>(std::calloc(1, sizeof(ZoneState)));
  if (state == nullptr) FatalOutOfMemory("calloc failed to allocate memory.");
  state->currentAbbrev[0] = kNoAbbrev;
  state->currentAbbrev[1] = kNoAbbrev;
  return state;
}

void DestroyZoneState(ZoneState** state) {
  if (state == nullptr || *state == nullptr) return;
  std::free(*state);
  *state = nullptr;
}

int64_t LeapDaysThrough(int64_t y) {
  if (y >= 0) return y / 4 - y / 100 + y / 400;
  return -(LeapDaysThrough(-(y + 1)) + 1);
}

BrokenDownTime* BreakDownTime(UtcInstant t, int32_t offset, BrokenDownTime* result) {
  int64_t days = t / 86400;
  int64_t rem = t - days * 86400;
  int64_t year = 1970;

  while (days < 0 || days >= YearLength(year)) {
    int64_t step = days / 366;
    if (step == 0) step = days < 0 ? -1 : 1;
    const int64_t newYear = year + step;
    if (!FitsInt32(newYear)) return nullptr;
    days -= 365 * (newYear - year) + (LeapDaysThrough(newYear - 1) - LeapDaysThrough(year - 1));
    year = newYear;
  }

  rem += offset;
  while (rem < 0) {
    rem += 86400;
    --days;
  }
  while (rem >= 86400) {
    rem -= 86400;
    ++days;
  }
  while (days < 0) {
    if (!FitsInt32(year - 1)) return nullptr;
    --year;
    days += YearLength(year);
  }
  while (days >= YearLength(year)) {
    days -= YearLength(year);
    if (!FitsInt32(year + 1)) return nullptr;
    ++year;
  }
  if (!FitsInt32(year - 1900)) return nullptr;

  result->year = static_cast<int>(year - 1900);
  result->yday = static_cast<int>(days);
  int64_t wday = (4 + (year - 1970) % 7 + LeapDaysThrough(year - 1) - LeapDaysThrough(1969) +
                  days) % 7;
  if (wday < 0) wday += 7;
  result->wday = static_cast<int>(wday);
  result->hour = static_cast<int>(rem / 3600);
  result->min = static_cast<int>((rem % 3600) / 60);
  result->sec = static_cast<int>(rem % 60);
  int mon = 0;
  while (days >= MonthLength(year, mon)) {
    days -= MonthLength(year, mon);
    ++mon;
  }
  result->mon = mon;
  result->mday = static_cast<int>(days) + 1;
  result->isdst = 0;
  return result;
}

BrokenDownTime* ZoneLocalTime(ZoneState* state, UtcInstant t, BrokenDownTime* result) {
  const ZoneType& type = state->types[TypeInForce(state, t)];
  if (BreakDownTime(t, type.offset, result) == nullptr) return nullptr;
  result->isdst = type.isdst;
  state->currentAbbrev[type.isdst] = state->abbrevChars + type.abbrevIndex;
  return result;
}
