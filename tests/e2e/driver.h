// What horlix-driver's files share: the program's names, the argument list, the
// helpers more than one of them uses, and every command.
#pragma once

#include <windows.h>

#include <cstddef>

namespace driver {

inline constexpr const char* kClass = "HORLIX";
inline constexpr const char* kMainKey = "SOFTWARE\\Brenvale\\horlix";
inline constexpr UINT kCloseMessage = 11550;
inline constexpr UINT kTrayMessage = WM_APP + 1;
inline constexpr int kMaxButtons = 64;
inline constexpr DWORD kSendTimeout = 2000;

// ---- output and time (driver_common.cpp) ----

// Prints "error: " and the format with detail on standard error; returns 1.
int Fail(const char* format, const char* detail = "");
void Copy(char* dest, size_t size, const char* src);
// "WORD TEXT" on standard output, the text on one line.
void PrintLine(const char* word, const char* text);
// A tick count SECONDS from now (clamped to 0..120 s), and whether it is
// still ahead.
DWORD Deadline(double seconds);
bool Before(DWORD deadline);

// ---- windows of any process (driver_common.cpp) ----

HWND MainWindow();
DWORD ThreadOf(HWND window);
DWORD ProcessOf(HWND window);
void WindowText(HWND window, char* out, size_t size);
bool ClassIs(HWND window, const char* name);
// The first top-level window of the class (and caption, compared exactly;
// null: any) of the thread (0: any).
HWND FindTopWindow(const char* cls, const char* caption, DWORD thread, bool visibleOnly);

// ---- the title buttons (driver_common.cpp) ----

struct ButtonInfo {
  HWND hwnd;
  int id;
  RECT client;  // in the main window's client coordinates
};

struct ButtonList {
  HWND parent;
  ButtonInfo items[kMaxButtons];
  int count;
};

// The main window's title buttons, by control id (the clock index).
void CollectButtons(HWND window, ButtonList* list);
const ButtonInfo* ButtonOf(const ButtonList& list, int id);
// The middle of title button INDEX, in the strip's client coordinates.
bool TitleCentre(HWND window, long index, POINT* p);

// ---- arguments (driver_common.cpp) ----

struct Args {
  char** v;
  int n;
};

bool IntArg(const Args& a, int i, long* out);
double SecondsArg(const Args& a, int i, double fallback);
// The main window, or null after printing the error.
HWND NeedWindow();

// ---- dialogs (driver_dialogs.cpp) ----

// A caption matches exactly, or as a prefix when the pattern ends with '*'.
bool CaptionMatches(const char* text, const char* pattern);
// The control of argument 2 in the dialog of argument 1 (waiting up to 5 s
// for the dialog); null after printing the error.
HWND NeedControl(const Args& a, HWND* dialog);

// ---- commands of driver_windows.cpp ----

int CmdClipboardSave(const Args& a);
int CmdShotDialog(const Args& a);
// The window as a 24-bit BMP file (driver_pixels.cpp).
int WriteShot(HWND w, const char* path);
int CmdKey(const Args& a);

int CmdFind(const Args& a);
int CmdWaitWindow(const Args& a);
int CmdWaitReady(const Args& a);
int CmdWaitGone(const Args& a);
int CmdWaitVisible(const Args& a);
int CmdRect(const Args& a);
int CmdButtons(const Args& a);
int CmdPostCommand(const Args& a);
int CmdWheel(const Args& a);
int CmdMiddleClick(const Args& a);
int CmdKeys(const Args& a);
int CmdPointer(const Args& a);
int CmdDpiChanged(const Args& a);
int CmdMouseWheel(const Args& a);
int CmdSendCommand(const Args& a);
int CmdCloseMessage(const Args& a);
int CmdTrayEvent(const Args& a);
int CmdMove(const Args& a);
int CmdDrag(const Args& a);
int CmdMenuWait(const Args& a);
int CmdMenuClose(const Args& a);
int CmdMenuKey(const Args& a);
int CmdMenuItems(const Args& a);
int CmdSelectClock(const Args& a);
int CmdOpenMenu(const Args& a);
int CmdRightClick(const Args& a);
int CmdAnswer(const Args& a);
int CmdNoBox(const Args& a);
int CmdDoubleClickTitle(const Args& a);
int CmdWaitOtherWindow(const Args& a);
int CmdWaitResponsive(const Args& a);
int CmdScreen(const Args& a);
int CmdWindows(const Args& a);
int CmdSleep(const Args& a);
int CmdHelpWait(const Args& a);
int CmdHelpNone(const Args& a);
int CmdHelpClose(const Args& a);
int CmdProcessGone(const Args& a);
int CmdConsoleKey(const Args& a);
int CmdPostTimer(const Args& a);
int CmdMouseClick(const Args& a);
int CmdWaitCaption(const Args& a);

// ---- commands of driver_dialogs.cpp ----

int CmdWaitDialog(const Args& a);
int CmdWaitNoDialog(const Args& a);
int CmdControls(const Args& a);
int CmdComboItems(const Args& a);
int CmdSelect(const Args& a);
int CmdSetText(const Args& a);
int CmdClick(const Args& a);
int CmdEnter(const Args& a);
int CmdSettle(const Args& a);
int CmdPress(const Args& a);
int CmdCheck(const Args& a);
int CmdFileDialog(const Args& a);
int CmdListColumns(const Args& a);
int CmdListRows(const Args& a);
int CmdListSetText(const Args& a);
int CmdListClickColumn(const Args& a);
int CmdCalendarDates(const Args& a);
int CmdCalendarClick(const Args& a);
int CmdListBoxItems(const Args& a);

// ---- commands of driver_registry.cpp ----

int CmdClipboard(const Args& a);
int CmdClipboardSet(const Args& a);
int CmdRegDump(const Args& a);
int CmdRegWipe(const Args& a);
int CmdRegPut(const Args& a);
int CmdRegDelete(const Args& a);
int CmdRunGet(const Args& a);
int CmdRunPut(const Args& a);
int CmdRunDelete(const Args& a);

// ---- commands of driver_pixels.cpp ----

int CmdTooltip(const Args& a);
int CmdPreviewTip(const Args& a);
int CmdTooltipAt(const Args& a);
int CmdPixels(const Args& a);
int CmdFirstPixels(const Args& a);
int CmdShot(const Args& a);
int CmdPixelsOf(const Args& a);
int CmdResources(const Args& a);
int CmdTicks(const Args& a);

}  // namespace driver
