// The meeting planner's model: the shades of working hours, the grid across
// a clock change against glibc, the slot arithmetic and the two copy texts
// (the calendar read back by Python's icalendar).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "tz/wall_clock.h"
#include "tz/zone_change.h"
#include "ui/dialogs/planner_logic.h"

namespace {

constexpr UtcInstant kDec10At7 = 1796886000;   // 2026-12-10T07:00:00Z, a Thursday
constexpr UtcInstant kMar29Berlin = 1774738800;  // 2026-03-28T23:00:00Z, 00:00 CET on the 29th

struct Zone {
  const char* title;
  const char* rule;
};

class PlannerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DestroyClockZoneStates();
    Clocks.N = 0;
    ReleaseWallClock();
  }
  void SetClocks(std::initializer_list<Zone> zones) {
    DestroyClockZoneStates();  // a test may set its clocks twice
    Clocks.N = 0;
    for (const Zone& z : zones) {
      ClockRecord& c = Clocks.clocks[Clocks.N++];
      c = ClockRecord{};
      c.Type = kClockZone;
      c.Width = 80;
      CopyBounded(c.Title, sizeof c.Title, z.title, kTitleMaxLen);
      CopyBounded(c.Tz, sizeof c.Tz, z.rule, kZoneTextMaxLen);
    }
    CreateClockZoneStates();
  }
  std::string Hour(int row, int column) {
    char text[kPlannerCellChars];
    PlannerCellHourText(model_.row[row].cells[column], text, sizeof text);
    return text;
  }
  std::string Date(int row, int column) {
    char text[kPlannerCellChars];
    PlannerCellDateText(model_.row[row].cells[column], text, sizeof text);
    return text;
  }
  PlannerModel model_;
};

TEST(PlannerShade, WorkingAwakeAndNightByEachClocksHoursAndDays) {
  struct Row {
    const char* what;
    int32_t start, end, days;
    int wday, minute, shade;
  } rows[] = {
      {"Monday 09:00 works", 540, 1020, 0x3E, 1, 540, kShadeWork},
      {"08:59 is awake", 540, 1020, 0x3E, 1, 539, kShadeAwake},
      {"17:00 has ended", 540, 1020, 0x3E, 1, 1020, kShadeAwake},
      {"Saturday is off", 540, 1020, 0x3E, 6, 600, kShadeAwake},
      {"06:59 is night", 540, 1020, 0x3E, 1, 419, kShadeNight},
      {"22:00 is night", 540, 1020, 0x3E, 1, 1320, kShadeNight},
      {"Sunday to Thursday: Sunday works", 540, 1020, 0x1F, 0, 600, kShadeWork},
      {"Sunday to Thursday: Friday is off", 540, 1020, 0x1F, 5, 600, kShadeAwake},
      {"overnight: Monday 23:00 works", 1320, 360, 0x3E, 1, 1380, kShadeWork},
      {"overnight: Saturday 05:00 ends Friday's shift", 1320, 360, 0x3E, 6, 300, kShadeWork},
      {"overnight: Monday 05:00 follows a Sunday off", 1320, 360, 0x3E, 1, 300, kShadeNight},
      {"overnight: 06:00 has ended", 1320, 360, 0x3E, 2, 360, kShadeNight},
      {"equal start and end: no working hours", 600, 600, 0x7F, 1, 600, kShadeAwake},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(WorkShade(r.start, r.end, r.days, r.wday, r.minute), r.shade) << r.what;
  }
}

// The example of a one-hour slot at 07:00 UTC, Perth first.
TEST_F(PlannerTest, CopyTextOneLinePerClockAndUtc) {
  SetClocks({{"Perth", "AWST-8"}, {"New York", "EST5EDT,M3.2.0,M11.1.0"}});
  PlannerOpen(&model_, kDec10At7 + 600);
  EXPECT_EQ(model_.reference, 0);
  EXPECT_EQ(model_.step, 30);
  EXPECT_EQ(model_.duration, 60);
  EXPECT_EQ(PlannerSlotStart(&model_), kDec10At7);
  static char text[kPlannerTextChars];
  PlannerCopyText(&model_, text, sizeof text);
  EXPECT_STREQ(text,
               "Perth: Thu 10 Dec 2026 15:00-16:00 AWST\r\n"
               "New York: Thu 10 Dec 2026 02:00-03:00 EST\r\n"
               "UTC: 2026-12-10T07:00Z/2026-12-10T08:00Z\r\n");
  // Ending on the next day of a clock: 23:30 to 01:00 in Perth.
  PlannerSelectCell(&model_, 23, 30);
  model_.duration = 90;
  PlannerCopyText(&model_, text, sizeof text);
  EXPECT_EQ(std::string(text).substr(0, 50), "Perth: Thu 10 Dec 2026 23:30-01:00 (+1 day) AWST\r\n");
  char head[kPlannerHeadChars];
  PlannerRowHeadText(&model_, 1, head, sizeof head);
  EXPECT_STREQ(head, "New York  EST UTC-5");
}

