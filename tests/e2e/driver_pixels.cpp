// horlix-driver: what the screen shows: tooltips, pixel counts, screenshots,
// and the soak commands (the program's resources, its painting over time).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver.h"

namespace driver {

// ---- tooltips ----

namespace {

// The strip's preview tip, "+3:15  Tue 8 Dec 18:30": a sign, hours, a colon,
// two digits of minutes and two spaces (a title tip has a name and ": ").
bool LooksLikePreviewTip(const char* text) {
  if (text[0] != '+' && text[0] != '-') return false;
  size_t i = 1;
  if (text[i] < '0' || text[i] > '9') return false;
  while (text[i] >= '0' && text[i] <= '9') ++i;
  return text[i] == ':' && text[i + 1] >= '0' && text[i + 1] <= '9' && text[i + 2] >= '0' &&
         text[i + 2] <= '9' && text[i + 3] == ' ' && text[i + 4] == ' ';
}

struct TipSearch {
  DWORD thread;
  bool preview;
  char text[256];
  bool found;
  RECT rect;
};

BOOL CALLBACK FindTip(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<TipSearch*>(param);
  if (!IsWindowVisible(window) || !ClassIs(window, "tooltips_class32")) return TRUE;
  if (GetWindowThreadProcessId(window, nullptr) != s->thread) return TRUE;
  WindowText(window, s->text, sizeof s->text);
  if (s->text[0] == '\0' || LooksLikePreviewTip(s->text) != s->preview) return TRUE;
  s->found = true;
  GetWindowRect(window, &s->rect);
  return FALSE;
}

// The text of a visible tooltip of the thread: the preview tip, or any other.
bool VisibleTip(DWORD thread, bool preview, char* out, size_t size, RECT* rect = nullptr) {
  TipSearch s = {thread, preview, "", false, {}};
  EnumWindows(FindTip, reinterpret_cast<LPARAM>(&s));
  if (s.found) Copy(out, size, s.text);
  if (rect != nullptr) *rect = s.rect;
  return s.found;
}

// Puts the mouse at a point of the strip (client coordinates) and waits for
// the tooltip the program shows there (not the preview tip); then the mouse
// goes away from the strip, or with back to where it was.
int HoverForTooltip(HWND w, POINT p, DWORD end, bool back = false) {
  POINT before{};
  GetCursorPos(&before);
  const POINT after = back ? before : POINT{0, 700};
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
    char text[256];
    if (VisibleTip(thread, false, text, sizeof text)) {
      PrintLine("tooltip", text);
      SetCursorPos(after.x, after.y);
      return 0;
    }
    Sleep(50);
    // Small moves keep the tooltip's hover timer going.
    if (++nudge % 10 == 0) SetCursorPos(p.x + (nudge / 10) % 2, p.y);
  } while (Before(end));
  SetCursorPos(after.x, after.y);
  return Fail("no tooltip showed");
}

}  // namespace

// tooltip INDEX [SECONDS [back]]: the tooltip of title button INDEX, which
// the program fills in on request.
int CmdTooltip(const Args& a) {
  long index = 0;
  if (!IntArg(a, 1, &index)) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 5));
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  POINT p;
  if (!TitleCentre(w, index, &p)) return Fail("no title button with that index");
  return HoverForTooltip(w, p, end, a.n > 3 && std::strcmp(a.v[3], "back") == 0);
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

namespace {

// A text that starts with one of the "|"-separated prefixes.
bool StartsWithOneOf(const char* text, const char* prefixes) {
  for (const char* p = prefixes;; ++p) {
    const char* end = std::strchr(p, '|');
    const size_t length = end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p);
    if (std::strncmp(text, p, length) == 0) return true;
    if (end == nullptr) return false;
    p = end;
  }
}

}  // namespace

