// Clock cell texts, day marks, tooltips and all-zones rows, with the present
// instant and the computer's own zone fixed through the clock adapter.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "clocks/clock_list.h"
#include "tz/abbreviation.h"
#include "tz/clock_text.h"
#include "tz/fatal.h"
#include "tz/wall_clock.h"

namespace {

// 2024-01-05T01:30:00Z, a Friday.
constexpr UtcInstant kFri0130 = 1704418200;

std::string TimeText(int format, int hour, int minute, int second, int wday, int mday, char mark,
                     int utc) {
  char out[kClockTextChars];
  ClockTimeText(format, hour, minute, second, wday, mday, mark, utc, out, sizeof out);
  return out;
}

TEST(ClockTimeText, FourFormats) {
  struct Case {
    int format, hour, minute, second, wday, mday;
    char mark;
    int utc;
    const char* expected;
  } cases[] = {
      {0, 9, 5, 3, 1, 1, '+', 0, "+09:05:03"},
      {0, 9, 5, 3, 1, 1, ' ', 1, " 09:05:03Z"},
      {0, 9, 5, 3, 1, 1, 0, 0, "09:05:03"},
      {0, 23, 59, 59, 1, 1, '-', 1, "-23:59:59Z"},
      {1, 0, 0, 0, 1, 1, 0, 0, "12:00a"},
      {1, 0, 5, 0, 1, 1, ' ', 1, " 12:05a"},
      {1, 12, 0, 0, 1, 1, 0, 0, "12:00p"},
      {1, 12, 5, 0, 1, 1, '+', 0, "+12:05p"},
      {1, 23, 59, 0, 1, 1, 0, 0, "11:59p"},
      {1, 11, 59, 0, 1, 1, 0, 0, "11:59a"},
      {1, 13, 1, 0, 1, 1, 0, 1, "1:01p"},
      {2, 7, 8, 9, 1, 1, '-', 0, "-07:08"},
      {2, 7, 8, 9, 1, 1, ' ', 1, " 07:08Z"},
      {3, 7, 8, 9, 3, 22, '+', 1, "Wed 22nd"},
      {3, 7, 8, 9, 0, 11, 0, 0, "Sun 11th"},
      {3, 7, 8, 9, 6, 31, 0, 0, "Sat 31st"},
      {3, 7, 8, 9, 2, 3, 0, 0, "Tue 3rd"},
      {3, 7, 8, 9, 2, 12, 0, 0, "Tue 12th"},
      {3, 7, 8, 9, 2, 23, 0, 0, "Tue 23rd"},
      {7, 9, 5, 3, 1, 1, ' ', 1, " 09:05:03Z"},
      {-1, 9, 5, 3, 1, 1, 0, 0, "09:05:03"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TimeText(c.format, c.hour, c.minute, c.second, c.wday, c.mday, c.mark, c.utc),
              c.expected)
        << "format " << c.format << " " << c.hour << ":" << c.minute;
  }
}

TEST(ClockTimeText, StaysInsideItsBuffer) {
  char out[kClockTextChars];
  std::memset(out, 'x', sizeof out);
  ClockTimeText(0, 123456, 99999, 99999, 0, 1, '+', 1, out, sizeof out);
  EXPECT_EQ(std::strlen(out), kClockTextChars - 1);
  ClockTimeText(3, 0, 0, 0, 99, 99, 0, 0, out, sizeof out);  // out-of-table values
  EXPECT_LT(std::strlen(out), kClockTextChars);
}

TEST(DayMarks, Thresholds) {
  EXPECT_EQ(UtcDayMark(5, 5), ' ');
  EXPECT_EQ(UtcDayMark(6, 5), '+');
  EXPECT_EQ(UtcDayMark(4, 5), '-');
  EXPECT_EQ(UtcDayMark(1, 31), '+');  // UTC already in the next month
  EXPECT_EQ(UtcDayMark(1, 30), '+');
  EXPECT_EQ(UtcDayMark(31, 1), '-');
  EXPECT_EQ(UtcDayMark(28, 1), '-');
  EXPECT_EQ(ZoneDayMark(100, 100), ' ');
  EXPECT_EQ(ZoneDayMark(101, 100), '+');
  EXPECT_EQ(ZoneDayMark(99, 100), '-');
  EXPECT_EQ(ZoneDayMark(364, 0), '-');  // zone on Dec 31, computer on Jan 1
  EXPECT_EQ(ZoneDayMark(365, 0), '-');  // the same after a leap year
  EXPECT_EQ(ZoneDayMark(0, 364), '+');
  EXPECT_EQ(ZoneDayMark(0, 365), '+');
}

class FixedClockTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DestroyClockZoneStates();
    Clocks.N = 0;
    ReleaseWallClock();
  }
  ClockRecord* Add(int type, int format, const char* tz) {
    ClockRecord& r = Clocks.clocks[Clocks.N++];
    r = ClockRecord{};
    r.Type = type;
    r.Format = format;
    CopyBounded(r.Tz, sizeof r.Tz, tz, kZoneTextMaxLen);
    CopyBounded(r.TimeText, sizeof r.TimeText, "unchanged", 14);
    r.zone = CreateZoneState();
    return &r;
  }
};

