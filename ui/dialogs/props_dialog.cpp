// "DLGPROPS": edits the selected clock in place, or builds a new one.
#include <cstdio>

#include "clocks/clock_list.h"
#include "clocks/zone_file.h"
#include "resources/resource.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/props_logic.h"
#include "ui/dialogs/value_lists_win.h"
#include "ui/dialogs/zone_find_win.h"
#include "ui/strip/strip.h"

namespace {

constexpr const char* kTypeCaution = "Changing clock type to use system time";
constexpr const char* kLocalCaution =
    "CAUTION: this setting will use your system's local clock time regardless of the Zone "
    "setting.\r\nDo you want to continue?";
constexpr const char* kUtcCaution =
    "CAUTION: this setting will use your system's UTC (GMT) clock time and will fix the Zone "
    "setting as 'UTC'.\r\nDo you want to continue?";

struct PropsDialogState {
  HWND window;  // the open dialog, or null
  int index;    // the clock being edited, or -1 while a new clock is made
  bool asking;  // a caution question is open
};

PropsDialogState gProps = {nullptr, -1, false};

bool Editing() { return gProps.index >= 0 && gProps.index < Clocks.N; }

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

int32_t StoredType() {
  const int32_t t = Clocks.clocks[gProps.index].Type;
  return (t == kClockLocal || t == kClockUtc) ? t : kClockZone;
}

int RadioOfType(int32_t type) {
  if (type == kClockLocal) return IDC_PROPS_TYPE_LOCAL;
  if (type == kClockUtc) return IDC_PROPS_TYPE_UTC;
  return IDC_PROPS_TYPE_ZONE;
}

int32_t CheckedType(HWND dialog) {
  if (IsDlgButtonChecked(dialog, IDC_PROPS_TYPE_LOCAL) == BST_CHECKED) return kClockLocal;
  if (IsDlgButtonChecked(dialog, IDC_PROPS_TYPE_UTC) == BST_CHECKED) return kClockUtc;
  return kClockZone;
}

void SelectZoneByPrefix(HWND dialog, const char* prefix) {
  // An empty prefix would match the first zone of all.
  if (prefix[0] == '\0') return;
  SendDlgItemMessageA(dialog, IDC_PROPS_ZONE, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                      reinterpret_cast<LPARAM>(prefix));
}

void FillZoneNames(HWND dialog) {
  HWND list = Item(dialog, IDC_PROPS_ZONE);
  for (const ZoneEntry* z = ZoneList; z != nullptr; z = z->next) {
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(z->name));
  }
}

void ShowWorkHours(HWND dialog, const ClockRecord& clock) {
  char text[8];
  WorkTimeText(clock.WorkStart, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_PROPS_WORK_START, text);
  WorkTimeText(clock.WorkEnd, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_PROPS_WORK_END, text);
  for (int day = 0; day < 7; ++day) {
    CheckDlgButton(dialog, IDC_PROPS_WORK_DAY + day,
                   (clock.WorkDays >> day) & 1 ? BST_CHECKED : BST_UNCHECKED);
  }
}

void ShowClock(HWND dialog, int k) {
  const ClockRecord& clock = Clocks.clocks[k];
  char caption[192];
  std::snprintf(caption, sizeof caption, "Clock Properties (%d) - %.127s", k + 1, clock.Title);
  SetWindowTextA(dialog, caption);
  SetDlgItemTextA(dialog, IDC_PROPS_TITLE, clock.Title);
  CheckRadioButton(dialog, IDC_PROPS_TYPE_ZONE, IDC_PROPS_TYPE_UTC, RadioOfType(clock.Type));
  SelectZoneByPrefix(dialog, clock.Id);
  SelectValue(Item(dialog, IDC_PROPS_COLOR), kColorValues, clock.Color);
  SelectValue(Item(dialog, IDC_PROPS_FORMAT), kTimeFormatValues, clock.Format);
  char width[16];
  std::snprintf(width, sizeof width, "%u", static_cast<unsigned>(clock.Width));
  SetDlgItemTextA(dialog, IDC_PROPS_WIDTH, width);
  SetDlgItemTextA(dialog, IDC_PROPS_TZ, clock.Tz);
  ShowWorkHours(dialog, clock);
}