// preview-tip PREFIX[|PREFIX...] [SECONDS]: waits for the strip's preview tip
// to show a text that starts with one of the prefixes ("none": for no
// preview tip) and prints it, and where it is on the screen
// ("preview-rect LEFT TOP RIGHT BOTTOM").
int CmdPreviewTip(const Args& a) {
  if (a.n < 2) return 2;
  const DWORD end = Deadline(SecondsArg(a, 2, 5));
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  const bool none = std::strcmp(a.v[1], "none") == 0;
  char text[256] = "";
  RECT r{};
  do {
    const bool shown = VisibleTip(ThreadOf(w), true, text, sizeof text, &r);
    if (none ? !shown : (shown && StartsWithOneOf(text, a.v[1]))) {
      PrintLine("preview-tip", none ? "none" : text);
      if (!none) std::printf("preview-rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
      return 0;
    }
    Sleep(20);
  } while (Before(end));
  return Fail("the preview tip shows %s", text[0] != '\0' ? text : "nothing");
}

// ---- screen pixels ----

namespace {

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

}  // namespace

namespace {

// A "cell" line per title button: how many pixels of its time area (below
// the button) have each of the palette colours, black, or anything else.
// Returns the number of cells, or -1 when the screen cannot be read.
int PrintCells(HWND w) {
  // The palette, white, black and the dark blue of a previewed instant.
  static const DWORD kColors[] = {0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
                                  0xFFFFFF, 0x000000, 0x600000};
  constexpr int kCount = sizeof kColors / sizeof kColors[0];
  // A reading taken while a layout resizes the strip and replaces its title
  // buttons has no cells to speak of: it is taken again (for up to 200 ms)
  // until the same buttons tile the whole width before and after it.
  static ButtonList list;
  static ButtonList after;
  Capture cap;
  RECT client;
  for (int attempt = 0;; ++attempt) {
    CollectButtons(w, &list);
    if (!CaptureWindow(w, &cap)) return -1;
    GetClientRect(w, &client);
    CollectButtons(w, &after);
    bool whole = list.count > 0 && list.count == after.count && list.items[0].client.left == 0 &&
                 list.items[list.count - 1].client.right == client.right;
    for (int i = 0; whole && i < list.count; ++i) {
      whole = list.items[i].hwnd == after.items[i].hwnd &&
              (i == 0 || list.items[i].client.left == list.items[i - 1].client.right);
    }
    if (whole || attempt == 40) break;
    std::free(cap.pixels);
    Sleep(5);
  }
  for (int i = 0; i < list.count; ++i) {
    const ButtonInfo& b = list.items[i];
    long counts[kCount] = {};
    long other = 0;
    const int top = b.client.bottom > 0 ? b.client.bottom : 0;
    for (int y = top; y < cap.height && y < client.bottom; ++y) {
      for (int x = b.client.left; x < b.client.right && x < cap.width; ++x) {
        if (x < 0) continue;
        const DWORD c = ColorAt(cap, x, y);
        int k = 0;
        while (k < kCount && kColors[k] != c) ++k;
        if (k < kCount) {
          ++counts[k];
        } else {
          ++other;
        }
      }
    }
    std::printf("cell %d %ld %d %ld %ld", b.id, b.client.left, top, b.client.right,
                static_cast<long>(client.bottom));
    for (int k = 0; k < kCount; ++k) std::printf(" %06lX=%ld", kColors[k], counts[k]);
    std::printf(" other=%ld\n", other);
  }
  std::free(cap.pixels);
  return list.count;
}

}  // namespace

// pixels: for each clock cell's time area (below its title button), how many
// pixels have each of the palette colours, black, or anything else.
int CmdPixels(const Args&) {
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  const int count = PrintCells(w);
  if (count < 0) return Fail("screen capture failed");
  std::printf("cells %d\n", count);
  return 0;
}

// first-pixels SECONDS MS: says "watching", waits up to SECONDS for the strip
// to become visible, then for MS milliseconds reads its cells as fast as it can: a
// line "sample N ELAPSED-MS" before the cell lines of each reading.
int CmdFirstPixels(const Args& a) {
  long span = 0;
  if (!IntArg(a, 2, &span) || span < 1 || span > 10000) return 2;
  const DWORD end = Deadline(SecondsArg(a, 1, 10));
  std::printf("watching\n");
  std::fflush(stdout);
  HWND w = nullptr;
  while ((w = MainWindow()) == nullptr || !IsWindowVisible(w)) {
    if (!Before(end)) return Fail("the strip did not become visible");
    Sleep(2);
  }
  const DWORD start = GetTickCount();
  long n = 0;
  do {
    std::printf("sample %ld %lu\n", n++, static_cast<unsigned long>(GetTickCount() - start));
    if (PrintCells(w) < 0) return Fail("screen capture failed");
    Sleep(10);
  } while (GetTickCount() - start < static_cast<DWORD>(span));
  std::fflush(stdout);
  return 0;
}

// shot FILE: the window as a 24-bit BMP, for looking at a failure.
int CmdShot(const Args& a) {
  if (a.n < 2) return 2;
  HWND w = NeedWindow();
  if (w == nullptr) return 1;
  return WriteShot(w, a.v[1]);
}

int WriteShot(HWND w, const char* path) {
  Capture cap;
  if (!CaptureWindow(w, &cap)) return Fail("screen capture failed");
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) {
    std::free(cap.pixels);
    return Fail("cannot write %s", path);
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
  std::printf("shot %s\n", path);
  return 0;
}

// pixels-of CAPTION ID COLOR...: how many pixels of the control on the screen
// have each colour (COLORREF in hexadecimal, 0x00BBGGRR). CAPTION "strip":
// a child of the strip (ID = a title button's index).
int CmdPixelsOf(const Args& a) {
  if (a.n < 4) return 2;
  HWND d = nullptr;
  HWND c = nullptr;
  if (std::strcmp(a.v[1], "strip") == 0) {
    long id = 0;
    HWND w = NeedWindow();
    if (w == nullptr || !IntArg(a, 2, &id)) return 2;
    c = GetDlgItem(w, static_cast<int>(id));
    if (c == nullptr) return Fail("the strip has no child %s", a.v[2]);
  } else {
    c = NeedControl(a, &d);
  }
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

// ---- soak: the program's resources and its painting over time ----
// (used by tests/soak/run_soak.py)

namespace {

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

}  // namespace

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

}  // namespace driver
