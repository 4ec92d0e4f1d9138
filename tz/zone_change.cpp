// The next offset change of a zone from its transition table.
#include "tz/zone_change.h"

#include <cstdio>
#include <cstdlib>

#include "tz/abbreviation.h"
#include "tz/clock_text.h"

namespace {

void CopyName(char* out, size_t size, const char* name) {
  std::snprintf(out, size, "%s", name);
}

void CopyTypeName(const ZoneState* state, int type, char* out, size_t size) {
  if (state->typeCount == 0) {
    CopyName(out, size, "GMT");
    return;
  }
  CopyName(out, size, state->abbrevChars + state->types[type].abbrevIndex);
}

// "1:00", "0:30"; seconds only when there are some ("0:20:15").
void ClockAmount(int64_t seconds, char* out, size_t size) {
  const int64_t h = seconds / 3600;
  const int64_t m = seconds / 60 % 60;
  const int64_t s = seconds % 60;
  if (s != 0) {
    std::snprintf(out, size, "%lld:%02lld:%02lld", static_cast<long long>(h),
                  static_cast<long long>(m), static_cast<long long>(s));
  } else {
    std::snprintf(out, size, "%lld:%02lld", static_cast<long long>(h), static_cast<long long>(m));
  }
}

}  // namespace

bool NextZoneChange(ZoneState* state, UtcInstant from, UtcInstant until, ZoneChange* out) {
  if (state == nullptr || out == nullptr || until <= from) return false;
  const int32_t offsetFrom = state->types[TypeInForce(state, from)].offset;
  // The offset changes only at transition instants; the earliest one in the
  // window whose type has another offset is the change. Every candidate is
  // judged by the engine's own choice of type, so equal instants and any
  // order of the table read as the strip would show them.
  bool found = false;
  UtcInstant best = 0;
  for (int i = 0; i < state->transitionCount; ++i) {
    const UtcInstant at = state->transitions[i];
    if (at <= from || at > until || (found && at >= best)) continue;
    if (state->types[TypeInForce(state, at)].offset == offsetFrom) continue;
    best = at;
    found = true;
  }
  if (!found) return false;
  const int before = TypeInForce(state, best - 1);
  const int after = TypeInForce(state, best);
  out->at = best;
  out->offsetBefore = state->types[before].offset;
  out->offsetAfter = state->types[after].offset;
  CopyTypeName(state, before, out->abbrevBefore, sizeof out->abbrevBefore);
  CopyTypeName(state, after, out->abbrevAfter, sizeof out->abbrevAfter);
  return true;
}

void ZoneChangeText(const ZoneChange* change, int withDate, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  out[0] = '\0';
  if (change == nullptr) return;
  const int64_t delta =
      static_cast<int64_t>(change->offsetAfter) - static_cast<int64_t>(change->offsetBefore);
  char amount[24];
  ClockAmount(std::llabs(delta), amount, sizeof amount);
  BrokenDownTime wall{};
  if (BreakDownTime(change->at, change->offsetBefore, &wall) == nullptr) return;
  char time[16];
  if (wall.sec != 0) {
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", wall.hour, wall.min, wall.sec);
  } else {
    std::snprintf(time, sizeof time, "%02d:%02d", wall.hour, wall.min);
  }
  char date[40] = "";
  if (withDate) {
    std::snprintf(date, sizeof date, "on %s %d %s %d ", kShortDayNames[wall.wday % 7], wall.mday,
                  kShortMonthNames[wall.mon % 12], wall.year + 1900);
  }
  char before[24];
  char after[24];
  ReadableAbbreviation(change->abbrevBefore, before, sizeof before);
  ReadableAbbreviation(change->abbrevAfter, after, sizeof after);
  std::snprintf(out, size, "Clocks go %s %s %sat %s (%s -> %s)", delta > 0 ? "forward" : "back",
                amount, date, time, before, after);
}
