// horlix-driver: the strip's window and its popup menus, message boxes, other
// top-level windows and captions, processes, the help viewer and the updater.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver.h"

namespace driver {

// ---- window commands ----

int CmdFind(const Args&) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  std::printf("window %p %lu %d\n", static_cast<void*>(w), ProcessOf(w), IsWindowVisible(w) ? 1 : 0);
  return 0;
}

int CmdWaitWindow(const Args& a) {
  const DWORD end = Deadline(SecondsArg(a, 1, 10));
  do {
    HWND w = MainWindow();
    if (w != nullptr && IsWindowVisible(w)) {
      RECT r;
      GetWindowRect(w, &r);
      std::printf("window %p %lu\n", static_cast<void*>(w), ProcessOf(w));
      std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("no visible HORLIX window in time");
}

// Window and title buttons unchanged for a settle time: the first ticks have
// laid the strip out.
int CmdWaitReady(const Args& a) {
  const DWORD end = Deadline(SecondsArg(a, 1, 10));
  const DWORD settle = 1200;
  RECT last{};
  HWND lastButtons[kMaxButtons] = {};
  int lastCount = -1;
  DWORD since = GetTickCount();
  do {
    HWND w = MainWindow();
    if (w != nullptr && IsWindowVisible(w)) {
      RECT r;
      GetWindowRect(w, &r);
      ButtonList list;
      CollectButtons(w, &list);
      bool same = lastCount == list.count && EqualRect(&r, &last);
      for (int i = 0; same && i < list.count; ++i) same = lastButtons[i] == list.items[i].hwnd;
      if (!same) {
        last = r;
        lastCount = list.count;
        for (int i = 0; i < list.count; ++i) lastButtons[i] = list.items[i].hwnd;
        since = GetTickCount();
      } else if (list.count > 0 && GetTickCount() - since >= settle) {
        std::printf("ready %p %d\n", static_cast<void*>(w), list.count);
        return 0;
      }
    } else {
      lastCount = -1;
      since = GetTickCount();
    }
    Sleep(30);
  } while (Before(end));
  return Fail("the strip did not settle in time");
}

int CmdWaitGone(const Args& a) {
  const DWORD end = Deadline(SecondsArg(a, 1, 10));
  do {
    if (MainWindow() == nullptr) {
      std::printf("gone\n");
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("the HORLIX window is still there");
}

int CmdWaitVisible(const Args& a) {
  long want = 0;
  if (!IntArg(a, 1, &want)) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 5));
  do {
    HWND w = MainWindow();
    if (w != nullptr && (IsWindowVisible(w) ? 1 : 0) == want) {
      std::printf("visible %ld\n", want);
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("the window's visibility did not change in time");
}

int CmdRect(const Args&) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  RECT r;
  GetWindowRect(w, &r);
  const LONG ex = GetWindowLongA(w, GWL_EXSTYLE);
  const LONG style = GetWindowLongA(w, GWL_STYLE);
  char title[64];
  WindowText(w, title, sizeof title);
  std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  std::printf("visible %d\n", IsWindowVisible(w) ? 1 : 0);
  std::printf("style 0x%08lx 0x%08lx\n", static_cast<unsigned long>(style),
              static_cast<unsigned long>(ex));
  PrintLine("title", title);
  return 0;
}

int CmdButtons(const Args&) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  ButtonList list;
  CollectButtons(w, &list);
  for (int i = 0; i < list.count; ++i) {
    const ButtonInfo& b = list.items[i];
    std::printf("button %d %ld %ld %ld %ld %p 0x%08lx\n", b.id, b.client.left, b.client.top,
                b.client.right, b.client.bottom, static_cast<void*>(b.hwnd),
                static_cast<unsigned long>(GetWindowLongA(b.hwnd, GWL_STYLE)));
  }
  std::printf("buttons %d\n", list.count);
  return 0;
}

int CmdPostCommand(const Args& a) {
  long id = 0;
  if (!IntArg(a, 1, &id)) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  if (!PostMessageA(w, WM_COMMAND, static_cast<WPARAM>(id), 0)) return Fail("post failed");
  std::printf("posted %ld\n", id);
  return 0;
}

// send-command ID: as post-command, but returns once the program has carried
// the command out (for commands that open no box).
int CmdSendCommand(const Args& a) {
  long id = 0;
  if (!IntArg(a, 1, &id)) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(w, WM_COMMAND, static_cast<WPARAM>(id), 0, SMTO_ABORTIFHUNG, 5000,
                           &result)) {
    return Fail("the command was not carried out in time");
  }
  std::printf("sent %ld\n", id);
  return 0;
}

int CmdCloseMessage(const Args&) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  if (!PostMessageA(w, kCloseMessage, 0, 0)) return Fail("post failed");
  std::printf("posted close\n");
  return 0;
}

