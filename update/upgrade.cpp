#include "update/upgrade.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "clocks/desktop.h"
#include "clocks/zone_file.h"
#include "update/file_ops.h"
#include "update/process.h"

namespace {

constexpr size_t kCommandChars = 520;

struct NameSeed {
  bool seeded;
  unsigned value;
};

NameSeed gSeed = {false, 0};

}  // namespace

void RandomName(char* text) {
  if (!gSeed.seeded) {
    gSeed.value = static_cast<unsigned>(std::clock()) ^
                  (static_cast<unsigned>(std::time(nullptr)) << 16);
    gSeed.seeded = true;
  } else {
    ++gSeed.value;
  }
  std::srand(gSeed.value);
  for (char* p = text; *p != '\0'; ++p) *p = kRandomNameAlphabet[std::rand() % 62];
}

UpgradeResult UpgradeProgram(ProgressList* list) {
  ProgressClear(list);
  ProgressAdd(list, "Starting automatic update process...");
  if (GetAppDataFolder() != 0) {
    ProgressAdd(list, "ERROR: Failed to find APPDATA folder. Update aborted.");
    return kUpgradeStopped;
  }
  char folder[kPathChars];
  std::snprintf(folder, sizeof folder, "%s\\Horlix\\_updates", Paths.appDataFolder);
  if (!FileIsDirectory(folder)) {
    // The "Horlix" folder exists only once a zone data file was installed.
    char parent[kPathChars];
    std::snprintf(parent, sizeof parent, "%s\\Horlix", Paths.appDataFolder);
    if (!FileIsDirectory(parent)) FileMakeDirectory(parent);
    if (!FileMakeDirectory(folder)) return kUpgradeStopped;
  }

  char name[9] = "xxxxxxxx";
  RandomName(name);
  char installer[kPathChars];
  std::snprintf(installer, sizeof installer, "%s\\horlixquicki-%s.exe", folder, name);
  char command[kCommandChars];
  std::snprintf(command, sizeof command, "\"%s\" \"%s\"", Paths.updater, installer);

  uint32_t exitCode = 1;
  if (RunAndWait(command, "Downloading installation file", &exitCode) && exitCode == 0) {
    ProgressAdd(list, "Successfully downloaded installation file.");
    ProgressAdd(list, "About to install new version...");
    std::snprintf(command, sizeof command, "cmd.exe /c \"%s\"", installer);
    const bool started = StartHidden(command);
    PauseMilliseconds(1500);
    if (started) {
      ProgressAdd(list, "User Account Control: waiting for you...");
      ProgressAdd(list, "..to click 'Allow program to make changes'...");
      return kUpgradeInstallerStarted;
    }
  }
  ProgressAdd(list, "Oh, sorry, that didn't work.");
  ProgressAdd(list, "About to open a web page in your browser...");
  ProgressAdd(list, "Now exit the Horlix program and install the new version.");
  return kUpgradeFailed;
}
