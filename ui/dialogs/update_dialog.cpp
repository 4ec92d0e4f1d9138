// "DLGUPDATE": the update status, a check on demand, the zone data file
// installation and the program upgrade, with their progress lines.
#include <windows.h>

#include <cstdio>

#include "clocks/profile.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "resources/resource.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/links.h"
#include "ui/strip/strip.h"
#include "update/progress_list.h"
#include "update/sites.h"
#include "update/update_check.h"
#include "update/update_status.h"
#include "update/upgrade.h"
#include "update/zone_update.h"

namespace {

// What the dialog keeps while it is open.
struct UpdateDialogState {
  LinkMetrics metrics;
  HFONT linkFont;
  HBRUSH listBrush;
  char linkCaption[kLinkCaptionChars];
};

UpdateDialogState gUpdate;

ProgressList ListOf(HWND dialog) {
  return ListBoxProgress(GetDlgItem(dialog, IDC_UPDATE_PROGRESS));
}

void Enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }

void RefreshStatus(HWND dialog) {
  const int32_t status = ShownUpdateStatus(Settings.UpdateStatus);
  char line[kUpdateStatusLineChars];
  UpdateStatusLine(status, line, sizeof line);
  SetDlgItemTextA(dialog, IDC_UPDATE_STATUS, line);
  uint8_t bytes[8] = {};
  uint32_t type = 0;
  uint32_t size = sizeof bytes;
  if (RegistryRead(kMainKey, "UpdateLastCheck", &type, bytes, &size) == 0 && size > 0) {
    char age[32];
    AgeText(FileTimeFromBytes(bytes), UpdateCheckRun.automaticCheck ? " (auto)" : "", age,
            sizeof age);
    SetDlgItemTextA(dialog, IDC_UPDATE_LAST_CHECKED, age);
  }
  Enable(dialog, IDC_UPDATE_INSTALL, status == 1);
  Enable(dialog, IDC_UPDATE_UPGRADE, status == 2);
  Enable(dialog, IDC_UPDATE_REMIND, status != 0);
}

void FillZoneFileDetails(HWND dialog) {
  char date[32];
  ProfileString(Paths.zoneFile, "Version", "Date", "0000-00-00", date, sizeof date);
  SetDlgItemTextA(dialog, IDC_UPDATE_TIMESTAMP, date);
  SetDlgItemTextA(dialog, IDC_UPDATE_LOCATION, Paths.zoneFile);
  char text[32];
  std::snprintf(text, sizeof text, "%08X", Crc32File(Paths.zoneFile));
  SetDlgItemTextA(dialog, IDC_UPDATE_CHECKSUM, text);
  long size = -1;
  if (FILE* f = std::fopen(Paths.zoneFile, "rb")) {
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fclose(f);
  }
  std::snprintf(text, sizeof text, "%d", static_cast<int>(size));
  SetDlgItemTextA(dialog, IDC_UPDATE_SIZE, text);
}

void OnUpdateInit(HWND dialog) {
  MainWindow.updateDialog = dialog;
  char version[16];
  std::snprintf(version, sizeof version, "%u", kProgramVersion);
  SetDlgItemTextA(dialog, IDC_UPDATE_VERSION, version);
  RefreshStatus(dialog);
  FillZoneFileDetails(dialog);
  if (MainWindow.remindLater) {
    CheckDlgButton(dialog, IDC_UPDATE_REMIND, BST_CHECKED);
    SetDlgItemTextA(dialog, IDOK, "OK");
  }
  gUpdate.listBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  gUpdate.linkFont = MakeLinkFont(dialog, IDC_UPDATE_LINK, &gUpdate.metrics);
  GetDlgItemTextA(dialog, IDC_UPDATE_LINK, gUpdate.linkCaption, sizeof gUpdate.linkCaption);
  FitLink(dialog, IDC_UPDATE_LINK, gUpdate.linkCaption, gUpdate.metrics, gUpdate.linkFont);
}

void InstallZoneFile(HWND dialog) {
  ProgressList list = ListOf(dialog);
  const char* failure = UpdateZoneFile(&list);
  if (failure != nullptr) {
    MessageBoxA(dialog, failure, "HORLIX", MB_OK | MB_ICONWARNING);
    return;
  }
  // The restarted instance reads 0; this one ends.
  WriteDword(0, kMainKey, "UpdateStatus");
  RestartProgram(MainWindow.window != nullptr ? MainWindow.window : dialog);
  MessageBoxA(dialog, "Please exit from Horlix and re-start to finish the update",
              "Update Sucessful", MB_OK | MB_ICONINFORMATION);
}

