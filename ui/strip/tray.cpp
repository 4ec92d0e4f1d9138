// The notification-area icon: its menu, and balloons after update checks.
#include "ui/strip/strip.h"

#include <shellapi.h>

#include <cstring>

#include "clocks/clock_list.h"
#include "clocks/settings.h"
#include "resources/resource.h"
#include "update/update_check.h"
#include "update/update_status.h"

TrayState Tray = {nullptr, 0};

namespace {

// The record size the shell of this Windows version expects.
DWORD RecordSize() {
  if (Tray.recordSize != 0) return Tray.recordSize;
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  if (version.dwMajorVersion < 5) {
    Tray.recordSize = NOTIFYICONDATAA_V1_SIZE;
  } else if (version.dwMajorVersion == 5) {
    Tray.recordSize = version.dwMinorVersion == 0 ? NOTIFYICONDATAA_V2_SIZE : NOTIFYICONDATAA_V3_SIZE;
  } else {
    Tray.recordSize = sizeof(NOTIFYICONDATAA);
  }
  return Tray.recordSize;
}

NOTIFYICONDATAA Record(UINT flags) {
  NOTIFYICONDATAA data{};
  data.cbSize = RecordSize();
  data.hWnd = MainWindow.window;
  data.uID = 0;
  data.uFlags = flags;
  return data;
}

}  // namespace

void ApplyTrayIconSetting() {
  if (Settings.ShowIconInTray) {
    if (Tray.icon != nullptr) return;
    // The notification area shows small icons at the desktop's scale.
    Tray.icon = LoadProgramIcon(IDI_HORLIX, GetSystemMetrics(SM_CXSMICON));
    if (Tray.icon == nullptr) return;
    AddTrayIcon();
    SetTrayCallback();
  } else if (Tray.icon != nullptr) {
    RemoveTrayIcon(MainWindow.window);
  }
}

BOOL AddTrayIcon() {
  if (Tray.icon == nullptr) return FALSE;
  NOTIFYICONDATAA data = Record(NIF_ICON | NIF_TIP);
  data.hIcon = Tray.icon;
  CopyBounded(data.szTip, sizeof data.szTip, "Horlix", sizeof data.szTip - 1);
  return Shell_NotifyIconA(NIM_ADD, &data);
}

BOOL SetTrayCallback() {
  NOTIFYICONDATAA data = Record(NIF_MESSAGE);
  data.uCallbackMessage = kTrayCallbackMessage;
  return Shell_NotifyIconA(NIM_MODIFY, &data);
}

void RemoveTrayIcon(HWND window) {
  NOTIFYICONDATAA data = Record(0);
  data.hWnd = window;
  Shell_NotifyIconA(NIM_DELETE, &data);
  if (Tray.icon != nullptr) DestroyIcon(Tray.icon);
  Tray.icon = nullptr;
}

void ShowTrayBalloon(const char* text) {
  NOTIFYICONDATAA data = Record(NIF_INFO);
  data.dwInfoFlags = Tray.icon != nullptr ? NIIF_USER : NIIF_INFO;
  CopyBounded(data.szInfo, sizeof data.szInfo, text, sizeof data.szInfo - 1);
  CopyBounded(data.szInfoTitle, sizeof data.szInfoTitle, text != nullptr ? "Horlix" : "",
              sizeof data.szInfoTitle - 1);
  Shell_NotifyIconA(NIM_MODIFY, &data);
}

void HandleTrayEvent(HWND window, LPARAM event) {
  switch (static_cast<UINT>(event)) {
    case WM_LBUTTONDOWN:
      PostMessageA(window, WM_COMMAND, IDM_REFRESH, 0);
      break;
    case WM_RBUTTONDOWN: {
      HMENU menu = LoadMenuA(MainWindow.instance, IDM_TASKBAR);
      if (menu == nullptr) break;
      ModifyMenuA(menu, IDM_HIDE_CLOCKS, MF_BYCOMMAND | MF_STRING, IDM_HIDE_CLOCKS,
                  MainWindow.clocksHidden ? "Show &clocks" : "Hide &clocks");
      ShowTrayMenu(window, menu);
      break;
    }
    case NIN_BALLOONUSERCLICK:
      if (UpdateCheckRun.automaticCheck && ShownUpdateStatus(Settings.UpdateStatus) != 0) {
        PostMessageA(window, WM_COMMAND, IDM_CHECK_UPDATES, 0);
      }
      if (MainWindow.updateDialog != nullptr) {
        SetFocus(MainWindow.updateDialog);
        SetFocus(GetDlgItem(MainWindow.updateDialog, IDC_UPDATE_UPGRADE));
      }
      break;
    default:
      break;
  }
}

void ShowTrayMenu(HWND window, HMENU menu) {
  HMENU popup = GetSubMenu(menu, 0);
  POINT cursor{};
  GetCursorPos(&cursor);
  SetForegroundWindow(window);
  SetMenuDefaultItem(popup, 0, TRUE);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
  PostMessageA(window, WM_NULL, 0, 0);
  DestroyMenu(menu);
}
