// "DLGPREFS": the program-wide settings; OK applies and writes them all,
// Cancel leaves everything as it was.
#include "clocks/settings.h"
#include "resources/resource.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/prefs_logic.h"
#include "ui/dialogs/value_lists_win.h"
#include "ui/strip/strip.h"

namespace {

// The open dialog, or null: the tray menu can ask for it while it is open.
HWND gPrefsWindow = nullptr;

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Check(HWND dialog, int id, int32_t on) {
  CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

int32_t ReadList(HWND dialog, int id, const ValueEntry* table) {
  return ReadValueList(GetDlgItem(dialog, id), table);
}

void MatchUpdateHourToBox(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDC_PREFS_UPDATE_TIME),
               Checked(dialog, IDC_PREFS_UPDATE_CHECK) ? TRUE : FALSE);
}

void OnPrefsInit(HWND dialog) {
  gPrefsWindow = dialog;
  const PrefsChoice now = CurrentPreferences();
  Check(dialog, IDC_PREFS_LAUNCH, now.launch);
  Check(dialog, IDC_PREFS_UPDATE_CHECK, now.updateCheck);
  Check(dialog, IDC_PREFS_TRAY, now.tray);
  Check(dialog, IDC_PREFS_ON_TOP, now.onTop);
  FillValueList(GetDlgItem(dialog, IDC_PREFS_DATE_FORMAT), kDateFormatValues, now.dateFormat);
  FillValueList(GetDlgItem(dialog, IDC_PREFS_UPDATE_TIME), kUpdateHourValues, now.updateTime);
  FillValueList(GetDlgItem(dialog, IDC_PREFS_FONT_SIZE), kFontSizeValues, now.fontSize);
  FillValueList(GetDlgItem(dialog, IDC_PREFS_TIMESTAMP), kTimestampValues, now.timestampFmt);
  MatchUpdateHourToBox(dialog);
}

void RebuildFontsSoon() { Strip.fontChanged = 1; }

// The on-top choice of an OK, -1 when there is none to apply.
int32_t gTurnOffOnTop = -1;

// Wine links a window that is made topmost just below the windows it owns,
// which it makes topmost first, and then leaves it out of the topmost band
// when nothing topmost follows. So the strip is placed once the dialog (which
// it owns) is gone, with its tooltip let go of for the move.
void PlaceOnTopSoon(int32_t turnOff) { gTurnOffOnTop = turnOff; }

void PlaceOnTop(int32_t turnOff) {
  HWND tip = turnOff ? nullptr : Strip.tooltip;
  if (tip != nullptr) SetWindowLongPtrA(tip, GWLP_HWNDPARENT, 0);
  SetWindowPos(MainWindow.window, turnOff ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (tip != nullptr) {
    SetWindowLongPtrA(tip, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(MainWindow.window));
  }
}

void OnPrefsOk(HWND dialog) {
  PrefsChoice choice{};
  choice.launch = Checked(dialog, IDC_PREFS_LAUNCH) ? 1 : 0;
  choice.dateFormat = ReadList(dialog, IDC_PREFS_DATE_FORMAT, kDateFormatValues);
  choice.updateCheck = Checked(dialog, IDC_PREFS_UPDATE_CHECK) ? 1 : 0;
  choice.updateTime = ReadList(dialog, IDC_PREFS_UPDATE_TIME, kUpdateHourValues);
  choice.timestampFmt = ReadList(dialog, IDC_PREFS_TIMESTAMP, kTimestampValues);
  choice.fontSize = ReadList(dialog, IDC_PREFS_FONT_SIZE, kFontSizeValues);
  choice.tray = Checked(dialog, IDC_PREFS_TRAY) ? 1 : 0;
  choice.onTop = Checked(dialog, IDC_PREFS_ON_TOP) ? 1 : 0;
  const PrefsEffects effects = {RebuildFontsSoon, ApplyTrayIconSetting, PlaceOnTopSoon};
  ApplyPreferences(choice, effects);
  EndDialog(dialog, 1);
}

void OnPrefsCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDOK:
      OnPrefsOk(dialog);
      break;
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
    case IDC_PREFS_UPDATE_CHECK:
      if (code == BN_CLICKED) MatchUpdateHourToBox(dialog);
      break;
    case IDC_PREFS_EXPORT:
      // Either way the choices made so far in the dialog are not applied.
      ExportSettings(dialog);
      EndDialog(dialog, 0);
      break;
    case IDC_PREFS_IMPORT:
      ImportSettings(dialog);
      EndDialog(dialog, 0);
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK PrefsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceBesideStrip(dialog);
      OnPrefsInit(dialog);
      return TRUE;
    case WM_COMMAND:
      OnPrefsCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowPreferencesDialog(HWND owner) {
  if (gPrefsWindow != nullptr) {
    SetForegroundWindow(gPrefsWindow);
    return;
  }
  gTurnOffOnTop = -1;
  DialogBoxParamA(MainWindow.instance, IDD_PREFS, owner, PrefsDialogProc, 0);
  gPrefsWindow = nullptr;
  if (gTurnOffOnTop >= 0) PlaceOnTop(gTurnOffOnTop);
  gTurnOffOnTop = -1;
}
