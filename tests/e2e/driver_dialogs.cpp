// horlix-driver: the program's dialogs and their controls: buttons, texts,
// combo boxes, file dialogs, list views, month calendars and list boxes.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver.h"

namespace driver {

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

namespace {

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

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeout,
                           &result)) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

// The dialog of argument 1 (waiting up to 5 s for it) and the control of
// argument 2.
HWND NeedDialog(const Args& a) {
  if (a.n < 2) return nullptr;
  HWND d = WaitDialog(a.v[1], Deadline(5));
  if (d == nullptr) Fail("no dialog \"%s\"", a.v[1]);
  return d;
}

}  // namespace

HWND NeedControl(const Args& a, HWND* dialog) {
  long id = 0;
  if (!IntArg(a, 2, &id)) return nullptr;
  *dialog = NeedDialog(a);
  if (*dialog == nullptr) return nullptr;
  HWND c = GetDlgItem(*dialog, static_cast<int>(id));
  if (c == nullptr) Fail("the dialog has no control %s", a.v[2]);
  return c;
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

namespace {

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

}  // namespace

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

// enter CAPTION ID [down]: the Enter key (or the Down arrow) pressed in the
// control, as the keyboard delivers it: posted to the control, so that the
// dialog's own loop sees it.
int CmdEnter(const Args& a) {
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return a.n < 3 ? 2 : 1;
  const WPARAM key = a.n > 3 && std::strcmp(a.v[3], "down") == 0 ? VK_DOWN : VK_RETURN;
  const LPARAM down = 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16);
  if (!PostMessageA(c, WM_KEYDOWN, key, down) ||
      !PostMessageA(c, WM_KEYUP, key, down | 0xC0000000)) {
    return Fail("post failed");
  }
  std::printf("entered %s\n", a.v[2]);
  return 0;
}

// settle CAPTION ID [SECONDS]: returns once the dialog's thread has handled
// everything posted to it before: a marker (the button's pushed look, set and
// cleared) is posted behind it and waited for. A message box that an earlier
// click opens runs its own loop, which handles the marker too, so a check
// for "no box" after this sees any box the click was going to show.
int CmdSettle(const Args& a) {
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return a.n < 3 ? 2 : 1;
  const DWORD end = Deadline(SecondsArg(a, 3, 10));
  const BOOL marks[] = {TRUE, FALSE};
  for (const BOOL pushed : marks) {
    if (!PostMessageA(c, BM_SETSTATE, pushed, 0)) return Fail("post failed");
    for (;;) {
      if (!IsWindow(c)) {
        std::printf("settled gone\n");
        return 0;
      }
      const LRESULT state = SendTo(c, BM_GETSTATE, 0, 0);
      if (state != -1 && ((state & BST_PUSHED) != 0) == (pushed != FALSE)) break;
      if (!Before(end)) return Fail("the dialog \"%s\" did not handle its messages", a.v[1]);
      Sleep(10);
    }
  }
  std::printf("settled\n");
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

// key CAPTION ID VK: posts a key press to a control, through the program's
// message loop as a typed key goes.
int CmdKey(const Args& a) {
  long vk = 0;
  if (!IntArg(a, 3, &vk)) return 2;
  HWND d = nullptr;
  HWND c = NeedControl(a, &d);
  if (c == nullptr) return 1;
  if (!PostMessageA(c, WM_KEYDOWN, static_cast<WPARAM>(vk), 1)) return Fail("post failed");
  std::printf("key %ld\n", vk);
  return 0;
}

// shot-dialog CAPTION FILE: the dialog as a 24-bit BMP (pictures for the docs).
int CmdShotDialog(const Args& a) {
  if (a.n < 3) return 2;
  HWND d = NeedDialog(a);
  return d == nullptr ? 1 : WriteShot(d, a.v[2]);
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

namespace {

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

}  // namespace

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
  // A heading wider than the list is clicked in the part that shows.
  RECT shown{};
  GetClientRect(header, &shown);
  const LONG right = item.right < shown.right ? item.right : shown.right;
  const LPARAM at = MAKELPARAM((item.left + right) / 2, (item.top + item.bottom) / 2);
  PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(header, WM_LBUTTONUP, 0, at);
  std::printf("heading-clicked %ld %ld %ld\n", column, item.left, item.right);
  return 0;
}

namespace {

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

}  // namespace

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

// ---- update commands: the update dialog's progress list ----

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

}  // namespace driver
