#include "tz/wall_clock.h"

namespace {

struct FixedClock {
  bool active;
  bool ownZone;
  UtcInstant now;
  ZoneState zone;  // the local zone when ownZone; static, so no allocation
};

FixedClock gFixed;

}  // namespace

void WallClockFromFields(const BrokenDownTime& t, WallClock* out) {
  out->year = t.year + 1900;
  out->month = t.mon + 1;
  out->wday = t.wday;
  out->day = t.mday;
  out->hour = t.hour;
  out->minute = t.min;
  out->second = t.sec;
}

void FixWallClock(UtcInstant now, const char* localRule) {
  gFixed.active = true;
  gFixed.now = now;
  gFixed.ownZone = localRule != nullptr;
  if (gFixed.ownZone) {
    gFixed.zone = ZoneState{};
    SetZoneRule(&gFixed.zone, localRule);
  }
}

void ReleaseWallClock() { gFixed.active = false; }

UtcInstant CurrentInstant() { return gFixed.active ? gFixed.now : PlatformCurrentInstant(); }

bool ConvertToLocalTime(UtcInstant t, BrokenDownTime* out) {
  if (gFixed.active && gFixed.ownZone) return ZoneLocalTime(&gFixed.zone, t, out) != nullptr;
  return PlatformLocalTime(t, out);
}

void ReadLocalWallClock(WallClock* out) {
  if (!gFixed.active) {
    PlatformLocalWallClock(out);
    return;
  }
  BrokenDownTime t{};
  ConvertToLocalTime(gFixed.now, &t);
  WallClockFromFields(t, out);
}

void ReadUtcWallClock(WallClock* out) {
  if (!gFixed.active) {
    PlatformUtcWallClock(out);
    return;
  }
  BrokenDownTime t{};
  BreakDownTime(gFixed.now, 0, &t);
  WallClockFromFields(t, out);
}