TEST_F(FixedClockTest, RefreshGivesEachTypeItsText) {
  FixWallClock(kFri0130, "AWST-8");  // the computer is in Perth: 09:30 Friday
  ClockRecord* local = Add(kClockLocal, 0, "ignored-3");
  ClockRecord* utc = Add(kClockUtc, 0, "ignored-3");
  ClockRecord* ahead = Add(kClockZone, 0, "NZST-12NZDT,M9.5.0,M4.1.0/3");  // 14:30 Fri
  ClockRecord* behind = Add(kClockZone, 2, "PST8PDT,M3.2.0,M11.1.0");      // 17:30 Thu
  ClockRecord* same = Add(kClockZone, 1, "AWST-8");
  ClockRecord* other = Add(7, 0, "");
  RefreshClockTexts();
  EXPECT_STREQ(local->TimeText, "09:30:00");
  EXPECT_STREQ(utc->TimeText, " 01:30:00Z");
  EXPECT_STREQ(ahead->TimeText, " 14:30:00");
  EXPECT_STREQ(behind->TimeText, "-17:30");
  EXPECT_STREQ(same->TimeText, " 9:30a");
  EXPECT_STREQ(other->TimeText, "unchanged");
}

TEST_F(FixedClockTest, MarksAcrossTheDateLine) {
  FixWallClock(kFri0130, "PST8PDT,M3.2.0,M11.1.0");  // computer: Thu 17:30
  ClockRecord* utc = Add(kClockUtc, 0, "GMT0");
  ClockRecord* tokyo = Add(kClockZone, 3, "JST-9");  // Fri 10:30
  ClockRecord* tokyo0 = Add(kClockZone, 0, "JST-9");
  RefreshClockTexts();
  EXPECT_STREQ(utc->TimeText, "+01:30:00Z");
  EXPECT_STREQ(tokyo->TimeText, "Fri 5th");
  EXPECT_STREQ(tokyo0->TimeText, "+10:30:00");
}

TEST_F(FixedClockTest, MarksAcrossTheNewYear) {
  // 2025-01-01T05:00Z: Kiribati is on Jan 1 19:00, Samoa-like -11 on Dec 31.
  const UtcInstant t = 1735707600;
  FixWallClock(t, "XXX-14");
  ClockRecord* west = Add(kClockZone, 0, "SST11");  // 2024-12-31 18:00, leap year yday 365
  ClockRecord* utc = Add(kClockUtc, 2, "GMT0");
  RefreshClockTexts();
  EXPECT_STREQ(west->TimeText, "-18:00:00");
  EXPECT_STREQ(utc->TimeText, " 05:00Z");
  FixWallClock(t, "SST11");
  ClockRecord* east = Add(kClockZone, 0, "XXX-14");
  RefreshClockTexts();
  EXPECT_STREQ(east->TimeText, "+19:00:00");
  EXPECT_STREQ(utc->TimeText, "+05:00Z");
}