int CmdTrayEvent(const Args& a) {
  if (a.n < 2) return 2;
  UINT event = 0;
  if (std::strcmp(a.v[1], "left") == 0) {
    event = WM_LBUTTONDOWN;
  } else if (std::strcmp(a.v[1], "right") == 0) {
    event = WM_RBUTTONDOWN;
  } else {
    long value = 0;
    if (!IntArg(a, 1, &value)) return 2;
    event = static_cast<UINT>(value);
  }
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  if (!PostMessageA(w, kTrayMessage, 0, static_cast<LPARAM>(event))) return Fail("post failed");
  std::printf("posted tray 0x%x\n", event);
  return 0;
}

int CmdMove(const Args& a) {
  long x = 0;
  long y = 0;
  if (!IntArg(a, 1, &x) || !IntArg(a, 2, &y)) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  if (!SetWindowPos(w, nullptr, static_cast<int>(x), static_cast<int>(y), 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    return Fail("SetWindowPos failed");
  }
  RECT r;
  GetWindowRect(w, &r);
  std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}

namespace {

void MouseTo(LONG x, LONG y, DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  const int sw = GetSystemMetrics(SM_CXSCREEN);
  const int sh = GetSystemMetrics(SM_CYSCREEN);
  in.mi.dx = static_cast<LONG>((x * 65536L + sw / 2) / (sw > 0 ? sw : 1));
  in.mi.dy = static_cast<LONG>((y * 65536L + sh / 2) / (sh > 0 ? sh : 1));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
  SendInput(1, &in, sizeof in);
}

}  // namespace

// drag X Y DX DY: presses the left mouse button at a client point of the
// strip, moves the mouse by DX, DY in steps and lets go, through the system's
// input queue, as a user's drag of the black area.
int CmdDrag(const Args& a) {
  long x = 0;
  long y = 0;
  long dx = 0;
  long dy = 0;
  if (!IntArg(a, 1, &x) || !IntArg(a, 2, &y) || !IntArg(a, 3, &dx) || !IntArg(a, 4, &dy)) {
    return 2;
  }
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  POINT p = {static_cast<LONG>(x), static_cast<LONG>(y)};
  ClientToScreen(w, &p);
  MouseTo(p.x, p.y, 0);
  Sleep(100);
  MouseTo(p.x, p.y, MOUSEEVENTF_LEFTDOWN);
  Sleep(150);
  const int steps = 10;
  for (int i = 1; i <= steps; ++i) {
    MouseTo(p.x + static_cast<LONG>(dx * i / steps), p.y + static_cast<LONG>(dy * i / steps), 0);
    Sleep(30);
  }
  Sleep(100);
  MouseTo(p.x + static_cast<LONG>(dx), p.y + static_cast<LONG>(dy), MOUSEEVENTF_LEFTUP);
  Sleep(200);
  RECT r;
  GetWindowRect(w, &r);
  std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}

// dblclick-title INDEX: a double click with the mouse on clock INDEX's title.
int CmdDoubleClickTitle(const Args& a) {
  long index = 0;
  if (!IntArg(a, 1, &index)) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  POINT p;
  if (!TitleCentre(w, index, &p)) return Fail("no title button with that index");
  ClientToScreen(w, &p);
  MouseTo(p.x, p.y, 0);
  Sleep(100);
  for (int i = 0; i < 2; ++i) {
    MouseTo(p.x, p.y, MOUSEEVENTF_LEFTDOWN);
    Sleep(30);
    MouseTo(p.x, p.y, MOUSEEVENTF_LEFTUP);
    Sleep(30);
  }
  std::printf("double-clicked %ld at %ld %ld\n", index, p.x, p.y);
  return 0;
}

namespace {

struct OtherSearch {
  DWORD notPid;
  HWND found;
};

BOOL CALLBACK FindOtherMain(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<OtherSearch*>(param);
  if (!ClassIs(window, kClass) || !IsWindowVisible(window)) return TRUE;
  if (ProcessOf(window) == s->notPid) return TRUE;
  s->found = window;
  return FALSE;
}

}  // namespace

namespace {
void PrintParent(DWORD pid);  // below, with the other process queries
}  // namespace

// wait-other-window PID [SECONDS]: a visible HORLIX window of another process
// than PID (the instance a restart started): "window HWND PID" and the
// "parent PID EXE" of its process.

int CmdWaitOtherWindow(const Args& a) {
  long pid = 0;
  if (!IntArg(a, 1, &pid)) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 20));
  do {
    OtherSearch s = {static_cast<DWORD>(pid), nullptr};
    EnumWindows(FindOtherMain, reinterpret_cast<LPARAM>(&s));
    if (s.found != nullptr) {
      std::printf("window %p %lu\n", static_cast<void*>(s.found), ProcessOf(s.found));
      PrintParent(ProcessOf(s.found));
      return 0;
    }
    Sleep(30);
  } while (Before(end));
  return Fail("no HORLIX window of another process appeared");
}

