// The engine against glibc's own reading of the same rule strings: for many
// rules and many instants of 1970-2037 every field and the name must agree.
// Left out are the documented differences: instants before the first
// transition of 1970 and after the last of 2037.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include "tz/abbreviation.h"
#include "tz/zone.h"
#include "tz/zone_change.h"

namespace {

const char* const kRules[] = {
    // Northern hemisphere, month-week-day rules.
    "CET-1CEST,M3.5.0,M10.5.0/3",
    "EST5EDT,M3.2.0,M11.1.0",
    "PST8PDT,M3.2.0/2:00:00,M11.1.0/2:00:00",
    "GMT0BST,M3.5.0/1,M10.5.0",
    "EET-2EEST,M3.5.0/3,M10.5.0/4",
    "AKST9AKDT,M3.2.0,M11.1.0",
    "HST10HDT,M3.2.0,M11.1.0",
    "MSK-3MSD,M3.5.0,M10.5.0/3",
    "WET0WEST,M3.5.0/1,M10.5.0",
    "IST-1GMT0,M10.5.0,M3.5.0/1",  // negative DST (Ireland style): southern order
    // Southern hemisphere.
    "AEST-10AEDT,M10.1.0,M4.1.0/3",
    "NZST-12NZDT,M9.5.0,M4.1.0/3",
    "ACST-9:30ACDT,M10.1.0,M4.1.0/3",
    "CLT4CLST,M9.1.6/24,M4.1.6/24",
    "BRT3BRST,M10.3.0/0,M2.3.0/0",
    "CHAST-12:45CHADT,M9.5.0/2:45,M4.1.0/3:45",
    "LHST-10:30LHDT-11,M10.1.0,M4.1.0",
    // Julian and zero-based day rules. glibc picks the rules of the UTC year
    // of the instant, so it cannot see a transition whose UTC instant falls in
    // the neighbouring year; the rules here stay clear of New Year.
    "AAA3BBB,J60,J300",
    "CCC-2DDD,J2/0,J364/23",
    "EEE5FFF,59,300",
    "GGG-4HHH,1/3,363",
    "III+7JJJ,J59/12,J60/12",
    // Rule times past midnight and up to the week.
    "NNN3OOO,M3.2.0/26,M11.1.0/1",
    "PPP-1QQQ,M3.5.0/49,M10.5.0/100",
    "RRR2SSS,M4.1.0/167,M10.1.0/167",
    // Fractional offsets and explicit DST offsets.
    "XXX-5:45",
    "YYY+3:30:15ZZZ+2:30:15,M3.2.0,M11.1.0",
    "NST3:30NDT,M3.2.0,M11.1.0",
    "MMM-14",
    "LLL+12",
    "UUU-13VVV-14,M9.5.0/3,M4.1.0/4",
    "WWW11XXX10,M4.1.0,M10.5.0",
    "AAA0BBB-2,M2.5.0,M11.5.6/23:59:59",
    // The default rules (glibc's own default differs: it is given ours).
    "EST5EDT",
    "CET-1CEST",
    "NZST-12NZDT-13",
    // Plain zones.
    "AWST-8",
    "GMT0",
    "UTC0",
    "ABC+4:30",
};

void SetTz(const char* rule) {
  setenv("TZ", rule, 1);
  tzset();
}

TEST(GlibcDifferential, FieldsAndNamesAgree) {
  std::mt19937_64 rng(1970);
  ZoneState* zone = CreateZoneState();
  const char* savedTz = std::getenv("TZ");
  const std::string saved = savedTz ? savedTz : "";
  for (const char* rule : kRules) {
    SetZoneRule(zone, rule);
    ASSERT_GT(zone->typeCount, 0) << rule << " was rejected";
    // Without rules the engine applies first Sunday of April to last Sunday
    // of October; glibc is told the same rules explicitly.
    std::string reference = rule;
    if (zone->typeCount == 2 && reference.find(',') == std::string::npos) {
      reference += ",M4.1.0,M10.5.0";
    }
    SetTz(reference.c_str());
    UtcInstant lo = 0;
    UtcInstant hi = 2145916800;  // 2038-01-01
    if (zone->transitionCount > 0) {
      lo = zone->transitions[0];
      hi = zone->transitions[zone->transitionCount - 1];
    }
    int checked = 0;
    auto check = [&](UtcInstant t) {
      if (t < lo || t >= hi) return;
      const std::time_t tt = static_cast<std::time_t>(t);
      std::tm ref{};
      ASSERT_NE(localtime_r(&tt, &ref), nullptr);
      BrokenDownTime f{};
      ASSERT_NE(ZoneLocalTime(zone, t, &f), nullptr);
      const std::string where = std::string(rule) + " at " + std::to_string(t);
      ASSERT_EQ(f.year, ref.tm_year) << where;
      ASSERT_EQ(f.mon, ref.tm_mon) << where;
      ASSERT_EQ(f.mday, ref.tm_mday) << where;
      ASSERT_EQ(f.hour, ref.tm_hour) << where;
      ASSERT_EQ(f.min, ref.tm_min) << where;
      ASSERT_EQ(f.sec, ref.tm_sec) << where;
      ASSERT_EQ(f.wday, ref.tm_wday) << where;
      ASSERT_EQ(f.yday, ref.tm_yday) << where;
      ASSERT_EQ(f.isdst, ref.tm_isdst > 0 ? 1 : 0) << where;
      ASSERT_STREQ(zone->currentAbbrev[f.isdst], ref.tm_zone) << where;
      ++checked;
    };
    for (int i = 0; i < 4000; ++i) {
      check(lo + static_cast<UtcInstant>(rng() % static_cast<uint64_t>(hi - lo + 1)));
      if (HasFatalFailure()) break;
    }
    // Around every transition.
    for (int i = 1; i < zone->transitionCount && !HasFatalFailure(); ++i) {
      for (UtcInstant d : {-3601LL, -1LL, 0LL, 1LL, 3600LL}) check(zone->transitions[i] + d);
    }
    if (HasFatalFailure()) break;
    EXPECT_GT(checked, 1000) << rule;
  }
  if (savedTz) {
    SetTz(saved.c_str());
  } else {
    unsetenv("TZ");
    tzset();
  }
  DestroyZoneState(&zone);
}

// The first change of glibc's offset in (from, until] under the current TZ,
// found by stepping and then halving the step.
bool GlibcNextChange(UtcInstant from, UtcInstant until, ZoneChange* out) {
  auto at = [](UtcInstant t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return tm;
  };
  const long start = at(from).tm_gmtoff;
  for (UtcInstant lo = from; lo < until;) {
    UtcInstant hi = std::min(until, lo + 6 * 3600);
    if (at(hi).tm_gmtoff == start) {
      lo = hi;
      continue;
    }
    while (hi - lo > 1) {
      const UtcInstant mid = lo + (hi - lo) / 2;
      (at(mid).tm_gmtoff == start ? lo : hi) = mid;
    }
    const std::tm before = at(hi - 1);
    const std::tm after = at(hi);
    *out = ZoneChange{hi, static_cast<int32_t>(before.tm_gmtoff),
                      static_cast<int32_t>(after.tm_gmtoff), {}, {}};
    std::snprintf(out->abbrevBefore, sizeof out->abbrevBefore, "%s", before.tm_zone);
    std::snprintf(out->abbrevAfter, sizeof out->abbrevAfter, "%s", after.tm_zone);
    return true;
  }
  return false;
}

// The next change against glibc for every rule of the shipped zone data file
// and the rules above (odd minutes and seconds, half hours, two hours), from
// instants in both halves of a year and in the engine's last year. Past the
// table's end the engine keeps the last type, so it sees no change there.
TEST(GlibcDifferential, NextChangeAgrees) {
  std::set<std::string> rules(std::begin(kRules), std::end(kRules));
  const char* source = std::getenv("HORLIX_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream ini(std::string(source) + "/resources/horlixtz.ini");
  for (std::string line; std::getline(ini, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("TZ=", 0) == 0) rules.insert(line.substr(3));
  }
  ASSERT_GT(rules.size(), 100u);
  ZoneState* zone = CreateZoneState();
  int changes = 0;
  for (const std::string& rule : rules) {
    SetZoneRule(zone, rule.c_str());
    std::string reference = rule;
    if (zone->typeCount == 2 && reference.find(',') == std::string::npos) {
      reference += ",M4.1.0,M10.5.0";
    }
    SetTz(reference.c_str());
    const UtcInstant end = zone->transitionCount > 0
                               ? zone->transitions[zone->transitionCount - 1] : 2145916800;
    const UtcInstant froms[] = {1767225600 /* 2026-01-01 */, 1781827200 /* 2026-06-19 */,
                                2117836800 /* 2037-02-10 */, end - 1};
    for (UtcInstant from : froms) {
      const UtcInstant until = std::min(end, from + 400 * 86400);
      ZoneChange ours{};
      ZoneChange theirs{};
      const bool found = NextZoneChange(zone, from, until, &ours);
      ASSERT_EQ(found, GlibcNextChange(from, until, &theirs)) << rule << " from " << from;
      if (!found) continue;
      ++changes;
      EXPECT_EQ(ours.at, theirs.at) << rule << " from " << from;
      EXPECT_EQ(ours.offsetBefore, theirs.offsetBefore) << rule;
      EXPECT_EQ(ours.offsetAfter, theirs.offsetAfter) << rule;
      EXPECT_STREQ(ours.abbrevBefore, theirs.abbrevBefore) << rule;
      EXPECT_STREQ(ours.abbrevAfter, theirs.abbrevAfter) << rule;
    }
    ZoneChange none{};
    EXPECT_FALSE(NextZoneChange(zone, end, end + 3650LL * 86400, &none)) << rule;
  }
  EXPECT_GT(changes, 100);
  unsetenv("TZ");
  tzset();
  DestroyZoneState(&zone);
}

// Texts our grammar rejects become UTC named "GMT"; glibc reads some of them
// differently (angle-bracket quoting), which is the documented difference.
TEST(GlibcDifferential, RejectedTextsAreUtc) {
  ZoneState* zone = CreateZoneState();
  for (const char* rule : {"<+0530>-5:30", "<-03>3", ":America/New_York", "AB1"}) {
    SetZoneRule(zone, rule);
    BrokenDownTime f{};
    ZoneLocalTime(zone, 1700000000, &f);
    EXPECT_EQ(f.hour, 22) << rule;  // 2023-11-14T22:13:20Z
    EXPECT_STREQ(zone->currentAbbrev[0], "GMT") << rule;
  }
  DestroyZoneState(&zone);
}

// The POSIX TZ text a TZif file ends with ("<-03>3"): between its last two
// newlines. Empty when the file cannot be read.
std::string DatabaseFooter(const std::string& zone) {
  std::ifstream file("/usr/share/zoneinfo/" + zone, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (data.size() < 2 || data.back() != '\n') return "";
  const size_t start = data.rfind('\n', data.size() - 2);
  return start == std::string::npos ? "" : data.substr(start + 1, data.size() - start - 2);
}

std::string Letters(const std::string& text, size_t at) {
  size_t end = at;
  while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end]))) ++end;
  return text.substr(at, end - at);
}

