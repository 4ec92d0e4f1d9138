// Timestamp texts, their zone designators, and the offset worked out from
// local and UTC fields.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tz/wall_clock.h"
#include "ui/strip/timestamp.h"

namespace {

// 2024-01-05T01:05:03Z, a Friday.
constexpr UtcInstant kFriday = 1704416703;

std::string Stamp(const char* tz, int fmt, UtcInstant t = kFriday) {
  ClockRecord clock{};
  CopyBounded(clock.Tz, sizeof clock.Tz, tz, kZoneTextMaxLen);
  char out[kTimestampChars];
  ClockTimestamp(clock, t, fmt, out, sizeof out);
  return out;
}

TEST(Timestamp, FiveFormats) {
  EXPECT_EQ(Stamp("AWST-8", 3), "2024-01-05T09:05:03+08:00");
  EXPECT_EQ(Stamp("AWST-8", 2), "2024-01-05T09:05:03");
  EXPECT_EQ(Stamp("AWST-8", 0), "09:05:03");
  EXPECT_EQ(Stamp("AWST-8", 1), "09:05:03+08:00");
  EXPECT_EQ(Stamp("AWST-8", 4), "Fri Jan 05 09:05:03 2024");
  EXPECT_EQ(Stamp("AWST-8", 9), "2024-01-05T09:05:03+08:00");
  EXPECT_EQ(Stamp("AWST-8", -1), "2024-01-05T09:05:03+08:00");
}

TEST(Timestamp, Designators) {
  EXPECT_EQ(Stamp("GMT0", 1), "01:05:03Z");
  EXPECT_EQ(Stamp("NST3:30", 1), "21:35:03-03:30");
  EXPECT_EQ(Stamp("HHH0:30", 1), "00:35:03-00:30");
  EXPECT_EQ(Stamp("IST-5:30", 1), "06:35:03+05:30");
  EXPECT_EQ(Stamp("LINT-14", 3), "2024-01-05T15:05:03+14:00");
  EXPECT_EQ(Stamp("SST11", 3), "2024-01-04T14:05:03-11:00");
  EXPECT_EQ(Stamp("AEST-10AEDT,M10.1.0,M4.1.0/3", 1), "12:05:03+11:00");
  char tzd[kDesignatorChars];
  ZoneDesignator(-1, tzd, sizeof tzd);  // under a minute west still names its sign
  EXPECT_STREQ(tzd, "-00:00");
}

TEST(Timestamp, OffsetAcrossMonthAndYearEnds) {
  // 2024-01-31T20:00Z: +08:00 is already on 1 February.
  const UtcInstant endOfJanuary = 1706731200;
  EXPECT_EQ(Stamp("AWST-8", 3, endOfJanuary), "2024-02-01T04:00:00+08:00");
  // 2024-03-01T02:00Z: -05:00 is still on 29 February.
  EXPECT_EQ(Stamp("EST5", 3, 1709258400), "2024-02-29T21:00:00-05:00");
  // 2023-12-31T23:30Z: +14:00 is in the next year.
  EXPECT_EQ(Stamp("LINT-14", 3, 1704065400), "2024-01-01T13:30:00+14:00");
  for (UtcInstant t = 1704000000; t < 1704000000 + 40 * 86400; t += 3 * 3600 + 17) {
    for (int32_t offset : {-43200, -34200, -1800, 0, 1800, 19800, 45900, 50400}) {
      BrokenDownTime local{};
      BreakDownTime(t, offset, &local);
      ASSERT_EQ(UtcOffsetOf(local, t), offset) << t << " " << offset;
    }
  }
}

TEST(Timestamp, StaysInsideItsBuffer) {
  BrokenDownTime t{};
  t.year = 2000000000;
  t.mday = 1000000;
  t.wday = 99;
  t.mon = -3;
  char out[kTimestampChars];
  for (int fmt = 0; fmt < 5; ++fmt) {
    TimestampText(fmt, t, 123456789, out, sizeof out);
    EXPECT_LT(std::strlen(out), kTimestampChars);
  }
  char small[8];
  TimestampText(3, t, 0, small, sizeof small);
  EXPECT_EQ(std::strlen(small), 7u);
}

// Without a rule string the computer's own zone applies, whatever the type.
TEST(Timestamp, EmptyRuleUsesTheComputersZone) {
  FixWallClock(kFriday, "CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(Stamp("", 3), "2024-01-05T02:05:03+01:00");
  // July: the computer's daylight saving shows.
  EXPECT_EQ(Stamp("", 1, kFriday + 182 * 86400), "03:05:03+02:00");
  ReleaseWallClock();
}

}  // namespace