// wait-responsive [SECONDS]: the strip's thread takes messages again; prints
// how long that took.
int CmdWaitResponsive(const Args& a) {
  const DWORD began = GetTickCount();
  const DWORD end = Deadline(SecondsArg(a, 1, 30));
  do {
    HWND w = MainWindow();
    DWORD_PTR result = 0;
    if (w != nullptr && SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &result)) {
      std::printf("responsive %lu\n", static_cast<unsigned long>(GetTickCount() - began));
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("the program does not answer");
}

// ---- popup menus ----

namespace {

HWND OpenMenu(HWND main) { return FindTopWindow("#32768", nullptr, ThreadOf(main), true); }

bool WaitMenu(HWND main, bool open, DWORD end) {
  do {
    if ((OpenMenu(main) != nullptr) == open) return true;
    Sleep(15);
  } while (Before(end));
  return false;
}

// Ends the menu loop of the program's thread the way the system does when
// something else takes over: a cancel-mode request to the menu's owner.
bool DismissMenu(HWND main, DWORD end) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(main, WM_CANCELMODE, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &result);
  if (WaitMenu(main, false, GetTickCount() + 500)) return true;
  HWND menu = OpenMenu(main);
  if (menu != nullptr) {
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  return WaitMenu(main, false, end);
}

}  // namespace

int CmdMenuWait(const Args& a) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  if (!WaitMenu(w, true, Deadline(SecondsArg(a, 1, 5)))) return Fail("no popup menu opened");
  HWND menu = OpenMenu(w);
  RECT r;
  GetWindowRect(menu, &r);
  std::printf("menu %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}

// menu-items: the items of the open popup menu, "item ID STATE TEXT" each
// (STATE: the MF_ flags, grey 0x3 and checked 0x8 among them).
int CmdMenuItems(const Args&) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  HWND menuWindow = OpenMenu(w);
  if (menuWindow == nullptr) return Fail("no popup menu is open");
  DWORD_PTR result = 0;
  SendMessageTimeoutA(menuWindow, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &result);
  HMENU menu = reinterpret_cast<HMENU>(result);
  const int count = menu != nullptr ? GetMenuItemCount(menu) : -1;
  if (count < 0) return Fail("the menu cannot be read from here");
  for (int i = 0; i < count; ++i) {
    char text[128] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    char word[64];
    std::snprintf(word, sizeof word, "item %u 0x%x", GetMenuItemID(menu, i), state);
    PrintLine(word, text);
  }
  std::printf("items %d\n", count);
  return 0;
}

// menu-key CHAR: types the access key of an item into the open popup menu,
// which chooses that item unless it is greyed.
int CmdMenuKey(const Args& a) {
  if (a.n < 2 || a.v[1][0] == '\0' || a.v[1][1] != '\0') return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  HWND menuWindow = OpenMenu(w);
  if (menuWindow == nullptr) return Fail("no popup menu is open");
  const char c = a.v[1][0];
  PostMessageA(menuWindow, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
  std::printf("typed %c\n", c);
  return 0;
}

int CmdMenuClose(const Args& a) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  if (!DismissMenu(w, Deadline(SecondsArg(a, 1, 5)))) return Fail("the popup menu stays open");
  std::printf("menu closed\n");
  return 0;
}

namespace {

// A right click at a point of the strip (client coordinates): the program
// takes the clock under the point as the selected one and opens its popup
// menu there. With dismiss the menu is closed again without a choice.
int RightClickAt(HWND w, long x, long y, double seconds, bool dismiss) {
  const DWORD end = Deadline(seconds);
  if (OpenMenu(w) != nullptr) return Fail("a popup menu is already open");
  POINT p = {static_cast<LONG>(x), static_cast<LONG>(y)};
  ClientToScreen(w, &p);
  if (!PostMessageA(w, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(w), MAKELPARAM(p.x, p.y))) {
    return Fail("post failed");
  }
  if (!WaitMenu(w, true, end)) return Fail("no popup menu opened");
  if (dismiss && !DismissMenu(w, end)) return Fail("the popup menu stays open");
  return 0;
}

// The middle of clock INDEX's time cell, below its title button.
bool CellPoint(HWND w, long index, long* x, long* y) {
  ButtonList list;
  CollectButtons(w, &list);
  const ButtonInfo* b = ButtonOf(list, static_cast<int>(index));
  if (b == nullptr) return false;
  RECT client;
  GetClientRect(w, &client);
  *x = (b->client.left + b->client.right) / 2;
  *y = (b->client.bottom + client.bottom) / 2;
  return true;
}

// select-clock INDEX: right click on the clock, menu dismissed.
// open-menu INDEX: right click on the clock, menu left open.
int SelectOrOpen(const Args& a, bool dismiss) {
  long index = 0;
  if (!IntArg(a, 1, &index)) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  long x = 0;
  long y = 0;
  if (!CellPoint(w, index, &x, &y)) return Fail("no title button with that index");
  if (RightClickAt(w, x, y, SecondsArg(a, 2, 5), dismiss) != 0) return 1;
  std::printf("%s %ld at %ld %ld\n", dismiss ? "selected" : "menu-open", index, x, y);
  return 0;
}

}  // namespace

int CmdSelectClock(const Args& a) { return SelectOrOpen(a, true); }
int CmdOpenMenu(const Args& a) { return SelectOrOpen(a, false); }

// right-click X Y [open]: at a client point, which may lie outside every cell.
int CmdRightClick(const Args& a) {
  long x = 0;
  long y = 0;
  if (!IntArg(a, 1, &x) || !IntArg(a, 2, &y)) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  const bool open = a.n > 3 && std::strcmp(a.v[3], "open") == 0;
  if (RightClickAt(w, x, y, 5, !open) != 0) return 1;
  std::printf("right-clicked %ld %ld\n", x, y);
  return 0;
}

// ---- message boxes ----

namespace {

struct StaticSearch {
  char text[2048];
};

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
  auto* s = reinterpret_cast<StaticSearch*>(param);
  if (!ClassIs(child, "Static")) return TRUE;
  char text[2048];
  WindowText(child, text, sizeof text);
  if (std::strlen(text) > std::strlen(s->text)) Copy(s->text, sizeof s->text, text);
  return TRUE;
}

HWND WaitBox(const char* caption, DWORD end) {
  do {
    HWND box = FindTopWindow("#32770", caption, 0, true);
    if (box != nullptr) return box;
    Sleep(20);
  } while (Before(end));
  return nullptr;
}

int ButtonId(const char* name) {
  if (lstrcmpiA(name, "OK") == 0) return IDOK;
  if (lstrcmpiA(name, "Cancel") == 0) return IDCANCEL;
  if (lstrcmpiA(name, "Yes") == 0) return IDYES;
  if (lstrcmpiA(name, "No") == 0) return IDNO;
  if (lstrcmpiA(name, "none") == 0) return 0;
  return -1;
}

struct DefaultSearch {
  char* label;
  size_t size;
};

BOOL CALLBACK FindDefaultButton(HWND child, LPARAM param) {
  auto* s = reinterpret_cast<DefaultSearch*>(param);
  if (!ClassIs(child, "Button")) return TRUE;
  if ((GetWindowLongA(child, GWL_STYLE) & 0x0F) != BS_DEFPUSHBUTTON) return TRUE;
  WindowText(child, s->label, s->size);
  return FALSE;
}

// The label of the box's default push button ("" when none is marked).
void DefaultButtonLabel(HWND box, char* label, size_t size) {
  label[0] = '\0';
  DefaultSearch s = {label, size};
  EnumChildWindows(box, FindDefaultButton, reinterpret_cast<LPARAM>(&s));
}

}  // namespace

