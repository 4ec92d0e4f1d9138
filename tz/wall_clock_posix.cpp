#include <ctime>

#include "tz/wall_clock.h"

namespace {

void FromTm(const std::tm& t, WallClock* out) {
  out->year = t.tm_year + 1900;
  out->month = t.tm_mon + 1;
  out->wday = t.tm_wday;
  out->day = t.tm_mday;
  out->hour = t.tm_hour;
  out->minute = t.tm_min;
  out->second = t.tm_sec;
}

}  // namespace

UtcInstant PlatformCurrentInstant() { return static_cast<UtcInstant>(std::time(nullptr)); }

bool PlatformLocalTime(UtcInstant t, BrokenDownTime* out) {
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  if (localtime_r(&tt, &tm) == nullptr) return false;
  *out = BrokenDownTime{tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon,
                        tm.tm_year, tm.tm_wday, tm.tm_yday, tm.tm_isdst > 0 ? 1 : 0};
  return true;
}

void PlatformLocalWallClock(WallClock* out) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  FromTm(tm, out);
}

void PlatformUtcWallClock(WallClock* out) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  FromTm(tm, out);
}
