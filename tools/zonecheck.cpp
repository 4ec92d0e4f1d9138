// horlix-zonecheck [RULE...]
// Tells whether our engine reads each zone rule string: every RULE given, or
// one rule string per line of standard input when none is given. A rejected
// text would silently show UTC named "GMT", so the zone data generator runs
// this on every value it writes. Prints each rejected text and exits 1 when
// there was one, 0 when all were read, 2 on a read error.
#include <cstdio>
#include <iostream>
#include <string>

#include "tz/zone.h"

namespace {

int rejected = 0;

void Check(ZoneState* zone, const std::string& rule) {
  if (ParseZoneRule(rule.c_str(), zone, 0) != 0) {
    std::printf("rejected: %s\n", rule.c_str());
    ++rejected;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ZoneState* zone = CreateZoneState();
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) Check(zone, argv[i]);
  } else {
    std::string line;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      Check(zone, line);
    }
    if (std::cin.bad()) {
      std::fprintf(stderr, "horlix-zonecheck: cannot read standard input\n");
      DestroyZoneState(&zone);
      return 2;
    }
  }
  DestroyZoneState(&zone);
  return rejected == 0 ? 0 : 1;
}