// answer CAPTION BUTTON [SECONDS]: waits for the message box of that exact
// caption, prints its text and the label of its default button, and presses
// BUTTON ("none" leaves it open).
int CmdAnswer(const Args& a) {
  if (a.n < 3) return 2;
  const int id = ButtonId(a.v[2]);
  if (id < 0) return 2;
  const DWORD end = Deadline(SecondsArg(a, 3, 5));
  HWND box = WaitBox(a.v[1], end);
  if (box == nullptr) return Fail("no message box \"%s\" appeared", a.v[1]);
  // The box fills in its controls while it opens; let it finish.
  char text[2048] = "";
  do {
    StaticSearch s{};
    EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&s));
    Copy(text, sizeof text, s.text);
    if (text[0] != '\0') break;
    Sleep(20);
  } while (Before(end));
  PrintLine("text", text);
  char label[64] = "";
  DefaultButtonLabel(box, label, sizeof label);
  PrintLine("default", label);
  if (id == 0) return 0;
  HWND button = GetDlgItem(box, id);
  if (button == nullptr) return Fail("the box has no button %s", a.v[2]);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  do {
    // Gone, not just hidden: the program's MessageBoxA has returned.
    if (!IsWindow(box)) {
      PrintLine("pressed", a.v[2]);
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("the box \"%s\" did not close", a.v[1]);
}

// no-box CAPTION SECONDS: succeeds when no such box shows within the time.
int CmdNoBox(const Args& a) {
  if (a.n < 2) return 2;
  HWND box = WaitBox(a.v[1], Deadline(SecondsArg(a, 2, 1)));
  if (box != nullptr) {
    StaticSearch s{};
    EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&s));
    PrintLine("text", s.text);
    return Fail("a message box \"%s\" appeared", a.v[1]);
  }
  std::printf("no-box\n");
  return 0;
}

