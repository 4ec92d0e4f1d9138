// horlix-driver: acts on a running horlix.exe from outside, as a user would,
// through window messages, the registry, the clipboard and the screen.
//
//   horlix-driver COMMAND [ARGS...] [-- COMMAND [ARGS...]]...
//
// Every command prints parseable lines on standard output; the first word of
// a line says what it holds. Any failure or timeout prints "error: ..." on
// standard error and ends the run with exit code 1 (2 for a usage mistake).
// Every wait is bounded by the seconds it is given.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kClass = "HORLIX";
constexpr const char* kMainKey = "SOFTWARE\\Brenvale\\horlix";
constexpr UINT kCloseMessage = 11550;
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr int kMaxButtons = 64;
constexpr DWORD kSendTimeout = 2000;

int Fail(const char* format, const char* detail = "") {
  std::fprintf(stderr, "error: ");
  std::fprintf(stderr, format, detail);
  std::fprintf(stderr, "\n");
  std::fflush(stderr);
  return 1;
}

void Copy(char* dest, size_t size, const char* src) {
  if (size == 0) return;
  size_t i = 0;
  for (; i + 1 < size && src[i] != '\0'; ++i) dest[i] = src[i];
  dest[i] = '\0';
}

// Control characters become spaces so that every text stays on its line.
void PrintLine(const char* word, const char* text) {
  char line[2048];
  Copy(line, sizeof line, text);
  for (char* p = line; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) < 32) *p = ' ';
  }
  std::printf("%s %s\n", word, line);
  std::fflush(stdout);
}

DWORD Deadline(double seconds) {
  if (seconds < 0) seconds = 0;
  if (seconds > 120) seconds = 120;
  return GetTickCount() + static_cast<DWORD>(seconds * 1000.0);
}

bool Before(DWORD deadline) { return static_cast<LONG>(deadline - GetTickCount()) > 0; }

HWND MainWindow() { return FindWindowA(kClass, nullptr); }

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

// Text of a window of any process (WM_GETTEXT is carried across processes).
void WindowText(HWND window, char* out, size_t size) {
  out[0] = '\0';
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(out),
                           SMTO_ABORTIFHUNG, kSendTimeout, &result)) {
    out[0] = '\0';
  }
  out[size - 1] = '\0';
}

bool ClassIs(HWND window, const char* name) {
  char cls[64];
  if (GetClassNameA(window, cls, sizeof cls) == 0) return false;
  return lstrcmpiA(cls, name) == 0;
}

// ---- top-level windows by class (and caption, compared exactly) ----

struct TopSearch {
  const char* cls;
  const char* caption;  // null: any
  DWORD thread;         // 0: any
  bool visibleOnly;
  HWND found;
};

BOOL CALLBACK FindTop(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<TopSearch*>(param);
  if (!ClassIs(window, s->cls)) return TRUE;
  if (s->visibleOnly && !IsWindowVisible(window)) return TRUE;
  if (s->thread != 0 && ThreadOf(window) != s->thread) return TRUE;
  if (s->caption != nullptr) {
    char text[256];
    WindowText(window, text, sizeof text);
    if (std::strcmp(text, s->caption) != 0) return TRUE;
  }
  s->found = window;
  return FALSE;
}

HWND FindTopWindow(const char* cls, const char* caption, DWORD thread, bool visibleOnly) {
  TopSearch s = {cls, caption, thread, visibleOnly, nullptr};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// ---- the title buttons ----

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

BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
  auto* list = reinterpret_cast<ButtonList*>(param);
  if (GetParent(child) != list->parent || !ClassIs(child, "Button")) return TRUE;
  if (list->count >= kMaxButtons) return FALSE;
  ButtonInfo& b = list->items[list->count++];
  b.hwnd = child;
  b.id = GetDlgCtrlID(child);
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, list->parent, reinterpret_cast<POINT*>(&r), 2);
  b.client = r;
  return TRUE;
}

void CollectButtons(HWND window, ButtonList* list) {
  list->parent = window;
  list->count = 0;
  EnumChildWindows(window, CollectButton, reinterpret_cast<LPARAM>(list));
  // By control id, which is the clock index.
  for (int i = 1; i < list->count; ++i) {
    for (int j = i; j > 0 && list->items[j - 1].id > list->items[j].id; --j) {
      ButtonInfo t = list->items[j];
      list->items[j] = list->items[j - 1];
      list->items[j - 1] = t;
    }
  }
}

const ButtonInfo* ButtonOf(const ButtonList& list, int id) {
  for (int i = 0; i < list.count; ++i) {
    if (list.items[i].id == id) return &list.items[i];
  }
  return nullptr;
}

// ---- arguments ----

struct Args {
  char** v;
  int n;
};

bool IntArg(const Args& a, int i, long* out) {
  if (i >= a.n) return false;
  char* end = nullptr;
  *out = std::strtol(a.v[i], &end, 0);
  return end != a.v[i] && *end == '\0';
}

double SecondsArg(const Args& a, int i, double fallback) {
  if (i >= a.n) return fallback;
  return std::atof(a.v[i]);
}

HWND NeedWindow() {
  HWND w = MainWindow();
  if (w == nullptr) Fail("no HORLIX window");
  return w;
}

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
      std::printf("window %p %lu\n", static_cast<void*>(w), ProcessOf(w));
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

// drag X Y DX DY: presses the left mouse button at a client point of the
// strip, moves the mouse by DX, DY in steps and lets go, through the system's
// input queue, as a user's drag of the black area.
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

// ---- popup menus ----

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

// ---- tooltips ----

// Puts the mouse at a point of the strip (client coordinates) and waits for
// the tooltip the program shows there.
int HoverForTooltip(HWND w, POINT p, DWORD end) {
  ClientToScreen(w, &p);
  // Away from the strip first, so that entering the tool starts a new tip.
  SetCursorPos(0, 700);
  Sleep(150);
  SetCursorPos(p.x - 1, p.y);
  Sleep(60);
  SetCursorPos(p.x, p.y);
  const DWORD thread = ThreadOf(w);
  int nudge = 0;
  do {
    HWND tip = FindTopWindow("tooltips_class32", nullptr, thread, true);
    if (tip != nullptr) {
      char text[256];
      WindowText(tip, text, sizeof text);
      if (text[0] != '\0') {
        PrintLine("tooltip", text);
        SetCursorPos(0, 700);
        return 0;
      }
    }
    Sleep(50);
    // Small moves keep the tooltip's hover timer going.
    if (++nudge % 10 == 0) SetCursorPos(p.x + (nudge / 10) % 2, p.y);
  } while (Before(end));
  SetCursorPos(0, 700);
  return Fail("no tooltip showed");
}

