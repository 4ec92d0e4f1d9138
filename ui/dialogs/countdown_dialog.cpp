// "DLGCOUNTDOWN", the program-wide countdown it starts, and "DLGALARM", the
// flashing window with the looping sound that the main window raises when
// the countdown has expired.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <cstdio>

#include "clocks/zone_file.h"
#include "resources/resource.h"
#include "tz/wall_clock.h"
#include "ui/dialogs/misc_logic.h"
#include "ui/dialogs/dialogs.h"
#include "ui/strip/strip.h"

namespace {

// WM_USER and WM_USER + 1 are the dialog manager's DM_GETDEFID and
// DM_SETDEFID: taken for these, Enter would find no default button.
constexpr UINT kStateUpdateMessage = WM_APP;
constexpr UINT kRefreshMessage = WM_APP + 1;
constexpr UINT_PTR kDialogTimer = 3;
constexpr UINT_PTR kAlarmKeysSubclass = 1;

// The open countdown dialog, or null: a command posted to the strip
// meanwhile brings it to the front instead of opening a second one.
HWND gCountdownWindow = nullptr;

struct CountdownField {
  int editId;
  int spinId;
  int x;
  int maximum;
};

constexpr CountdownField kFields[3] = {
    {IDC_COUNTDOWN_HOURS, IDC_COUNTDOWN_HOURS_SPIN, 10, 23},
    {IDC_COUNTDOWN_MINUTES, IDC_COUNTDOWN_MINUTES_SPIN, 70, 59},
    {IDC_COUNTDOWN_SECONDS, IDC_COUNTDOWN_SECONDS_SPIN, 130, 59},
};

int32_t* StoredValue(int field) {
  switch (field) {
    case 0:
      return &Countdown.hours;
    case 1:
      return &Countdown.minutes;
    default:
      return &Countdown.seconds;
  }
}

// An edit field with its spin control, placed after its label (the n-th
// child of the template) so the label's mnemonic reaches it.
void CreateField(HWND dialog, int index, HWND label) {
  const CountdownField& f = kFields[index];
  HINSTANCE instance = GetModuleHandleA(nullptr);
  // Placed in pixels, unlike the template's controls: scaled with the dialog.
  const int dpi = WindowDpi(dialog);
  HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                              WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_CENTER,
                              ScaleForDpi(f.x, dpi), ScaleForDpi(40, dpi), ScaleForDpi(50, dpi),
                              ScaleForDpi(22, dpi), dialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(f.editId)), instance,
                              nullptr);
  SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  HWND spin = CreateWindowExA(
      0, UPDOWN_CLASSA, nullptr,
      WS_CHILD | WS_VISIBLE | UDS_WRAP | UDS_ARROWKEYS | UDS_SETBUDDYINT | UDS_ALIGNRIGHT, 0, 0,
      ScaleForDpi(18, dpi), ScaleForDpi(22, dpi), dialog,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(f.spinId)), instance, nullptr);
  SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  SendMessageA(spin, UDM_SETRANGE32, 0, f.maximum);
  SendMessageA(spin, UDM_SETPOS32, 0, *StoredValue(index));
  if (label != nullptr) {
    SetWindowPos(edit, label, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(spin, edit, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void ShowStoredValues(HWND dialog) {
  for (int i = 0; i < 3; ++i) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(*StoredValue(i)));
    SetDlgItemTextA(dialog, kFields[i].editId, text);
  }
}

void OnRefresh(HWND dialog) {
  RefreshCountdown(CurrentInstant());
  ShowStoredValues(dialog);
}

void OnStateUpdate(HWND dialog) {
  const BOOL stopped = Countdown.running ? FALSE : TRUE;
  for (const CountdownField& f : kFields) {
    EnableWindow(GetDlgItem(dialog, f.editId), stopped);
    EnableWindow(GetDlgItem(dialog, f.spinId), stopped);
  }
  EnableWindow(GetDlgItem(dialog, IDC_COUNTDOWN_RESET), stopped);
  SetDlgItemTextA(dialog, IDC_COUNTDOWN_START, Countdown.running ? "Stop" : "Start");
}

void OnInitDialog(HWND dialog) {
  gCountdownWindow = dialog;
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&classes);
  // The template's first three children are the labels "&Hours",
  // "&Minutes" and "&Seconds".
  HWND labels[3] = {};
  HWND child = GetWindow(dialog, GW_CHILD);
  for (int i = 0; i < 3 && child != nullptr; ++i) {
    labels[i] = child;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  for (int i = 0; i < 3; ++i) CreateField(dialog, i, labels[i]);
  if (Countdown.running) RefreshCountdown(CurrentInstant());
  ShowStoredValues(dialog);
  SendMessageA(dialog, kRefreshMessage, 0, 0);
  SendMessageA(dialog, kStateUpdateMessage, 0, 0);
  if (Countdown.running) SetTimer(dialog, kDialogTimer, 1000, nullptr);
}

uint32_t ReadField(HWND dialog, int id) {
  BOOL ok = FALSE;
  const UINT value = GetDlgItemInt(dialog, id, &ok, FALSE);
  return ok ? value : 0;
}

void OnStartStop(HWND dialog) {
  if (Countdown.running) {
    Countdown.running = false;
    SendMessageA(dialog, kStateUpdateMessage, 0, 0);
    KillTimer(dialog, kDialogTimer);
    return;
  }
  if (!StartCountdown(ReadField(dialog, IDC_COUNTDOWN_HOURS), ReadField(dialog, IDC_COUNTDOWN_MINUTES),
                      ReadField(dialog, IDC_COUNTDOWN_SECONDS), CurrentInstant())) {
    return;
  }
  SendMessageA(dialog, kStateUpdateMessage, 0, 0);
  SetTimer(dialog, kDialogTimer, 1000, nullptr);
}

void OnReset(HWND dialog) {
  Countdown.hours = Countdown.minutes = Countdown.seconds = 0;
  SendMessageA(dialog, kRefreshMessage, 0, 0);
}

// Once the main window has raised the alarm, the dialog's timer stops and
// the controls return to the stopped state, so "Start" starts afresh.
void OnDialogTimer(HWND dialog) {
  if (Countdown.running) {
    SendMessageA(dialog, kRefreshMessage, 0, 0);
    return;
  }
  KillTimer(dialog, kDialogTimer);
  SendMessageA(dialog, kStateUpdateMessage, 0, 0);
}

void OnCountdownCommand(HWND dialog, int id) {
  switch (id) {
    case IDC_COUNTDOWN_START:
      OnStartStop(dialog);
      break;
    case IDC_COUNTDOWN_RESET:
      OnReset(dialog);
      break;
    case IDCANCEL:
      KillTimer(dialog, kDialogTimer);
      EndDialog(dialog, IDCANCEL);
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK CountdownProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceBesideStrip(dialog);
      OnInitDialog(dialog);
      return TRUE;
    case WM_COMMAND:
      OnCountdownCommand(dialog, LOWORD(wParam));
      return TRUE;
    case WM_TIMER:
      if (wParam == kDialogTimer) OnDialogTimer(dialog);
      return TRUE;
    case kRefreshMessage:
      OnRefresh(dialog);
      return TRUE;
    case kStateUpdateMessage:
      OnStateUpdate(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

void StopAlarmSound() { sndPlaySoundA(Paths.alarmSound, SND_PURGE); }

// The alarm window is modeless and the message loops that run it do not
// translate dialog keys, so its button turns Enter and Escape into the
// dialog's commands itself.
LRESULT CALLBACK AlarmKeysProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR, DWORD_PTR) {
  if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
    PostMessageA(GetParent(button), WM_COMMAND, wParam == VK_RETURN ? IDOK : IDCANCEL, 0);
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(button, AlarmKeysProc, kAlarmKeysSubclass);
  return DefSubclassProc(button, message, wParam, lParam);
}

void OnAlarmCommand(HWND alarm, int id) {
  switch (id) {
    case IDOK:  // "OFF"
      ShowWindow(alarm, SW_HIDE);
      StopAlarmSound();
      DestroyWindow(alarm);
      break;
    case IDCANCEL:
      StopAlarmSound();
      DestroyWindow(alarm);
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK AlarmProc(HWND alarm, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowSubclass(GetDlgItem(alarm, IDOK), AlarmKeysProc, kAlarmKeysSubclass, 0);
      SetDialogIcon(alarm, IDC_ALARM_ICON, IDI_ALARM);
      return TRUE;
    case WM_DESTROY:
      ReleaseDialogIcon(alarm, IDC_ALARM_ICON);
      return FALSE;
    case WM_COMMAND:
      OnAlarmCommand(alarm, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

void RaiseAlarm(HWND owner) {
  HWND alarm = CreateDialogParamA(GetModuleHandleA(nullptr), IDD_ALARM, owner, AlarmProc, 0);
  if (alarm == nullptr) return;
  ShowWindow(alarm, SW_SHOW);
  FLASHWINFO flash = {sizeof flash, alarm, FLASHW_ALL | FLASHW_TIMER, 1000000, 0};
  FlashWindowEx(&flash);
  sndPlaySoundA(Paths.alarmSound, SND_ASYNC | SND_LOOP);
}

}  // namespace

void ShowCountdownDialog(HWND owner) {
  if (gCountdownWindow != nullptr) {
    SetForegroundWindow(gCountdownWindow);
    return;
  }
  DialogBoxParamA(GetModuleHandleA(nullptr), IDD_COUNTDOWN, owner, CountdownProc, 0);
  gCountdownWindow = nullptr;
}

void CheckCountdown(HWND owner) {
  if (CountdownExpired(CurrentInstant())) RaiseAlarm(owner);
}