// ---- misc ----

int CmdScreen(const Args&) {
  RECT desktop{};
  GetClientRect(GetDesktopWindow(), &desktop);
  std::printf("screen %ld %ld %d %d\n", desktop.right, desktop.bottom,
              GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  return 0;
}

namespace {

// Top-level windows of one process (the strip's by default), for looking at
// what the program has open.
struct ListSearch {
  DWORD pid;
};

BOOL CALLBACK ListTop(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<ListSearch*>(param);
  if (s->pid != 0 && ProcessOf(window) != s->pid) return TRUE;
  char cls[64] = "";
  GetClassNameA(window, cls, sizeof cls);
  char text[256];
  WindowText(window, text, sizeof text);
  char word[128];
  std::snprintf(word, sizeof word, "top %p %lu %d %s", static_cast<void*>(window),
                ProcessOf(window), IsWindowVisible(window) ? 1 : 0, cls);
  PrintLine(word, text);
  return TRUE;
}

}  // namespace

int CmdWindows(const Args& a) {
  ListSearch s{0};
  if (a.n < 2 || std::strcmp(a.v[1], "all") != 0) {
    HWND w = NeedWindow();
    if (w == nullptr) return 1;
    s.pid = ProcessOf(w);
  }
  EnumWindows(ListTop, reinterpret_cast<LPARAM>(&s));
  return 0;
}

int CmdSleep(const Args& a) {
  long ms = 0;
  if (!IntArg(a, 1, &ms) || ms < 0 || ms > 60000) return 2;
  Sleep(static_cast<DWORD>(ms));
  return 0;
}

// ---- the help viewer (HTML Help's "HH Parent" windows, of any process) ----

constexpr const char* kHelpClass = "HH Parent";

// help-wait [SECONDS]: waits for a visible help viewer window; prints
// "help HWND PID" and "title TEXT".
int CmdHelpWait(const Args& a) {
  const DWORD end = Deadline(SecondsArg(a, 1, 10));
  do {
    HWND w = FindTopWindow(kHelpClass, nullptr, 0, true);
    if (w != nullptr) {
      char title[256];
      WindowText(w, title, sizeof title);
      std::printf("help %p %lu\n", static_cast<void*>(w), ProcessOf(w));
      PrintLine("title", title);
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("no help viewer window in time");
}

// help-none [SECONDS]: succeeds when no help viewer window shows within the time.
int CmdHelpNone(const Args& a) {
  const DWORD end = Deadline(SecondsArg(a, 1, 2));
  do {
    if (FindTopWindow(kHelpClass, nullptr, 0, true) != nullptr) {
      return Fail("a help viewer window is open");
    }
    Sleep(50);
  } while (Before(end));
  std::printf("no-help\n");
  return 0;
}

// help-close [SECONDS]: closes every help viewer window and waits until they are gone.
int CmdHelpClose(const Args& a) {
  const DWORD end = Deadline(SecondsArg(a, 1, 10));
  do {
    HWND w = FindTopWindow(kHelpClass, nullptr, 0, false);
    if (w == nullptr) {
      std::printf("help-closed\n");
      return 0;
    }
    PostMessageA(w, WM_CLOSE, 0, 0);
    Sleep(100);
  } while (Before(end));
  return Fail("the help viewer did not close");
}

// ---- processes (the installer's and uninstaller's) ----

namespace {

int CountProcesses(const char* exe) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
    if (lstrcmpiA(entry.szExeFile, exe) == 0) ++count;
  }
  CloseHandle(snap);
  return count;
}

}  // namespace

// process-gone EXE [SECONDS]: waits until no process runs the program file
// named EXE (a name such as Au_.exe, without its folder).
int CmdProcessGone(const Args& a) {
  if (a.n < 2) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 30));
  do {
    const int n = CountProcesses(a.v[1]);
    if (n < 0) return Fail("cannot list the processes");
    if (n == 0) {
      PrintLine("process-gone", a.v[1]);
      return 0;
    }
    Sleep(100);
  } while (Before(end));
  return Fail("%s is still running", a.v[1]);
}