// tooltip INDEX [SECONDS]: the tooltip of title button INDEX, which the
// program fills in on request.
int CmdTooltip(const Args& a) {
  long index = 0;
  if (!IntArg(a, 1, &index)) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 5));
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  ButtonList list;
  CollectButtons(w, &list);
  const ButtonInfo* b = ButtonOf(list, static_cast<int>(index));
  if (b == nullptr) return Fail("no title button with that index");
  POINT p = {(b->client.left + b->client.right) / 2, (b->client.top + b->client.bottom) / 2};
  return HoverForTooltip(w, p, end);
}

// tooltip-at X Y [SECONDS]: the tooltip at a client point of the strip.
int CmdTooltipAt(const Args& a) {
  long x = 0;
  long y = 0;
  if (!IntArg(a, 1, &x) || !IntArg(a, 2, &y)) return 2;
  const DWORD end = Deadline(SecondsArg(a, 3, 5));
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  POINT p = {static_cast<LONG>(x), static_cast<LONG>(y)};
  return HoverForTooltip(w, p, end);
}

// ---- screen pixels ----

struct Capture {
  int width, height;
  DWORD* pixels;  // top-down, 0x00RRGGBB
};

bool CaptureWindow(HWND w, Capture* cap) {
  RECT r;
  GetWindowRect(w, &r);
  cap->width = r.right - r.left;
  cap->height = r.bottom - r.top;
  cap->pixels = nullptr;
  if (cap->width <= 0 || cap->height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = cap->width;
  bi.bmiHeader.biHeight = -cap->height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(mem, dib);
    ok = BitBlt(mem, 0, 0, cap->width, cap->height, screen, r.left, r.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(mem, old);
    if (ok) {
      const size_t count = static_cast<size_t>(cap->width) * static_cast<size_t>(cap->height);
      cap->pixels = static_cast<DWORD*>(std::malloc(count * sizeof(DWORD)));
      if (cap->pixels != nullptr) {
        std::memcpy(cap->pixels, bits, count * sizeof(DWORD));
      } else {
        ok = false;
      }
    }
  }
  if (dib != nullptr) DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

// As a COLORREF (0x00BBGGRR), the way the program names its colours.
DWORD ColorAt(const Capture& cap, int x, int y) {
  const DWORD p = cap.pixels[static_cast<size_t>(y) * cap.width + x];
  const DWORD r = (p >> 16) & 0xFF;
  const DWORD g = (p >> 8) & 0xFF;
  const DWORD b = p & 0xFF;
  return r | (g << 8) | (b << 16);
}

// pixels: for each clock cell's time area (below its title button), how many
// pixels have each of the palette colours, black, or anything else.
int CmdPixels(const Args&) {
  static const DWORD kColors[] = {0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFFFFFF, 0x000000};
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  ButtonList list;
  CollectButtons(w, &list);
  Capture cap;
  if (!CaptureWindow(w, &cap)) return Fail("screen capture failed");
  RECT client;
  GetClientRect(w, &client);
  for (int i = 0; i < list.count; ++i) {
    const ButtonInfo& b = list.items[i];
    long counts[6] = {};
    long other = 0;
    const int top = b.client.bottom > 0 ? b.client.bottom : 0;
    for (int y = top; y < cap.height && y < client.bottom; ++y) {
      for (int x = b.client.left; x < b.client.right && x < cap.width; ++x) {
        if (x < 0) continue;
        const DWORD c = ColorAt(cap, x, y);
        int k = 0;
        while (k < 6 && kColors[k] != c) ++k;
        if (k < 6) {
          ++counts[k];
        } else {
          ++other;
        }
      }
    }
    std::printf("cell %d %ld %d %ld %ld", b.id, b.client.left, top, b.client.right,
                static_cast<long>(client.bottom));
    for (int k = 0; k < 6; ++k) std::printf(" %06lX=%ld", kColors[k], counts[k]);
    std::printf(" other=%ld\n", other);
  }
  std::printf("cells %d\n", list.count);
  std::free(cap.pixels);
  return 0;
}

// shot FILE: the window as a 24-bit BMP, for looking at a failure.
int CmdShot(const Args& a) {
  if (a.n < 2) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  Capture cap;
  if (!CaptureWindow(w, &cap)) return Fail("screen capture failed");
  FILE* f = std::fopen(a.v[1], "wb");
  if (f == nullptr) {
    std::free(cap.pixels);
    return Fail("cannot write %s", a.v[1]);
  }
  const int row = (cap.width * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(row * cap.height);
  ih.biSize = sizeof ih;
  ih.biWidth = cap.width;
  ih.biHeight = cap.height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  std::fwrite(&fh, sizeof fh, 1, f);
  std::fwrite(&ih, sizeof ih, 1, f);
  unsigned char line[3 * 4096 + 4];
  for (int y = cap.height - 1; y >= 0; --y) {
    std::memset(line, 0, sizeof line);
    for (int x = 0; x < cap.width && x < 4096; ++x) {
      const DWORD p = cap.pixels[static_cast<size_t>(y) * cap.width + x];
      line[3 * x] = static_cast<unsigned char>(p & 0xFF);
      line[3 * x + 1] = static_cast<unsigned char>((p >> 8) & 0xFF);
      line[3 * x + 2] = static_cast<unsigned char>((p >> 16) & 0xFF);
    }
    std::fwrite(line, 1, static_cast<size_t>(row), f);
  }
  std::fclose(f);
  std::free(cap.pixels);
  std::printf("shot %s\n", a.v[1]);
  return 0;
}

// ---- clipboard ----

bool OpenClipboardSoon() {
  const DWORD end = GetTickCount() + 2000;
  do {
    if (OpenClipboard(nullptr)) return true;
    Sleep(20);
  } while (Before(end));
  return false;
}

int CmdClipboard(const Args&) {
  if (!OpenClipboardSoon()) return Fail("cannot open the clipboard");
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data == nullptr) {
    CloseClipboard();
    std::printf("clipboard-empty\n");
    return 0;
  }
  const char* text = static_cast<const char*>(GlobalLock(data));
  char copy[1024] = "";
  if (text != nullptr) {
    const SIZE_T size = GlobalSize(data);
    size_t n = 0;
    while (n < size && n + 1 < sizeof copy && text[n] != '\0') {
      copy[n] = text[n];
      ++n;
    }
    copy[n] = '\0';
    GlobalUnlock(data);
  }
  CloseClipboard();
  PrintLine("clipboard", copy);
  return 0;
}

int CmdClipboardSet(const Args& a) {
  if (a.n < 2) return 2;
  if (!OpenClipboardSoon()) return Fail("cannot open the clipboard");
  EmptyClipboard();
  const size_t length = std::strlen(a.v[1]);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
  bool ok = false;
  if (block != nullptr) {
    char* p = static_cast<char*>(GlobalLock(block));
    std::memcpy(p, a.v[1], length + 1);
    GlobalUnlock(block);
    ok = SetClipboardData(CF_TEXT, block) != nullptr;
    if (!ok) GlobalFree(block);
  }
  CloseClipboard();
  if (!ok) return Fail("cannot set the clipboard");
  PrintLine("clipboard-set", a.v[1]);
  return 0;
}

// ---- registry ----

// "." names the main key itself, anything else a subkey of it.
void KeyPath(const char* sub, char* out, size_t size) {
  if (std::strcmp(sub, ".") == 0) {
    Copy(out, size, kMainKey);
  } else {
    std::snprintf(out, size, "%s\\%s", kMainKey, sub);
  }
}

void PrintValue(const char* sub, const char* name, DWORD type, const BYTE* data, DWORD size) {
  char text[1200];
  int used = 0;
  switch (type) {
    case REG_DWORD:
      if (size == 4) {
        int32_t v;
        std::memcpy(&v, data, 4);
        std::snprintf(text, sizeof text, "dword %ld", static_cast<long>(v));
      } else {
        std::snprintf(text, sizeof text, "dword-size-%lu", size);
      }
      break;
    case REG_SZ:
    case REG_EXPAND_SZ: {
      // The stored size with the text: a text written with its NUL has
      // size = length + 1.
      char value[1024];
      DWORD n = size < sizeof value - 1 ? size : sizeof value - 1;
      std::memcpy(value, data, n);
      value[n] = '\0';
      std::snprintf(text, sizeof text, "%s %lu %s", type == REG_SZ ? "sz" : "expand", size, value);
      break;
    }
    default:
      used = std::snprintf(text, sizeof text, "type-%lu %lu ", type, size);
      for (DWORD i = 0; i < size && i < 64 && used + 3 < static_cast<int>(sizeof text); ++i) {
        used += std::snprintf(text + used, sizeof text - used, "%02x", data[i]);
      }
      break;
  }
  char word[300];
  std::snprintf(word, sizeof word, "value %s %s", sub, name[0] != '\0' ? name : "(default)");
  PrintLine(word, text);
}

void DumpKey(HKEY key, const char* sub) {
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof name;
    BYTE data[1100];
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    const LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA) {
      char word[300];
      std::snprintf(word, sizeof word, "value %s %s", sub, name);
      PrintLine(word, "too-long");
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    PrintValue(sub, name, type, data, dataSize);
  }
}

// reg-dump: every value of the main key and of its subkeys, one line each:
// "value SUBKEY NAME TYPE ...", then "keys K" (how many subkeys).
int CmdRegDump(const Args&) {
  HKEY main;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_READ, &main) != ERROR_SUCCESS) {
    std::printf("no-key\n");
    return 0;
  }
  DumpKey(main, ".");
  DWORD keys = 0;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(main, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    ++keys;
    HKEY sub;
    if (RegOpenKeyExA(main, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    std::printf("key %s\n", name);
    DumpKey(sub, name);
    RegCloseKey(sub);
  }
  RegCloseKey(main);
  std::printf("keys %lu\n", keys);
  return 0;
}

int CmdRegWipe(const Args&) {
  const LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, kMainKey);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail("cannot delete the key");
  std::printf("wiped\n");
  return 0;
}

