#include <ctime>

#include "tz/wall_clock.h"

namespace {

BrokenDownTime FromTm(const std::tm& tm) {
  return BrokenDownTime{tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon,
                        tm.tm_year, tm.tm_wday, tm.tm_yday, tm.tm_isdst > 0 ? 1 : 0};
}

}  // namespace

UtcInstant PlatformCurrentInstant() { return static_cast<UtcInstant>(std::time(nullptr)); }

bool PlatformLocalTime(UtcInstant t, BrokenDownTime* out) {
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  if (localtime_r(&tt, &tm) == nullptr) return false;
  *out = FromTm(tm);
  return true;
}

void PlatformLocalWallClock(WallClock* out) {
  BrokenDownTime t{};
  PlatformLocalTime(PlatformCurrentInstant(), &t);
  WallClockFromFields(t, out);
}

void PlatformUtcWallClock(WallClock* out) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  WallClockFromFields(FromTm(tm), out);
}
