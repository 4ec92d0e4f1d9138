#include "clocks/settings.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/profile.h"
#include "clocks/registry.h"
#include "clocks/zone_file.h"

SettingsRecord Settings = DefaultSettings();

namespace {

constexpr uint32_t kIdReadLength = 255;
constexpr uint32_t kTitleReadLength = 20;

void ClockKey(int index, char* out, size_t size) {
  std::snprintf(out, size, "%s\\%d", kMainKey, index);
}

// A 32-bit value; anything else leaves *value as it was.
bool ReadDword(const char* keyPath, const char* name, int32_t* value) {
  int32_t data = 0;
  uint32_t type = 0;
  uint32_t size = sizeof data;
  if (RegistryRead(keyPath, name, &type, &data, &size) != 0) return false;
  if (type != kRegDword || size != sizeof data) return false;
  *value = data;
  return true;
}

// A text of at most length - 1 characters into out (which holds at least
// length bytes); a longer, missing or non-text value gives the fallback.
void ReadText(const char* keyPath, const char* name, uint32_t length, const char* fallback,
              char* out, size_t outSize) {
  char buffer[512];
  uint32_t type = 0;
  uint32_t size = length;
  const bool ok = RegistryRead(keyPath, name, &type, buffer, &size) == 0 &&
                  (type == kRegSz || type == kRegExpandSz) && size <= length;
  if (!ok) {
    CopyBounded(out, outSize, fallback, outSize - 1);
    return;
  }
  // Stored texts carry their NUL; one stored without it still ends here.
  buffer[size < length ? size : length - 1] = '\0';
  CopyBounded(out, outSize, buffer, length - 1);
}

int32_t WriteText(const char* keyPath, const char* name, const char* text) {
  return RegistryWrite(keyPath, name, kRegSz, text, static_cast<uint32_t>(std::strlen(text) + 1));
}

void ReadClock(int index) {
  char key[512];
  ClockKey(index, key, sizeof key);
  ClockRecord& clock = Clocks.clocks[index];
  int32_t width = 80;
  if (ReadDword(key, "Width", &width) && width >= 80) width = 80;
  clock.Width = width;
  clock.Wd = 0;
  ReadDword(key, "Wd", &clock.Wd);
  ReadDword(key, "Type", &clock.Type);
  clock.Color = 0xFFFFFF;
  ReadDword(key, "Color", &clock.Color);
  ReadDword(key, "Format", &clock.Format);
  ReadText(key, "Id", kIdReadLength, "ERROR", clock.Id, sizeof clock.Id);
  ReadText(key, "Tz", kIdReadLength, "", clock.Tz, sizeof clock.Tz);
  ReadText(key, "Title", kTitleReadLength, "???", clock.Title, sizeof clock.Title);
  int32_t start = -1, end = -1, days = -1;
  ReadDword(key, "WorkStart", &start);
  ReadDword(key, "WorkEnd", &end);
  ReadDword(key, "WorkDays", &days);
  SetWorkHours(&clock, start, end, days);
}

// Working hours are kept only where they differ from the default, so a
// store without them reads as before; a default over a stored value
// removes it.
int32_t WriteWorkValue(const char* key, const char* name, int32_t value, int32_t fallback) {
  if (value != fallback) return WriteDword(value, key, name);
  int32_t stored = 0;
  if (!ReadDword(key, name, &stored)) return 0;
  return RegistryDeleteValue(key, name);
}

// A pixel count written for 96 dpi at another scale, rounded as MulDiv rounds.
int32_t ScaleFromBaseDpi(int32_t value, int32_t dpi) {
  const int64_t scaled = static_cast<int64_t>(value) * dpi;
  const int64_t rounded = scaled >= 0 ? (scaled + 48) / 96 : -((-scaled + 48) / 96);
  return rounded > INT32_MAX ? INT32_MAX : (rounded < INT32_MIN ? INT32_MIN : static_cast<int32_t>(rounded));
}

// The stored position in screen pixels. One stored without its scale comes
// from a program that did not know display scaling: it is in 96-dpi units,
// converted here once (the next save stores the scale with it).
void ReadPosition() {
  const int32_t dpi = ScreenDpi();
  const bool storedX = ReadDword(kMainKey, "X", &Settings.X);
  const bool storedY = ReadDword(kMainKey, "Y", &Settings.Y);
  int32_t measuredAt = 0;
  if (ReadDword(kMainKey, "PositionDpi", &measuredAt) && measuredAt > 0) {
    Settings.PositionDpi = measuredAt;
  } else {
    if (storedX) Settings.X = ScaleFromBaseDpi(Settings.X, dpi);
    if (storedY) Settings.Y = ScaleFromBaseDpi(Settings.Y, dpi);
    Settings.PositionDpi = dpi;
  }
  // The strip's smallest size before its first layout, at the screen's scale.
  int32_t width = 0;
  int32_t height = 0;
  ScreenSize(&width, &height);
  if (Settings.X > width - ScaleFromBaseDpi(80, dpi)) Settings.X = 100;
  if (Settings.Y > height - ScaleFromBaseDpi(34, dpi)) Settings.Y = 0;
}

bool LaunchEntryPresent() {
  char path[kPathChars + 1];
  uint32_t type = 0;
  uint32_t size = sizeof path;
  return RegistryRead(kRunKey, kRunValue, &type, path, &size) == 0 && size >= 1;
}

}  // namespace