// A previewed instant gives exactly the texts the present would give at that
// instant, marks against the computer's date then included, whatever the
// present is; the engine's rules past 2037 apply as for the present.
TEST_F(FixedClockTest, TextsAtAnotherInstantMatchThatPresent) {
  const UtcInstant instants[] = {kFri0130, kFri0130 + 86400 - 3600, kFri0130 - 3600,
                                 2208988800 + 200 * 86400 /* 2040-07-19 */, 86400,
                                 32535043200 /* 3000-12-30 */};
  ClockRecord* local = Add(kClockLocal, 0, "");
  ClockRecord* utc = Add(kClockUtc, 2, "GMT0");
  ClockRecord* ahead = Add(kClockZone, 0, "NZST-12NZDT,M9.5.0,M4.1.0/3");
  ClockRecord* behind = Add(kClockZone, 3, "PST8PDT,M3.2.0,M11.1.0");
  ClockRecord* clocks[] = {local, utc, ahead, behind};
  for (UtcInstant at : instants) {
    FixWallClock(at, "AWST-8");
    RefreshClockTexts();
    std::string present[4];
    std::string presentTips[4];
    char tip[kTooltipChars];
    for (int i = 0; i < 4; ++i) {
      present[i] = clocks[i]->TimeText;
      ClockTooltipText(clocks[i], 1, tip, sizeof tip);
      presentTips[i] = tip;
    }
    FixWallClock(kFri0130 + 12345, "AWST-8");  // another present
    RefreshClockTextsAt(at);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(clocks[i]->TimeText, present[i]) << "clock " << i << " at " << at;
      ClockTooltipTextAt(clocks[i], 1, at, tip, sizeof tip);
      EXPECT_EQ(tip, presentTips[i]) << "clock " << i << " at " << at;
    }
  }
  // Two hours earlier UTC is still on Thursday while Perth is on Friday: the
  // mark follows the previewed instant, not the present (same day there).
  RefreshClockTextsAt(kFri0130 - 7200);
  EXPECT_STREQ(local->TimeText, "07:30:00");
  EXPECT_STREQ(utc->TimeText, "-23:30Z");
  EXPECT_STREQ(behind->TimeText, "Thu 4th");
}

TEST_F(FixedClockTest, TooltipTexts) {
  FixWallClock(kFri0130 + 4 * 3600, "AWST-8");  // Fri 5 Jan 2024, 13:30 in Perth
  ClockRecord* perth = Add(kClockZone, 0, "AWST-8");
  char tip[kTooltipChars];
  ClockTooltipText(perth, 1, tip, sizeof tip);
  EXPECT_STREQ(tip, "AWST: Friday,  5 Jan 2024 ");
  ClockTooltipText(perth, 0, tip, sizeof tip);
  EXPECT_STREQ(tip, "AWST: Friday, Jan 5 2024 ");
  ClockTooltipText(perth, 2, tip, sizeof tip);
  EXPECT_STREQ(tip, "AWST: Friday, 2024 Jan 5 ");
  ClockTooltipText(perth, 9, tip, sizeof tip);
  EXPECT_STREQ(tip, "AWST: Friday,  5 Jan 2024 ");

  ClockRecord* sydney = Add(kClockZone, 0, "AEST-10AEDT,M10.1.0,M4.1.0/3");
  ClockTooltipText(sydney, 2, tip, sizeof tip);
  EXPECT_STREQ(tip, "AEDT: Friday, 2024 Jan 5 (d)");

  ClockRecord* local = Add(kClockLocal, 0, "");
  ClockTooltipText(local, 1, tip, sizeof tip);
  EXPECT_STREQ(tip, "Local: Friday,  5 Jan 2024 ");

  ClockRecord* utc = Add(kClockUtc, 0, "GMT0");
  ClockTooltipText(utc, 0, tip, sizeof tip);
  EXPECT_STREQ(tip, "GMT: Friday, Jan 5 2024 ");

  // Spelt-out offset names show as IANA writes them; the rule keeps the letters.
  ClockRecord* kathmandu = Add(kClockZone, 0, "UTCPlusFiveFortyFive-5:45");
  ClockTooltipText(kathmandu, 1, tip, sizeof tip);
  EXPECT_STREQ(tip, "+0545: Friday,  5 Jan 2024 ");
  EXPECT_STREQ(kathmandu->Tz, "UTCPlusFiveFortyFive-5:45");
  ClockRecord* nuuk = Add(kClockZone, 0, "UTCMinusTwo2UTCMinusOne,M3.4.4/71,M10.5.0/0");
  ClockTooltipText(nuuk, 1, tip, sizeof tip);
  EXPECT_STREQ(tip, "-02: Friday,  5 Jan 2024 ");

  ClockRecord* longName = Add(kClockZone, 0, (std::string(120, 'N') + "-1").c_str());
  ClockTooltipText(longName, 0, tip, sizeof tip);
  EXPECT_EQ(std::strlen(tip), kTooltipChars - 1);
  EXPECT_EQ(std::string(tip, 10), std::string(10, 'N'));
}