int HexByte(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// reg-put SUBKEY NAME TYPE DATA: TYPE dword (a number), qword (a number), sz,
// expand (a text, stored with its NUL), binary (hexadecimal bytes), or
// longsz COUNT (a text of COUNT letters).
int CmdRegPut(const Args& a) {
  if (a.n < 5) return 2;
  char path[512];
  KeyPath(a.v[1], path, sizeof path);
  const char* name = a.v[2];
  const char* type = a.v[3];
  const char* value = a.v[4];
  static BYTE data[70000];
  DWORD size = 0;
  DWORD regType = REG_NONE;
  if (std::strcmp(type, "dword") == 0) {
    const long v = std::strtol(value, nullptr, 0);
    const int32_t v32 = static_cast<int32_t>(v);
    std::memcpy(data, &v32, 4);
    size = 4;
    regType = REG_DWORD;
  } else if (std::strcmp(type, "qword") == 0) {
    const long long v = std::strtoll(value, nullptr, 0);
    std::memcpy(data, &v, 8);
    size = 8;
    regType = REG_QWORD;
  } else if (std::strcmp(type, "sz") == 0 || std::strcmp(type, "expand") == 0) {
    size = static_cast<DWORD>(std::strlen(value) + 1);
    if (size > sizeof data) return 2;
    std::memcpy(data, value, size);
    regType = type[0] == 's' ? REG_SZ : REG_EXPAND_SZ;
  } else if (std::strcmp(type, "longsz") == 0) {
    const long count = std::strtol(value, nullptr, 0);
    if (count < 0 || count + 1 > static_cast<long>(sizeof data)) return 2;
    for (long i = 0; i < count; ++i) data[i] = static_cast<BYTE>('A' + i % 26);
    data[count] = 0;
    size = static_cast<DWORD>(count + 1);
    regType = REG_SZ;
  } else if (std::strcmp(type, "binary") == 0) {
    const size_t n = std::strlen(value);
    if (n % 2 != 0 || n / 2 > sizeof data) return 2;
    for (size_t i = 0; i < n / 2; ++i) {
      const int hi = HexByte(value[2 * i]);
      const int lo = HexByte(value[2 * i + 1]);
      if (hi < 0 || lo < 0) return 2;
      data[i] = static_cast<BYTE>(hi * 16 + lo);
    }
    size = static_cast<DWORD>(n / 2);
    regType = REG_BINARY;
  } else {
    return 2;
  }
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return Fail("cannot create %s", path);
  }
  const LONG rc = RegSetValueExA(key, name, 0, regType, data, size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Fail("cannot set %s", name);
  std::printf("put %s %s %s\n", a.v[1], name, type);
  return 0;
}

// reg-delete SUBKEY [NAME]: one value, or the whole subkey without NAME.
int CmdRegDelete(const Args& a) {
  if (a.n < 2) return 2;
  char path[512];
  KeyPath(a.v[1], path, sizeof path);
  if (a.n < 3) {
    const LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, path);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail("cannot delete %s", path);
    std::printf("deleted %s\n", a.v[1]);
    return 0;
  }
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    std::printf("deleted %s %s\n", a.v[1], a.v[2]);
    return 0;
  }
  const LONG rc = RegDeleteValueA(key, a.v[2]);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail("cannot delete %s", a.v[2]);
  std::printf("deleted %s %s\n", a.v[1], a.v[2]);
  return 0;
}

