// What OK in the preferences dialog does with the dialog's choices: store
// each setting, write it to the registry, and apply the three that act on the
// window at once. The window-side effects come in as callbacks so the order
// and the writes run without a window.
#pragma once

#include <cstdint>

struct PrefsChoice {
  int32_t launch;       // launch box, 0 or 1
  int32_t dateFormat;   // -1 when the list gives no value
  int32_t updateCheck;  // update box, 0 or 1
  int32_t updateTime;   // -1 when the list gives no value
  int32_t timestampFmt; // -1 when the list gives no value
  int32_t fontSize;     // -1 when the list gives no value
  int32_t tray;         // tray box, 0 or 1
  int32_t onTop;        // "turn off always-on-top" box, 0 or 1
};

struct PrefsEffects {
  void (*rebuildFontsSoon)();          // the strip's next tick rebuilds its fonts
  void (*applyTrayIcon)();             // show or remove the icon for ShowIconInTray
  void (*applyOnTop)(int32_t turnOff); // place the strip topmost or not
};

// The current settings as the dialog opens with them.
PrefsChoice CurrentPreferences();
// Stores and writes every choice in a fixed order: launch, DateFormat,
// UpdateCheck, UpdateTime, TimeStampFmt, FontSize, ShowIconInTray,
// TurnOffOnTop. The Run key is touched only when the launch choice differs
// from LaunchAtStartup; a list without a value leaves its setting alone;
// failed registry writes are ignored.
void ApplyPreferences(const PrefsChoice& choice, const PrefsEffects& effects);
