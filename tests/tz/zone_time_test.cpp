// Calendar breakdown of instants, checked against an independent
// days-to-civil conversion, and the zone queries built on it.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "tz/zone.h"

namespace {

// Civil date from days since 1970-01-01 (era-based, proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2);
}

int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

void ExpectBreakdown(UtcInstant t, int32_t offset) {
  const int64_t local = t + offset;
  const int64_t days = FloorDiv(local, 86400);
  const int64_t secs = local - days * 86400;
  int64_t y;
  int m, d;
  CivilFromDays(days, &y, &m, &d);
  BrokenDownTime f{};
  ASSERT_NE(BreakDownTime(t, offset, &f), nullptr) << t << " " << offset;
  EXPECT_EQ(f.year + 1900LL, y) << t;
  EXPECT_EQ(f.mon + 1, m) << t;
  EXPECT_EQ(f.mday, d) << t;
  EXPECT_EQ(f.hour, secs / 3600) << t;
  EXPECT_EQ(f.min, secs % 3600 / 60) << t;
  EXPECT_EQ(f.sec, secs % 60) << t;
  EXPECT_EQ(f.wday, static_cast<int>(((days % 7) + 11) % 7)) << t;
  EXPECT_EQ(f.yday, days - DaysFromCivil(y, 1, 1)) << t;
  EXPECT_EQ(f.isdst, 0);
}

TEST(LeapDaysThrough, MatchesCounting) {
  int64_t count = 0;
  for (int64_t y = 0; y <= 2500; ++y) {
    if (y > 0 && IsLeapYear(y)) ++count;
    ASSERT_EQ(LeapDaysThrough(y), count) << y;  // leap years in 1..y
  }
  // Negative years: the difference across a year counts that year's leap day.
  for (int64_t y = -2500; y < 0; ++y) {
    ASSERT_EQ(LeapDaysThrough(y) - LeapDaysThrough(y - 1), IsLeapYear(y) ? 1 : 0) << y;
  }
  EXPECT_EQ(LeapDaysThrough(-1), -1);
  EXPECT_EQ(LeapDaysThrough(1969), 477);
}

TEST(BreakDownTime, NamedInstants) {
  BrokenDownTime f{};
  ASSERT_NE(BreakDownTime(-1, 0, &f), nullptr);
  EXPECT_EQ(f.year, 69);
  EXPECT_EQ(f.mon, 11);
  EXPECT_EQ(f.mday, 31);
  EXPECT_EQ(f.hour, 23);
  EXPECT_EQ(f.min, 59);
  EXPECT_EQ(f.sec, 59);
  EXPECT_EQ(f.wday, 3);
  EXPECT_EQ(f.yday, 364);
  // December 31 of a leap year.
  ASSERT_NE(BreakDownTime(DaysFromCivil(2024, 12, 31) * 86400, 0, &f), nullptr);
  EXPECT_EQ(f.yday, 365);
  // A large east offset crosses into the next year.
  ASSERT_NE(BreakDownTime(DaysFromCivil(2025, 12, 31) * 86400 + 11 * 3600, 14 * 3600, &f), nullptr);
  EXPECT_EQ(f.year, 126);
  EXPECT_EQ(f.yday, 0);
  EXPECT_EQ(f.hour, 1);
  EXPECT_EQ(f.wday, 4);  // 2026-01-01 is a Thursday
  // A large west offset goes back into the previous year.
  ASSERT_NE(BreakDownTime(DaysFromCivil(2026, 1, 1) * 86400 + 3600, -12 * 3600, &f), nullptr);
  EXPECT_EQ(f.year, 125);
  EXPECT_EQ(f.yday, 364);
  EXPECT_EQ(f.mday, 31);
  EXPECT_EQ(f.hour, 13);
}

TEST(BreakDownTime, AgreesWithCivilConversion) {
  std::mt19937_64 rng(20261208);
  const int32_t offsets[] = {0, 1, -1, 3600, -3600, 19800, -34200, 50400, -43200, 86399, -86399};
  for (int i = 0; i < 20000; ++i) {
    // Mostly 1900-2100, some far away in either direction.
    UtcInstant t;
    if (i % 4 == 0) {
      t = static_cast<int64_t>(rng() % 200000000000000ULL) - 100000000000000LL;
    } else {
      t = static_cast<int64_t>(rng() % 6311520000ULL) - 2208988800LL;
    }
    ExpectBreakdown(t, offsets[i % (sizeof offsets / sizeof offsets[0])]);
    if (HasFatalFailure()) return;
  }
  for (UtcInstant t : {0LL, -86400LL, 86399LL, 951782400LL, 951868800LL, 4107542400LL,
                       -62135596800LL, -62167219200LL, 253402300799LL}) {
    ExpectBreakdown(t, 0);
  }
}

