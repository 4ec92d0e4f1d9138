#include "ui/strip/timestamp.h"

#include <cstdio>
#include <cstring>

#include "tz/clock_text.h"
#include "tz/wall_clock.h"

int32_t UtcOffsetOf(const BrokenDownTime& local, UtcInstant t) {
  BrokenDownTime g{};
  BreakDownTime(t, 0, &g);
  int32_t offset = ((local.hour - g.hour) * 60 + (local.min - g.min)) * 60 + (local.sec - g.sec);
  const int d = local.mday - g.mday;
  if (d == 1 || d < -1) {
    offset += 86400;  // local date is the next day, also across a month end
  } else if (d == -1 || d > 1) {
    offset -= 86400;
  }
  return offset;
}

void ZoneDesignator(int32_t offset, char* out, size_t size) {
  if (offset < 0) {
    std::snprintf(out, size, "-%02d:%02d", (-offset) / 3600, ((-offset) % 3600) / 60);
  } else if (offset == 0) {
    std::snprintf(out, size, "Z");
  } else {
    std::snprintf(out, size, "+%02d:%02d", offset / 3600, (offset % 3600) / 60);
  }
}

void TimestampText(int timeStampFmt, const BrokenDownTime& t, int32_t offset, char* out,
                   size_t size) {
  char tzd[kDesignatorChars];
  ZoneDesignator(offset, tzd, sizeof tzd);
  const int year = t.year + 1900;
  const int month = t.mon + 1;
  switch (timeStampFmt) {
    case 0:
      std::snprintf(out, size, "%02d:%02d:%02d", t.hour, t.min, t.sec);
      break;
    case 1:
      std::snprintf(out, size, "%02d:%02d:%02d%s", t.hour, t.min, t.sec, tzd);
      break;
    case 2:
      std::snprintf(out, size, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, t.mday, t.hour,
                    t.min, t.sec);
      break;
    case 4: {
      const char* day = (t.wday >= 0 && t.wday < 7) ? kShortDayNames[t.wday] : "???";
      const char* mon = (t.mon >= 0 && t.mon < 12) ? kShortMonthNames[t.mon] : "???";
      std::snprintf(out, size, "%s %s %02d %02d:%02d:%02d %d", day, mon, t.mday, t.hour, t.min,
                    t.sec, year);
      char* newline = std::strchr(out, '\n');
      if (newline != nullptr) *newline = '\0';
      break;
    }
    default:
      std::snprintf(out, size, "%04d-%02d-%02dT%02d:%02d:%02d%s", year, month, t.mday, t.hour,
                    t.min, t.sec, tzd);
      break;
  }
}

void ClockTimestamp(const ClockRecord& clock, UtcInstant now, int timeStampFmt, char* out,
                    size_t size) {
  BrokenDownTime local{};
  if (clock.Tz[0] != '\0') {
    ZoneState* zone = CreateZoneState();
    SetZoneRule(zone, clock.Tz);
    ZoneLocalTime(zone, now, &local);
    DestroyZoneState(&zone);
  } else {
    ConvertToLocalTime(now, &local);
  }
  TimestampText(timeStampFmt, local, UtcOffsetOf(local, now), out, size);
}
