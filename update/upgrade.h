// The program upgrade: horlixupdater downloads and verifies the installer
// into the update folder, then the installer is started through the command
// interpreter.
#pragma once

#include <cstdint>

#include "update/progress_list.h"

constexpr const char* kRandomNameAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Replaces every character of text with one of the alphabet (rand() % 62).
// The generator is seeded before each call: first with clock() ^ (time << 16),
// then each later call with the previous seed + 1.
void RandomName(char* text);

enum UpgradeResult {
  kUpgradeInstallerStarted,  // the installer runs; nothing more to do
  kUpgradeStopped,           // no application-data folder or update folder
  kUpgradeFailed,            // the caller offers the download page
};

UpgradeResult UpgradeProgram(ProgressList* list);
