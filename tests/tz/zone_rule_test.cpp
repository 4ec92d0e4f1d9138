// Parsing of zone rule strings and the transition table they produce.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tz/zone.h"

namespace {

struct Zone {
  ZoneState* state = CreateZoneState();
  ~Zone() { DestroyZoneState(&state); }
  ZoneState* operator->() { return state; }
};

// Offset east of UTC, DST flag and name in force at t.
struct Local {
  int32_t offset;
  int isdst;
  std::string abbr;
};

Local At(ZoneState* z, UtcInstant t) {
  BrokenDownTime f{};
  EXPECT_NE(ZoneLocalTime(z, t, &f), nullptr);
  const ZoneType* type = nullptr;
  for (int i = 0; i < (z->typeCount ? z->typeCount : 1); ++i) {
    if (std::strcmp(z->abbrevChars + z->types[i].abbrevIndex, z->currentAbbrev[f.isdst]) == 0 &&
        z->types[i].isdst == f.isdst)
      type = &z->types[i];
  }
  return Local{type ? type->offset : INT32_MIN, f.isdst, z->currentAbbrev[f.isdst]};
}

bool IsGmtFallback(ZoneState* z) {
  return z->typeCount == 1 && z->transitionCount == 0 && z->types[0].offset == 0 &&
         z->types[0].isdst == 0 && std::strcmp(z->abbrevChars, "GMT") == 0;
}

// 1970-01-01 of year y, computed by counting days.
UtcInstant YearStart(int y) {
  UtcInstant t = 0;
  for (int year = 1970; year < y; ++year) t += (IsLeapYear(year) ? 366 : 365) * 86400LL;
  return t;
}

UtcInstant DayOf(int y, int month1, int day) {
  UtcInstant t = YearStart(y);
  for (int m = 0; m < month1 - 1; ++m) t += MonthLength(y, m) * 86400LL;
  return t + (day - 1) * 86400LL;
}

TEST(ParseNumber, AccumulatesAndChecksRange) {
  struct Case {
    const char* text;
    int32_t min, max;
    int consumed;  // -1 = rejected
    int32_t value;
  } cases[] = {
      {"007", 0, 10, 3, 7},     {"12x", 0, 24, 2, 12},  {"25", 0, 24, -1, 0},
      {"", 0, 5, -1, 0},        {"x1", 0, 5, -1, 0},    {"0", 1, 5, -1, 0},
      {"365", 0, 365, 3, 365},  {"366", 0, 365, -1, 0}, {"0000000000000000001", 0, 5, 19, 1},
      {"99999999999", 0, 167, -1, 0},
  };
  for (const Case& c : cases) {
    int32_t v = -99;
    const char* end = ParseNumber(c.text, &v, c.min, c.max);
    if (c.consumed < 0) {
      EXPECT_EQ(end, nullptr) << c.text;
    } else {
      ASSERT_NE(end, nullptr) << c.text;
      EXPECT_EQ(end - c.text, c.consumed) << c.text;
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(ParseOffset, SignsAndClockTimes) {
  struct Case {
    const char* text;
    bool ok;
    int32_t seconds;
  } cases[] = {
      {"5", true, 18000},         {"+5", true, 18000},        {"-5:30", true, -19800},
      {"167", true, 167 * 3600},  {"168", false, 0},          {"1:60", false, 0},
      {"1:59:60", true, 7199 + 1}, {"1:59:61", false, 0},     {"1:", false, 0},
      {"-", false, 0},            {"+-1", false, 0},          {"0:0:0", true, 0},
  };
  for (const Case& c : cases) {
    int32_t s = 12345;
    const char* end = ParseOffset(c.text, &s);
    EXPECT_EQ(end != nullptr, c.ok) << c.text;
    if (c.ok && end) {
      EXPECT_EQ(s, c.seconds) << c.text;
      EXPECT_EQ(*end, '\0') << c.text;
    }
  }
}

TEST(ParseRule, KindsAndTimes) {
  TransitionRule r{};
  ASSERT_NE(ParseRule("J60", &r), nullptr);
  EXPECT_EQ(r.kind, 0);
  EXPECT_EQ(r.day, 60);
  EXPECT_EQ(r.time, 7200);
  ASSERT_NE(ParseRule("0/0", &r), nullptr);
  EXPECT_EQ(r.kind, 1);
  EXPECT_EQ(r.day, 0);
  EXPECT_EQ(r.time, 0);
  ASSERT_NE(ParseRule("M10.5.0/3", &r), nullptr);
  EXPECT_EQ(r.kind, 2);
  EXPECT_EQ(r.month, 10);
  EXPECT_EQ(r.week, 5);
  EXPECT_EQ(r.day, 0);
  EXPECT_EQ(r.time, 3 * 3600);
  ASSERT_NE(ParseRule("M3.2.0/167", &r), nullptr);
  EXPECT_EQ(r.time, 167 * 3600);
  for (const char* bad : {"J0", "J366", "366", "M13.1.0", "M0.1.0", "M3.6.0", "M3.0.0",
                          "M3.1.7", "M3.1", "M3", "K1", "/2", "M3.1.0/-1", "M3.1.0/+1"}) {
    EXPECT_EQ(ParseRule(bad, &r), nullptr) << bad;
  }
}

TEST(TransitionTime, DayRules) {
  TransitionRule j60{0, 60, 0, 0, 0};
  TransitionRule z59{1, 59, 0, 0, 0};
  TransitionRule z365{1, 365, 0, 0, 0};
  for (int y : {1970, 1972, 1999, 2000, 2024, 2037}) {
    EXPECT_EQ(TransitionTime(YearStart(y), y, &j60, 0), DayOf(y, 3, 1)) << y;
    EXPECT_EQ(TransitionTime(YearStart(y), y, &z59, 0),
              IsLeapYear(y) ? DayOf(y, 2, 29) : DayOf(y, 3, 1))
        << y;
  }
  EXPECT_EQ(TransitionTime(YearStart(2023), 2023, &z365, 0), DayOf(2024, 1, 1));
  EXPECT_EQ(TransitionTime(YearStart(2024), 2024, &z365, 0), DayOf(2024, 12, 31));
}

TEST(TransitionTime, MonthWeekDayRules) {
  // Last Sunday of February in a leap and a common year.
  TransitionRule lastSunFeb{2, 0, 5, 2, 0};
  EXPECT_EQ(TransitionTime(YearStart(2024), 2024, &lastSunFeb, 0), DayOf(2024, 2, 25));
  EXPECT_EQ(TransitionTime(YearStart(2015), 2015, &lastSunFeb, 0), DayOf(2015, 2, 22));
  // 2004: February has 29 days and the 29th is a Sunday.
  EXPECT_EQ(TransitionTime(YearStart(2004), 2004, &lastSunFeb, 0), DayOf(2004, 2, 29));
  // Second Sunday of March 2026 (8th), first Sunday of November 2026 (1st).
  TransitionRule secondSunMar{2, 0, 2, 3, 7200};
  EXPECT_EQ(TransitionTime(YearStart(2026), 2026, &secondSunMar, 18000),
            DayOf(2026, 3, 8) + 7200 + 18000);
  TransitionRule firstSunNov{2, 0, 1, 11, 7200};
  EXPECT_EQ(TransitionTime(YearStart(2026), 2026, &firstSunNov, 0), DayOf(2026, 11, 1) + 7200);
  // Check every weekday/week against a brute-force day walk in 1970-2037.
  for (int y = 1970; y <= 2037; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int wd = 0; wd < 7; ++wd) {
        for (int w = 1; w <= 5; ++w) {
          TransitionRule r{2, wd, w, m, 0};
          int found = 0;
          int day = 0;
          for (int d = 1; d <= MonthLength(y, m - 1); ++d) {
            const UtcInstant t = DayOf(y, m, d);
            const int weekday = static_cast<int>(((t / 86400) % 7 + 11) % 7);  // 1970-01-01 Thu
            if (weekday == wd) {
              ++found;
              day = d;
              if (found == w) break;
            }
          }
          ASSERT_EQ(TransitionTime(YearStart(y), y, &r, 0), DayOf(y, m, day))
              << y << "-" << m << " w" << w << " d" << wd;
        }
      }
    }
  }
}

TEST(SetZoneRule, PlainZones) {
  Zone z;
  SetZoneRule(z.state, "AWST-8");
  EXPECT_EQ(z->typeCount, 1);
  EXPECT_EQ(z->transitionCount, 0);
  EXPECT_EQ(z->types[0].offset, 28800);
  EXPECT_STREQ(z->currentAbbrev[0], "AWST");
  EXPECT_STREQ(z->currentAbbrev[1], "   ");
  EXPECT_EQ(z->abbrevLength, 5);

  SetZoneRule(z.state, "GMT0");
  EXPECT_EQ(z->types[0].offset, 0);
  EXPECT_STREQ(z->currentAbbrev[0], "GMT");

  SetZoneRule(z.state, "ABC+5");
  EXPECT_EQ(z->types[0].offset, -18000);
  SetZoneRule(z.state, "IST-5:30");
  EXPECT_EQ(z->types[0].offset, 19800);
}

TEST(SetZoneRule, RejectedTextsBecomeGmt) {
  Zone z;
  for (const char* bad :
       {"AB-8", "AWST", ":Europe/Paris", "<+0530>-5:30", "EST5EDT,M3.2.0", "EST5EDT,M3.2.0,M11.1.0x",
        "EST5EDT;M3.2.0,M11.1.0", "EST5EDT4,M3.2.0;M11.1.0", "EST5ED", "EST5EDT,M3.2.0/-1,M11.1.0",
        "X", "EST5EDT4x", "EST5EDT,M3.2.0,M11.1.0/1:60", "EST168"}) {
    SetZoneRule(z.state, "CET-1CEST,M3.5.0,M10.5.0/3");  // something to overwrite
    SetZoneRule(z.state, bad);
    EXPECT_TRUE(IsGmtFallback(z.state)) << bad;
    EXPECT_STREQ(z->currentAbbrev[0], "GMT") << bad;
    EXPECT_STREQ(z->currentAbbrev[1], "   ") << bad;
    EXPECT_EQ(At(z.state, DayOf(2026, 7, 1)).offset, 0) << bad;
  }
}

TEST(SetZoneRule, EmptyAndNullTexts) {
  Zone z;
  SetZoneRule(z.state, nullptr);
  EXPECT_EQ(z->typeCount, 0);
  EXPECT_EQ(z->transitionCount, 0);
  EXPECT_STREQ(z->currentAbbrev[0], "   ");
  BrokenDownTime f{};
  ASSERT_NE(ZoneLocalTime(z.state, 0, &f), nullptr);
  EXPECT_EQ(f.hour, 0);
  EXPECT_EQ(f.isdst, 0);
  EXPECT_STREQ(z->currentAbbrev[0], "GMT");
  SetZoneRule(z.state, "AWST-8");
  SetZoneRule(z.state, "");
  EXPECT_EQ(z->typeCount, 0);
}

TEST(SetZoneRule, DefaultRulesAndDstOffset) {
  Zone z;
  SetZoneRule(z.state, "EST5EDT");
  ASSERT_EQ(z->typeCount, 2);
  EXPECT_EQ(z->transitionCount, 136);
  EXPECT_EQ(z->types[0].offset, -4 * 3600);
  EXPECT_EQ(z->types[0].isdst, 1);
  EXPECT_EQ(z->types[1].offset, -5 * 3600);
  EXPECT_STREQ(z->currentAbbrev[0], "EST");
  EXPECT_STREQ(z->currentAbbrev[1], "EDT");
  // 2026: first Sunday of April is the 5th, last Sunday of October the 25th.
  EXPECT_EQ(z->transitions[2 * 56], DayOf(2026, 4, 5) + 7200 + 5 * 3600);
  EXPECT_EQ(z->transitions[2 * 56 + 1], DayOf(2026, 10, 25) + 7200 + 4 * 3600);
  const UtcInstant start = z->transitions[2 * 56];
  EXPECT_EQ(At(z.state, start).isdst, 1);
  EXPECT_EQ(At(z.state, start - 1).isdst, 0);
  EXPECT_EQ(At(z.state, start - 1).abbr, "EST");
  EXPECT_EQ(At(z.state, start).abbr, "EDT");
}

TEST(SetZoneRule, SouthernHemisphereOrdersEndFirst) {
  Zone z;
  SetZoneRule(z.state, "AEST-10AEDT,M10.1.0,M4.1.0/3");
  ASSERT_EQ(z->transitionCount, 136);
  for (int i = 0; i < 136; i += 2) {
    EXPECT_EQ(z->transitionTypes[i], 1) << i;      // to standard time
    EXPECT_EQ(z->transitionTypes[i + 1], 0) << i;  // to daylight saving
    if (i > 0) {
      EXPECT_LT(z->transitions[i - 1], z->transitions[i]);
    }
  }
  // January 1970, before the first transition: standard time.
  EXPECT_EQ(At(z.state, DayOf(1970, 1, 15)).isdst, 0);
  EXPECT_EQ(At(z.state, DayOf(2037, 1, 15)).isdst, 1);
  EXPECT_EQ(At(z.state, DayOf(2040, 1, 15)).isdst, 1);
  EXPECT_EQ(At(z.state, DayOf(2040, 7, 15)).isdst, 1);  // the last type stays
  Zone north;
  SetZoneRule(north.state, "CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(At(north.state, DayOf(2040, 7, 15)).isdst, 0);
  EXPECT_EQ(At(north.state, DayOf(2037, 7, 15)).isdst, 1);
}

TEST(SetZoneRule, SemicolonQuirks) {
  Zone z;
  SetZoneRule(z.state, "EST5EDT4;M3.2.0,M11.1.0");
  ASSERT_EQ(z->typeCount, 2);
  EXPECT_STREQ(z->currentAbbrev[1], "EDT");
  // ";" directly after the name joins the name; the "3" becomes the offset
  // and the "." that follows rejects the text.
  SetZoneRule(z.state, "EST5EDT;M3.2.0,M11.1.0");
  EXPECT_TRUE(IsGmtFallback(z.state));
  // With Julian rules the "J" joins the name too, "60" becomes the DST offset
  // and the one rule left has no end rule.
  SetZoneRule(z.state, "EST5EDT;J60,J300");
  EXPECT_TRUE(IsGmtFallback(z.state));
  SetZoneRule(z.state, "EST5ED;T,M3.2.0,M11.1.0");
  ASSERT_EQ(z->typeCount, 2);
  EXPECT_STREQ(z->currentAbbrev[1], "ED;T");
  EXPECT_EQ(z->types[0].offset, -4 * 3600);
}

TEST(SetZoneRule, NamesMayHoldSpacesAndColons) {
  Zone z;
  SetZoneRule(z.state, "A B:-3");
  EXPECT_EQ(z->typeCount, 1);
  EXPECT_STREQ(z->currentAbbrev[0], "A B:");
  EXPECT_EQ(z->types[0].offset, 3 * 3600);
}

TEST(SetZoneRule, RuleTimesAndSecondsLimits) {
  Zone z;
  SetZoneRule(z.state, "XST3XDT,M3.2.0/167,M11.1.0/1:00:60");
  ASSERT_EQ(z->typeCount, 2);
  TransitionRule start{2, 0, 2, 3, 167 * 3600};
  EXPECT_EQ(z->transitions[0], TransitionTime(0, 1970, &start, 3 * 3600));
  SetZoneRule(z.state, "XST3XDT,M3.2.0/1:60,M11.1.0");
  EXPECT_TRUE(IsGmtFallback(z.state));
}

TEST(SetZoneRule, CachesShortTextsOnly) {
  Zone z;
  SetZoneRule(z.state, "CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(z->cacheValid, 1);
  // A cached text is not parsed again: a tampered table survives the call.
  z->transitions[5] = 42;
  SetZoneRule(z.state, "CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(z->transitions[5], 42);
  SetZoneRule(z.state, "CET-1CEST,M3.5.0,M10.5.0/2");
  EXPECT_NE(z->transitions[5], 42);

  // A rejected text is cached too.
  SetZoneRule(z.state, "bad");
  EXPECT_EQ(z->cacheValid, 1);
  EXPECT_STREQ(z->cachedRule, "bad");

  // 255 characters are cached; 256 are parsed on every call.
  std::string name255(250, 'Q');
  std::string text = name255 + "-1ABC";  // 255 characters
  ASSERT_EQ(text.size(), 255u);
  SetZoneRule(z.state, text.c_str());
  EXPECT_EQ(z->cacheValid, 1);
  std::string text256 = std::string(251, 'Q') + "-1ABC";
  SetZoneRule(z.state, text256.c_str());
  EXPECT_EQ(z->cacheValid, 0);
  EXPECT_EQ(z->typeCount, 2);
  z->types[0].offset = 1;
  SetZoneRule(z.state, text256.c_str());
  EXPECT_EQ(z->types[0].offset, 7200) << "re-parsed";
}

TEST(SetZoneRule, AbbreviationSpaceBound) {
  Zone z;
  // 511 + 1 bytes of standard name fit exactly.
  std::string fits = std::string(511, 'N') + "0";
  SetZoneRule(z.state, fits.c_str());
  EXPECT_EQ(z->typeCount, 1);
  EXPECT_EQ(z->abbrevLength, 512);
  std::string tooLong = std::string(512, 'N') + "0";
  SetZoneRule(z.state, tooLong.c_str());
  EXPECT_TRUE(IsGmtFallback(z.state));
  std::string pairTooLong = std::string(300, 'S') + "0" + std::string(211, 'D');
  SetZoneRule(z.state, pairTooLong.c_str());
  EXPECT_TRUE(IsGmtFallback(z.state));
  std::string pairFits = std::string(300, 'S') + "0" + std::string(210, 'D');
  SetZoneRule(z.state, pairFits.c_str());
  EXPECT_EQ(z->typeCount, 2);
  EXPECT_EQ(z->abbrevLength, 512);
}

TEST(ParseZoneRule, LastDitchTakesWholeTextAsName) {
  Zone z;
  std::string longName(600, 'L');
  EXPECT_EQ(ParseZoneRule(longName.c_str(), z.state, 1), 0);
  EXPECT_EQ(std::strlen(z->abbrevChars), 511u);
  EXPECT_EQ(z->types[0].offset, 0);
  EXPECT_EQ(ParseZoneRule("x", z.state, 0), -1);
}

}  // namespace
