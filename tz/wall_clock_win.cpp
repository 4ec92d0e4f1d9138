#include <windows.h>

#include <ctime>

#include "tz/wall_clock.h"

namespace {

void FromSystemTime(const SYSTEMTIME& st, WallClock* out) {
  out->year = st.wYear;
  out->month = st.wMonth;
  out->wday = st.wDayOfWeek;
  out->day = st.wDay;
  out->hour = st.wHour;
  out->minute = st.wMinute;
  out->second = st.wSecond;
}

}  // namespace

UtcInstant PlatformCurrentInstant() { return static_cast<UtcInstant>(_time64(nullptr)); }

bool PlatformLocalTime(UtcInstant t, BrokenDownTime* out) {
  const __time64_t tt = t;
  std::tm tm{};
  if (_localtime64_s(&tm, &tt) != 0) return false;
  *out = BrokenDownTime{tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon,
                        tm.tm_year, tm.tm_wday, tm.tm_yday, tm.tm_isdst > 0 ? 1 : 0};
  return true;
}

void PlatformLocalWallClock(WallClock* out) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FromSystemTime(st, out);
}

void PlatformUtcWallClock(WallClock* out) {
  SYSTEMTIME st;
  GetSystemTime(&st);
  FromSystemTime(st, out);
}
