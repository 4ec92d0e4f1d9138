// The next change of a zone's UTC offset, and the sentence that tells it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tz/zone.h"

struct ZoneChange {
  UtcInstant at;           // the first instant at the new offset
  int32_t offsetBefore;    // seconds east of UTC
  int32_t offsetAfter;
  char abbrevBefore[16];   // as the engine names them (letters)
  char abbrevAfter[16];
};

// The first change of the zone's UTC offset in (from, until]; false when there is none.
bool NextZoneChange(ZoneState* state, UtcInstant from, UtcInstant until, ZoneChange* out);
// "Clocks go forward 1:00 at 02:00 (CET -> CEST)"; with withDate non-zero
// "Clocks go forward 1:00 on Sun 29 Mar 2026 at 02:00 (CET -> CEST)". The time is the local wall time just
// before the change; "back" when the offset decreases; amount as H:MM.
void ZoneChangeText(const ZoneChange* change, int withDate, char* out, size_t size);
