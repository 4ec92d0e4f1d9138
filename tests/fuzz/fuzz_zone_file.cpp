// The zone data file reader: LoadZoneFile over arbitrary file contents, found
// in the application-data folder or in the program folder, with zone clocks
// whose names may or may not be in the file. Checks that every zone read is
// found again by name with a rule of at most 254 characters, and that the
// clocks' rule texts stay terminated within their bound.
#include <cstring>
#include <string>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/zone_file.h"
#include "fuzz_common.h"

namespace {

int gMessages = 0;
int CountMessage(const char*, const char*, MessageKind) {
  ++gMessages;
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& root = FuzzFolder("zonefile");
  static bool prepared = false;
  if (!prepared) {
    mkdir((root + "/Program").c_str(), 0700);
    mkdir((root + "/AppData").c_str(), 0700);
    mkdir((root + "/AppData/Horlix").c_str(), 0700);
    SetMessageHook(CountMessage);
    prepared = true;
  }
  // The first byte picks the folder the file is in; the rest is the file.
  const bool inAppData = size > 0 && (data[0] & 1) != 0;
  const uint8_t* file = size > 0 ? data + 1 : data;
  const size_t fileSize = size > 0 ? size - 1 : 0;
  unlink((root + "/Program/horlixtz.ini").c_str());
  unlink((root + "/AppData/Horlix/horlixtz.ini").c_str());
  FuzzWriteFile(root + (inAppData ? "/AppData/Horlix/horlixtz.ini" : "/Program/horlixtz.ini"),
                file, fileSize);
  OverrideProgramPaths(WinPath(root + "/Program/horlix.exe").c_str(),
                       inAppData ? WinPath(root + "/AppData").c_str() : "");

  // Zone clocks named like likely sections, and one named by the file's
  // first line.
  Clocks = ClockList{{}, 3, -1};
  const char* names[3] = {"Europe/Berlin", "UTC", ""};
  std::string firstLine(reinterpret_cast<const char*>(file),
                        strnlen(reinterpret_cast<const char*>(file), fileSize));
  firstLine = firstLine.substr(0, firstLine.find_first_of("\r\n"));
  if (firstLine.size() > 2 && firstLine[0] == '[') firstLine = firstLine.substr(1, firstLine.size() - 2);
  for (int i = 0; i < 3; ++i) {
    Clocks.clocks[i].Type = kClockZone;
    CopyBounded(Clocks.clocks[i].Id, kZoneTextChars, i == 2 ? firstLine.c_str() : names[i],
                kZoneTextMaxLen);
    std::memset(Clocks.clocks[i].Tz, 'x', kZoneTextChars - 1);
    Clocks.clocks[i].Tz[kZoneTextChars - 1] = '\0';
  }

  gMessages = 0;
  FreeZones();
  LoadZoneFile();
  FUZZ_CHECK(gMessages == (fileSize == 0 ? 1 : 0));
  int zones = 0;
  for (const ZoneEntry* e = ZoneList; e != nullptr; e = e->next) {
    FUZZ_CHECK(std::strlen(e->tz) <= static_cast<size_t>(kZoneTextMaxLen));
    FUZZ_CHECK(e->name[0] != '\0');
    FUZZ_CHECK(FindZone(e->name) != nullptr);
    ++zones;
  }
  FUZZ_CHECK(zones <= static_cast<int>(fileSize));
  for (int i = 0; i < 3; ++i) {
    FUZZ_CHECK(std::memchr(Clocks.clocks[i].Tz, '\0', kZoneTextChars) != nullptr);
    const ZoneEntry* zone = FindZone(Clocks.clocks[i].Id);
    if (zone != nullptr) FUZZ_CHECK(std::strcmp(Clocks.clocks[i].Tz, zone->tz) == 0);
  }
  FreeZones();
  return 0;
}