// ---- dialogs of the program ----
//
// A dialog is named by its caption, compared exactly, or as a prefix when the
// pattern ends with '*' ("Clock Properties*"). Controls are named by their
// ids. Messages whose data the system carries across processes (texts,
// combo-box items, button states) are sent directly; the list view and the
// month calendar take pointers, so their records live in memory allocated
// inside the program's process.

bool CaptionMatches(const char* text, const char* pattern) {
  const size_t n = std::strlen(pattern);
  if (n > 0 && pattern[n - 1] == '*') return std::strncmp(text, pattern, n - 1) == 0;
  return std::strcmp(text, pattern) == 0;
}

struct DialogSearch {
  const char* pattern;
  DWORD notPid;  // 0: any process
  HWND found;
};

BOOL CALLBACK FindDialogWindow(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<DialogSearch*>(param);
  if (!ClassIs(window, "#32770") || !IsWindowVisible(window)) return TRUE;
  if (s->notPid != 0 && ProcessOf(window) == s->notPid) return TRUE;
  char text[256];
  WindowText(window, text, sizeof text);
  if (!CaptionMatches(text, s->pattern)) return TRUE;
  s->found = window;
  return FALSE;
}

HWND FindDialog(const char* pattern) {
  DialogSearch s = {pattern, GetCurrentProcessId(), nullptr};
  EnumWindows(FindDialogWindow, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND WaitDialog(const char* pattern, DWORD end) {
  do {
    HWND d = FindDialog(pattern);
    if (d != nullptr) return d;
    Sleep(20);
  } while (Before(end));
  return nullptr;
}

// The dialog of argument 1 (waiting up to 5 s for it) and the control of
// argument 2.
HWND NeedDialog(const Args& a) {
  if (a.n < 2) return nullptr;
  HWND d = WaitDialog(a.v[1], Deadline(5));
  if (d == nullptr) Fail("no dialog \"%s\"", a.v[1]);
  return d;
}

HWND NeedControl(const Args& a, HWND* dialog) {
  long id = 0;
  if (!IntArg(a, 2, &id)) return nullptr;
  *dialog = NeedDialog(a);
  if (*dialog == nullptr) return nullptr;
  HWND c = GetDlgItem(*dialog, static_cast<int>(id));
  if (c == nullptr) Fail("the dialog has no control %s", a.v[2]);
  return c;
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeout,
                           &result)) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

// wait-dialog CAPTION [SECONDS]: "dialog HWND PID LEFT TOP RIGHT BOTTOM", then
// its caption.
int CmdWaitDialog(const Args& a) {
  if (a.n < 2) return 2;
  HWND d = WaitDialog(a.v[1], Deadline(SecondsArg(a, 2, 10)));
  if (d == nullptr) return Fail("no dialog \"%s\" appeared", a.v[1]);
  RECT r;
  GetWindowRect(d, &r);
  char caption[256];
  WindowText(d, caption, sizeof caption);
  std::printf("dialog %p %lu %ld %ld %ld %ld\n", static_cast<void*>(d), ProcessOf(d), r.left,
              r.top, r.right, r.bottom);
  PrintLine("caption", caption);
  return 0;
}

// wait-no-dialog CAPTION [SECONDS]: no visible dialog of that caption is left.
int CmdWaitNoDialog(const Args& a) {
  if (a.n < 2) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 10));
  do {
    if (FindDialog(a.v[1]) == nullptr) {
      std::printf("no-dialog\n");
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("the dialog \"%s\" is still open", a.v[1]);
}

// controls CAPTION: one line per direct child of the dialog,
// "control ID CLASS ENABLED VISIBLE STATE LEFT TOP RIGHT BOTTOM TEXT", where
// STATE is a button's check state or a combo box's selected index (-1 for
// other controls), the rectangle is in the dialog's client coordinates and
// TEXT is the window text (a drop-down list's selected item). Then
// "focus ID" of the control with the keyboard focus (0 when none of them).
int CmdControls(const Args& a) {
  HWND d = NeedDialog(a);
  if (d == nullptr) return a.n < 2 ? 2 : 1;
  for (HWND c = GetWindow(d, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[64] = "";
    GetClassNameA(c, cls, sizeof cls);
    long state = -1;
    if (ClassIs(c, "Button")) state = static_cast<long>(SendTo(c, BM_GETCHECK, 0, 0));
    if (ClassIs(c, "ComboBox")) state = static_cast<long>(SendTo(c, CB_GETCURSEL, 0, 0));
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&r), 2);
    char text[1024];
    WindowText(c, text, sizeof text);
    char word[256];
    std::snprintf(word, sizeof word, "control %d %s %d %d %ld %ld %ld %ld %ld", GetDlgCtrlID(c),
                  cls, IsWindowEnabled(c) ? 1 : 0, IsWindowVisible(c) ? 1 : 0, state, r.left,
                  r.top, r.right, r.bottom);
    PrintLine(word, text);
  }
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  int focus = 0;
  if (GetGUIThreadInfo(ThreadOf(d), &info) && info.hwndFocus != nullptr) {
    for (HWND f = info.hwndFocus; f != nullptr && f != d; f = GetParent(f)) {
      if (GetParent(f) == d) focus = GetDlgCtrlID(f);
    }
  }
  std::printf("focus %d\n", focus);
  return 0;
}

// One entry of a combo box of another process. The wide message: across
// processes Wine hands the ANSI one back as UTF-16, cut after one letter.
bool ComboText(HWND combo, long index, char* out, size_t size) {
  out[0] = '\0';
  const LRESULT length = SendTo(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0 || length >= 512) return false;
  WCHAR wide[512] = {};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                           reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, kSendTimeout,
                           &result)) {
    return false;
  }
  wide[511] = 0;
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr) ==
      0) {
    out[0] = '\0';
    return false;
  }
  return true;
}

// combo-items CAPTION ID: "item I TEXT" for each entry in list order, then
// "selected I".
int CmdComboItems(const Args& a) {
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return a.n < 3 ? 2 : 1;
  const long count = static_cast<long>(SendTo(c, CB_GETCOUNT, 0, 0));
  for (long i = 0; i < count; ++i) {
    char text[512] = "";
    ComboText(c, i, text, sizeof text);
    char word[32];
    std::snprintf(word, sizeof word, "item %ld", i);
    PrintLine(word, text);
  }
  std::printf("items %ld\n", count);
  std::printf("selected %ld\n", static_cast<long>(SendTo(c, CB_GETCURSEL, 0, 0)));
  return 0;
}

