// The zone data file "horlixtz.ini" and the program's paths: where the file
// is found, the in-memory zone list read from it, and the help viewer.
#pragma once

#include <cstdint>

#include "clocks/desktop.h"

struct ZoneEntry {
  char* name;  // section name, any length
  char* tz;    // rule string, at most 254 characters
  ZoneEntry* next;
};

struct ProgramPaths {
  char programFolder[kPathChars];
  char helpFile[kPathChars];
  char alarmSound[kPathChars];
  char updater[kPathChars];
  char appDataFolder[kPathChars];
  char zoneFile[kPathChars];
  long zoneFileSize;
};

extern ProgramPaths Paths;
extern ZoneEntry* ZoneList;  // head first: the reverse of the file's order

constexpr const char* kZoneFileName = "horlixtz.ini";
constexpr const char* kMissingZoneFileText =
    "Cannot find the time zone data file 'horlixtz.ini'.\r\n"
    "The times shown may be wrong. Please re-install properly.";

// Fixes the paths, finds the zone data file (application-data folder first,
// then the program folder), reads its zones and refreshes the Tz of every
// zone clock from it.
void LoadZoneFile();
void AddZone(const char* name, const char* tz);
ZoneEntry* FindZone(const char* name);
void FreeZones();
int32_t GetAppDataFolder();

// Help viewer commands.
constexpr uint32_t kHelpDisplayTopic = 0;
constexpr uint32_t kHelpContext = 15;
constexpr uintptr_t kPropertiesHelpContext = 1100;
void* ShowHelp(void* owner, const char* helpFile, uint32_t command, uintptr_t data);