// Names that only look spelt out stay as they are; the copy is bounded.
TEST(ReadableAbbreviation, OtherNamesUnchangedAndBounded) {
  const struct {
    const char* name;
    const char* shown;
  } kCases[] = {
      {"UTCPlusFour", "+04"},      {"UTCPlusFourteen", "+14"},  {"UTCPlusFourTeen", "UTCPlusFourTeen"},
      {"CET", "CET"},              {"UTC", "UTC"},              {"UTCPlus", "UTCPlus"},
      {"UTCPlusFiveTen", "UTCPlusFiveTen"}, {"UTCPlusTwentyFive", "UTCPlusTwentyFive"},
      {"UTCMinusOneThirtyX", "UTCMinusOneThirtyX"}, {"XUTCPlusOne", "XUTCPlusOne"}, {"", ""},
  };
  char out[20];
  for (const auto& c : kCases) {
    ReadableAbbreviation(c.name, out, sizeof out);
    EXPECT_STREQ(out, c.shown) << c.name;
  }
  ReadableAbbreviation("UTCPlusFiveFortyFive", out, 4);
  EXPECT_STREQ(out, "+05");
  ReadableAbbreviation("ABCDEFGHIJKLMNOPQRSTUVWXYZ", out, 16);
  EXPECT_STREQ(out, "ABCDEFGHIJKLMNO");
  out[0] = 'x';
  ReadableAbbreviation("CET", out, 0);
  EXPECT_EQ(out[0], 'x');
}

// A change within 14 days of the instant shown adds a second line; any other
// clock keeps its tooltip byte for byte. The texts are the announced ones.
TEST_F(FixedClockTest, TitleTooltipAnnouncesAChangeAhead) {
  const UtcInstant kMar20 = 1773964800;  // 2026-03-20T00:00Z
  FixWallClock(kMar20, "AWST-8");
  ClockRecord* berlin = Add(kClockZone, 0, "CET-1CEST,M3.5.0,M10.5.0/3");
  ClockRecord* howe = Add(kClockZone, 0, "LHST-10:30LHDT-11,M10.1.0,M4.1.0");
  ClockRecord* perth = Add(kClockZone, 0, "AWST-8");
  ClockRecord* local = Add(kClockLocal, 0, "");
  char one[kTitleTipChars];
  char two[kTitleTipChars];
  for (ClockRecord* clock : {berlin, howe, perth, local}) {
    for (UtcInstant at : {kMar20 + 40 * 86400, kMar20 + 110 * 86400, INT64_MAX - 100}) {
      ClockTooltipTextAt(clock, 1, at, one, sizeof one);
      TitleTooltipTextAt(clock, 1, at, two, sizeof two);
      EXPECT_EQ(std::string(two), one) << clock->Tz << " at " << at;
    }
  }
  TitleTooltipTextAt(berlin, 2, kMar20, two, sizeof two);
  EXPECT_STREQ(two, "CET: Friday, 2026 Mar 20 \r\n"
                    "Clocks go forward 1:00 on Sun 29 Mar 2026 at 02:00 (CET -> CEST)");
  ZoneChange change{};
  ASSERT_TRUE(ClockChangeAhead(berlin, kMar20 + 210 * 86400, kChangeTipSeconds, &change));
  ZoneChangeText(&change, 1, two, sizeof two);
  EXPECT_STREQ(two, "Clocks go back 1:00 on Sun 25 Oct 2026 at 03:00 (CEST -> CET)");
  ZoneChangeText(&change, 0, two, sizeof two);
  EXPECT_STREQ(two, "Clocks go back 1:00 at 03:00 (CEST -> CET)");
  EXPECT_FALSE(ClockChangeAhead(berlin, kMar20, 8 * 86400, &change));
  ASSERT_TRUE(ClockChangeAhead(howe, kMar20 + 5 * 86400, kChangeTipSeconds, &change));
  ZoneChangeText(&change, 1, two, sizeof two);
  EXPECT_STREQ(two, "Clocks go back 0:30 on Sun 5 Apr 2026 at 02:00 (LHDT -> LHST)");
  // Odd minutes and seconds in the rule, two hours at once.
  ClockRecord* odd = Add(kClockZone, 0, "AAA0BBB-2,M2.5.0/1:07,M11.5.6/23:59:59");
  ASSERT_TRUE(ClockChangeAhead(odd, kMar20 + 200 * 86400, 60 * 86400, &change));
  ZoneChangeText(&change, 1, two, sizeof two);
  EXPECT_STREQ(two, "Clocks go back 2:00 on Sat 28 Nov 2026 at 23:59:59 (BBB -> AAA)");
  // A bounded buffer is cut, never overrun.
  TitleTooltipTextAt(berlin, 1, kMar20, two, 30);
  EXPECT_EQ(std::strlen(two), 29u);
}