// select CAPTION ID TEXT: selects the entry of exactly that text (case
// counts) and tells the dialog, as a choice in the list does.
int CmdSelect(const Args& a) {
  if (a.n < 4) return 2;
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return 1;
  const long count = static_cast<long>(SendTo(c, CB_GETCOUNT, 0, 0));
  long found = -1;
  for (long i = 0; i < count && found < 0; ++i) {
    char text[512] = "";
    if (ComboText(c, i, text, sizeof text) && std::strcmp(text, a.v[3]) == 0) found = i;
  }
  if (found < 0) return Fail("the list has no entry \"%s\"", a.v[3]);
  SendTo(c, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
  SendTo(d, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
  std::printf("selected %ld\n", found);
  return 0;
}

// set-text CAPTION ID TEXT: the control's text, as if typed.
int CmdSetText(const Args& a) {
  if (a.n < 4) return 2;
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return 1;
  if (SendTo(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.v[3])) < 0) {
    return Fail("the text was not taken");
  }
  PrintLine("text-set", a.v[3]);
  return 0;
}

// click CAPTION ID: a click on the button (posted, so that a message box it
// opens does not hold the driver).
int CmdClick(const Args& a) {
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return a.n < 3 ? 2 : 1;
  if (!PostMessageA(c, BM_CLICK, 0, 0)) return Fail("post failed");
  std::printf("clicked %s\n", a.v[2]);
  return 0;
}

// press CAPTION ID: the command of button ID reaches the dialog, as when it
// is pressed (posted); an ID without a button is a key's command (2 for
// Escape).
int CmdPress(const Args& a) {
  long id = 0;
  if (!IntArg(a, 2, &id)) return 2;
  HWND d = NeedDialog(a);
  if (d == nullptr) return 1;
  HWND c = GetDlgItem(d, static_cast<int>(id));
  if (!PostMessageA(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c))) {
    return Fail("post failed");
  }
  std::printf("pressed %s\n", a.v[2]);
  return 0;
}