// False with the focus on the time that does not read (the dialog stays open).
bool ReadWorkHours(HWND dialog, PropsChoice* choice) {
  const int ids[2] = {IDC_PROPS_WORK_START, IDC_PROPS_WORK_END};
  int32_t* fields[2] = {&choice->workStart, &choice->workEnd};
  for (int i = 0; i < 2; ++i) {
    char text[16];
    GetDlgItemTextA(dialog, ids[i], text, sizeof text);
    if (!ParseWorkTime(text, fields[i])) {
      MessageBoxA(dialog, "Enter working hours as 24-hour times such as 09:00 and 17:30.", "HORLIX",
                  MB_OK | MB_ICONERROR);
      SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dialog, ids[i])), TRUE);
      return false;
    }
  }
  choice->workDays = 0;
  for (int day = 0; day < 7; ++day) {
    if (IsDlgButtonChecked(dialog, IDC_PROPS_WORK_DAY + day) == BST_CHECKED) {
      choice->workDays |= 1 << day;
    }
  }
  return true;
}

void OnPropsInit(HWND dialog) {
  gProps.window = dialog;
  gProps.asking = false;
  SetDlgItemTextA(dialog, IDC_PROPS_TITLE, "<New>");
  CheckRadioButton(dialog, IDC_PROPS_TYPE_ZONE, IDC_PROPS_TYPE_UTC, IDC_PROPS_TYPE_ZONE);
  FillValueList(Item(dialog, IDC_PROPS_COLOR), kColorValues, kColorGreen);
  FillValueList(Item(dialog, IDC_PROPS_FORMAT), kTimeFormatValues, 0);
  FillZoneNames(dialog);
  AttachZoneFind(Item(dialog, IDC_PROPS_FIND), IDC_PROPS_ZONE);
  ShowWorkHours(dialog, ClockRecord{});
  if (!Editing()) {
    SetWindowTextA(dialog, "Clock Properties <New>");
    return;
  }
  ShowClock(dialog, gProps.index);
}

void OnZoneChosen(HWND dialog) {
  char name[kPropsTextChars];
  if (!ReadListSelection(Item(dialog, IDC_PROPS_ZONE), name, sizeof name, kPropsTextMaxLen)) {
    return;
  }
  if (FindZone(name) == nullptr) return;
  char title[kPropsTextChars];
  ProposeTitle(name, title, sizeof title);
  SetDlgItemTextA(dialog, IDC_PROPS_TITLE, title);
}

// The zones the search box finds, best first, in place of all zones; all of
// them again, sorted, once the box is empty. The selection follows the best
// match (proposing its title as a choice would), or stays when the box empties.
void OnFindChanged(HWND dialog) {
  char query[kZoneFindChars];
  GetDlgItemTextA(dialog, IDC_PROPS_FIND, query, sizeof query);
  HWND list = Item(dialog, IDC_PROPS_ZONE);
  char selected[kPropsTextChars];
  const bool hadSelection = ReadListSelection(list, selected, sizeof selected, kPropsTextMaxLen);
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  if (query[0] == '\0') {
    FillZoneNames(dialog);
    if (hadSelection) {
      SendMessageA(list, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(selected));
    }
    return;
  }
  static const ZoneEntry* found[kMaxZoneMatches];
  const int count = SearchZones(query, ZoneList, found, kMaxZoneMatches);
  for (int i = 0; i < count; ++i) {
    // Inserting keeps the best-first order of a sorted list.
    SendMessageA(list, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(found[i]->name));
  }
  if (count == 0) return;
  SendMessageA(list, CB_SETCURSEL, 0, 0);
  OnZoneChosen(dialog);
}

// Enter in the search box takes the selected zone and moves on to the list.
void OnFindEnter(HWND dialog) {
  HWND list = Item(dialog, IDC_PROPS_ZONE);
  if (SendMessageA(list, CB_GETCURSEL, 0, 0) == CB_ERR) return;
  OnZoneChosen(dialog);
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
}

bool AskCaution(HWND dialog, const char* text) {
  gProps.asking = true;
  const int answer =
      MessageBoxA(dialog, text, kTypeCaution, MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
  gProps.asking = false;
  return answer == IDOK;
}

// Back to "Time Zone" after a refused caution. The focus moves there too, so
// the refused radio button does not take it back and check itself again.
void BackToZoneType(HWND dialog) {
  CheckRadioButton(dialog, IDC_PROPS_TYPE_ZONE, IDC_PROPS_TYPE_UTC, IDC_PROPS_TYPE_ZONE);
  EnableWindow(Item(dialog, IDC_PROPS_ZONE), TRUE);
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dialog, IDC_PROPS_TYPE_ZONE)),
               TRUE);
}

