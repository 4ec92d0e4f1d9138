// horlix-zonediff FIRST LAST STEP
// Compares our engine with glibc's localtime_r. Standard input holds one
// case per line: "TZ<tab>RULE". For each case the environment's TZ is set to
// the first field (a zone name of the system's database, or any TZ text glibc
// reads) and our engine is given the rule string; both convert every instant
// FIRST, FIRST + STEP, ... up to LAST (seconds since 1970, UTC).
//
// Output, tab-separated, per case:
//   zone   TZ
//   time   COUNT FIRSTBAD LASTBAD   instants whose calendar fields differ
//   isdst  COUNT FIRSTBAD LASTBAD   instants whose daylight-saving flag differs
//   abbr   GLIBC OURS COUNT FIRSTBAD LASTBAD   one line per pair of differing
//                                              names, in order of the names
//   end
// FIRSTBAD and LASTBAD are "-" when COUNT is 0. The calendar fields are the
// seconds, minutes, hours, day of month, month, year, weekday and day of year.
// Exit status 0, or 2 on bad arguments or input.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <map>
#include <string>
#include <utility>

#include "tz/zone.h"

namespace {

struct Tally {
  long long count = 0;
  UtcInstant first = 0;
  UtcInstant last = 0;

  void Add(UtcInstant t) {
    if (count == 0) first = t;
    last = t;
    ++count;
  }
};

void PrintTally(const Tally& tally) {
  if (tally.count == 0) {
    std::printf("0\t-\t-\n");
  } else {
    std::printf("%lld\t%" PRId64 "\t%" PRId64 "\n", tally.count, tally.first, tally.last);
  }
}

bool ParseInstant(const char* text, UtcInstant* value) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || errno == ERANGE) return false;
  *value = static_cast<UtcInstant>(v);
  return true;
}

bool SameCalendarFields(const std::tm& g, const BrokenDownTime& o) {
  return g.tm_sec == o.sec && g.tm_min == o.min && g.tm_hour == o.hour &&
         g.tm_mday == o.mday && g.tm_mon == o.mon && g.tm_year == o.year &&
         g.tm_wday == o.wday && g.tm_yday == o.yday;
}

void CompareCase(ZoneState* zone, const std::string& tz, const std::string& rule,
                 UtcInstant first, UtcInstant last, UtcInstant step) {
  setenv("TZ", tz.c_str(), 1);
  tzset();
  SetZoneRule(zone, rule.c_str());

  Tally timeDiff;
  Tally dstDiff;
  std::map<std::pair<std::string, std::string>, Tally> nameDiffs;
  for (UtcInstant t = first; t <= last; t += step) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm g{};
    BrokenDownTime o{};
    if (localtime_r(&tt, &g) == nullptr || ZoneLocalTime(zone, t, &o) == nullptr) {
      timeDiff.Add(t);
      continue;
    }
    if (!SameCalendarFields(g, o)) timeDiff.Add(t);
    if ((g.tm_isdst > 0 ? 1 : 0) != o.isdst) dstDiff.Add(t);
    const char* ours = zone->currentAbbrev[o.isdst];
    const char* theirs = g.tm_zone != nullptr ? g.tm_zone : "";
    if (std::strcmp(ours, theirs) != 0) nameDiffs[{theirs, ours}].Add(t);
    if (last - t < step) break;  // the next step would overflow
  }

  std::printf("zone\t%s\n", tz.c_str());
  std::printf("time\t");
  PrintTally(timeDiff);
  std::printf("isdst\t");
  PrintTally(dstDiff);
  for (const auto& [names, tally] : nameDiffs) {
    std::printf("abbr\t%s\t%s\t", names.first.c_str(), names.second.c_str());
    PrintTally(tally);
  }
  std::printf("end\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  UtcInstant first = 0;
  UtcInstant last = 0;
  UtcInstant step = 0;
  if (argc != 4 || !ParseInstant(argv[1], &first) || !ParseInstant(argv[2], &last) ||
      !ParseInstant(argv[3], &step) || step <= 0) {
    std::fprintf(stderr, "usage: horlix-zonediff FIRST LAST STEP < cases (TZ<tab>RULE lines)\n");
    return 2;
  }
  ZoneState* zone = CreateZoneState();
  int status = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) {
      std::fprintf(stderr, "horlix-zonediff: not a TZ<tab>RULE line: %s\n", line.c_str());
      status = 2;
      continue;
    }
    CompareCase(zone, line.substr(0, tab), line.substr(tab + 1), first, last, step);
  }
  DestroyZoneState(&zone);
  return status;
}
