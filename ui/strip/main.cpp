// Program start: one instance per user, the settings, the strip window and
// its message loop, and a last save when the loop ends.
#include "clocks/settings.h"
#include "ui/dialogs/dialogs.h"
#include "ui/strip/strip.h"

namespace {

// False when this instance should end: another one runs and the user keeps it.
bool TakeInstanceMutex() {
  SetLastError(0);
  MainWindow.instanceMutex = CreateMutexA(nullptr, TRUE, kInstanceMutexName);
  if (GetLastError() != ERROR_ALREADY_EXISTS) return true;
  HWND running = FindWindowA(kWindowClass, nullptr);
  if (MessageBoxA(nullptr, "Horlix is already running. Do you want to restart it?", "Horlix",
                  MB_YESNO) != IDYES) {
    CloseHandle(MainWindow.instanceMutex);
    MainWindow.instanceMutex = nullptr;
    return false;
  }
  if (running != nullptr) SendMessageA(running, kPrivateCloseMessage, 0, 0);
  return true;
}

bool RegisterStripClass(HINSTANCE instance) {
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof cls;
  cls.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  cls.lpfnWndProc = MainWindowProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  cls.lpszClassName = kWindowClass;
  return RegisterClassExA(&cls) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (!TakeInstanceMutex()) return 0;
  MainWindow.instance = instance;
  if (!LoadSettings()) return 0;
  Strip.totalWidth = TotalWidth();
  Strip.fontChanged = 1;
  if (!RegisterStripClass(instance)) return 0;
  // Created at the height it has at its monitor's scale: the first layout
  // comes half a second later.
  const int height = ScaleForDpi(Strip.windowHeight, DpiAtPoint(Settings.X, Settings.Y));
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kWindowClass, kWindowClass,
                                WS_POPUP, Settings.X, Settings.Y, Strip.totalWidth, height,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  ShowWindow(window, SW_SHOWDEFAULT);
  UpdateWindow(window);  // the times painted at creation, on screen at once
  if (Settings.TurnOffOnTop == 1) {
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  // A loop that ends on an error (-1) rather than on the quit message has no
  // exit code of its own.
  MSG msg{};
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    if (PlannerHandlesMessage(&msg)) continue;
    // A title button that took the focus with a click leaves the preview's
    // keys to the strip.
    if (msg.message == WM_KEYDOWN && GetParent(msg.hwnd) == window &&
        OnStripKey(window, msg.wParam)) {
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  SaveSettings(Settings.SettingsDirty ? 1 : 0);
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}
