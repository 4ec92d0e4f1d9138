// The program-wide settings and their store under
// HKEY_CURRENT_USER\SOFTWARE\Brenvale\horlix (one subkey per clock).
#pragma once

#include <cstdint>

struct SettingsRecord {
  int32_t X, Y;
  int32_t PositionDpi;  // the display scale X and Y were measured at
  int32_t DateFormat;
  int32_t UpdateCheck;
  int32_t UpdateTime;
  int32_t UpdateStatus;
  int32_t LayoutStyle;
  int32_t FontSize;
  int32_t ShowIconInTray;
  int32_t TurnOffOnTop;
  int32_t TimeStampFmt;
  int32_t LaunchAtStartup;
  bool SettingsDirty;  // the clock list changed since the last full save
  bool PositionDirty;  // the window moved since the last save
};

extern SettingsRecord Settings;

constexpr const char* kMainKey = "SOFTWARE\\Brenvale\\horlix";
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Horlix";
constexpr const char* kNoClocksText = "No clocks to display! Please re-install using setup program.";

// The built-in defaults, as a first start sees them.
SettingsRecord DefaultSettings();

// Reads everything at start; 1 = go on, 0 = nothing to show.
int LoadSettings();
// Writes X, Y and PositionDpi, and with clocks N and every clock's subkey; 1 when all
// writes succeeded.
int SaveSettings(int withClocks);
int32_t WriteDword(int32_t value, const char* keyPath, const char* name);
int32_t WriteLastCheck(const uint8_t fileTime[8]);
// UpdateLastError: why the last update check failed (REG_SZ), kept until a
// check succeeds; null removes it.
int32_t WriteLastCheckError(const char* error);
void SetLaunchAtStartup(int on);
void ImportDword(const char* name, const char* settingsFile);
