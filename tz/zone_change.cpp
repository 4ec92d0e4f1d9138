// Offsets are compared through ZoneLocalTime itself, so the answer is the
// engine's whatever the rule: a change is found by comparing the offset at
// the two ends of a span and halving the span down to one second.
#include "tz/zone_change.h"

#include <cstdio>

namespace {

const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Offset east of UTC at t and the name in force; false when t does not convert.
bool OffsetAt(ZoneState* state, UtcInstant t, int32_t* offset, char* abbrev, size_t size) {
  BrokenDownTime local{};
  if (ZoneLocalTime(state, t, &local) == nullptr) return false;
  BrokenDownTime utc{};
  if (BreakDownTime(t, 0, &utc) == nullptr) return false;
  const int64_t days = local.year != utc.year ? (local.year > utc.year ? 1 : -1)
                                              : local.yday - utc.yday;
  *offset = static_cast<int32_t>(days * 86400 + (local.hour - utc.hour) * 3600 +
                                 (local.min - utc.min) * 60 + (local.sec - utc.sec));
  if (abbrev != nullptr) std::snprintf(abbrev, size, "%s", state->currentAbbrev[local.isdst ? 1 : 0]);
  return true;
}

}  // namespace

bool NextZoneChange(ZoneState* state, UtcInstant from, UtcInstant until, ZoneChange* out) {
  if (until <= from) return false;
  int32_t before = 0;
  int32_t after = 0;
  if (!OffsetAt(state, from, &before, nullptr, 0) || !OffsetAt(state, until, &after, nullptr, 0)) {
    return false;
  }
  // Changes come at least days apart; a span that long with equal ends may
  // still hold a change and its return, so look at it a day at a time.
  UtcInstant low = from;
  UtcInstant high = until;
  if (high - low > 86400) {
    for (UtcInstant t = from + 86400;; t += 86400) {
      if (t > until) t = until;
      int32_t offset = 0;
      if (!OffsetAt(state, t, &offset, nullptr, 0)) return false;
      if (offset != before) {
        high = t;
        after = offset;
        break;
      }
      if (t == until) return false;
      low = t;
    }
  } else if (before == after) {
    return false;
  }
  // Invariant: offset(low) == before, offset(high) != before.
  while (high - low > 1) {
    const UtcInstant mid = low + (high - low) / 2;
    int32_t offset = 0;
    if (!OffsetAt(state, mid, &offset, nullptr, 0)) return false;
    if (offset == before) {
      low = mid;
    } else {
      high = mid;
    }
  }
  out->at = high;
  OffsetAt(state, low, &out->offsetBefore, out->abbrevBefore, sizeof out->abbrevBefore);
  OffsetAt(state, high, &out->offsetAfter, out->abbrevAfter, sizeof out->abbrevAfter);
  return true;
}

void ZoneChangeText(const ZoneChange* change, int withDate, char* out, size_t size) {
  const int32_t delta = change->offsetAfter - change->offsetBefore;
  const int32_t amount = delta < 0 ? -delta : delta;
  // The wall time just before the change, on the old offset.
  BrokenDownTime wall{};
  if (BreakDownTime(change->at, change->offsetBefore, &wall) == nullptr) wall = BrokenDownTime{};
  char date[40] = "";
  if (withDate) {
    std::snprintf(date, sizeof date, " on %s %d %s %d", kDays[wall.wday % 7], wall.mday,
                  kMonths[wall.mon % 12], wall.year + 1900);
  }
  std::snprintf(out, size, "Clocks go %s %d:%02d%s at %02d:%02d (%s -> %s)",
                delta < 0 ? "back" : "forward", amount / 3600, (amount % 3600) / 60, date,
                wall.hour, wall.min, change->abbrevBefore, change->abbrevAfter);
}
