// "DLGZONES": every zone with its time when the list was filled, sortable by
// any column in either direction.
#include "ui/dialogs/dialogs.h"

#include <commctrl.h>

#include <algorithm>

#include "resources/resource.h"
#include "ui/dialogs/zone_find_win.h"
#include "ui/dialogs/zones_logic.h"
#include "ui/strip/strip.h"

namespace {

struct ZonesColumn {
  const char* heading;
  int width;
};

constexpr ZonesColumn kColumns[kZoneColumns] = {
    {"Zone Name", 140},
    {"Time Now", 160},
    {"TZ string", 200},
};

// The rows behind the list view while the dialog is open; each list item's
// data is its row's position here.
ZoneRows gZoneRows = {nullptr, 0};
// The open dialog, or null: a second request brings it to the front rather
// than refilling the rows under it.
HWND gZonesWindow = nullptr;

void AddColumns(HWND view) {
  ListView_SetExtendedListViewStyle(view, LVS_EX_FULLROWSELECT);
  const int dpi = WindowDpi(view);
  for (int c = 0; c < kZoneColumns; ++c) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = ScaleForDpi(kColumns[c].width, dpi);
    column.pszText = const_cast<char*>(kColumns[c].heading);
    column.iSubItem = c;
    SendMessageA(view, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c),
                 reinterpret_cast<LPARAM>(&column));
  }
}