// ---- update commands: the updater's console (the progress list is in driver_dialogs.cpp) ----

namespace {

// The first process whose executable is named name (case ignored), or 0.
DWORD ProcessNamed(const char* name) {
  DWORD ids[1024];
  DWORD bytes = 0;
  if (!EnumProcesses(ids, sizeof ids, &bytes)) return 0;
  for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]);
    if (h == nullptr) continue;
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    const BOOL ok = QueryFullProcessImageNameA(h, 0, path, &size);
    CloseHandle(h);
    if (!ok) continue;
    const char* base = std::strrchr(path, '\\');
    base = base != nullptr ? base + 1 : path;
    if (lstrcmpiA(base, name) == 0) return ids[i];
  }
  return 0;
}

}  // namespace

// console-key PROGRAM.exe [SECONDS]: waits for a process of that name and
// types one key into its console, as a user answering "Press any key".
int CmdConsoleKey(const Args& a) {
  if (a.n < 2) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 10));
  DWORD pid = 0;
  while ((pid = ProcessNamed(a.v[1])) == 0 && Before(end)) Sleep(50);
  if (pid == 0) return Fail("no process %s", a.v[1]);
  FreeConsole();
  bool attached = false;
  while (!(attached = AttachConsole(pid) != 0) && Before(end)) Sleep(50);
  if (!attached) return Fail("cannot attach to the console of %s", a.v[1]);
  HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
  INPUT_RECORD keys[2] = {};
  for (int i = 0; i < 2; ++i) {
    keys[i].EventType = KEY_EVENT;
    keys[i].Event.KeyEvent.bKeyDown = i == 0;
    keys[i].Event.KeyEvent.wRepeatCount = 1;
    keys[i].Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
    keys[i].Event.KeyEvent.uChar.AsciiChar = '\r';
  }
  DWORD written = 0;
  const BOOL ok = in != INVALID_HANDLE_VALUE && WriteConsoleInputA(in, keys, 2, &written);
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  FreeConsole();
  if (!ok || written != 2) return Fail("cannot type into the console of %s", a.v[1]);
  std::printf("key %lu\n", static_cast<unsigned long>(pid));
  return 0;
}

// post-timer ID: posts the strip a WM_TIMER of that timer id, as the
// system does when the timer fires (for the half-hourly update timer).
int CmdPostTimer(const Args& a) {
  long id = 0;
  if (!IntArg(a, 1, &id) || id < 0) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  if (!PostMessageA(w, WM_TIMER, static_cast<WPARAM>(id), 0)) return Fail("post failed");
  std::printf("timer %ld\n", id);
  return 0;
}

// wheel DELTA [COUNT [shift]]: posts COUNT (1..20000) wheel messages of
// DELTA (-32768..32767) to the strip, with the mouse on clock 0's time cell.
int CmdWheel(const Args& a) {
  long delta = 0;
  long count = 1;
  if (!IntArg(a, 1, &delta) || delta < -32768 || delta > 32767) return 2;
  if (a.n > 2 && (!IntArg(a, 2, &count) || count < 1 || count > 20000)) return 2;
  const bool shift = a.n > 3 && std::strcmp(a.v[3], "shift") == 0;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  POINT p = {0, 0};
  long x = 0;
  long y = 0;
  if (CellPoint(w, 0, &x, &y)) p = POINT{x, y};
  ClientToScreen(w, &p);
  const WPARAM wParam = MAKEWPARAM(shift ? MK_SHIFT : 0, static_cast<WORD>(static_cast<short>(delta)));
  const LPARAM lParam = MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
  for (long i = 0; i < count; ++i) {
    if (!PostMessageA(w, WM_MOUSEWHEEL, wParam, lParam)) return Fail("post failed");
  }
  std::printf("wheel %ld x%ld%s\n", delta, count, shift ? " shift" : "");
  return 0;
}

