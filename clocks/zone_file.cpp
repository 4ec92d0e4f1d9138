#include "clocks/zone_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clocks/clock_list.h"
#include "clocks/profile.h"
#include "clocks/zone_ini.h"
#include "tz/fatal.h"

ProgramPaths Paths;
ZoneEntry* ZoneList = nullptr;

namespace {

void* AllocateOrDie(size_t size) {
  void* p = std::malloc(size);
  if (p == nullptr) FatalOutOfMemory("malloc failed to allocate memory.");
  return p;
}

char* CopyText(const char* text, size_t maxLen) {
  size_t n = std::strlen(text);
  if (n > maxLen) n = maxLen;
  auto* copy = static_cast<char*>(AllocateOrDie(n + 1));
  std::memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

void FixProgramPaths() {
  char exe[kPathChars];
  ProgramFilePath(exe, sizeof exe);
  char* lastSlash = std::strrchr(exe, '\\');
  if (lastSlash != nullptr) *lastSlash = '\0';
  CopyBounded(Paths.programFolder, kPathChars, exe, kPathChars - 1);
  std::snprintf(Paths.helpFile, kPathChars, "%s\\%s", Paths.programFolder, "horlix.chm");
  std::snprintf(Paths.alarmSound, kPathChars, "%s\\%s", Paths.programFolder,
                "horlix-alarm1.wav");
  std::snprintf(Paths.updater, kPathChars, "%s\\%s", Paths.programFolder, "horlixupdater.exe");
}

// The zone data file to read: the first usable candidate, else "" with the
// program folder's candidate kept as the path.
bool ChooseZoneFile() {
  char candidate[kPathChars];
  long size = 0;
  if (GetAppDataFolder() == 0) {
    std::snprintf(candidate, sizeof candidate, "%s\\Horlix\\%s", Paths.appDataFolder,
                  kZoneFileName);
    if (UsableFileSize(candidate, &size)) {
      CopyBounded(Paths.zoneFile, kPathChars, candidate, kPathChars - 1);
      Paths.zoneFileSize = size;
      return true;
    }
  }
  std::snprintf(candidate, sizeof candidate, "%s\\%s", Paths.programFolder, kZoneFileName);
  CopyBounded(Paths.zoneFile, kPathChars, candidate, kPathChars - 1);
  if (UsableFileSize(candidate, &size)) {
    Paths.zoneFileSize = size;
    return true;
  }
  Paths.zoneFileSize = 0;
  return false;
}

void AddListedZone(const char* name, const char* tz, void*) {
  if (tz[0] != '\0') AddZone(name, tz);
}

// The profile functions open and parse the file again for every call, which
// made the start-up's read take tens of milliseconds; the file is read once
// instead, with the same results. Only a file the reader leaves to the
// functions (bytes above ASCII) still takes one call per section.
void ReadZonesOneByOne(char* names, size_t size) {
  names[0] = '\0';
  const uint32_t length = size < UINT32_MAX ? static_cast<uint32_t>(size) : UINT32_MAX;
  ProfileSectionNames(Paths.zoneFile, names, length);
  names[size] = '\0';
  for (const char* name = names; *name != '\0'; name += std::strlen(name) + 1) {
    char tz[256];
    if (ProfileString(Paths.zoneFile, name, "TZ", "", tz, sizeof tz) != 0) AddZone(name, tz);
  }
}

void ReadZones() {
  // The buffer is size + 1 bytes of the size as found, never wrapped to a
  // smaller one; it holds the text and then, for the profile functions, the
  // section names, which are never longer than the text.
  const size_t size = static_cast<size_t>(Paths.zoneFileSize);
  auto* buffer = static_cast<char*>(AllocateOrDie(size + 1));
  const size_t read = ReadFileStart(Paths.zoneFile, buffer, size);
  if (!ReadZoneText(buffer, read, AddListedZone, nullptr)) ReadZonesOneByOne(buffer, size);
  std::free(buffer);
}

void RefreshZoneClocks() {
  for (int i = 0; i < Clocks.N; ++i) {
    ClockRecord& clock = Clocks.clocks[i];
    if (clock.Type != kClockZone) continue;
    const ZoneEntry* zone = FindZone(clock.Id);
    if (zone != nullptr) CopyBounded(clock.Tz, sizeof clock.Tz, zone->tz, kZoneTextMaxLen);
  }
}

}  // namespace

int32_t GetAppDataFolder() { return LookUpAppDataFolder(Paths.appDataFolder); }

void AddZone(const char* name, const char* tz) {
  auto* entry = static_cast<ZoneEntry*>(AllocateOrDie(sizeof(ZoneEntry)));
  entry->name = CopyText(name, std::strlen(name));
  entry->tz = CopyText(tz, kZoneTextMaxLen);
  entry->next = ZoneList;
  ZoneList = entry;
}

ZoneEntry* FindZone(const char* name) {
  for (ZoneEntry* e = ZoneList; e != nullptr; e = e->next) {
    if (std::strcmp(e->name, name) == 0) return e;
  }
  return nullptr;
}

void FreeZones() {
  while (ZoneList != nullptr) {
    ZoneEntry* next = ZoneList->next;
    std::free(ZoneList->name);
    std::free(ZoneList->tz);
    std::free(ZoneList);
    ZoneList = next;
  }
}

void LoadZoneFile() {
  FixProgramPaths();
  if (!ChooseZoneFile()) {
    ShowMessage(kMissingZoneFileText, "HORLIX", kMessageWarning);
    return;
  }
  ReadZones();
  RefreshZoneClocks();
}

void* ShowHelp(void* owner, const char* helpFile, uint32_t command, uintptr_t data) {
  return CallHelpViewer(owner, helpFile, command, data);
}