void SetCellText(HWND view, int item, int column, const char* text) {
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = const_cast<char*>(text);
  SendMessageA(view, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

void InsertZoneRow(HWND view, int i) {
  const ZoneRow& row = gZoneRows.rows[i];
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = ListView_GetItemCount(view);
  item.pszText = const_cast<char*>(ZoneRowColumn(row, 0));
  item.lParam = i;
  const int at = static_cast<int>(
      SendMessageA(view, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (at < 0) return;
  SetCellText(view, at, 1, ZoneRowColumn(row, 1));
  SetCellText(view, at, 2, ZoneRowColumn(row, 2));
}

// The rows the search box finds, best first, the best one selected.
void InsertFoundRows(HWND view, const char* query) {
  static const ZoneEntry* found[kMaxZoneMatches];
  const int count = SearchZones(query, ZoneList, found, kMaxZoneMatches);
  for (int k = 0; k < count; ++k) {
    for (int i = 0; i < gZoneRows.count; ++i) {
      if (gZoneRows.rows[i].name == found[k]->name) InsertZoneRow(view, i);
    }
  }
  if (ListView_GetItemCount(view) == 0) return;
  ListView_SetItemState(view, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(view, 0, FALSE);
}

// Shows the rows: every one, or with text in the search box the ones it finds.
void ShowZoneRows(HWND view, const char* query) {
  // A visible list updates itself for every row it gets; under Wine that kept
  // the program from answering for seconds on "Refresh".
  SendMessageA(view, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(view);
  if (query[0] == '\0') {
    for (int i = 0; i < gZoneRows.count; ++i) InsertZoneRow(view, i);
  } else {
    InsertFoundRows(view, query);
  }
  SendMessageA(view, WM_SETREDRAW, TRUE, 0);
  const int shown = ListView_GetItemCount(view);
  if (shown > 0) ListView_RedrawItems(view, 0, shown - 1);
}

void ReadZonesQuery(HWND dialog, char* query, size_t size) {
  query[0] = '\0';
  GetDlgItemTextA(dialog, IDC_ZONES_FIND, query, static_cast<int>(size));
}

void FillZonesView(HWND view) {
  FillZoneRows(&gZoneRows);
  char query[kZoneFindChars];
  ReadZonesQuery(GetParent(view), query, sizeof query);
  ShowZoneRows(view, query);
}

// Each column at least its set width and wide enough for its heading and
// its longest text in the list's font, plus the list's own margins.
void FitZoneColumns(HWND view) {
  constexpr int kColumnMargin = 16;  // pixels at 96 dpi
  const int margin = ScaleForDpi(kColumnMargin, WindowDpi(view));
  for (int c = 0; c < kZoneColumns; ++c) {
    int width = ListView_GetStringWidth(view, kColumns[c].heading);
    for (int i = 0; i < gZoneRows.count; ++i) {
      width = std::max(width, ListView_GetStringWidth(view, ZoneRowColumn(gZoneRows.rows[i], c)));
    }
    if (width + margin > ListView_GetColumnWidth(view, c)) ListView_SetColumnWidth(view, c, width + margin);
  }
}

int CALLBACK CompareZoneItems(LPARAM a, LPARAM b, LPARAM column) {
  return CompareZoneRows(&gZoneRows, a, b, static_cast<int>(column), &ZonesSort);
}

void SortZonesView(HWND view, int column) {
  ListView_SortItems(view, CompareZoneItems, column);
}

void OnZonesInit(HWND dialog) {
  gZonesWindow = dialog;
  HWND view = GetDlgItem(dialog, IDC_ZONES_LIST);
  if (view == nullptr) return;
  AddColumns(view);
  FillZonesView(view);
  FitZoneColumns(view);
  SortZonesView(view, 0);
  AttachZoneFind(GetDlgItem(dialog, IDC_ZONES_FIND), IDC_ZONES_LIST);
}

bool SearchingZones(HWND dialog) {
  char query[kZoneFindChars];
  ReadZonesQuery(dialog, query, sizeof query);
  return query[0] != '\0';
}

void OnZonesRefresh(HWND dialog) {
  HWND view = GetDlgItem(dialog, IDC_ZONES_LIST);
  if (view == nullptr) return;
  FillZonesView(view);
  FitZoneColumns(view);
  if (!SearchingZones(dialog)) SortZonesView(view, ZonesSort.lastColumn);
}

// Typing narrows the rows to those found, best first; an empty box shows
// every row again, sorted as before. The times stay those of the last fill.
void OnZonesFindChanged(HWND dialog) {
  HWND view = GetDlgItem(dialog, IDC_ZONES_LIST);
  if (view == nullptr) return;
  char query[kZoneFindChars];
  ReadZonesQuery(dialog, query, sizeof query);
  ShowZoneRows(view, query);
  if (query[0] == '\0') SortZonesView(view, ZonesSort.lastColumn);
}

// Enter in the search box takes the selected row: the focus moves to it.
void OnZonesFindEnter(HWND dialog) {
  HWND view = GetDlgItem(dialog, IDC_ZONES_LIST);
  if (view == nullptr || ListView_GetNextItem(view, -1, LVNI_SELECTED) < 0) return;
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(view), TRUE);
}

void CloseZones(HWND dialog) {
  EndDialog(dialog, 1);
}

// True when the notice was a heading click, which sorts by that column.
bool OnZonesNotify(HWND dialog, const NMHDR* header) {
  if (header->idFrom != IDC_ZONES_LIST || header->code != LVN_COLUMNCLICK) return false;
  const auto* click = reinterpret_cast<const NMLISTVIEW*>(header);
  if (click->iSubItem < 0 || click->iSubItem >= kZoneColumns) return false;
  ClickZoneColumn(&ZonesSort, click->iSubItem);
  SortZonesView(GetDlgItem(dialog, IDC_ZONES_LIST), click->iSubItem);
  return true;
}

void OnZonesCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      CloseZones(dialog);
      break;
    case IDC_ZONES_FIND:
      if (code == EN_CHANGE) OnZonesFindChanged(dialog);
      if (code == kZoneFindEnter) OnZonesFindEnter(dialog);
      break;
    case IDC_ZONES_REFRESH:
      OnZonesRefresh(dialog);
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK ZonesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceBesideStrip(dialog);
      OnZonesInit(dialog);
      return TRUE;
    case WM_NOTIFY:
      return OnZonesNotify(dialog, reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : FALSE;
    case WM_COMMAND:
      OnZonesCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_DESTROY:
      FreeZoneRows(&gZoneRows);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowZonesDialog(HWND owner) {
  if (gZonesWindow != nullptr) {
    SetForegroundWindow(gZonesWindow);
    return;
  }
  DialogBoxParamA(MainWindow.instance, IDD_ZONES, owner, ZonesDialogProc, 0);
  gZonesWindow = nullptr;
  FreeZoneRows(&gZoneRows);
}