TEST(BreakDownTime, FailsOnlyOutsideThe32BitYears) {
  BrokenDownTime f{};
  const int64_t lastDay = DaysFromCivil(2147483647LL, 12, 31);
  ASSERT_NE(BreakDownTime(lastDay * 86400 + 86399, 0, &f), nullptr);
  EXPECT_EQ(f.year + 1900LL, 2147483647LL);
  EXPECT_EQ(f.yday, IsLeapYear(2147483647LL) ? 365 : 364);
  // One second later, by instant or by offset, the year no longer fits.
  EXPECT_EQ(BreakDownTime(lastDay * 86400 + 86400, 0, &f), nullptr);
  EXPECT_EQ(BreakDownTime(lastDay * 86400 + 86399, 1, &f), nullptr);
  EXPECT_EQ(BreakDownTime(INT64_MAX, 0, &f), nullptr);
  EXPECT_EQ(BreakDownTime(INT64_MIN, 0, &f), nullptr);
  // Far back, the year field (years since 1900) is the bound.
  const int64_t early = DaysFromCivil(-2147481000LL, 3, 1);
  ASSERT_NE(BreakDownTime(early * 86400, 0, &f), nullptr);
  EXPECT_EQ(f.year + 1900LL, -2147481000LL);
  EXPECT_EQ(BreakDownTime(DaysFromCivil(-2147483000LL, 3, 1) * 86400, 0, &f), nullptr);
}

TEST(ZoneLocalTime, PerthAtTheEpoch) {
  ZoneState* z = CreateZoneState();
  SetZoneRule(z, "AWST-8");
  BrokenDownTime f{};
  ASSERT_NE(ZoneLocalTime(z, 0, &f), nullptr);
  EXPECT_EQ(f.hour, 8);
  EXPECT_EQ(f.min, 0);
  EXPECT_EQ(f.mday, 1);
  EXPECT_EQ(f.mon, 0);
  EXPECT_EQ(f.year, 70);
  EXPECT_EQ(f.wday, 4);
  EXPECT_EQ(f.yday, 0);
  EXPECT_EQ(f.isdst, 0);
  EXPECT_STREQ(z->currentAbbrev[0], "AWST");
  DestroyZoneState(&z);
  EXPECT_EQ(z, nullptr);
  DestroyZoneState(&z);  // a second call is harmless
  DestroyZoneState(nullptr);
}

TEST(ZoneLocalTime, EveryTransitionSwitchesExactlyAtItsInstant) {
  ZoneState* z = CreateZoneState();
  for (const char* rule : {"CET-1CEST,M3.5.0,M10.5.0/3", "AEST-10AEDT,M10.1.0,M4.1.0/3",
                           "NZST-12NZDT,M9.5.0,M4.1.0/3", "EST5EDT,M3.2.0,M11.1.0"}) {
    SetZoneRule(z, rule);
    ASSERT_EQ(z->transitionCount, 136) << rule;
    for (int i = 0; i < 136; ++i) {
      const UtcInstant t = z->transitions[i];
      const int dst = z->types[z->transitionTypes[i]].isdst;
      BrokenDownTime f{};
      ZoneLocalTime(z, t, &f);
      ASSERT_EQ(f.isdst, dst) << rule << " at " << i;
      ZoneLocalTime(z, t - 1, &f);
      if (i > 0) {
        ASSERT_EQ(f.isdst, 1 - dst) << rule << " before " << i;
      }
    }
  }
  DestroyZoneState(&z);
}

TEST(ZoneLocalTime, LocalWallTimeAtTheChanges) {
  ZoneState* z = CreateZoneState();
  SetZoneRule(z, "EST5EDT,M3.2.0,M11.1.0");
  // 2026-03-08 02:00 EST becomes 03:00 EDT; 2026-11-01 02:00 EDT becomes 01:00 EST.
  const UtcInstant spring = DaysFromCivil(2026, 3, 8) * 86400 + 7 * 3600;
  BrokenDownTime f{};
  ZoneLocalTime(z, spring - 1, &f);
  EXPECT_EQ(f.hour, 1);
  EXPECT_EQ(f.min, 59);
  EXPECT_STREQ(z->currentAbbrev[0], "EST");
  ZoneLocalTime(z, spring, &f);
  EXPECT_EQ(f.hour, 3);
  EXPECT_EQ(f.isdst, 1);
  EXPECT_STREQ(z->currentAbbrev[1], "EDT");
  const UtcInstant fall = DaysFromCivil(2026, 11, 1) * 86400 + 6 * 3600;
  ZoneLocalTime(z, fall - 1, &f);
  EXPECT_EQ(f.hour, 1);
  EXPECT_EQ(f.isdst, 1);
  ZoneLocalTime(z, fall, &f);
  EXPECT_EQ(f.hour, 1);
  EXPECT_EQ(f.isdst, 0);
  DestroyZoneState(&z);
}

TEST(ZoneLocalTime, StandardTypeBeforeTheTable) {
  ZoneState* z = CreateZoneState();
  SetZoneRule(z, "AEST-10AEDT,M10.1.0,M4.1.0/3");
  BrokenDownTime f{};
  ZoneLocalTime(z, -86400 * 400, &f);  // 1968
  EXPECT_EQ(f.isdst, 0);
  EXPECT_EQ(f.year, 68);
  // All-DST type tables fall back to type 0.
  z->types[1].isdst = 1;
  z->transitionCount = 0;
  ZoneLocalTime(z, 0, &f);
  EXPECT_EQ(f.isdst, 1);
  EXPECT_EQ(f.hour, 11);
  DestroyZoneState(&z);
}

TEST(CreateZoneState, StartsZeroedWithBlankNames) {
  ZoneState* z = CreateZoneState();
  EXPECT_EQ(z->cacheValid, 0);
  EXPECT_EQ(z->typeCount, 0);
  EXPECT_EQ(z->transitionCount, 0);
  EXPECT_STREQ(z->currentAbbrev[0], "   ");
  EXPECT_STREQ(z->currentAbbrev[1], "   ");
  DestroyZoneState(&z);
}

}  // namespace