SettingsRecord DefaultSettings() {
  SettingsRecord s{};
  s.X = 100;
  s.Y = 0;
  s.PositionDpi = 96;
  s.DateFormat = 1;
  s.TimeStampFmt = 3;
  return s;
}

int LoadSettings() {
  Settings = DefaultSettings();
  ReadPosition();

  int32_t n = 0;
  const bool firstStart = !ReadDword(kMainKey, "N", &n);
  if (n >= kMaxClocks) n = kMaxClocks;
  if (n < 0) n = 0;

  // Slots start as the default template, so a clock missing its Type or
  // Format keeps the default clock's value (0 beyond the defaults).
  int defaults = 0;
  const ClockRecord* templ = DefaultClocks(&defaults);
  for (int i = 0; i < kMaxClocks; ++i) {
    Clocks.clocks[i] = templ[i];
    Clocks.clocks[i].zone = nullptr;
    Clocks.clocks[i].titleButton = nullptr;
  }
  Clocks.N = 0;
  Clocks.SelectedClock = -1;
  for (int i = 0; i < n; ++i) ReadClock(i);
  Clocks.N = n;

  if (Clocks.N == 0) {
    LoadDefaultClocks();
    if (Clocks.N == 0) {
      ShowMessage(kNoClocksText, "HORLIX", kMessageError);
      return 0;
    }
  }
  if (firstStart) SaveSettings(1);

  Settings.LaunchAtStartup = LaunchEntryPresent() ? 1 : 0;
  ReadDword(kMainKey, "DateFormat", &Settings.DateFormat);
  ReadDword(kMainKey, "UpdateCheck", &Settings.UpdateCheck);
  ReadDword(kMainKey, "UpdateTime", &Settings.UpdateTime);
  ReadDword(kMainKey, "UpdateStatus", &Settings.UpdateStatus);
  ReadDword(kMainKey, "LayoutStyle", &Settings.LayoutStyle);
  ReadDword(kMainKey, "FontSize", &Settings.FontSize);
  ReadDword(kMainKey, "ShowIconInTray", &Settings.ShowIconInTray);
  ReadDword(kMainKey, "TurnOffOnTop", &Settings.TurnOffOnTop);
  ReadDword(kMainKey, "TimeStampFmt", &Settings.TimeStampFmt);

  LoadZoneFile();
  return 1;
}

int SaveSettings(int withClocks) {
  bool ok = WriteDword(Settings.X, kMainKey, "X") == 0;
  ok = WriteDword(Settings.Y, kMainKey, "Y") == 0 && ok;
  ok = WriteDword(Settings.PositionDpi, kMainKey, "PositionDpi") == 0 && ok;
  if (!withClocks) return ok ? 1 : 0;
  ok = WriteDword(Clocks.N, kMainKey, "N") == 0 && ok;
  char key[512];
  for (int i = 0; i < Clocks.N; ++i) {
    const ClockRecord& clock = Clocks.clocks[i];
    ClockKey(i, key, sizeof key);
    ok = WriteText(key, "Id", clock.Id) == 0 && ok;
    ok = WriteText(key, "Title", clock.Title) == 0 && ok;
    ok = WriteDword(clock.Type, key, "Type") == 0 && ok;
    ok = WriteDword(clock.Wd, key, "Wd") == 0 && ok;
    ok = WriteDword(clock.Width, key, "Width") == 0 && ok;
    ok = WriteDword(clock.Color, key, "Color") == 0 && ok;
    ok = WriteDword(clock.Format, key, "Format") == 0 && ok;
    ok = WriteText(key, "Tz", clock.Tz) == 0 && ok;
    ok = WriteWorkValue(key, "WorkStart", clock.WorkStart, kDefaultWorkStart) == 0 && ok;
    ok = WriteWorkValue(key, "WorkEnd", clock.WorkEnd, kDefaultWorkEnd) == 0 && ok;
    ok = WriteWorkValue(key, "WorkDays", clock.WorkDays, kDefaultWorkDays) == 0 && ok;
  }
  return ok ? 1 : 0;
}

int32_t WriteDword(int32_t value, const char* keyPath, const char* name) {
  return RegistryWrite(keyPath, name, kRegDword, &value, sizeof value);
}

int32_t WriteLastCheck(const uint8_t fileTime[8]) {
  return RegistryWrite(kMainKey, "UpdateLastCheck", kRegBinary, fileTime, 8);
}

int32_t WriteLastCheckError(const char* error) {
  if (error == nullptr) {
    const int32_t code = RegistryDeleteValue(kMainKey, "UpdateLastError");
    return code == kRegErrorFileNotFound ? 0 : code;
  }
  return WriteText(kMainKey, "UpdateLastError", error);
}

void SetLaunchAtStartup(int on) {
  if (!on) {
    RegistryDeleteValue(kRunKey, kRunValue);
    return;
  }
  char path[kPathChars];
  ProgramFilePath(path, kPathChars);
  path[kPathChars - 1] = '\0';
  WriteText(kRunKey, kRunValue, path);
}

void ImportDword(const char* name, const char* settingsFile) {
  WriteDword(ProfileInt(settingsFile, "Horlix", name, 0), kMainKey, name);
}
