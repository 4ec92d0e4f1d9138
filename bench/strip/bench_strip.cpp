// Figures for the strip window under Wine, printed, not judged:
// - one clock tick (PaintTimeRow + ShowStrip) for 3 and 64 clocks, inside
//   this process;
// - one wheel notch of the preview, from the message to the repainted strip
//   (mean and worst of 400) and on to its placed tip, for 64 clocks;
// - the meeting planner with 64 clocks: opening it to its painted grid, and
//   one step of the selection (a Right key) to the repainted grid;
// - start of horlix.exe to its window and to its first painted time text,
//   beside a minimal Win32 program (this program run with "minimal": the
//   same manifest, the common controls initialised and a tooltip created),
//   medians of several runs;
// - the zone data file read, in one pass and, for comparison, with one
//   profile-function call per section as the start-up did before;
// - the size of horlix.exe.
// Usage: bench_strip.exe [PROGRAM-FOLDER-WITH-horlix.exe-AND-horlixtz.ini]
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/profile.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "resources/resource.h"
#include "ui/dialogs/dialogs.h"
#include "ui/strip/strip.h"

namespace {

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void FillClocks(int n) {
  const char* zones[] = {"CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0", "AWST-8",
                         "AEST-10AEDT,M10.1.0,M4.1.0/3", "JST-9", "GMT0"};
  LoadDefaultClocks();
  for (int i = 3; i < n; ++i) {
    ClockRecord& c = Clocks.clocks[i];
    c = Clocks.clocks[1];
    c.Type = i % 3;
    c.Format = i % 4;
    c.Color = 0x00FF00;
    CopyBounded(c.Tz, sizeof c.Tz, zones[i % 6], kZoneTextMaxLen);
    std::snprintf(c.Title, sizeof c.Title, "Clock %d", i);
  }
  Clocks.N = n;
}

// A strip of the given number of clocks, shown and laid out.
HWND OpenStrip(HINSTANCE instance, int clocks) {
  FillClocks(clocks);
  Strip.totalWidth = TotalWidth();
  Strip.fontChanged = 1;
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, kWindowClass, WS_POPUP, 0, 100,
                                Strip.totalWidth, 34, nullptr, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  TickStrip(window);  // fonts and layout
  Pump();
  return window;
}

double TickMicros(HINSTANCE instance, int clocks) {
  HWND window = OpenStrip(instance, clocks);
  const int rounds = 400;
  HDC dc = GetDC(window);
  const double start = Now();
  for (int i = 0; i < rounds; ++i) {
    PaintTimeRow();
    ShowStrip(dc);
  }
  GdiFlush();
  const double took = (Now() - start) / rounds * 1e6;
  ReleaseDC(window, dc);
  DestroyWindow(window);
  Pump();
  return took;
}

// The preview moves one notch up, one down, and so on, from two notches
// ahead, so that it never returns to the present.
void WheelMicros(HINSTANCE instance, int clocks, double* mean, double* worst, double* tipMean) {
  HWND window = OpenStrip(instance, clocks);
  const LPARAM at = MAKELPARAM(20, 110);
  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), at);
  const int rounds = 400;
  *worst = 0;
  double sum = 0;
  double tipSum = 0;
  for (int i = 0; i < rounds; ++i) {
    const double t0 = Now();
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(i % 2 ? -120 : 120)), at);
    GdiFlush();
    const double took = Now() - t0;
    Pump();  // the tip follows
    tipSum += Now() - t0;
    sum += took;
    if (took > *worst) *worst = took;
  }
  *mean = sum / rounds * 1e6;
  *tipMean = tipSum / rounds * 1e6;
  *worst *= 1e6;
  EndStripPreview(window);
  DestroyWindow(window);
  Pump();
}

LRESULT CALLBACK MinimalProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(w, m, wp, lp);
}

int RunMinimal(HINSTANCE instance) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = MinimalProc;
  cls.hInstance = instance;
  cls.lpszClassName = "MINIMALWINDOW";
  RegisterClassA(&cls);
  InitCommonControls();
  HWND w = CreateWindowExA(WS_EX_TOOLWINDOW, "MINIMALWINDOW", "minimal", WS_POPUP | WS_VISIBLE,
                           0, 300, 100, 30, nullptr, nullptr, instance, nullptr);
  CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, w,
                  nullptr, instance, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  (void)w;
  return 0;
}

