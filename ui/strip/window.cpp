// The strip's window procedure: resources, timers, mouse, menus and the
// commands that act on the clock list and the settings.
#include <windowsx.h>

#include <cstdio>

#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "resources/resource.h"
#include "ui/dialogs/dialogs.h"
#include "ui/strip/strip.h"
#include "update/update_check.h"
#include "update/update_status.h"

MainWindowState MainWindow = {nullptr, nullptr, nullptr, 0, 0, nullptr};

namespace {

void MarkListChanged() {
  Settings.SettingsDirty = true;
  RelayoutStrip();
}

void RemoveSelectedClock(HWND window) {
  const int sel = Clocks.SelectedClock;
  if (sel < 0 || sel >= Clocks.N) return;
  char question[128];
  std::snprintf(question, sizeof question, "Remove clock (%d) %s?", sel + 1,
                Clocks.clocks[sel].Title);
  if (MessageBoxA(window, question, "Delete Clock",
                  MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONWARNING) != IDOK) {
    return;
  }
  if (RemoveClock()) MarkListChanged();
}

void AddNewClock(HWND window) {
  if (Clocks.N > kMaxClocks - 1) {
    char text[96];
    std::snprintf(text, sizeof text, "You have reached the maximum of %d clocks.", Clocks.N);
    MessageBoxA(window, text, "HORLIX", MB_OK | MB_ICONWARNING);
    return;
  }
  Clocks.SelectedClock = -1;
  ShowPropertiesDialog(window);
}

void ToggleClocks(HWND window) {
  if (!MainWindow.clocksHidden && Previewing()) EndStripPreview(window);  // no tip left behind
  ShowWindow(window, MainWindow.clocksHidden ? SW_SHOW : SW_HIDE);
  MainWindow.clocksHidden = !MainWindow.clocksHidden;
}

void ExitProgram(HWND window) {
  if (Settings.PositionDirty) {
    SaveSettings(0);
    Settings.PositionDirty = false;
  }
  if (Settings.SettingsDirty) {
    SaveSettings(1);
    Settings.SettingsDirty = false;
  }
  DestroyWindow(window);
}

void OnMenuCommand(HWND window, int id) {
  switch (id) {
    case IDM_EXIT:
      ExitProgram(window);
      break;
    case IDM_ADD_CLOCK:
      AddNewClock(window);
      break;
    case IDM_REMOVE_CLOCK:
      RemoveSelectedClock(window);
      break;
    case IDM_MOVE_LEFT:
      if (Clocks.SelectedClock >= 1 && MoveClock(0)) MarkListChanged();
      break;
    case IDM_MOVE_RIGHT:
      if (Clocks.SelectedClock >= 0 && MoveClock(1)) MarkListChanged();
      break;
    case IDM_DUPLICATE_CLOCK:
      if (Clocks.SelectedClock >= 0 && DuplicateClock()) MarkListChanged();
      break;
    case IDM_SAVE_SETTINGS:
      SaveSettings(Settings.SettingsDirty ? 1 : 0);
      Settings.SettingsDirty = false;
      Settings.PositionDirty = false;
      break;
    case IDM_HELP:
      ShowHelp(window, Paths.helpFile, kHelpDisplayTopic, 0);
      break;
    case IDM_REFRESH:
      RelayoutStrip();
      break;
    case IDM_HIDE_CLOCKS:
      ToggleClocks(window);
      break;
    case IDM_RESET_POSITION:
      Settings.X = 5;
      Settings.Y = 5;
      RelayoutStrip();
      break;
    case IDM_PREVIEW:
      StartPreviewFromMenu(window);
      break;
    case IDM_CAPTURE_TIMESTAMP:
      CaptureTimestamp(window);
      break;
    case IDM_ABOUT:
      ShowAboutDialog(window);
      break;
    case IDM_PROPERTIES:
      ShowPropertiesDialog(window);
      break;
    case IDM_ALL_ZONES:
      ShowZonesDialog(window);
      break;
    case IDM_PLAN_MEETING:
      ShowPlannerWindow(window);
      break;
    case IDM_PREFERENCES:
      ShowPreferencesDialog(window);
      break;
    case IDM_WEB:
      OpenInBrowser(window, "/horlix/");
      break;
    case IDM_CALENDAR:
      ShowCalendarDialog(window);
      break;
    case IDM_COUNTDOWN:
      ShowCountdownDialog(window);
      break;
    case IDM_CHECK_UPDATES:
      ShowUpdateDialog(window);
      // Installing a zone data file restarts the program: this window is
      // gone by now, and with it the surface a layout would paint into.
      if (!IsWindow(window)) break;
      RefreshStripAndHint(window);
      break;
    default:
      break;
  }
}

void OnCommand(HWND window, WPARAM wParam) {
  const int id = LOWORD(wParam);
  if (id < Clocks.N && HIWORD(wParam) == BN_DOUBLECLICKED) {
    Clocks.SelectedClock = id;
    PostMessageA(window, WM_COMMAND, IDM_PROPERTIES, 0);
    return;
  }
  if (id < Clocks.N && HIWORD(wParam) != 0) return;  // other title button notices
  OnMenuCommand(window, id);
}

void OnContextMenu(HWND window, LPARAM lParam) {
  HMENU menu = LoadMenuA(MainWindow.instance, IDM_POPUP);
  if (menu == nullptr) return;
  POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  POINT client = at;
  ScreenToClient(window, &client);
  Clocks.SelectedClock = ClockAtPoint(client.x, client.y);
  HMENU popup = GetSubMenu(menu, 0);
  SetMenuDefaultItem(popup, IDM_PROPERTIES, FALSE);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
  DestroyMenu(menu);
}

void OnInitMenuPopup(HMENU menu) {
  const int sel = Clocks.SelectedClock;
  EnableMenuItem(menu, IDM_SAVE_SETTINGS, MF_BYCOMMAND | MF_ENABLED);
  EnableMenuItem(menu, IDM_MOVE_LEFT, MF_BYCOMMAND | (sel < 1 ? MF_GRAYED : MF_ENABLED));
  EnableMenuItem(menu, IDM_MOVE_RIGHT,
                 MF_BYCOMMAND | (sel < 0 || sel >= Clocks.N - 1 ? MF_GRAYED : MF_ENABLED));
  CheckMenuItem(menu, IDM_CHECK_UPDATES,
                MF_BYCOMMAND | (ShownUpdateStatus(Settings.UpdateStatus) != 0 ? MF_CHECKED : MF_UNCHECKED));
  EnableMenuItem(menu, IDM_HIDE_CLOCKS,
                 MF_BYCOMMAND | (Tray.icon == nullptr ? MF_GRAYED : MF_ENABLED));
}

void OnMove(LPARAM lParam) {
  const int32_t x = GET_X_LPARAM(lParam);
  const int32_t y = GET_Y_LPARAM(lParam);
  if (x != Settings.X || y != Settings.Y) Settings.PositionDirty = true;
  Settings.X = x;
  Settings.Y = y;
}

void OnTimer(HWND window, WPARAM id) {
  switch (id) {
    case kTickTimer:
      TickStrip(window);
      break;
    case kUpdateTimer:
      if (Settings.UpdateCheck == 1) {
        CheckForUpdates(false, nullptr);
        RefreshStripAndHint(window);
      }
      break;
    case kCountdownTimer:
      CheckCountdown(window);
      break;
    case kPreviewTimer:
      OnPreviewTimer(window);
      break;
    default:
      break;
  }
}

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  ShowStrip(dc);
  EndPaint(window, &paint);
}

