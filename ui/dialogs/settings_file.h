// The settings export file (*.hrlx): an INI text with a section "Horlix" of
// program-wide values and one section per clock. Writing, reading, checking
// and applying it are plain logic over the profile adapter and the settings
// store; the Win32 dialogue around it is in settings_file_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "clocks/clock_list.h"
#include "horlix_version.h"
#include "tz/wall_clock.h"

// Marks a file as a Horlix settings file (the name of the instance mutex).
constexpr const char* kSettingsFileSignature = "7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371";
constexpr int32_t kProgramVersionNumber = HORLIX_VERSION_NUMBER;
constexpr size_t kImportQuestionChars = 1344;

enum SettingsFileWrite { kFileWritten = 0, kFileNotCreated = 1, kFileWriteFailed = 2 };

// Writes the settings in memory and the clock list to path, replacing the
// file: three comment lines, an empty line, section "Horlix", then sections
// "0", "1", ... Lines end with CR LF. pageAddress is the program's web page.
SettingsFileWrite WriteSettingsFile(const char* path, const char* pageAddress,
                                    const WallClock& createdUtc);

struct ImportedClock {
  int32_t Color, Format, Type, Wd, Width;
  int32_t WorkStart, WorkEnd, WorkDays;
  char Id[kZoneTextChars];
  char Title[kTitleChars];
  char Tz[kZoneTextChars];
};

struct ImportedSettings {
  int32_t N;
  ImportedClock clocks[kMaxClocks];
};

// Reads and checks a settings file: 0 when valid, -1 when the signature is
// wrong, N is outside 1..64 or a clock lacks its Id. Titles come back cut to
// what the registry reader keeps (19 characters), Id and Tz to 254.
int ReadSettingsFile(const char* path, ImportedSettings* out);

// The second confirmation: the clock count, each title on its own line, and
// the question, in at most size - 1 characters. Titles that do not fit are
// cut; the question always remains.
void ComposeImportQuestion(const ImportedSettings& imported, char* out, size_t size);

// Writes the six imported values and the logon start to the store, replaces
// the clock list (zone states of dropped clocks are released; new clocks get
// none here) and saves it with SaveSettings.
void ApplyImportedSettings(const char* path, const ImportedSettings& imported);
