// "DLGCALENDAR": a month calendar in local time that counts the whole days
// from today to the date the user picks.
#include <windows.h>
#include <commctrl.h>

#include "resources/resource.h"
#include "ui/dialogs/calendar.h"
#include "ui/dialogs/misc_logic.h"
#include "ui/dialogs/dialogs.h"

namespace {

// Today at 00:00:00.000, fixed each time the dialog opens.
SYSTEMTIME gToday;
// The open dialog, or null: a command posted to the strip meanwhile brings
// it to the front instead of opening a second one.
HWND gCalendarWindow = nullptr;

int64_t Ticks(const SYSTEMTIME& time) {
  FILETIME file;
  if (!SystemTimeToFileTime(&time, &file)) return 0;
  ULARGE_INTEGER value;
  value.LowPart = file.dwLowDateTime;
  value.HighPart = file.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart);
}

void OnInitDialog(HWND dialog) {
  gCalendarWindow = dialog;
  SYSTEMTIME today{};
  if (!SendDlgItemMessageA(dialog, IDC_CALENDAR_MONTH, MCM_GETTODAY, 0,
                           reinterpret_cast<LPARAM>(&today))) {
    GetLocalTime(&today);
  }
  today.wHour = today.wMinute = today.wSecond = today.wMilliseconds = 0;
  gToday = today;
}

void OnSelect(HWND dialog, const NMSELCHANGE* change) {
  char text[32];
  FormatDayCount(DaysBetween(gToday, change->stSelStart), text, sizeof text);
  SetDlgItemTextA(dialog, IDC_CALENDAR_DAYS, text);
}

INT_PTR OnNotify(HWND dialog, const NMHDR* header) {
  if (header->idFrom == IDC_CALENDAR_MONTH && header->code == MCN_SELECT) {
    OnSelect(dialog, reinterpret_cast<const NMSELCHANGE*>(header));
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK CalendarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceBesideStrip(dialog);
      OnInitDialog(dialog);
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int32_t DaysBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
  return DaysFromTicks(Ticks(from), Ticks(to));
}

void ShowCalendarDialog(HWND owner) {
  if (gCalendarWindow != nullptr) {
    SetForegroundWindow(gCalendarWindow);
    return;
  }
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_DATE_CLASSES};
  InitCommonControlsEx(&classes);
  DialogBoxParamA(GetModuleHandleA(nullptr), IDD_CALENDAR, owner, CalendarProc, 0);
  gCalendarWindow = nullptr;
}
