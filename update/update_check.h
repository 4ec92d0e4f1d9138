// The update check: the daily one from the main window's timer and the one
// the update dialog runs on demand. Its lasting result is UpdateStatus (in
// memory and in the registry), UpdateLastCheck and, after a failure,
// UpdateLastError.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tz/wall_clock.h"
#include "update/progress_list.h"

constexpr const char* kDefaultZoneDate = "0000-00-00T00:00Z";

// In memory only, for this run of the program.
struct UpdateCheckState {
  bool automaticCheck;     // the most recent CheckForUpdates came from the timer
  uint32_t lastCheckDate;  // year * 10000 + month * 100 + day of the last success, 0 at start
};

extern UpdateCheckState UpdateCheckRun;

// manual: from the dialog (always checks); else the daily form, which checks
// only once a day from the hour UpdateTime on. Lines go to list (none: dropped).
void CheckForUpdates(bool manual, ProgressList* list);

// The update dialog's status text: "Not checked yet" until a check has
// succeeded (no UpdateLastCheck), "The last check failed: " and the error
// after a failed check until one succeeds (UpdateLastError), otherwise the
// text of status. At most size - 1 characters.
constexpr size_t kUpdateStatusLineChars = 300;
void UpdateStatusLine(int32_t status, char* out, size_t size);

// How the balloon after a check with news is shown; the main window sets
// ShowTrayBalloon. Unset, nothing shows.
void SetUpdateBalloon(void (*show)(const char* text));

// A local wall-clock time as a FILETIME (100 ns since 1601-01-01), converted
// as if it were UTC, so the value carries no zone.
uint64_t LocalFileTime(const WallClock& local);
// The 8 bytes of UpdateLastCheck (little-endian FILETIME) and back.
void FileTimeBytes(uint64_t fileTime, uint8_t out[8]);
uint64_t FileTimeFromBytes(const uint8_t bytes[8]);

// "%d seconds ago" .. "%d days ago" for the age of lastCheck against the
// present local time, followed by suffix; at most 31 characters (out holds
// at least size bytes, size <= 32 cuts earlier).
void AgeText(uint64_t lastCheck, const char* suffix, char* out, size_t size);