// Every cell against glibc's reading of the same rule, on the day Berlin's
// clocks go forward, with Lord Howe's half-hour change a week later.
TEST_F(PlannerTest, GridAcrossAClockChangeMatchesGlibc) {
  const Zone zones[] = {{"Berlin", "CET-1CEST,M3.5.0,M10.5.0/3"},
                        {"New York", "EST5EDT,M3.2.0,M11.1.0"},
                        {"Kolkata", "IST-5:30"},
                        {"Lord Howe", "UTCPlusTenThirty-10:30UTCPlusEleven-11,M10.1.0,M4.1.0"}};
  SetClocks({zones[0], zones[1], zones[2], zones[3]});
  PlannerOpen(&model_, kMar29Berlin + 5 * 3600);
  EXPECT_EQ(model_.dayStart, kMar29Berlin);
  EXPECT_EQ(Hour(0, 1) + Hour(0, 2), "0103");
  EXPECT_EQ(Hour(2, 0), "04:30");
  EXPECT_EQ(Date(1, 0), "Sat 28");
  EXPECT_EQ(Date(0, 0), "");
#ifndef _WIN32  // glibc is the reference
  for (int r = 0; r < 4; ++r) {
    setenv("TZ", zones[r].rule, 1);
    tzset();
    for (int c = 0; c < kPlannerColumns; ++c) {
      const time_t t = static_cast<time_t>(model_.dayStart + c * 3600);
      struct tm tm {};
      localtime_r(&t, &tm);
      char want[kPlannerCellChars];
      std::snprintf(want, sizeof want, tm.tm_min ? "%02d:%02d" : "%02d", tm.tm_hour, tm.tm_min);
      EXPECT_EQ(Hour(r, c), want) << zones[r].title << " column " << c;
      const time_t next = t + 3600;
      struct tm after {};
      localtime_r(&next, &after);
      EXPECT_EQ(model_.row[r].cells[c].change != 0, after.tm_gmtoff != tm.tm_gmtoff)
          << zones[r].title << " column " << c;
    }
  }
  unsetenv("TZ");
  tzset();
#endif
  char tip[kPlannerTipChars];
  PlannerCellTip(&model_, 0, 1, tip, sizeof tip);
  EXPECT_STREQ(tip, "Berlin: Sun 29 Mar 01:00 CET, night; Clocks go forward 1:00 at 02:00 (CET -> CEST)");
  // Lord Howe goes back half an hour on 5 April at 02:00.
  PlannerSetReference(&model_, 3);
  PlannerMoveDay(&model_, 7);
  EXPECT_EQ(model_.day, 5);
  int changes = 0;
  for (int c = 0; c < kPlannerColumns; ++c) {
    if (!model_.row[3].cells[c].change) continue;
    ++changes;
    PlannerCellTip(&model_, 3, c, tip, sizeof tip);
    EXPECT_NE(std::string(tip).find("Clocks go back 0:30 at 02:00 ("), std::string::npos)
        << tip;
  }
  EXPECT_EQ(changes, 1);
}

TEST_F(PlannerTest, HeaderMarksAllWorkingElseTheMost) {
  SetClocks({{"Berlin", "CET-1CEST,M3.5.0,M10.5.0/3"}, {"New York", "EST5EDT,M3.2.0,M11.1.0"}});
  PlannerOpen(&model_, kDec10At7);
  PlannerSetDay(&model_, 2026, 12, 7);  // a Monday
  std::string marked;
  for (int c = 0; c < kPlannerColumns; ++c) marked += model_.marked[c] ? 'x' : '.';
  EXPECT_EQ(marked, "...............xx.......");
  char tip[kPlannerTipChars];
  PlannerColumnTip(&model_, 15, tip, sizeof tip);
  EXPECT_STREQ(tip, "All 2 clocks in working hours");
  // Perth overlaps Berlin only at 09:00 Berlin time: three columns of two.
  SetClocks({{"Berlin", "CET-1CEST,M3.5.0,M10.5.0/3"}, {"New York", "EST5EDT,M3.2.0,M11.1.0"},
             {"Perth", "AWST-8"}});
  PlannerBuild(&model_);
  marked.clear();
  for (int c = 0; c < kPlannerColumns; ++c) marked += model_.marked[c] ? 'x' : '.';
  EXPECT_EQ(marked, ".........x.....xx.......");
  PlannerColumnTip(&model_, 9, tip, sizeof tip);
  EXPECT_STREQ(tip, "2 of 3 clocks in working hours (the most on this day)");
  // A Sunday: nobody works, nothing is marked.
  PlannerSetDay(&model_, 2026, 12, 6);
  for (int c = 0; c < kPlannerColumns; ++c) EXPECT_EQ(model_.marked[c], 0) << c;
}