void SwitchToSystemTime(HWND dialog, int32_t type) {
  const bool local = type == kClockLocal;
  if (!AskCaution(dialog, local ? kLocalCaution : kUtcCaution)) {
    BackToZoneType(dialog);
    return;
  }
  // The zone list shows all zones again, so "UTC" is there to select.
  SetDlgItemTextA(dialog, IDC_PROPS_FIND, "");
  SelectValue(Item(dialog, IDC_PROPS_COLOR), kColorValues, local ? kColorLightBlue : kColorYellow);
  SetDlgItemTextA(dialog, IDC_PROPS_TITLE, local ? "Local" : "UTC");
  if (local) {
    SendDlgItemMessageA(dialog, IDC_PROPS_ZONE, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  } else {
    SelectZoneByPrefix(dialog, "UTC");
  }
  EnableWindow(Item(dialog, IDC_PROPS_ZONE), FALSE);
}

void OnTypeClicked(HWND dialog, int id) {
  // A new clock takes its type from the radio buttons alone.
  if (!Editing() || gProps.asking) return;
  const int32_t chosen = id == IDC_PROPS_TYPE_LOCAL ? kClockLocal
                         : id == IDC_PROPS_TYPE_UTC ? kClockUtc
                                                    : kClockZone;
  if (chosen == kClockZone) {
    // Also after an earlier confirmed switch disabled the list.
    EnableWindow(Item(dialog, IDC_PROPS_ZONE), TRUE);
    return;
  }
  if (chosen == StoredType()) return;
  SwitchToSystemTime(dialog, chosen);
}

void OnPropsOk(HWND dialog) {
  char title[kPropsTextChars];
  GetDlgItemTextA(dialog, IDC_PROPS_TITLE, title, sizeof title);
  char zone[kPropsTextChars];
  const bool hasZone =
      ReadListSelection(Item(dialog, IDC_PROPS_ZONE), zone, sizeof zone, kPropsTextMaxLen);
  PropsChoice choice{};
  choice.color = ReadValueList(Item(dialog, IDC_PROPS_COLOR), kColorValues);
  choice.format = ReadValueList(Item(dialog, IDC_PROPS_FORMAT), kTimeFormatValues);
  choice.type = CheckedType(dialog);
  choice.title = title;
  choice.zone = hasZone ? zone : nullptr;
  if (!ReadWorkHours(dialog, &choice)) return;

  const PropsOutcome outcome =
      Editing() ? ApplyClockEdit(gProps.index, choice) : AddClockFromChoice(choice);
  if (outcome == kPropsNeedZone) {
    MessageBoxA(dialog, "You must select a valid time zone", "HORLIX", MB_OK | MB_ICONERROR);
    HWND list = Item(dialog, IDC_PROPS_ZONE);
    EnableWindow(list, TRUE);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    return;
  }
  if (outcome == kPropsCloseRelayout) RelayoutStrip();
  EndDialog(dialog, 1);
}

void OnPropsCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDOK:
      OnPropsOk(dialog);
      break;
    case IDCANCEL:
      EndDialog(dialog, 1);
      break;
    case IDC_PROPS_HELP:
      ShowHelp(dialog, Paths.helpFile, kHelpContext, kPropertiesHelpContext);
      break;
    case IDC_PROPS_ZONE:
      if (code == CBN_SELCHANGE) OnZoneChosen(dialog);
      break;
    case IDC_PROPS_FIND:
      if (code == EN_CHANGE) OnFindChanged(dialog);
      if (code == kZoneFindEnter) OnFindEnter(dialog);
      break;
    case IDC_PROPS_TYPE_ZONE:
    case IDC_PROPS_TYPE_LOCAL:
    case IDC_PROPS_TYPE_UTC:
      if (code == BN_CLICKED) OnTypeClicked(dialog, id);
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK PropsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceBesideStrip(dialog);
      OnPropsInit(dialog);
      return TRUE;
    case WM_COMMAND:
      OnPropsCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowPropertiesDialog(HWND owner) {
  // A command that reaches the strip while the dialog is open (the strip
  // keeps taking posted commands) must not start a second one over the
  // first one's state.
  if (gProps.window != nullptr) {
    SetForegroundWindow(gProps.window);
    return;
  }
  gProps.index = Clocks.SelectedClock >= 0 && Clocks.SelectedClock < Clocks.N
                     ? Clocks.SelectedClock
                     : -1;
  DialogBoxParamA(MainWindow.instance, IDD_PROPS, owner, PropsDialogProc, 0);
  gProps.window = nullptr;
}
