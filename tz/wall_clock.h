// The present moment and the computer's own time zone, as the platform sees
// them. Tests can fix both: the instant, and the local zone as a rule string
// computed by our own engine (or, with no rule, the platform's conversion).
#pragma once

#include "tz/zone.h"

struct WallClock {
  int year;
  int month;  // 1..12
  int wday;   // 0 = Sunday
  int day;    // 1..31
  int hour, minute, second;
};

void ReadLocalWallClock(WallClock* out);
void ReadUtcWallClock(WallClock* out);
UtcInstant CurrentInstant();
// The computer's local time of t; false when the platform cannot convert it.
bool ConvertToLocalTime(UtcInstant t, BrokenDownTime* out);

void WallClockFromFields(const BrokenDownTime& t, WallClock* out);

// Test seam: from now on the present is `now`; the local zone is localRule
// when given, else the platform's own. ReleaseWallClock returns to the platform.
void FixWallClock(UtcInstant now, const char* localRule);
void ReleaseWallClock();

// The platform half (wall_clock_win.cpp / wall_clock_posix.cpp).
void PlatformLocalWallClock(WallClock* out);
void PlatformUtcWallClock(WallClock* out);
UtcInstant PlatformCurrentInstant();
bool PlatformLocalTime(UtcInstant t, BrokenDownTime* out);
