// The display scale a window is shown at. Windows 10 1607 and later know it
// per monitor; older systems have one scale for the whole desktop, which the
// screen's drawing context reports.
#include "ui/strip/strip.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn LookUpGetDpiForWindow() {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return nullptr;
  FARPROC proc = GetProcAddress(user32, "GetDpiForWindow");
  return reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(proc));
}

}  // namespace

int WindowDpi(HWND window) {
  static const GetDpiForWindowFn getDpiForWindow = LookUpGetDpiForWindow();
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(window);
  const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc != nullptr) ReleaseDC(window, dc);
  return dpi > 0 ? dpi : kBaseDpi;
}

int ScaleForDpi(int value, int dpi) { return MulDiv(value, dpi, kBaseDpi); }

int ScalePixels(int value) { return ScaleForDpi(value, Strip.dpi); }

namespace {

// GetDpiForMonitor (Windows 8.1 and later) lives in shcore.dll.
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

GetDpiForMonitorFn LookUpGetDpiForMonitor() {
  // From the system folder only; a system without that search has no
  // GetDpiForMonitor either.
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  HMODULE shcore = LoadLibraryExA("shcore.dll", nullptr, kSearchSystem32);
  if (shcore == nullptr) return nullptr;
  FARPROC proc = GetProcAddress(shcore, "GetDpiForMonitor");
  return reinterpret_cast<GetDpiForMonitorFn>(reinterpret_cast<void*>(proc));
}

}  // namespace

int DpiAtPoint(int x, int y) {
  static const GetDpiForMonitorFn getDpiForMonitor = LookUpGetDpiForMonitor();
  if (getDpiForMonitor != nullptr) {
    HMONITOR monitor = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST);
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (SUCCEEDED(getDpiForMonitor(monitor, 0 /* MDT_EFFECTIVE_DPI */, &dpiX, &dpiY)) &&
        dpiY != 0) {
      return static_cast<int>(dpiY);
    }
  }
  return WindowDpi(nullptr);  // the screen's, one scale for the whole desktop
}

HICON LoadProgramIcon(const char* name, int size) {
  HINSTANCE program = GetModuleHandleA(nullptr);
  return static_cast<HICON>(LoadImageA(program, name, IMAGE_ICON, size, size, 0));
}

// The icon a dialog's icon control was given, freed with the dialog.
constexpr const char* kDialogIconProperty = "HorlixIcon";

void SetDialogIcon(HWND dialog, int control, const char* name) {
  HWND item = GetDlgItem(dialog, control);
  if (item == nullptr) return;
  // The large icon's size at the dialog's scale; the control takes its size.
  HICON icon = LoadProgramIcon(name, ScaleForDpi(32, WindowDpi(dialog)));
  if (icon == nullptr || !SetPropA(item, kDialogIconProperty, icon)) {
    if (icon != nullptr) DestroyIcon(icon);
    return;
  }
  SendMessageA(item, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void ReleaseDialogIcon(HWND dialog, int control) {
  HWND item = GetDlgItem(dialog, control);
  if (item == nullptr) return;
  HICON icon = static_cast<HICON>(RemovePropA(item, kDialogIconProperty));
  if (icon != nullptr) DestroyIcon(icon);
}