LRESULT OnNotify(LPARAM lParam) {
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->code == TTN_GETDISPINFOA) FillClockTooltip(reinterpret_cast<NMTTDISPINFOA*>(lParam));
  return 0;
}

void OnDrawItem(WPARAM id, LPARAM lParam) {
  if (static_cast<int>(id) < Clocks.N) {
    DrawTitleButton(static_cast<int>(id), reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
  }
}

bool OnCreate(HWND window) {
  MainWindow.window = window;
  InitCommonControls();
  SetUpdateBalloon(ShowTrayBalloon);
  return CreateStripResources(window);
}

void OnDestroy(HWND window) {
  DestroyClockZoneStates();
  FreeZones();
  DestroyStripResources();
  KillTimer(window, kTickTimer);
  KillTimer(window, kUpdateTimer);
  KillTimer(window, kCountdownTimer);
  KillTimer(window, kPreviewTimer);
  RemoveTrayIcon(window);
  if (MainWindow.instanceMutex != nullptr) {
    ReleaseMutex(MainWindow.instanceMutex);
    CloseHandle(MainWindow.instanceMutex);
    MainWindow.instanceMutex = nullptr;
  }
  PostQuitMessage(0);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window) ? 0 : -1;
    case WM_DESTROY:
      OnDestroy(window);
      return 0;
    case WM_MOVE:
      OnMove(lParam);
      OnPreviewStripMoved(window);
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam && Settings.SettingsDirty) SaveSettings(1);
      return 0;
    case WM_DRAWITEM:
      OnDrawItem(wParam, lParam);
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(lParam);
    case WM_CONTEXTMENU:
      OnContextMenu(window, lParam);
      return 0;
    case WM_COMMAND:
      OnCommand(window, wParam);
      return 0;
    case WM_TIMER:
      OnTimer(window, wParam);
      return 0;
    case WM_INITMENUPOPUP:
      OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
      SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      return 0;
    case WM_MOUSEWHEEL:  // the title buttons' wheel comes here too, from DefWindowProc
      OnStripWheel(window, wParam, lParam);
      return 0;
    case WM_KEYDOWN:
      if (OnStripKey(window, wParam)) return 0;
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_MBUTTONDOWN:
      if (Previewing()) EndStripPreview(window);
      return 0;
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
      OnStripMenuLoop(window, message == WM_ENTERMENULOOP);
      UpdateStripHint(window);
      return 0;
    case WM_ENABLE:  // disabled while a box of the strip is open
      UpdateStripHint(window);
      return 0;
    case WM_LBUTTONDBLCLK:
      Clocks.SelectedClock = ClockAtPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      PostMessageA(window, WM_COMMAND, IDM_PROPERTIES, 0);
      return 0;
    case kPrivateCloseMessage:
      DestroyWindow(window);
      return 0;
    case kDpiChangedMessage:
      RescaleStrip(window, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case kPreviewTipMessage:
      OnPreviewTipMessage(window);
      UpdateStripHint(window);
      return 0;
    case kTrayCallbackMessage:
      HandleTrayEvent(window, lParam);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