// check CAPTION ID 0|1: clicks the check box until it shows that state.
int CmdCheck(const Args& a) {
  long want = 0;
  if (!IntArg(a, 3, &want)) return 2;
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return 1;
  const DWORD end = Deadline(5);
  if (SendTo(c, BM_GETCHECK, 0, 0) != want) PostMessageA(c, BM_CLICK, 0, 0);
  do {
    if (SendTo(c, BM_GETCHECK, 0, 0) == want) {
      std::printf("checked %s %ld\n", a.v[2], want);
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("the box does not take the state");
}

// file-dialog CAPTION NAME [SECONDS]: types NAME into the file name box of the
// open or save dialog and presses its OK.
int CmdFileDialog(const Args& a) {
  if (a.n < 3) return 2;
  const DWORD end = Deadline(SecondsArg(a, 3, 15));
  HWND d = WaitDialog(a.v[1], end);
  if (d == nullptr) return Fail("no file dialog \"%s\" appeared", a.v[1]);
  HWND name = nullptr;
  do {
    name = GetDlgItem(d, 1148);  // the name combo box of the newer dialog
    if (name == nullptr) name = GetDlgItem(d, 1152);  // the name edit of the older one
    if (name != nullptr && IsWindowVisible(name)) break;
    Sleep(20);
  } while (Before(end));
  if (name == nullptr) return Fail("the file dialog has no name box");
  SendTo(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.v[2]));
  char typed[MAX_PATH] = "";
  WindowText(name, typed, sizeof typed);
  if (std::strcmp(typed, a.v[2]) != 0) return Fail("the name box shows \"%s\"", typed);
  PostMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(d, IDOK)));
  do {
    if (!IsWindow(d) || !IsWindowVisible(d)) {
      PrintLine("file-chosen", a.v[2]);
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("the file dialog \"%s\" did not close", a.v[1]);
}

// ---- records inside the program's process ----

struct Remote {
  HANDLE process;
  char* base;
  SIZE_T size;
};

bool RemoteOpen(HWND window, SIZE_T size, Remote* r) {
  r->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_INFORMATION,
                           FALSE, ProcessOf(window));
  r->base = nullptr;
  r->size = size;
  if (r->process == nullptr) return false;
  r->base = static_cast<char*>(
      VirtualAllocEx(r->process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  return r->base != nullptr;
}

void RemoteClose(Remote* r) {
  if (r->base != nullptr) VirtualFreeEx(r->process, r->base, 0, MEM_RELEASE);
  if (r->process != nullptr) CloseHandle(r->process);
  r->base = nullptr;
  r->process = nullptr;
}

bool RemotePut(const Remote& r, SIZE_T offset, const void* data, SIZE_T n) {
  SIZE_T done = 0;
  return WriteProcessMemory(r.process, r.base + offset, data, n, &done) && done == n;
}

bool RemoteGet(const Remote& r, SIZE_T offset, void* data, SIZE_T n) {
  SIZE_T done = 0;
  return ReadProcessMemory(r.process, r.base + offset, data, n, &done) && done == n;
}

constexpr SIZE_T kRemoteSize = 4096;
constexpr SIZE_T kRemoteText = 1024;  // offset of the text buffer
constexpr int kRemoteTextChars = 1024;

HWND NeedListView(const Args& a, Remote* r) {
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return nullptr;
  if (!ClassIs(c, "SysListView32")) {
    Fail("control %s is not a list view", a.v[2]);
    return nullptr;
  }
  if (!RemoteOpen(c, kRemoteSize, r)) {
    RemoteClose(r);
    Fail("cannot reach the program's memory");
    return nullptr;
  }
  return c;
}

int ColumnCount(HWND view) {
  HWND header = reinterpret_cast<HWND>(SendTo(view, LVM_GETHEADER, 0, 0));
  if (header == nullptr) return 0;
  return static_cast<int>(SendTo(header, HDM_GETITEMCOUNT, 0, 0));
}

// lv-columns CAPTION ID: "column C WIDTH HEADING" for each column.
int CmdListColumns(const Args& a) {
  Remote r{};
  HWND view = NeedListView(a, &r);
  if (view == nullptr) return a.n < 3 ? 2 : 1;
  const int count = ColumnCount(view);
  for (int c = 0; c < count; ++c) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = r.base + kRemoteText;
    column.cchTextMax = kRemoteTextChars;
    char heading[kRemoteTextChars] = "";
    if (RemotePut(r, 0, &column, sizeof column) &&
        SendTo(view, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(r.base)) >
            0) {
      RemoteGet(r, 0, &column, sizeof column);
      RemoteGet(r, kRemoteText, heading, sizeof heading);
      heading[sizeof heading - 1] = '\0';
    }
    char word[64];
    std::snprintf(word, sizeof word, "column %d %ld %d", c,
                  static_cast<long>(SendTo(view, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0)),
                  column.fmt & LVCFMT_JUSTIFYMASK);
    PrintLine(word, heading);
  }
  std::printf("columns %d\n", count);
  const LRESULT ex = SendTo(view, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  std::printf("styles 0x%08lx 0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(view, GWL_STYLE)),
              static_cast<unsigned long>(ex));
  RemoteClose(&r);
  return 0;
}

// lv-rows CAPTION ID [COLUMN]: "row I DATA|TEXT0|TEXT1|..." for each row in
// display order (DATA: the item's data), or with COLUMN "row I -|TEXT" of
// that column alone, then "rows N". The records of all rows go into the program's memory
// in one piece and come back in one piece: only the messages are per cell.
int CmdListRows(const Args& a) {
  HWND d = nullptr;
  HWND view = NeedControl(a, &d);
  if (view == nullptr) return a.n < 3 ? 2 : 1;
  if (!ClassIs(view, "SysListView32")) return Fail("control %s is not a list view", a.v[2]);
  long only = -1;
  if (a.n > 3 && !IntArg(a, 3, &only)) return 2;
  const int columns = ColumnCount(view);
  const long count = static_cast<long>(SendTo(view, LVM_GETITEMCOUNT, 0, 0));
  if (count <= 0) {
    std::printf("rows 0\n");
    return 0;
  }
  constexpr int kCellChars = 128;
  const SIZE_T slot = sizeof(LVITEMA) + kCellChars;
  Remote r{};
  if (!RemoteOpen(view, slot * static_cast<SIZE_T>(count), &r)) {
    RemoteClose(&r);
    return Fail("cannot reach the program's memory");
  }
  auto* local = static_cast<char*>(std::calloc(static_cast<size_t>(count), slot));
  auto* lines = static_cast<char(*)[1024]>(std::calloc(static_cast<size_t>(count), 1024));
  if (local == nullptr || lines == nullptr) {
    std::free(local);
    std::free(lines);
    RemoteClose(&r);
    return Fail("out of memory");
  }
  const SIZE_T texts = sizeof(LVITEMA) * static_cast<SIZE_T>(count);
  bool ok = true;
  // Pass -1 reads the items' data, then each column in turn.
  if (only >= 0) {
    for (long i = 0; i < count; ++i) Copy(lines[i], 1024, "-");
  }
  for (int c = -1; c < columns && ok; ++c) {
    if (only >= 0 && c != only) continue;
    auto* items = reinterpret_cast<LVITEMA*>(local);
    for (long i = 0; i < count; ++i) {
      LVITEMA& item = items[i];
      item = LVITEMA{};
      item.iItem = static_cast<int>(i);
      if (c < 0) {
        item.mask = LVIF_PARAM;
      } else {
        item.iSubItem = c;
        item.pszText = r.base + texts + static_cast<SIZE_T>(i) * kCellChars;
        item.cchTextMax = kCellChars;
      }
    }
    std::memset(local + texts, 0, static_cast<size_t>(count) * kCellChars);
    ok = RemotePut(r, 0, local, slot * static_cast<SIZE_T>(count));
    for (long i = 0; i < count && ok; ++i) {
      const LPARAM at = reinterpret_cast<LPARAM>(r.base + sizeof(LVITEMA) * i);
      if (c < 0) {
        SendTo(view, LVM_GETITEMA, 0, at);
      } else {
        SendTo(view, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), at);
      }
    }
    ok = ok && RemoteGet(r, 0, local, slot * static_cast<SIZE_T>(count));
    for (long i = 0; i < count && ok; ++i) {
      char* line = lines[i];
      const size_t used = std::strlen(line);
      if (c < 0) {
        std::snprintf(line, 1024, "%ld", static_cast<long>(items[i].lParam));
      } else {
        char cell[kCellChars];
        Copy(cell, sizeof cell, local + texts + static_cast<size_t>(i) * kCellChars);
        std::snprintf(line + used, 1024 - used, "|%s", cell);
      }
    }
  }
  RemoteClose(&r);
  if (ok) {
    for (long i = 0; i < count; ++i) {
      char word[32];
      std::snprintf(word, sizeof word, "row %ld", i);
      PrintLine(word, lines[i]);
    }
    std::printf("rows %ld\n", count);
  }
  std::free(local);
  std::free(lines);
  if (!ok) return Fail("the rows cannot be read");
  return 0;
}

// lv-set-text CAPTION ID ROW COLUMN TEXT: overwrites one cell (to see a
// refill replace it).
int CmdListSetText(const Args& a) {
  long row = 0;
  long column = 0;
  if (a.n < 6 || !IntArg(a, 3, &row) || !IntArg(a, 4, &column)) return 2;
  Remote r{};
  HWND view = NeedListView(a, &r);
  if (view == nullptr) return 1;
  LVITEMA item{};
  item.iSubItem = static_cast<int>(column);
  item.pszText = r.base + kRemoteText;
  char text[kRemoteTextChars];
  Copy(text, sizeof text, a.v[5]);
  bool ok = RemotePut(r, kRemoteText, text, sizeof text) && RemotePut(r, 0, &item, sizeof item) &&
            SendTo(view, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(r.base)) > 0;
  RemoteClose(&r);
  if (!ok) return Fail("the cell was not set");
  PrintLine("cell-set", a.v[5]);
  return 0;
}

// lv-click-column CAPTION ID COLUMN: a left click on the column's heading.
int CmdListClickColumn(const Args& a) {
  long column = 0;
  if (!IntArg(a, 3, &column)) return 2;
  Remote r{};
  HWND view = NeedListView(a, &r);
  if (view == nullptr) return 1;
  HWND header = reinterpret_cast<HWND>(SendTo(view, LVM_GETHEADER, 0, 0));
  RECT item{};
  const bool ok = header != nullptr &&
                  SendTo(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                         reinterpret_cast<LPARAM>(r.base)) > 0 &&
                  RemoteGet(r, 0, &item, sizeof item);
  RemoteClose(&r);
  if (!ok) return Fail("the heading cannot be found");
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(header, WM_LBUTTONUP, 0, at);
  std::printf("heading-clicked %ld %ld %ld\n", column, item.left, item.right);
  return 0;
}

bool NeedCalendar(const Args& a, Remote* r, HWND* calendar) {
  HWND d = nullptr;
  *calendar = NeedControl(a, &d);
  if (*calendar == nullptr) return false;
  if (!ClassIs(*calendar, "SysMonthCal32")) {
    Fail("control %s is not a month calendar", a.v[2]);
    return false;
  }
  if (!RemoteOpen(*calendar, kRemoteSize, r)) {
    RemoteClose(r);
    Fail("cannot reach the program's memory");
    return false;
  }
  return true;
}

void PrintDate(const char* word, const SYSTEMTIME& t) {
  std::printf("%s %d %d %d %d %d %d %d\n", word, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
              t.wSecond, t.wMilliseconds);
}

// calendar-dates CAPTION ID: "today Y M D h m s ms" and "selected ..." of the
// month calendar.
int CmdCalendarDates(const Args& a) {
  Remote r{};
  HWND calendar = nullptr;
  if (!NeedCalendar(a, &r, &calendar)) return a.n < 3 ? 2 : 1;
  SYSTEMTIME t{};
  bool ok = SendTo(calendar, MCM_GETTODAY, 0, reinterpret_cast<LPARAM>(r.base)) > 0 &&
            RemoteGet(r, 0, &t, sizeof t);
  if (ok) PrintDate("today", t);
  SYSTEMTIME s{};
  if (ok && SendTo(calendar, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(r.base)) > 0 &&
      RemoteGet(r, 0, &s, sizeof s)) {
    PrintDate("selected", s);
  }
  RemoteClose(&r);
  if (!ok) return Fail("the calendar gives no date of today");
  return 0;
}

// calendar-click CAPTION ID Y M D: finds the date's cell through the
// calendar's hit test and clicks it.
int CmdCalendarClick(const Args& a) {
  long year = 0;
  long month = 0;
  long day = 0;
  if (!IntArg(a, 3, &year) || !IntArg(a, 4, &month) || !IntArg(a, 5, &day)) return 2;
  Remote r{};
  HWND calendar = nullptr;
  if (!NeedCalendar(a, &r, &calendar)) return 1;
  RECT client;
  GetClientRect(calendar, &client);
  // The first size the control knows: cbSize, pt, uHit, st.
  struct HitTest {
    UINT cbSize;
    POINT pt;
    UINT uHit;
    SYSTEMTIME st;
  };
  POINT best = {-1, -1};
  UINT bestHit = 0;
  for (LONG y = 2; y < client.bottom && bestHit != MCHT_CALENDARDATE; y += 4) {
    for (LONG x = 2; x < client.right && bestHit != MCHT_CALENDARDATE; x += 4) {
      HitTest hit{};
      hit.cbSize = sizeof hit;
      hit.pt = {x, y};
      if (!RemotePut(r, 0, &hit, sizeof hit)) break;
      SendTo(calendar, MCM_HITTEST, 0, reinterpret_cast<LPARAM>(r.base));
      if (!RemoteGet(r, 0, &hit, sizeof hit)) break;
      if ((hit.uHit & MCHT_CALENDARDATE) != MCHT_CALENDARDATE) continue;
      if (hit.st.wYear != year || hit.st.wMonth != month || hit.st.wDay != day) continue;
      // A day of the shown month beats a grey day of the month before or after.
      if (bestHit == 0 || hit.uHit == MCHT_CALENDARDATE) {
        best = {x, y};
        bestHit = hit.uHit;
      }
    }
  }
  RemoteClose(&r);
  if (bestHit == 0) return Fail("the calendar does not show that date");
  const LPARAM at = MAKELPARAM(best.x, best.y);
  PostMessageA(calendar, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(calendar, WM_LBUTTONUP, 0, at);
  std::printf("date-clicked %ld %ld 0x%x\n", best.x, best.y, bestHit);
  return 0;
}

// pixels-of CAPTION ID COLOR...: how many pixels of the control on the screen
// have each colour (COLORREF in hexadecimal, 0x00BBGGRR).
int CmdPixelsOf(const Args& a) {
  if (a.n < 4) return 2;
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return 1;
  Capture cap;
  if (!CaptureWindow(c, &cap)) return Fail("screen capture failed");
  std::printf("pixels %d", cap.width * cap.height);
  for (int k = 3; k < a.n; ++k) {
    const DWORD want = static_cast<DWORD>(std::strtoul(a.v[k], nullptr, 16));
    long n = 0;
    for (int y = 0; y < cap.height; ++y) {
      for (int x = 0; x < cap.width; ++x) {
        if (ColorAt(cap, x, y) == want) ++n;
      }
    }
    std::printf(" %06lX=%ld", static_cast<unsigned long>(want), n);
  }
  std::printf("\n");
  std::free(cap.pixels);
  return 0;
}

// dblclick-title INDEX: a double click with the mouse on clock INDEX's title.
int CmdDoubleClickTitle(const Args& a) {
  long index = 0;
  if (!IntArg(a, 1, &index)) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  ButtonList list;
  CollectButtons(w, &list);
  const ButtonInfo* b = ButtonOf(list, static_cast<int>(index));
  if (b == nullptr) return Fail("no title button with that index");
  POINT p = {(b->client.left + b->client.right) / 2, (b->client.top + b->client.bottom) / 2};
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

// wait-other-window PID [SECONDS]: a visible HORLIX window of another process
// than PID (the instance a restart started).
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

int CmdWaitOtherWindow(const Args& a) {
  long pid = 0;
  if (!IntArg(a, 1, &pid)) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 20));
  do {
    OtherSearch s = {static_cast<DWORD>(pid), nullptr};
    EnumWindows(FindOtherMain, reinterpret_cast<LPARAM>(&s));
    if (s.found != nullptr) {
      std::printf("window %p %lu\n", static_cast<void*>(s.found), ProcessOf(s.found));
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

// ---- the Run key ----

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Horlix";

// run-get: "run TYPE SIZE TEXT" of the value "Horlix", or "run-absent".
int CmdRunGet(const Args&) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    std::printf("run-absent\n");
    return 0;
  }
  char data[1100];
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  const LONG rc =
      RegQueryValueExA(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    std::printf("run-absent\n");
    return 0;
  }
  data[size] = '\0';
  char word[64];
  std::snprintf(word, sizeof word, "run %lu %lu", type, size);
  PrintLine(word, data);
  return 0;
}

// run-put TEXT: the value "Horlix" as a text; run-delete: no value.
int CmdRunPut(const Args& a) {
  if (a.n < 2) return 2;
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return Fail("cannot open the Run key");
  }
  const LONG rc = RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(a.v[1]),
                                 static_cast<DWORD>(std::strlen(a.v[1]) + 1));
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Fail("cannot set the Run value");
  PrintLine("run-set", a.v[1]);
  return 0;
}

