// The settings export file: its layout, its checks and the import into the
// settings store. No Win32 here; the profile adapter reads the file the way
// the Windows profile functions do.
#include "ui/dialogs/settings_file.h"

#include <cstdio>
#include <cstring>

#include "clocks/desktop.h"
#include "clocks/profile.h"
#include "clocks/settings.h"

namespace {

constexpr const char* kMainSection = "Horlix";
constexpr size_t kGuidChars = 1344;
// The lengths the registry reader gives back after a restart: a longer
// title would come back as "???", a longer Id as "ERROR" and a longer Tz as
// an empty text, so the import keeps only what survives.
constexpr size_t kImportedTitleMaxLen = kTitleMaxLen;
constexpr size_t kImportedZoneTextMaxLen = kZoneTextMaxLen;

FILE* OpenNewFile(const char* path) {
#ifdef _WIN32
  return std::fopen(path, "wb");
#else
  char native[kPathChars];
  NativePath(path, native, sizeof native);
  return std::fopen(native, "wb");
#endif
}

// One "key=value" line; false once a write has failed.
bool PutText(FILE* f, const char* key, const char* value) {
  return std::fprintf(f, "%s=%s\r\n", key, value) >= 0;
}

bool PutNumber(FILE* f, const char* key, int32_t value) {
  return std::fprintf(f, "%s=%d\r\n", key, static_cast<int>(value)) >= 0;
}

bool PutHeader(FILE* f, const char* pageAddress) {
  return std::fprintf(f,
                      "; Exported settings for Horlix world time utility\r\n"
                      "; <%s>\r\n"
                      "; To restore use Right-click > Preferences > Import\r\n"
                      "\r\n",
                      pageAddress) >= 0;
}

bool PutMainSection(FILE* f, const char* pageAddress, const WallClock& created) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02dZ", created.year,
                created.month, created.day, created.hour, created.minute, created.second);
  bool ok = std::fprintf(f, "[%s]\r\n", kMainSection) >= 0;
  ok = PutNumber(f, "Version", kProgramVersionNumber) && ok;
  ok = PutText(f, "Created", stamp) && ok;
  ok = PutText(f, "URL", pageAddress) && ok;
  ok = PutText(f, "Guid", kSettingsFileSignature) && ok;
  ok = PutNumber(f, "DateFormat", Settings.DateFormat) && ok;
  ok = PutNumber(f, "UpdateCheck", Settings.UpdateCheck) && ok;
  ok = PutNumber(f, "UpdateTime", Settings.UpdateTime) && ok;
  ok = PutNumber(f, "UpdateStatus", Settings.UpdateStatus) && ok;
  ok = PutNumber(f, "LayoutStyle", Settings.LayoutStyle) && ok;
  ok = PutNumber(f, "TimeStampFmt", Settings.TimeStampFmt) && ok;
  ok = PutNumber(f, "FontSize", Settings.FontSize) && ok;
  ok = PutNumber(f, "ShowIconInTray", Settings.ShowIconInTray) && ok;
  ok = PutNumber(f, "TurnOffOnTop", Settings.TurnOffOnTop) && ok;
  ok = PutNumber(f, "X", Settings.X) && ok;
  ok = PutNumber(f, "Y", Settings.Y) && ok;
  ok = PutNumber(f, "AutoStart", Settings.LaunchAtStartup ? 1 : 0) && ok;
  ok = PutNumber(f, "N", Clocks.N) && ok;
  return ok;
}

bool PutClockSection(FILE* f, int index) {
  const ClockRecord& clock = Clocks.clocks[index];
  bool ok = std::fprintf(f, "\r\n[%d]\r\n", index) >= 0;
  ok = PutNumber(f, "Color", clock.Color) && ok;
  ok = PutNumber(f, "Format", clock.Format) && ok;
  ok = PutNumber(f, "Type", clock.Type) && ok;
  ok = PutNumber(f, "Wd", clock.Wd) && ok;
  ok = PutNumber(f, "Width", clock.Width) && ok;
  ok = PutText(f, "Id", clock.Id) && ok;
  ok = PutText(f, "Title", clock.Title) && ok;
  ok = PutText(f, "Tz", clock.Tz) && ok;
  // Only hours other than the default, so that a file without them is unchanged.
  if (clock.WorkStart != kDefaultWorkStart) ok = PutNumber(f, "WorkStart", clock.WorkStart) && ok;
  if (clock.WorkEnd != kDefaultWorkEnd) ok = PutNumber(f, "WorkEnd", clock.WorkEnd) && ok;
  if (clock.WorkDays != kDefaultWorkDays) ok = PutNumber(f, "WorkDays", clock.WorkDays) && ok;
  return ok;
}