void UpgradeNow(HWND dialog) {
  ProgressList list = ListOf(dialog);
  if (UpgradeProgram(&list) != kUpgradeFailed) return;
  OpenInBrowser(dialog, kDownloadWebPath);
  MessageBoxA(dialog,
              "Please exit from Horlix, download and install the new version from our web site. "
              "Then re-start.",
              "HORLIX", MB_OK | MB_ICONINFORMATION);
}

void ShowProgressLine(HWND dialog) {
  HWND box = GetDlgItem(dialog, IDC_UPDATE_PROGRESS);
  const LRESULT index = SendMessageA(box, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return;
  const LRESULT length = SendMessageA(box, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR || length > static_cast<LRESULT>(kProgressLineChars)) return;
  char line[kProgressLineChars + 1] = "";
  SendMessageA(box, LB_GETTEXT, index, reinterpret_cast<LPARAM>(line));
  MessageBoxA(dialog, line, "List Item", MB_OK);
}

void CloseUpdateDialog(HWND dialog, int id) {
  MainWindow.remindLater = IsDlgButtonChecked(dialog, IDC_UPDATE_REMIND) == BST_CHECKED ? 1 : 0;
  EndDialog(dialog, id);
}

void OnUpdateCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      CloseUpdateDialog(dialog, id);
      break;
    case IDC_UPDATE_CHECK: {
      ProgressList list = ListOf(dialog);
      CheckForUpdates(true, &list);
      RefreshStatus(dialog);
      break;
    }
    case IDC_UPDATE_REMIND:
      SetDlgItemTextA(dialog, IDOK,
                      IsDlgButtonChecked(dialog, IDC_UPDATE_REMIND) == BST_CHECKED ? "OK" : "Close");
      break;
    case IDC_UPDATE_INSTALL:
      InstallZoneFile(dialog);
      break;
    case IDC_UPDATE_UPGRADE:
      UpgradeNow(dialog);
      break;
    case IDC_UPDATE_LINK:
      OpenInBrowser(dialog, kDownloadWebPath);
      break;
    case IDC_UPDATE_PROGRESS:
      if (code == LBN_DBLCLK) ShowProgressLine(dialog);
      break;
    case IDC_UPDATE_STATUS_LABEL:
      if (code == STN_DBLCLK) Enable(dialog, IDC_UPDATE_UPGRADE, true);
      break;
    default:
      break;
  }
}

INT_PTR OnUpdateListColor(HDC dc, HWND control) {
  if (GetDlgCtrlID(control) != IDC_UPDATE_PROGRESS) return FALSE;
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<INT_PTR>(gUpdate.listBrush);
}

void OnUpdateDestroy() {
  if (gUpdate.linkFont != nullptr) DeleteObject(gUpdate.linkFont);
  if (gUpdate.listBrush != nullptr) DeleteObject(gUpdate.listBrush);
  gUpdate.linkFont = nullptr;
  gUpdate.listBrush = nullptr;
  MainWindow.updateDialog = nullptr;
}

INT_PTR CALLBACK UpdateProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceBesideStrip(dialog);
      OnUpdateInit(dialog);
      SetDialogIcon(dialog, IDC_UPDATE_ICON, IDI_HORLIX);
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != IDC_UPDATE_LINK) return FALSE;
      DrawLink(dialog, IDC_UPDATE_LINK, item, gUpdate.linkCaption, gUpdate.metrics);
      return TRUE;
    }
    case WM_CTLCOLORLISTBOX:
      return OnUpdateListColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
      OnUpdateCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_DESTROY:
      OnUpdateDestroy();
      ReleaseDialogIcon(dialog, IDC_UPDATE_ICON);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowUpdateDialog(HWND owner) {
  if (MainWindow.updateDialog != nullptr) {
    SetForegroundWindow(MainWindow.updateDialog);
    return;
  }
  gUpdate = UpdateDialogState{};
  DialogBoxParamA(GetModuleHandleA(nullptr), IDD_UPDATE, owner, UpdateProc, 0);
  MainWindow.updateDialog = nullptr;
}