int CmdRunDelete(const Args&) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, kRunValue);
    RegCloseKey(key);
  }
  std::printf("run-deleted\n");
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

// ---- soak: the program's resources and its painting over time ----
// (used by tests/soak/run_soak.py)

struct WindowCount {
  DWORD pid;
  int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
  ++reinterpret_cast<WindowCount*>(param)->count;
  return TRUE;
}

BOOL CALLBACK CountTop(HWND window, LPARAM param) {
  auto* c = reinterpret_cast<WindowCount*>(param);
  if (ProcessOf(window) != c->pid) return TRUE;
  ++c->count;
  EnumChildWindows(window, CountChild, param);
  return TRUE;
}

// resources: what the program holds: GDI and USER objects (-1 where the
// system does not count them), private and working-set bytes, kernel
// handles, and its windows (top-level and child).
int CmdResources(const Args&) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  const DWORD pid = ProcessOf(w);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) return Fail("cannot open the program's process");
  long objects[2];
  const DWORD kinds[2] = {GR_GDIOBJECTS, GR_USEROBJECTS};
  for (int i = 0; i < 2; ++i) {
    SetLastError(0);
    const DWORD n = GetGuiResources(process, kinds[i]);
    objects[i] = n == 0 && GetLastError() != 0 ? -1 : static_cast<long>(n);
  }
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                            sizeof memory)) {
    CloseHandle(process);
    return Fail("GetProcessMemoryInfo failed");
  }
  DWORD handles = 0;
  if (!GetProcessHandleCount(process, &handles)) handles = 0;
  CloseHandle(process);
  WindowCount windows = {pid, 0};
  EnumWindows(CountTop, reinterpret_cast<LPARAM>(&windows));
  std::printf("resources pid=%lu gdi=%ld user=%ld private=%llu working=%llu handles=%lu windows=%d\n",
              static_cast<unsigned long>(pid), objects[0], objects[1],
              static_cast<unsigned long long>(memory.PrivateUsage),
              static_cast<unsigned long long>(memory.WorkingSetSize),
              static_cast<unsigned long>(handles), windows.count);
  std::fflush(stdout);
  return 0;
}

