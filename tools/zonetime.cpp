// horlix-zonetime RULE [INSTANT...]
// Prints, for each instant (signed seconds since 1970; none means now), the
// local time of the zone rule string as our engine computes it.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "tz/zone.h"

namespace {

void PrintLine(ZoneState* zone, UtcInstant t) {
  BrokenDownTime f{};
  if (ZoneLocalTime(zone, t, &f) == nullptr) {
    std::printf("%" PRId64 " out-of-range\n", t);
    return;
  }
  const long long year = static_cast<long long>(f.year) + 1900;
  char yearText[24];
  if (year >= 0 && year <= 9999) {
    std::snprintf(yearText, sizeof yearText, "%04lld", year);
  } else {
    std::snprintf(yearText, sizeof yearText, "%lld", year);
  }
  std::printf("%" PRId64 " %s-%02d-%02dT%02d:%02d:%02d wday=%d yday=%d isdst=%d abbr=%s\n", t,
              yearText, f.mon + 1, f.mday, f.hour, f.min, f.sec, f.wday, f.yday, f.isdst,
              zone->currentAbbrev[f.isdst]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: horlix-zonetime RULE [INSTANT...]\n");
    return 2;
  }
  ZoneState* zone = CreateZoneState();
  SetZoneRule(zone, argv[1]);
  int status = 0;
  if (argc == 2) {
    PrintLine(zone, static_cast<UtcInstant>(std::time(nullptr)));
  }
  for (int i = 2; i < argc; ++i) {
    char* end = nullptr;
    errno = 0;
    const long long t = std::strtoll(argv[i], &end, 10);
    if (end == argv[i] || *end != '\0' || errno == ERANGE) {
      std::fprintf(stderr, "horlix-zonetime: not an instant: %s\n", argv[i]);
      status = 2;
      continue;
    }
    PrintLine(zone, static_cast<UtcInstant>(t));
  }
  DestroyZoneState(&zone);
  return status;
}