TEST_F(PlannerTest, StepsDaysAndTheEndsOfTheRange) {
  SetClocks({{"UTC", "UTC0"}});
  PlannerOpen(&model_, kDec10At7);
  EXPECT_EQ(model_.slot, 14);
  model_.slot = 0;
  PlannerStep(&model_, -1);
  EXPECT_EQ(model_.day, 9);
  EXPECT_EQ(model_.slot, 47);
  PlannerStep(&model_, 1);
  EXPECT_EQ(PlannerSlotStart(&model_), kDec10At7 - 7 * 3600);
  PlannerSetStep(&model_, 60);
  PlannerStep(&model_, 1);
  EXPECT_EQ(PlannerSlotStart(&model_), kDec10At7 - 6 * 3600);
  PlannerSetStep(&model_, 15);
  EXPECT_EQ(model_.slot, 4);
  PlannerMoveDay(&model_, 1);
  EXPECT_EQ(PlannerSlotStart(&model_), kDec10At7 + 18 * 3600);
  int32_t first = 0, last = 0;
  model_.duration = 120;
  PlannerSelectCell(&model_, 23, 50);
  PlannerSlotColumns(&model_, &first, &last);
  EXPECT_EQ(model_.slot, 95);
  EXPECT_EQ(first, 23);
  EXPECT_EQ(last, 23);
  PlannerSetDay(&model_, 2037, 12, 31);
  PlannerStep(&model_, 1);
  EXPECT_EQ(model_.year * 10000 + model_.month * 100 + model_.day, 20371231);
  EXPECT_EQ(model_.slot, 95);
  PlannerSetDay(&model_, 1969, 6, 1);
  EXPECT_EQ(model_.year * 10000 + model_.month * 100 + model_.day, 19700102);
  PlannerMoveDay(&model_, -1);
  EXPECT_EQ(model_.day, 2);
}

TEST_F(PlannerTest, LocalClockIsTheReferenceAndNamesItsOffset) {
  FixWallClock(kDec10At7, "IST-5:30");
  SetClocks({{"Perth", "AWST-8"}, {"Here", ""}});
  Clocks.clocks[1].Type = kClockLocal;
  PlannerOpen(&model_, kDec10At7);
  EXPECT_EQ(model_.reference, 1);
  EXPECT_EQ(Hour(1, 0), "00");
  EXPECT_EQ(Hour(0, 0), "02:30");
  char head[kPlannerHeadChars];
  PlannerRowHeadText(&model_, 1, head, sizeof head);
  EXPECT_STREQ(head, "Here  +0530 UTC+5:30");
}

#ifndef _WIN32
// The calendar text as a calendar program reads it: Python's icalendar.
TEST_F(PlannerTest, CalendarTextReadsBackThroughIcalendar) {
  SetClocks({{"Perth, WA; \\office", "AWST-8"}, {"New York", "EST5EDT,M3.2.0,M11.1.0"}});
  Clocks.clocks[0].Title[3] = static_cast<char>(0xE9);  // "Pere" with an e acute
  PlannerOpen(&model_, kDec10At7);
  static char text[kPlannerCalendarChars];
  PlannerCalendarText(&model_, kDec10At7 - 86400, text, sizeof text);
  const std::string cal = text;
  size_t from = 0;
  for (size_t end; (end = cal.find("\r\n", from)) != std::string::npos; from = end + 2) {
    EXPECT_LE(end - from, 75u) << cal.substr(from, end - from);
    EXPECT_EQ(cal.find('\n', from), end + 1) << "bare line feed";
  }
  EXPECT_EQ(from, cal.size()) << "the text ends with CRLF";
  const char* path = "planner_test.ics";
  FILE* f = std::fopen(path, "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(cal.data(), 1, cal.size(), f);
  std::fclose(f);
  const std::string command = std::string("/usr/bin/python3 -c '"
      "import sys, icalendar\n"
      "cal = icalendar.Calendar.from_ical(open(sys.argv[1], \"rb\").read())\n"
      "ev = cal.walk(\"VEVENT\")[0]\n"
      "print(cal[\"VERSION\"], ev[\"SUMMARY\"], ev.decoded(\"DTSTART\").isoformat(),"
      " ev.decoded(\"DTEND\").isoformat(), ev.decoded(\"DTSTAMP\").isoformat(), sep=\"|\")\n"
      "sys.stdout.buffer.write(str(ev[\"DESCRIPTION\"]).encode(\"utf-8\"))' ") + path;
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buffer[512];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  EXPECT_EQ(pclose(p), 0) << out;
  std::remove(path);
  EXPECT_EQ(out,
            "2.0|Meeting|2026-12-10T07:00:00+00:00|2026-12-10T08:00:00+00:00|"
            "2026-12-09T07:00:00+00:00\n"
            "Per\xC3\xA9h, WA; \\office: Thu 10 Dec 2026 15:00-16:00 AWST\n"
            "New York: Thu 10 Dec 2026 02:00-03:00 EST\n"
            "UTC: 2026-12-10T07:00Z/2026-12-10T08:00Z");
}
#endif

}  // namespace
