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
