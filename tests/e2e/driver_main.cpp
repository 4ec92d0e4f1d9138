// horlix-driver: acts on a running horlix.exe from outside, as a user would,
// through window messages, the registry, the clipboard and the screen.
//
//   horlix-driver COMMAND [ARGS...] [-- COMMAND [ARGS...]]...
//
// Every command prints parseable lines on standard output; the first word of
// a line says what it holds. Any failure or timeout prints "error: ..." on
// standard error and ends the run with exit code 1 (2 for a usage mistake).
// Every wait is bounded by the seconds it is given.
//
// The commands live in driver_windows.cpp, driver_dialogs.cpp,
// driver_registry.cpp and driver_pixels.cpp, the helpers they share in
// driver_common.cpp; driver.h declares what they share.
#include <cstdio>
#include <cstring>

#include "driver.h"

namespace driver {
namespace {

struct Command {
  const char* name;
  int (*run)(const Args&);
};

const Command kCommands[] = {
    {"find", CmdFind},
    {"wait-window", CmdWaitWindow},
    {"wait-ready", CmdWaitReady},
    {"wait-gone", CmdWaitGone},
    {"wait-visible", CmdWaitVisible},
    {"rect", CmdRect},
    {"buttons", CmdButtons},
    {"post-command", CmdPostCommand},
    {"send-command", CmdSendCommand},
    {"close-message", CmdCloseMessage},
    {"tray-event", CmdTrayEvent},
    {"move", CmdMove},
    {"drag", CmdDrag},
    {"menu-wait", CmdMenuWait},
    {"menu-close", CmdMenuClose},
    {"menu-key", CmdMenuKey},
    {"menu-items", CmdMenuItems},
    {"select-clock", CmdSelectClock},
    {"open-menu", CmdOpenMenu},
    {"right-click", CmdRightClick},
    {"answer", CmdAnswer},
    {"no-box", CmdNoBox},
    {"tooltip", CmdTooltip},
    {"tooltip-at", CmdTooltipAt},
    {"preview-tip", CmdPreviewTip},
    {"wheel", CmdWheel},
    {"middle-click", CmdMiddleClick},
    {"keys", CmdKeys},
    {"pointer", CmdPointer},
    {"dpi-changed", CmdDpiChanged},
    {"mouse-wheel", CmdMouseWheel},
    {"pixels", CmdPixels},
    {"first-pixels", CmdFirstPixels},
    {"shot", CmdShot},
    {"clipboard", CmdClipboard},
    {"clipboard-set", CmdClipboardSet},
    {"clipboard-save", CmdClipboardSave},
    {"key", CmdKey},
    {"shot-dialog", CmdShotDialog},
    {"reg-dump", CmdRegDump},
    {"reg-wipe", CmdRegWipe},
    {"reg-put", CmdRegPut},
    {"reg-delete", CmdRegDelete},
    {"run-get", CmdRunGet},
    {"run-put", CmdRunPut},
    {"run-delete", CmdRunDelete},
    {"wait-dialog", CmdWaitDialog},
    {"wait-no-dialog", CmdWaitNoDialog},
    {"controls", CmdControls},
    {"combo-items", CmdComboItems},
    {"select", CmdSelect},
    {"set-text", CmdSetText},
    {"click", CmdClick},
    {"enter", CmdEnter},
    {"settle", CmdSettle},
    {"press", CmdPress},
    {"check", CmdCheck},
    {"file-dialog", CmdFileDialog},
    {"lv-columns", CmdListColumns},
    {"lv-rows", CmdListRows},
    {"lv-set-text", CmdListSetText},
    {"lv-click-column", CmdListClickColumn},
    {"calendar-dates", CmdCalendarDates},
    {"calendar-click", CmdCalendarClick},
    {"pixels-of", CmdPixelsOf},
    {"dblclick-title", CmdDoubleClickTitle},
    {"wait-other-window", CmdWaitOtherWindow},
    {"wait-responsive", CmdWaitResponsive},
    {"screen", CmdScreen},
    {"windows", CmdWindows},
    {"sleep", CmdSleep},
    // soak
    {"resources", CmdResources},
    {"ticks", CmdTicks},
    // the help viewer
    {"help-wait", CmdHelpWait},
    {"help-none", CmdHelpNone},
    {"help-close", CmdHelpClose},
    // processes
    {"process-gone", CmdProcessGone},
    // update
    {"lb-items", CmdListBoxItems},
    {"console-key", CmdConsoleKey},
    {"post-timer", CmdPostTimer},
    {"mouse-click", CmdMouseClick},
    // the installer's window
    {"wait-caption", CmdWaitCaption},
};

int RunOne(const Args& a) {
  for (const Command& c : kCommands) {
    if (std::strcmp(c.name, a.v[0]) != 0) continue;
    const int rc = c.run(a);
    if (rc == 2) std::fprintf(stderr, "error: bad arguments for %s\n", a.v[0]);
    return rc;
  }
  std::fprintf(stderr, "error: unknown command %s\n", a.v[0]);
  return 2;
}

}  // namespace
}  // namespace driver

int main(int argc, char** argv) {
  // Every line reaches the runner at once, also from a run that dies later.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: horlix-driver COMMAND [ARGS...] [-- COMMAND [ARGS...]]...\n");
    return 2;
  }
  int start = 1;
  while (start < argc) {
    int end = start;
    while (end < argc && std::strcmp(argv[end], "--") != 0) ++end;
    if (end > start) {
      const driver::Args a = {argv + start, end - start};
      const int rc = driver::RunOne(a);
      if (rc != 0) return rc;
    }
    start = end + 1;
  }
  return 0;
}
