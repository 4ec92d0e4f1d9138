// horlix-driver: the helpers every group of commands uses: output, deadlines,
// windows of any process, the title buttons and the arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver.h"

namespace driver {

int Fail(const char* format, const char* detail) {
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

namespace {

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

}  // namespace

HWND FindTopWindow(const char* cls, const char* caption, DWORD thread, bool visibleOnly) {
  TopSearch s = {cls, caption, thread, visibleOnly, nullptr};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// ---- the title buttons ----

namespace {

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

}  // namespace

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

bool TitleCentre(HWND window, long index, POINT* p) {
  ButtonList list;
  CollectButtons(window, &list);
  const ButtonInfo* b = ButtonOf(list, static_cast<int>(index));
  if (b == nullptr) return false;
  *p = POINT{(b->client.left + b->client.right) / 2, (b->client.top + b->client.bottom) / 2};
  return true;
}

// ---- arguments ----

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

}  // namespace driver