// mouse-wheel DELTA [title]: the mouse on clock 0's time cell (or its title
// button) and one real wheel turn of DELTA through the system's input queue.
int CmdMouseWheel(const Args& a) {
  long delta = 0;
  if (!IntArg(a, 1, &delta) || delta < -32768 || delta > 32767) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  long x = 0;
  long y = 0;
  if (!CellPoint(w, 0, &x, &y)) return Fail("no title button 0");
  if (a.n > 2 && std::strcmp(a.v[2], "title") == 0) y = 2;
  POINT p = {x, y};
  ClientToScreen(w, &p);
  MouseTo(p.x, p.y, 0);
  Sleep(50);
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.mouseData = static_cast<DWORD>(delta);
  in.mi.dwFlags = MOUSEEVENTF_WHEEL;
  SendInput(1, &in, sizeof in);
  std::printf("mouse-wheel %ld at %ld %ld\n", delta, p.x, p.y);
  return 0;
}

// middle-click: a middle button click on clock 0's time cell, by message.
int CmdMiddleClick(const Args&) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  long x = 0;
  long y = 0;
  if (!CellPoint(w, 0, &x, &y)) return Fail("no title button 0");
  const LPARAM at = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
  if (!PostMessageA(w, WM_MBUTTONDOWN, MK_MBUTTON, at) || !PostMessageA(w, WM_MBUTTONUP, 0, at)) {
    return Fail("post failed");
  }
  std::printf("middle-clicked %ld %ld\n", x, y);
  return 0;
}

// keys NAME...: real key presses through the system's input queue, to the
// window with the focus; NAME is right, left, up, down, pgup, pgdn, home or
// esc, with "shift+" before it for Shift held, and "*COUNT" after it for
// that many presses (auto-repeat as a held key sends it). Prints whether
// the strip was the foreground window ("foreground 1").
int CmdKeys(const Args& a) {
  static const struct {
    const char* name;
    WORD key;
  } kKeys[] = {{"right", VK_RIGHT}, {"left", VK_LEFT}, {"up", VK_UP},   {"down", VK_DOWN},
               {"pgup", VK_PRIOR},  {"pgdn", VK_NEXT}, {"home", VK_HOME}, {"esc", VK_ESCAPE}};
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  std::printf("foreground %d\n", GetForegroundWindow() == w ? 1 : 0);
  for (int i = 1; i < a.n; ++i) {
    const char* name = a.v[i];
    const bool shift = std::strncmp(name, "shift+", 6) == 0;
    if (shift) name += 6;
    const char* star = std::strchr(name, '*');
    const long count = star != nullptr ? std::atol(star + 1) : 1;
    const size_t length = star != nullptr ? static_cast<size_t>(star - name) : std::strlen(name);
    WORD key = 0;
    for (const auto& k : kKeys) {
      if (std::strlen(k.name) == length && std::strncmp(k.name, name, length) == 0) key = k.key;
    }
    if (key == 0 || count < 1 || count > 20000) return Fail("unknown key %s", a.v[i]);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = VK_SHIFT;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (shift) SendInput(1, &in[0], sizeof in[0]);
    INPUT press = {};
    press.type = INPUT_KEYBOARD;
    press.ki.wVk = key;
    for (long n = 0; n < count; ++n) SendInput(1, &press, sizeof press);
    press.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &press, sizeof press);
    if (shift) SendInput(1, &in[1], sizeof in[1]);
  }
  std::printf("keys %d\n", a.n - 1);
  return 0;
}

// pointer X Y | pointer away: the mouse to a client point of the strip, or
// off the strip (where the tooltip commands leave it).
int CmdPointer(const Args& a) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  POINT p = {0, 700};
  long x = 0;
  long y = 0;
  if (!(a.n > 1 && std::strcmp(a.v[1], "away") == 0)) {
    if (!IntArg(a, 1, &x) || !IntArg(a, 2, &y)) return 2;
    p = POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
    ClientToScreen(w, &p);
  }
  SetCursorPos(p.x, p.y);
  std::printf("pointer %ld %ld\n", p.x, p.y);
  return 0;
}

// dpi-changed DPI: tells the strip its monitor's scale became DPI, as the
// system does when it is moved to another monitor (without a proposed place).
int CmdDpiChanged(const Args& a) {
  long dpi = 0;
  if (!IntArg(a, 1, &dpi) || dpi < 48 || dpi > 480) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  DWORD_PTR result = 0;
  const WPARAM both = MAKEWPARAM(static_cast<WORD>(dpi), static_cast<WORD>(dpi));
  if (!SendMessageTimeoutA(w, 0x02E0 /* WM_DPICHANGED */, both, 0, SMTO_ABORTIFHUNG,
                           kSendTimeout, &result)) {
    return Fail("the strip did not take WM_DPICHANGED");
  }
  RECT r;
  GetWindowRect(w, &r);
  std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}

