// The calendar's day count and the program-wide countdown.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui/dialogs/misc_logic.h"

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = 86400 * kTicksPerSecond;

// Days since 1601-01-01 of a proleptic Gregorian date, counted day by day
// through the years and months, independent of the code under test.
int64_t DayNumber(int year, int month, int day) {
  static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  int64_t days = 0;
  for (int y = 1601; y < year; ++y) days += leap(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += kMonthDays[m - 1] + (m == 2 && leap(year) ? 1 : 0);
  return days + day - 1;
}

int64_t Ticks(int year, int month, int day, int hour = 0) {
  return DayNumber(year, month, day) * kTicksPerDay + int64_t{hour} * 3600 * kTicksPerSecond;
}

std::string DayText(int32_t days) {
  char text[32];
  FormatDayCount(days, text, sizeof text);
  return text;
}

struct DayCase {
  const char* name;
  int64_t to;
  int32_t days;
};

TEST(DayCount, WholeDaysTowardZero) {
  const int64_t today = Ticks(2026, 12, 8);
  const DayCase cases[] = {
      {"today", Ticks(2026, 12, 8), 0},
      {"tomorrow", Ticks(2026, 12, 9), 1},
      {"the day after", Ticks(2026, 12, 10), 2},
      {"yesterday", Ticks(2026, 12, 7), -1},
      {"a year ahead, no leap day", Ticks(2027, 12, 8), 365},
      {"a year back, no leap day", Ticks(2025, 12, 8), -365},
      {"36 hours ahead", Ticks(2026, 12, 9, 12), 1},
      {"36 hours back", Ticks(2026, 12, 6, 12), -1},
      {"one tick short of tomorrow", Ticks(2026, 12, 9) - 1, 0},
      {"one tick before today", today - 1, 0},
      {"the first date of the calendar", Ticks(1601, 1, 1), -155569},
      {"the last date of the calendar", Ticks(9999, 12, 31), 2912101},
  };
  for (const DayCase& c : cases) {
    EXPECT_EQ(DaysFromTicks(today, c.to), c.days) << c.name;
    EXPECT_EQ(c.days, (c.to - today) / kTicksPerDay) << c.name << ": the table itself";
  }
  EXPECT_EQ(DaysFromTicks(Ticks(2027, 6, 1), Ticks(2028, 6, 1)), 366) << "over 2028-02-29";
  EXPECT_EQ(DaysFromTicks(Ticks(2028, 3, 1), Ticks(2028, 2, 28)), -2);
}

TEST(DayCount, TextUsesTheSingularForOneOnly) {
  EXPECT_EQ(DayText(1), "1 day");
  EXPECT_EQ(DayText(0), "0 days");
  EXPECT_EQ(DayText(2), "2 days");
  EXPECT_EQ(DayText(-1), "-1 days");
  EXPECT_EQ(DayText(366), "366 days");
}

class CountdownTest : public ::testing::Test {
 protected:
  void SetUp() override { Countdown = CountdownState{}; }
  void TearDown() override { Countdown = CountdownState{}; }
  static constexpr int64_t kNow = 1796000000;
};

TEST_F(CountdownTest, NothingStartsBelowOneSecond) {
  EXPECT_FALSE(StartCountdown(0, 0, 0, kNow));
  EXPECT_FALSE(Countdown.running);
  EXPECT_FALSE(CountdownExpired(kNow + 100));
}

TEST_F(CountdownTest, EnteredValuesAreStoredEvenWhenNothingStarts) {
  Countdown.hours = 5;
  StartCountdown(0, 0, 0, kNow);
  EXPECT_EQ(Countdown.hours, 0);
  EXPECT_TRUE(StartCountdown(1, 2, 3, kNow));
  EXPECT_EQ(Countdown.endTime, kNow + 3723);
  EXPECT_EQ(Countdown.hours, 1);
  EXPECT_EQ(Countdown.minutes, 2);
  EXPECT_EQ(Countdown.seconds, 3);
}

TEST_F(CountdownTest, ValuesBeyondTheSpinRangesCountInFull) {
  ASSERT_TRUE(StartCountdown(0, 90, 0, kNow));
  EXPECT_EQ(Countdown.endTime, kNow + 5400);
  RefreshCountdown(kNow + 1);
  EXPECT_EQ(Countdown.hours, 1);
  EXPECT_EQ(Countdown.minutes, 29);
  EXPECT_EQ(Countdown.seconds, 59);
}

TEST_F(CountdownTest, HoursAreNotLimitedTo23) {
  ASSERT_TRUE(StartCountdown(30, 0, 0, kNow));
  RefreshCountdown(kNow);
  EXPECT_EQ(Countdown.hours, 30);
  EXPECT_EQ(Countdown.minutes, 0);
  EXPECT_EQ(Countdown.seconds, 0);
}

TEST_F(CountdownTest, HugeEntriesDoNotWrapAround) {
  // 1,193,047 hours is just over 2^32 seconds: in 32 bits it would wrap to a
  // few seconds and ring at once.
  ASSERT_TRUE(StartCountdown(1193047, 0, 0, kNow));
  EXPECT_EQ(Countdown.endTime, kNow + int64_t{1193047} * 3600);
  EXPECT_FALSE(CountdownExpired(kNow + 10));
  RefreshCountdown(kNow);
  EXPECT_EQ(Countdown.hours, 1193047);
  ASSERT_TRUE(StartCountdown(4294967295u, 4294967295u, 4294967295u, kNow));
  EXPECT_GT(Countdown.endTime, kNow);
  RefreshCountdown(kNow);
  EXPECT_EQ(Countdown.hours, INT32_MAX) << "shown as the largest number the field holds";
}

TEST_F(CountdownTest, RemainingBelowOneSecondShowsZero) {
  ASSERT_TRUE(StartCountdown(0, 0, 2, kNow));
  RefreshCountdown(kNow + 1);
  EXPECT_EQ(Countdown.seconds, 1);
  RefreshCountdown(kNow + 2);
  EXPECT_EQ(Countdown.hours + Countdown.minutes + Countdown.seconds, 0);
  RefreshCountdown(kNow + 50);
  EXPECT_EQ(Countdown.seconds, 0);
}

TEST_F(CountdownTest, RefreshLeavesAStoppedCountdownAlone) {
  Countdown.hours = 4;
  Countdown.minutes = 5;
  Countdown.seconds = 6;
  RefreshCountdown(kNow);
  EXPECT_EQ(Countdown.hours, 4);
  EXPECT_EQ(Countdown.minutes, 5);
  EXPECT_EQ(Countdown.seconds, 6);
}

TEST_F(CountdownTest, AlarmComesOnceAfterTheEndSecond) {
  ASSERT_TRUE(StartCountdown(0, 0, 2, kNow));
  EXPECT_FALSE(CountdownExpired(kNow + 1));
  EXPECT_FALSE(CountdownExpired(kNow + 2)) << "not in the second the remaining time is 0";
  EXPECT_TRUE(Countdown.running);
  EXPECT_TRUE(CountdownExpired(kNow + 3));
  EXPECT_FALSE(Countdown.running);
  EXPECT_FALSE(CountdownExpired(kNow + 4)) << "one alarm per countdown";
}

TEST_F(CountdownTest, TheEndIsAWallClockTime) {
  ASSERT_TRUE(StartCountdown(1, 0, 0, kNow));
  EXPECT_TRUE(CountdownExpired(kNow + 7200)) << "clock set forward: early alarm";
  ASSERT_TRUE(StartCountdown(0, 0, 10, kNow));
  EXPECT_FALSE(CountdownExpired(kNow - 3600 + 11)) << "clock set back: later alarm";
}

TEST_F(CountdownTest, StartingAgainAfterAnAlarm) {
  ASSERT_TRUE(StartCountdown(0, 0, 1, kNow));
  EXPECT_TRUE(CountdownExpired(kNow + 2));
  ASSERT_TRUE(StartCountdown(0, 0, 1, kNow + 2));
  EXPECT_TRUE(CountdownExpired(kNow + 4));
}

// A 1280 x 760 work area at (0, 0) and a second monitor's at (1280, -100);
// dialogs of 400 x 300 (and one taller than the work area) with a gap of 8.
TEST(PlaceDialog, CentredThenClearOfTheStripInsideTheWorkArea) {
  const ScreenRect work = {0, 0, 1280, 760};
  const struct {
    const char* what;
    ScreenRect work;
    ScreenRect strip;
    bool hidden;
    int32_t width, height;
    int32_t x, y;
  } kCases[] = {
      {"strip at the top: centred, clear of it", work, {5, 5, 900, 60}, false, 400, 300, 440, 230},
      {"strip across the middle: below it", work, {0, 300, 1280, 360}, false, 400, 300, 440, 368},
      {"strip low: above it", work, {0, 500, 1280, 560}, false, 400, 300, 440, 192},
      {"no room either side: the bigger side, inside", work, {0, 300, 1280, 500}, false, 400, 400, 440, 0},
      {"hidden strip: centred only", work, {0, 300, 1280, 360}, true, 400, 300, 440, 230},
      {"strip beside the centre: centred", work, {0, 300, 200, 360}, false, 400, 300, 440, 230},
      {"taller than the work area: caption on screen", work, {0, 0, 1280, 60}, false, 400, 900, 440, 0},
      {"wider than the work area: left edge on screen", work, {0, 700, 100, 760}, false, 1500, 300, 0, 230},
      {"other monitor, strip low", {1280, -100, 2560, 700}, {1300, 400, 2500, 460}, false, 400,
       300, 1720, 92},
      {"other monitor, strip in its middle", {1280, -100, 2560, 700}, {1300, 250, 2500, 310}, false,
       400, 300, 1720, 318},
  };
  for (const auto& c : kCases) {
    int32_t x = -1;
    int32_t y = -1;
    PlaceDialog(c.work, c.hidden ? nullptr : &c.strip, c.width, c.height, 8, &x, &y);
    EXPECT_EQ(x, c.x) << c.what;
    EXPECT_EQ(y, c.y) << c.what;
  }
}

}  // namespace