// ticks SECONDS: samples the time row of every cell about every 50 ms for
// SECONDS and prints per cell how often its pixels changed and the longest
// stretch without a change, so a clock showing seconds proves that every
// second was painted. "ticks" gives the samples and the longest sampling gap.
int CmdTicks(const Args& a) {
  long seconds = 0;
  if (!IntArg(a, 1, &seconds) || seconds < 1 || seconds > 120) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  static ButtonList list;
  CollectButtons(w, &list);
  RECT client;
  GetClientRect(w, &client);
  struct Watch {
    unsigned long long hash;
    DWORD lastChange;
    DWORD longest;
    long changes;
  };
  static Watch watch[kMaxButtons];
  const DWORD start = GetTickCount();
  const DWORD end = start + static_cast<DWORD>(seconds) * 1000;
  DWORD lastSample = start;
  DWORD longestSample = 0;
  long samples = 0;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    Capture cap;
    if (!CaptureWindow(w, &cap)) return Fail("screen capture failed");
    const DWORD now = GetTickCount();
    for (int i = 0; i < list.count; ++i) {
      const ButtonInfo& b = list.items[i];
      unsigned long long hash = 1469598103934665603ull;
      const int top = b.client.bottom > 0 ? b.client.bottom : 0;
      for (int y = top; y < cap.height && y < client.bottom; ++y) {
        for (int x = b.client.left < 0 ? 0 : b.client.left; x < b.client.right && x < cap.width; ++x) {
          hash = (hash ^ cap.pixels[static_cast<size_t>(y) * cap.width + x]) * 1099511628211ull;
        }
      }
      Watch& k = watch[i];
      if (samples == 0) {
        k = Watch{hash, now, 0, 0};
      } else if (hash != k.hash) {
        if (now - k.lastChange > k.longest) k.longest = now - k.lastChange;
        k.hash = hash;
        k.lastChange = now;
        ++k.changes;
      }
    }
    std::free(cap.pixels);
    if (samples > 0 && now - lastSample > longestSample) longestSample = now - lastSample;
    lastSample = now;
    ++samples;
    Sleep(50);
  }
  const DWORD stop = GetTickCount();
  for (int i = 0; i < list.count; ++i) {
    Watch& k = watch[i];
    if (stop - k.lastChange > k.longest) k.longest = stop - k.lastChange;
    std::printf("tick-cell %d %ld %lu\n", list.items[i].id, k.changes,
                static_cast<unsigned long>(k.longest));
  }
  std::printf("ticks %ld %lu %lu\n", samples, static_cast<unsigned long>(stop - start),
              static_cast<unsigned long>(longestSample));
  std::fflush(stdout);
  return 0;
}

// ---- end of the soak commands ----
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

// ---- update commands: the update dialog's progress list, the updater's console ----

// lb-items CAPTION ID: one line "item INDEX TEXT" per entry of list box ID
// of the dialog, then "count N".
int CmdListBoxItems(const Args& a) {
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return a.n < 3 ? 2 : 1;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutA(c, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &count)) {
    return Fail("the list box does not answer");
  }
  const long n = static_cast<long>(count);
  for (long i = 0; i < n; ++i) {
    DWORD_PTR len = 0;
    SendMessageTimeoutA(c, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, SMTO_ABORTIFHUNG, kSendTimeout,
                        &len);
    // The wide message, as for combo boxes: across processes Wine cuts the
    // ANSI answer after one letter.
    char text[1024] = "";
    WCHAR wide[1024] = {};
    if (len < 1024 &&
        SendMessageTimeoutW(c, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide),
                            SMTO_ABORTIFHUNG, kSendTimeout, nullptr)) {
      wide[1023] = 0;
      if (WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr) == 0) {
        text[0] = '\0';
      }
    }
    char word[32];
    std::snprintf(word, sizeof word, "item %ld", i);
    PrintLine(word, text);
  }
  std::printf("count %ld\n", n);
  return 0;
}

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
  const DWORD parent = ParentOf(pid);
  char parentImage[MAX_PATH] = "?";
  if (parent == 0 || !ImageOf(parent, parentImage, sizeof parentImage)) {
    Copy(parentImage, sizeof parentImage, "?");
  }
  char word[32];
  std::snprintf(word, sizeof word, "parent %lu", static_cast<unsigned long>(parent));
  PrintLine(word, parentImage);
  return 0;
}

// ---- end of the installer's window ----

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
    {"pixels", CmdPixels},
    {"shot", CmdShot},
    {"clipboard", CmdClipboard},
    {"clipboard-set", CmdClipboardSet},
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

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: horlix-driver COMMAND [ARGS...] [-- COMMAND [ARGS...]]...\n");
    return 2;
  }
  int start = 1;
  while (start < argc) {
    int end = start;
    while (end < argc && std::strcmp(argv[end], "--") != 0) ++end;
    if (end > start) {
      const Args a = {argv + start, end - start};
      const int rc = RunOne(a);
      if (rc != 0) return rc;
    }
    start = end + 1;
  }
  return 0;
}