// mouse-click CAPTION ID: a real left click with the mouse on the middle of
// the dialog's control (for owner-drawn link buttons, which a user clicks).
// Fails when another window covers that point.
int CmdMouseClick(const Args& a) {
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return a.n < 3 ? 2 : 1;
  RECT r;
  GetWindowRect(c, &r);
  POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  HWND under = WindowFromPoint(p);
  if (under != c) return Fail("another window covers the middle of control %s", a.v[2]);
  MouseTo(p.x, p.y, 0);
  Sleep(50);
  MouseTo(p.x, p.y, MOUSEEVENTF_LEFTDOWN);
  Sleep(30);
  MouseTo(p.x, p.y, MOUSEEVENTF_LEFTUP);
  std::printf("mouse-clicked %s at %ld %ld\n", a.v[2], p.x, p.y);
  return 0;
}

// ---- end of the update commands ----

// ---- the installer's window (started by the program, not by the driver) ----

namespace {

// The program file of a process, without its folder; false when the process
// has ended or cannot be opened.
bool ImageOf(DWORD pid, char* out, size_t size) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (h == nullptr) return false;
  char path[MAX_PATH] = "";
  DWORD length = sizeof path;
  const BOOL ok = QueryFullProcessImageNameA(h, 0, path, &length);
  CloseHandle(h);
  if (!ok) return false;
  const char* base = std::strrchr(path, '\\');
  Copy(out, size, base != nullptr ? base + 1 : path);
  return true;
}

// The parent of a process as the system's snapshot records it (0 when the
// process is not listed).
DWORD ParentOf(DWORD pid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
    if (entry.th32ProcessID == pid) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snap);
  return parent;
}

// "parent PID EXE" of a process ("?" for a parent that has ended; the PID
// stays in the system's record).
void PrintParent(DWORD pid) {
  const DWORD parent = ParentOf(pid);
  char parentImage[MAX_PATH] = "?";
  if (parent == 0 || !ImageOf(parent, parentImage, sizeof parentImage)) {
    Copy(parentImage, sizeof parentImage, "?");
  }
  char word[32];
  std::snprintf(word, sizeof word, "parent %lu", static_cast<unsigned long>(parent));
  PrintLine(word, parentImage);
}

// A window's caption as its record holds it (InternalGetWindowText), in the
// ANSI code page; false when it has none.
bool RecordedCaption(HWND window, char* out, size_t size) {
  WCHAR wide[256] = {};
  out[0] = '\0';
  if (InternalGetWindowText(window, wide, 256) <= 0) return false;
  return WideCharToMultiByte(CP_ACP, 0, wide, -1, out, static_cast<int>(size), nullptr,
                             nullptr) != 0;
}

struct CaptionSearch {
  const char* pattern;
  DWORD notPid;
  HWND found;
};

// The caption is read from the window record (InternalGetWindowText), not
// asked of the window's thread: a window of a busy or hung program, or one
// whose thread has not yet started pumping, cannot hold the search.
BOOL CALLBACK FindCaptionWindow(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<CaptionSearch*>(param);
  if (!IsWindowVisible(window) || ProcessOf(window) == s->notPid) return TRUE;
  char text[256] = "";
  if (!RecordedCaption(window, text, sizeof text)) return TRUE;
  if (!CaptionMatches(text, s->pattern)) return TRUE;
  s->found = window;
  return FALSE;
}

}  // namespace

// wait-caption PATTERN [SECONDS]: a visible top-level window of another
// process whose caption is PATTERN (or starts with it when it ends with '*'):
// "window HWND PID CLASS", "caption TEXT", "image EXE" of its process and
// "parent PID EXE" ("?" for a parent that has ended).
int CmdWaitCaption(const Args& a) {
  if (a.n < 2) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 30));
  CaptionSearch s = {a.v[1], GetCurrentProcessId(), nullptr};
  do {
    s.found = nullptr;
    EnumWindows(FindCaptionWindow, reinterpret_cast<LPARAM>(&s));
    if (s.found != nullptr) break;
    Sleep(50);
  } while (Before(end));
  if (s.found == nullptr) return Fail("no window \"%s\" appeared", a.v[1]);
  char cls[64] = "";
  GetClassNameA(s.found, cls, sizeof cls);
  const DWORD pid = ProcessOf(s.found);
  std::printf("window %p %lu %s\n", static_cast<void*>(s.found), pid, cls);
  char caption[256] = "";
  RecordedCaption(s.found, caption, sizeof caption);
  PrintLine("caption", caption);
  char image[MAX_PATH] = "?";
  if (!ImageOf(pid, image, sizeof image)) Copy(image, sizeof image, "?");
  PrintLine("image", image);
  PrintParent(pid);
  return 0;
}

// ---- end of the installer's window ----

}  // namespace driver