// Seconds from CreateProcess until a window of the class shows, and (for
// the strip) until its time row holds a painted pixel that is not black.
void TimeStart(const char* commandLine, const char* cls, bool waitForPaint, double* shown,
               double* painted) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  char line[MAX_PATH * 2];
  std::snprintf(line, sizeof line, "%s", commandLine);
  const double start = Now();
  *shown = *painted = -1;
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return;
  }
  HWND w = nullptr;
  while (Now() - start < 10) {
    w = FindWindowA(cls, nullptr);
    if (w != nullptr && IsWindowVisible(w)) break;
    Sleep(1);
  }
  *shown = Now() - start;
  while (waitForPaint && w != nullptr && Now() - start < 10) {
    RECT r;
    GetWindowRect(w, &r);
    HDC screen = GetDC(nullptr);
    bool lit = false;
    for (int x = r.left; x < r.right && !lit; x += 2) {
      for (int y = r.bottom - 12; y < r.bottom - 2 && !lit; ++y) {
        const COLORREF c = GetPixel(screen, x, y);
        lit = c != CLR_INVALID && (c & 0xFFFFFF) != 0 && (c & 0xFFFFFF) != 0xFFFFFF &&
              ((c & 0xFF) > 200 || ((c >> 8) & 0xFF) > 200);
      }
    }
    ReleaseDC(nullptr, screen);
    if (lit) {
      *painted = Now() - start;
      break;
    }
    Sleep(2);
  }
  if (w != nullptr) PostMessageA(w, waitForPaint ? kPrivateCloseMessage : WM_CLOSE, 0, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

// The median of the runs that got there (a failed one is -1).
double Median(double* values, int n) {
  std::sort(values, values + n);
  const double* first = std::upper_bound(values, values + n, 0.0);
  n = static_cast<int>(values + n - first);
  if (n == 0) return -1;
  return n % 2 ? first[n / 2] : (first[n / 2 - 1] + first[n / 2]) / 2;
}

// The zone data file of the folder read as the start-up reads it, and with
// one profile-function call per section; milliseconds, best of a few.
void ZoneReadMillis(const char* folder, double* onePass, double* perSection, int* zones) {
  char exe[MAX_PATH + 16];
  std::snprintf(exe, sizeof exe, "%s\\horlix.exe", folder);
  OverrideProgramPaths(exe, "");
  *onePass = *perSection = 1e9;
  for (int round = 0; round < 5; ++round) {
    FreeZones();
    double t0 = Now();
    LoadZoneFile();
    *onePass = std::min(*onePass, Now() - t0);
    *zones = 0;
    for (const ZoneEntry* e = ZoneList; e != nullptr; e = e->next) ++*zones;
    t0 = Now();
    static char names[1 << 20];
    ProfileSectionNames(Paths.zoneFile, names, sizeof names);
    for (const char* name = names; *name != '\0'; name += std::strlen(name) + 1) {
      char tz[256];
      ProfileString(Paths.zoneFile, name, "TZ", "", tz, sizeof tz);
    }
    *perSection = std::min(*perSection, Now() - t0);
  }
  FreeZones();
  OverrideProgramPaths(nullptr, nullptr);
  *onePass *= 1e3;
  *perSection *= 1e3;
}

}  // namespace

void PlannerMicros(HINSTANCE instance, int clocks, double* open, double* step) {
  HWND window = OpenStrip(instance, clocks);
  const double t0 = Now();
  ShowPlannerWindow(window);
  HWND planner = FindWindowA(nullptr, "Plan a Meeting");
  HWND grid = GetDlgItem(planner, IDC_PLANNER_GRID);
  UpdateWindow(planner);
  GdiFlush();
  *open = (Now() - t0) * 1e6;
  const int rounds = 200;
  const double t1 = Now();
  for (int i = 0; i < rounds; ++i) {
    SendMessageA(grid, WM_KEYDOWN, VK_RIGHT, 0);
    UpdateWindow(grid);
  }
  GdiFlush();
  *step = (Now() - t1) / rounds * 1e6;
  DestroyWindow(planner);
  DestroyWindow(window);
  Pump();
}

int main(int argc, char** argv) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (argc > 1 && std::strcmp(argv[1], "minimal") == 0) return RunMinimal(instance);

  MainWindow.instance = instance;
  Settings = DefaultSettings();
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof cls;
  cls.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  cls.lpfnWndProc = MainWindowProc;
  cls.hInstance = instance;
  cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  cls.lpszClassName = kWindowClass;
  RegisterClassExA(&cls);
  for (int n : {3, 64}) std::printf("clock tick, %2d clocks        %8.1f us\n", n, TickMicros(instance, n));
  double mean = 0, worst = 0, tipMean = 0;
  WheelMicros(instance, 64, &mean, &worst, &tipMean);
  std::printf("wheel notch to repainted strip, 64 clocks %8.1f us (worst %.1f us), with its tip %.1f us\n",
              mean, worst, tipMean);
  double open = 0, step = 0;
  PlannerMicros(instance, 64, &open, &step);
  std::printf("meeting planner, 64 clocks: open to painted grid %8.1f us, one step repainted %8.1f us\n",
              open, step);

  if (argc > 1) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    char minimal[MAX_PATH + 16];
    std::snprintf(minimal, sizeof minimal, "\"%s\" minimal", self);
    char horlix[MAX_PATH + 16];
    std::snprintf(horlix, sizeof horlix, "\"%s\\horlix.exe\"", argv[1]);
    constexpr int kRounds = 7;
    double minShown[kRounds], shown[kRounds], painted[kRounds], unused = 0;
    for (int round = 0; round < kRounds; ++round) {
      TimeStart(minimal, "MINIMALWINDOW", false, &minShown[round], &unused);
      TimeStart(horlix, kWindowClass, true, &shown[round], &painted[round]);
      std::printf("start: minimal window %6.0f ms, strip shown %6.0f ms, first time text %6.0f ms\n",
                  minShown[round] * 1e3, shown[round] * 1e3, painted[round] * 1e3);
    }
    const double minMedian = Median(minShown, kRounds);
    const double shownMedian = Median(shown, kRounds);
    std::printf("start, medians of %d: minimal window %.0f ms, strip shown %.0f ms (%.2fx), "
                "first time text %.0f ms (%.2fx)\n",
                kRounds, minMedian * 1e3, shownMedian * 1e3, shownMedian / minMedian,
                Median(painted, kRounds) * 1e3, Median(painted, kRounds) / minMedian);
    double onePass = 0, perSection = 0;
    int zones = 0;
    ZoneReadMillis(argv[1], &onePass, &perSection, &zones);
    std::printf("zone data file read (%d zones): %.2f ms in one pass, %.1f ms with a call per section\n",
                zones, onePass, perSection);
    char exe[MAX_PATH + 16];
    std::snprintf(exe, sizeof exe, "%s\\horlix.exe", argv[1]);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(exe, GetFileExInfoStandard, &data)) {
      std::printf("horlix.exe size               %8lu bytes (%.0f KiB)\n",
                  static_cast<unsigned long>(data.nFileSizeLow), data.nFileSizeLow / 1024.0);
    }
  }
  return 0;
}