// Every name of the shipped zone data file, as the program shows it, is the
// name the machine's IANA database writes: each zone's rule is walked beside
// the text its TZif file ends with, up to the first rule ("UTCMinusTwo2..."
// beside "<-02>2..."), where only the bracketed names were spelt out.
TEST(ReadableAbbreviation, EveryNameOfTheShippedFileAsTheDatabaseWritesIt) {
  const char* source = std::getenv("HORLIX_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream ini(std::string(source) + "/resources/horlixtz.ini");
  ASSERT_TRUE(ini.good());
  std::string line;
  std::string zone;
  std::set<std::string> spelt;
  int zones = 0;
  while (std::getline(ini, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      zone = line.substr(1, line.size() - 2);
      continue;
    }
    if (line.rfind("TZ=", 0) != 0 || zone == "Version") continue;
    const std::string rule = line.substr(3);
    const std::string footer = DatabaseFooter(zone == "UTC" ? "Etc/UTC" : zone);
    ASSERT_FALSE(footer.empty()) << zone;
    size_t i = 0;
    size_t j = 0;
    while (i < footer.size() && footer[i] != ',') {
      char shown[kAbbrevShownChars];
      if (footer[i] == '<' || std::isalpha(static_cast<unsigned char>(footer[i]))) {
        const bool bracketed = footer[i] == '<';
        const size_t close = bracketed ? footer.find('>', i) : i + Letters(footer, i).size() - 1;
        ASSERT_NE(close, std::string::npos) << zone;
        const std::string written = footer.substr(i + bracketed, close + 1 - i - 2 * bracketed);
        const std::string name = Letters(rule, j);
        ReadableAbbreviation(name.c_str(), shown, sizeof shown);
        EXPECT_EQ(shown, written) << zone << ": " << rule << " beside " << footer;
        if (bracketed) spelt.insert(name);
        i = close + 1;
        j += name.size();
      } else {
        ASSERT_EQ(footer[i], rule[j]) << zone << ": " << rule << " beside " << footer;
        ++i;
        ++j;
      }
    }
    ++zones;
  }
  EXPECT_GT(zones, 400);
  EXPECT_GT(spelt.size(), 30u) << "the file's spelt-out names were not all met";
}

}  // namespace