TEST_F(FixedClockTest, ZoneRows) {
  FixWallClock(1720000000, nullptr);  // 2024-07-03T09:46:40Z, a Wednesday
  ZoneState* z = CreateZoneState();
  char row[kZoneRowChars];
  ZoneRowText(z, "CET-1CEST,M3.5.0,M10.5.0/3", CurrentInstant(), row, sizeof row);
  EXPECT_STREQ(row, "11:46 CEST Wed 03 Jul (d)");
  ZoneRowText(z, "AWST-8", CurrentInstant(), row, sizeof row);
  EXPECT_STREQ(row, "17:46 AWST Wed 03 Jul ");
  ZoneRowText(z, "GMT0", CurrentInstant(), row, sizeof row);
  EXPECT_STREQ(row, "09:46 GMT  Wed 03 Jul ");
  ZoneRowText(z, "UTCMinusThree3", CurrentInstant(), row, sizeof row);
  EXPECT_STREQ(row, "06:46 -03  Wed 03 Jul ");
  ZoneRowText(z, "not a zone", CurrentInstant(), row, sizeof row);
  EXPECT_STREQ(row, "09:46 GMT  Wed 03 Jul ");
  ZoneRowText(z, (std::string(60, 'Z') + "-1").c_str(), CurrentInstant(), row, sizeof row);
  EXPECT_EQ(std::strlen(row), kZoneRowChars - 1);
  DestroyZoneState(&z);
}

#ifndef _WIN32
// Natively the computer's own zone is the platform's, chosen through TZ.
TEST_F(FixedClockTest, PlatformLocalZoneThroughTz) {
  const char* saved = std::getenv("TZ");
  const std::string savedTz = saved ? saved : "";
  setenv("TZ", "JST-9", 1);
  tzset();
  FixWallClock(kFri0130 - 3 * 3600, nullptr);  // 2024-01-04T22:30Z: Friday 07:30 in Tokyo
  ClockRecord* local = Add(kClockLocal, 0, "");
  ClockRecord* utc = Add(kClockUtc, 0, "GMT0");
  ClockRecord* london = Add(kClockZone, 2, "GMT0BST,M3.5.0/1,M10.5.0");
  RefreshClockTexts();
  EXPECT_STREQ(local->TimeText, "07:30:00");
  EXPECT_STREQ(utc->TimeText, "-22:30:00Z");
  EXPECT_STREQ(london->TimeText, "-22:30");
  char tip[kTooltipChars];
  ClockTooltipText(local, 0, tip, sizeof tip);
  EXPECT_STREQ(tip, "Local: Friday, Jan 5 2024 ");
  if (saved) {
    setenv("TZ", savedTz.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(FatalOutOfMemory, EndsWithStatusOneAndTheMessage) {
  EXPECT_EXIT(FatalOutOfMemory("calloc failed to allocate memory."),
              ::testing::ExitedWithCode(1), "calloc failed to allocate memory\\.");
}
#endif

}  // namespace
