#include "ui/dialogs/prefs_logic.h"

#include "clocks/settings.h"

PrefsChoice CurrentPreferences() {
  PrefsChoice c{};
  c.launch = Settings.LaunchAtStartup ? 1 : 0;
  c.dateFormat = Settings.DateFormat;
  c.updateCheck = Settings.UpdateCheck ? 1 : 0;
  c.updateTime = Settings.UpdateTime;
  c.timestampFmt = Settings.TimeStampFmt;
  c.fontSize = Settings.FontSize;
  c.tray = Settings.ShowIconInTray ? 1 : 0;
  c.onTop = Settings.TurnOffOnTop ? 1 : 0;
  return c;
}

void ApplyPreferences(const PrefsChoice& choice, const PrefsEffects& effects) {
  const int32_t launch = choice.launch ? 1 : 0;
  if (launch != (Settings.LaunchAtStartup ? 1 : 0)) SetLaunchAtStartup(launch);
  Settings.LaunchAtStartup = launch;

  if (choice.dateFormat != -1) {
    Settings.DateFormat = choice.dateFormat;
    WriteDword(Settings.DateFormat, kMainKey, "DateFormat");
  }
  Settings.UpdateCheck = choice.updateCheck ? 1 : 0;
  WriteDword(Settings.UpdateCheck, kMainKey, "UpdateCheck");
  if (choice.updateTime != -1) {
    Settings.UpdateTime = choice.updateTime;
    WriteDword(Settings.UpdateTime, kMainKey, "UpdateTime");
  }
  if (choice.timestampFmt != -1) {
    Settings.TimeStampFmt = choice.timestampFmt;
    WriteDword(Settings.TimeStampFmt, kMainKey, "TimeStampFmt");
  }
  if (choice.fontSize != -1) {
    Settings.FontSize = choice.fontSize;
    if (effects.rebuildFontsSoon != nullptr) effects.rebuildFontsSoon();
    WriteDword(Settings.FontSize, kMainKey, "FontSize");
  }
  Settings.ShowIconInTray = choice.tray ? 1 : 0;
  WriteDword(Settings.ShowIconInTray, kMainKey, "ShowIconInTray");
  if (effects.applyTrayIcon != nullptr) effects.applyTrayIcon();
  Settings.TurnOffOnTop = choice.onTop ? 1 : 0;
  WriteDword(Settings.TurnOffOnTop, kMainKey, "TurnOffOnTop");
  if (effects.applyOnTop != nullptr) effects.applyOnTop(Settings.TurnOffOnTop);
}