// Reads section `index`; false when its Id is missing or empty.
bool ReadClock(const char* path, int index, ImportedClock* clock) {
  char section[16];
  std::snprintf(section, sizeof section, "%d", index);
  char text[kZoneTextChars];
  ProfileString(path, section, "Id", "", text, sizeof text);
  if (text[0] == '\0') return false;
  CopyBounded(clock->Id, sizeof clock->Id, text, kImportedZoneTextMaxLen);
  char title[kTitleChars];
  ProfileString(path, section, "Title", "", title, sizeof title);
  CopyBounded(clock->Title, sizeof clock->Title, title, kImportedTitleMaxLen);
  ProfileString(path, section, "Tz", "", text, sizeof text);
  CopyBounded(clock->Tz, sizeof clock->Tz, text, kImportedZoneTextMaxLen);
  clock->Color = ProfileInt(path, section, "Color", 0);
  clock->Format = ProfileInt(path, section, "Format", 0);
  clock->Type = ProfileInt(path, section, "Type", 0);
  clock->Wd = ProfileInt(path, section, "Wd", 0);
  clock->Width = ProfileInt(path, section, "Width", 0);
  clock->WorkStart = ProfileInt(path, section, "WorkStart", kDefaultWorkStart);
  clock->WorkEnd = ProfileInt(path, section, "WorkEnd", kDefaultWorkEnd);
  clock->WorkDays = ProfileInt(path, section, "WorkDays", kDefaultWorkDays);
  return true;
}

// Appends text to out (which holds used characters) within limit characters.
size_t Append(char* out, size_t used, size_t limit, const char* text) {
  while (used < limit && *text != '\0') out[used++] = *text++;
  out[used] = '\0';
  return used;
}

}  // namespace

SettingsFileWrite WriteSettingsFile(const char* path, const char* pageAddress,
                                    const WallClock& createdUtc) {
  FILE* f = OpenNewFile(path);
  if (f == nullptr) return kFileNotCreated;
  bool ok = PutHeader(f, pageAddress);
  ok = PutMainSection(f, pageAddress, createdUtc) && ok;
  for (int i = 0; i < Clocks.N; ++i) ok = PutClockSection(f, i) && ok;
  ok = std::fclose(f) == 0 && ok;
  return ok ? kFileWritten : kFileWriteFailed;
}

int ReadSettingsFile(const char* path, ImportedSettings* out) {
  char guid[kGuidChars + 1];
  ProfileString(path, kMainSection, "Guid", "", guid, sizeof guid);
  if (std::strcmp(guid, kSettingsFileSignature) != 0) return -1;
  const int32_t n = ProfileInt(path, kMainSection, "N", 0);
  if (n < 1 || n > kMaxClocks) return -1;
  out->N = 0;
  for (int i = 0; i < n; ++i) {
    if (!ReadClock(path, i, &out->clocks[i])) return -1;
  }
  out->N = n;
  return 0;
}

void ComposeImportQuestion(const ImportedSettings& imported, char* out, size_t size) {
  if (size == 0) return;
  static const char kQuestion[] = "\rDo you want to change your settings?";
  char head[64];
  std::snprintf(head, sizeof head, "The new settings contain %d clocks as follows:\r",
                static_cast<int>(imported.N));
  const size_t limit = size - 1;
  const size_t roomForList = limit > sizeof kQuestion - 1 ? limit - (sizeof kQuestion - 1) : 0;
  out[0] = '\0';
  size_t used = Append(out, 0, roomForList, head);
  for (int i = 0; i < imported.N; ++i) {
    used = Append(out, used, roomForList, imported.clocks[i].Title);
    used = Append(out, used, roomForList, "\r");
  }
  Append(out, used, limit, kQuestion);
}

void ApplyImportedSettings(const char* path, const ImportedSettings& imported) {
  static const char* const kImported[] = {"DateFormat", "UpdateTime",   "LayoutStyle",
                                          "FontSize",   "TimeStampFmt", "ShowIconInTray"};
  for (const char* name : kImported) ImportDword(name, path);
  SetLaunchAtStartup(ProfileInt(path, kMainSection, "AutoStart", 0) != 0 ? 1 : 0);

  for (int i = imported.N; i < Clocks.N; ++i) DestroyZoneState(&Clocks.clocks[i].zone);
  Clocks.N = imported.N;
  for (int i = 0; i < imported.N; ++i) {
    const ImportedClock& from = imported.clocks[i];
    ClockRecord& to = Clocks.clocks[i];
    to.Color = from.Color;
    to.Format = from.Format;
    to.Type = from.Type;
    to.Wd = from.Wd;
    to.Width = from.Width;
    CopyBounded(to.Id, sizeof to.Id, from.Id, kImportedZoneTextMaxLen);
    CopyBounded(to.Title, sizeof to.Title, from.Title, kImportedTitleMaxLen);
    CopyBounded(to.Tz, sizeof to.Tz, from.Tz, kImportedZoneTextMaxLen);
    SetWorkHours(&to, from.WorkStart, from.WorkEnd, from.WorkDays);
  }
  if (Clocks.SelectedClock >= Clocks.N) Clocks.SelectedClock = -1;
  SaveSettings(1);
}
