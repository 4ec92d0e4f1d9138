// "DLGPLANNER": the meeting planner, a modeless window beside the strip. The
// grid is a control of its own class: it turns keys, clicks and the mouse
// into calls on the planner model and paints the model into a memory DC.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "clocks/registry.h"
#include "clocks/settings.h"
#include "resources/resource.h"
#include "tz/wall_clock.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/planner_logic.h"
#include "ui/strip/strip.h"

namespace {

constexpr const char* kGridClass = "HorlixPlannerGrid";
constexpr UINT_PTR kRebuildTimer = 1;
constexpr UINT kRebuildMillis = 1000;
constexpr UINT_PTR kTipTool = 1;
constexpr const char* kPlaceNames[4] = {"PlannerX", "PlannerY", "PlannerWidth", "PlannerHeight"};

constexpr COLORREF kWorkColor = RGB(134, 206, 134);
constexpr COLORREF kAwakeColor = RGB(236, 240, 228);
constexpr COLORREF kNightColor = RGB(52, 58, 82);
constexpr COLORREF kMarkColor = RGB(24, 120, 24);
constexpr COLORREF kReferenceColor = RGB(255, 246, 200);

struct GridLayout {
  int lineHeight;
  int headWidth;
  int headerHeight;
  int rowHeight;
  int columnWidth;
  int topRow;  // first row shown (the grid scrolls by rows)
};

struct PlannerWindowState {
  HWND dialog;
  HWND grid;
  HWND tip;
  GridLayout layout;
  int hoverRow;  // -1 = header, -2 = none
  int hoverColumn;
  SIZE minimum;   // the template's size: the window never gets smaller
  SIZE client;    // client size the controls were last placed for
  UINT calendarFormat;
  PlannerModel model;
};

PlannerWindowState gPlanner = {};
char gTipText[kPlannerTipChars];

// Controls that follow the window's size: moved with the bottom edge,
// moved with the right edge, stretched in either direction.
struct Anchor {
  int id;
  bool down, right, wide, tall;
};
constexpr Anchor kAnchors[] = {
    {IDC_PLANNER_GRID, false, false, true, true},
    {IDC_PLANNER_SLOT, true, false, true, false},
    {IDC_PLANNER_DATE, true, false, false, false},
    {IDC_PLANNER_STEP, true, false, false, false},
    {IDC_PLANNER_DURATION, true, false, false, false},
    {IDC_PLANNER_COPY, true, false, false, false},
    {IDC_PLANNER_SAVE, true, false, false, false},
    {IDCANCEL, true, true, false, false},
};

// The labels beside the date and the choices move with the bottom edge too.
void MoveStaticLabels(HWND dialog, int dy) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(child) != -1 && GetDlgCtrlID(child) != 0xFFFF) continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(child, nullptr, r.left, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
}

void PlaceControls(HWND dialog, int width, int height) {
  const int dx = width - gPlanner.client.cx;
  const int dy = height - gPlanner.client.cy;
  if (dx == 0 && dy == 0) return;
  for (const Anchor& a : kAnchors) {
    HWND control = GetDlgItem(dialog, a.id);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(control, nullptr, r.left + (a.right ? dx : 0), r.top + (a.down ? dy : 0),
                 r.right - r.left + (a.wide ? dx : 0), r.bottom - r.top + (a.tall ? dy : 0),
                 SWP_NOZORDER);
  }
  MoveStaticLabels(dialog, dy);
  gPlanner.client = {width, height};
  InvalidateRect(dialog, nullptr, TRUE);
}

// ---- layout of the grid: which rectangle holds which cell ----

int VisibleRows(const RECT& client) {
  const GridLayout& g = gPlanner.layout;
  const int room = (client.bottom - g.headerHeight) / (g.rowHeight > 0 ? g.rowHeight : 1);
  return room < 1 ? 1 : room;
}

void LayoutGrid(HWND grid) {
  GridLayout& g = gPlanner.layout;
  HDC dc = GetDC(grid);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(gPlanner.dialog, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  g.lineHeight = metrics.tmHeight;
  RECT client;
  GetClientRect(grid, &client);
  int head = 0;
  for (int r = 0; r < gPlanner.model.rows; ++r) {
    char text[kPlannerHeadChars];
    PlannerRowHeadText(&gPlanner.model, r, text, sizeof text);
    SIZE size;
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    if (size.cx > head) head = size.cx;
  }
  SelectObject(dc, old);
  ReleaseDC(grid, dc);
  g.headWidth = head + 8 < client.right / 3 ? head + 8 : client.right / 3;
  g.headerHeight = g.lineHeight + 8;
  g.rowHeight = 2 * g.lineHeight + 4;
  const int columns = (client.right - g.headWidth) / kPlannerColumns;
  g.columnWidth = columns < 1 ? 1 : columns;

  const int visible = VisibleRows(client);
  const int lastTop = gPlanner.model.rows - visible > 0 ? gPlanner.model.rows - visible : 0;
  if (g.topRow > lastTop) g.topRow = lastTop;
  if (g.topRow < 0) g.topRow = 0;
  SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                     gPlanner.model.rows - 1, static_cast<UINT>(visible), g.topRow, 0};
  SetScrollInfo(grid, SB_VERT, &info, TRUE);
}

// Row (-1 for the header, -2 outside) and column (-1 for the heads) at a point.
void HitTest(int x, int y, int* row, int* column) {
  const GridLayout& g = gPlanner.layout;
  *column = x < g.headWidth ? -1 : (x - g.headWidth) / g.columnWidth;
  if (*column >= kPlannerColumns) *column = -2;
  if (y < g.headerHeight) {
    *row = -1;
  } else {
    *row = g.topRow + (y - g.headerHeight) / g.rowHeight;
    if (*row >= gPlanner.model.rows) *row = -2;
  }
}

// ---- painting ----

void DrawTextAt(HDC dc, const char* text, RECT r, UINT flags) {
  DrawTextA(dc, text, -1, &r, flags | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
  SetBkColor(dc, color);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void PaintHeader(HDC dc) {
  const GridLayout& g = gPlanner.layout;
  const PlannerModel& m = gPlanner.model;
  for (int c = 0; c < kPlannerColumns; ++c) {
    const RECT cell = {g.headWidth + c * g.columnWidth, 0, g.headWidth + (c + 1) * g.columnWidth,
                       g.headerHeight};
    char text[kPlannerCellChars];
    PlannerCellHourText(m.row[m.reference].cells[c], text, sizeof text);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    DrawTextAt(dc, text, cell, DT_CENTER | DT_TOP);
    if (m.marked[c]) Fill(dc, {cell.left + 1, cell.bottom - 4, cell.right - 1, cell.bottom}, kMarkColor);
  }
}

void PaintRow(HDC dc, int r, int y) {
  const GridLayout& g = gPlanner.layout;
  const PlannerModel& m = gPlanner.model;
  const RECT head = {0, y, g.headWidth, y + g.rowHeight};
  Fill(dc, head, r == m.reference ? kReferenceColor : GetSysColor(COLOR_BTNFACE));
  char text[kPlannerHeadChars];
  PlannerRowHeadText(&m, r, text, sizeof text);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextAt(dc, text, {head.left + 4, head.top, head.right - 2, head.bottom}, DT_LEFT | DT_VCENTER);
  static const COLORREF kShades[3] = {kNightColor, kAwakeColor, kWorkColor};
  for (int c = 0; c < kPlannerColumns; ++c) {
    const PlannerCell& cell = m.row[r].cells[c];
    const RECT box = {g.headWidth + c * g.columnWidth, y, g.headWidth + (c + 1) * g.columnWidth - 1,
                      y + g.rowHeight - 1};
    Fill(dc, box, kShades[cell.shade % 3]);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, cell.shade == kShadeNight ? RGB(255, 255, 255) : RGB(0, 0, 0));
    char hour[kPlannerCellChars];
    char date[kPlannerCellChars];
    PlannerCellHourText(cell, hour, sizeof hour);
    PlannerCellDateText(cell, date, sizeof date);
    DrawTextAt(dc, hour, {box.left, box.top + 1, box.right, box.top + 1 + g.lineHeight}, DT_CENTER);
    // A column too narrow for "Thu 10" shows the day alone.
    SIZE size;
    GetTextExtentPoint32A(dc, date, static_cast<int>(std::strlen(date)), &size);
    if (size.cx > box.right - box.left) std::snprintf(date, sizeof date, "%d", cell.mday);
    if (!cell.dateDiffers) date[0] = '\0';
    DrawTextAt(dc, date, {box.left, box.top + 1 + g.lineHeight, box.right, box.bottom}, DT_CENTER);
    if (cell.change) DrawChangeMark(dc, box, g.lineHeight / 2);
  }
}

// The selected slot framed across all rows, from its minute to its end.
void PaintSlot(HDC dc, int bottom) {
  const GridLayout& g = gPlanner.layout;
  const PlannerModel& m = gPlanner.model;
  const int start = m.slot * m.step;
  int end = start + m.duration;
  if (end > kMinutesPerDay) end = kMinutesPerDay;
  const int left = g.headWidth + start * g.columnWidth / 60;
  const int right = g.headWidth + end * g.columnWidth / 60;
  HPEN pen = CreatePen(PS_SOLID, 3, RGB(200, 0, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, left, 1, right + 1, bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void OnGridPaint(HWND grid) {
  PAINTSTRUCT ps;
  HDC screen = BeginPaint(grid, &ps);
  RECT client;
  GetClientRect(grid, &client);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(gPlanner.dialog, WM_GETFONT, 0, 0)));
  Fill(dc, client, GetSysColor(COLOR_WINDOW));
  PaintHeader(dc);
  int y = gPlanner.layout.headerHeight;
  for (int r = gPlanner.layout.topRow; r < gPlanner.model.rows && y < client.bottom; ++r) {
    PaintRow(dc, r, y);
    y += gPlanner.layout.rowHeight;
  }
  PaintSlot(dc, y);
  if (GetFocus() == grid) DrawFocusRect(dc, &client);
  BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(grid, &ps);
}

// ---- the model's state shown in the other controls ----

void ShowDay() {
  SYSTEMTIME day = {};
  day.wYear = static_cast<WORD>(gPlanner.model.year);
  day.wMonth = static_cast<WORD>(gPlanner.model.month);
  day.wDay = static_cast<WORD>(gPlanner.model.day);
  DateTime_SetSystemtime(GetDlgItem(gPlanner.dialog, IDC_PLANNER_DATE), GDT_VALID, &day);
}

// After every change of the selection: the frame, the line under the grid
// and the grid's window text (what a screen reader announces).
void SelectionChanged(bool dayChanged) {
  if (dayChanged) {
    LayoutGrid(gPlanner.grid);
    ShowDay();
  }
  PlannerModel& m = gPlanner.model;
  char line[kPlannerTipChars];
  char first[kPlannerTipChars];
  PlannerSlotLine(&m, 0, first, sizeof first);
  int32_t column = 0;
  int32_t last = 0;
  PlannerSlotColumns(&m, &column, &last);
  char working[64];
  PlannerColumnTip(&m, column, working, sizeof working);
  std::snprintf(line, sizeof line, "Selected: %s; %s", first, working);
  SetDlgItemTextA(gPlanner.dialog, IDC_PLANNER_SLOT, line);
  SetWindowTextA(gPlanner.grid, line);
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, gPlanner.grid, OBJID_CLIENT, CHILDID_SELF);
  InvalidateRect(gPlanner.grid, nullptr, FALSE);
}

// ---- copy and save ----

void CopySlot(HWND owner) {
  static char text[kPlannerTextChars];
  static char calendar[kPlannerCalendarChars];
  PlannerCopyText(&gPlanner.model, text, sizeof text);
  PlannerCalendarText(&gPlanner.model, CurrentInstant(), calendar, sizeof calendar);
  if (!OpenClipboard(owner)) {
    MessageBoxA(owner,
                "The clipboard is in use by another program: nothing was copied. Try again in a "
                "moment.",
                "HORLIX", MB_OK | MB_ICONWARNING);
    return;
  }
  EmptyClipboard();
  const bool ok = PutClipboardText(CF_TEXT, text) && PutClipboardText(gPlanner.calendarFormat, calendar);
  CloseClipboard();
  if (!ok) MessageBoxA(owner, "Not enough memory to copy the meeting.", "HORLIX", MB_OK | MB_ICONWARNING);
}

void SaveCalendar(HWND owner) {
  char path[MAX_PATH] = "meeting.ics";
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "iCalendar files (*.ics)\0*.ics\0All files (*.*)\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof path;
  dialog.lpstrDefExt = "ics";
  dialog.lpstrTitle = "Save as iCalendar";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetSaveFileNameA(&dialog)) return;
  static char calendar[kPlannerCalendarChars];
  PlannerCalendarText(&gPlanner.model, CurrentInstant(), calendar, sizeof calendar);
  FILE* f = std::fopen(path, "wb");
  const size_t length = std::strlen(calendar);
  bool ok = f != nullptr && std::fwrite(calendar, 1, length, f) == length;
  if (f != nullptr) ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    char message[MAX_PATH + 64];
    std::snprintf(message, sizeof message, "Could not write %s.", path);
    MessageBoxA(owner, message, "HORLIX", MB_OK | MB_ICONERROR);
  }
}

// ---- keys, wherever the focus is in the window ----

bool OnPlannerKey(WPARAM key) {
  PlannerModel& m = gPlanner.model;
  const int32_t year = m.year, month = m.month, day = m.day;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      PlannerStep(&m, key == VK_LEFT ? -1 : 1);
      break;
    case VK_PRIOR:
    case VK_NEXT:
      PlannerMoveDay(&m, key == VK_PRIOR ? -1 : 1);
      break;
    case VK_HOME:
      PlannerGoTo(&m, CurrentInstant());
      break;
    case 'C':
      if (!control) return false;
      CopySlot(gPlanner.dialog);
      return true;
    default:
      return false;
  }
  SelectionChanged(year != m.year || month != m.month || day != m.day);
  return true;
}

// ---- the grid control ----

void ScrollRows(HWND grid, int code, int thumb) {
  GridLayout& g = gPlanner.layout;
  RECT client;
  GetClientRect(grid, &client);
  const int page = VisibleRows(client);
  switch (code) {
    case SB_LINEUP: --g.topRow; break;
    case SB_LINEDOWN: ++g.topRow; break;
    case SB_PAGEUP: g.topRow -= page; break;
    case SB_PAGEDOWN: g.topRow += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: g.topRow = thumb; break;
    default: return;
  }
  LayoutGrid(grid);
  InvalidateRect(grid, nullptr, FALSE);
}

void OnGridClick(HWND grid, int x, int y, bool twice) {
  SetFocus(grid);
  int row = 0;
  int column = 0;
  HitTest(x, y, &row, &column);
  if (row >= 0 && column == -1 && twice) {
    PlannerSetReference(&gPlanner.model, row);
    SelectionChanged(true);
    return;
  }
  if (row < -1 || column < 0) return;
  const int minute = (x - gPlanner.layout.headWidth - column * gPlanner.layout.columnWidth) * 60 /
                     gPlanner.layout.columnWidth;
  PlannerSelectCell(&gPlanner.model, column, minute);
  SelectionChanged(false);
}

void OnGridMouseMove(HWND grid, int x, int y) {
  int row = 0;
  int column = 0;
  HitTest(x, y, &row, &column);
  if (row == gPlanner.hoverRow && column == gPlanner.hoverColumn) return;
  gPlanner.hoverRow = row;
  gPlanner.hoverColumn = column;
  // The tip asks for its text again when it next shows.
  SendMessageA(gPlanner.tip, TTM_POP, 0, 0);
  (void)grid;
}

void OnTipText(NMTTDISPINFOA* info) {
  const int row = gPlanner.hoverRow;
  const int column = gPlanner.hoverColumn;
  gTipText[0] = '\0';
  if (row == -1 && column >= 0) {
    PlannerColumnTip(&gPlanner.model, column, gTipText, sizeof gTipText);
  } else if (row >= 0 && column >= 0) {
    PlannerCellTip(&gPlanner.model, row, column, gTipText, sizeof gTipText);
  } else if (row >= 0 && column == -1) {
    std::snprintf(gTipText, sizeof gTipText, "%s: double-click to plan by this clock's day",
                  Clocks.clocks[row].Title);
  }
  info->lpszText = gTipText;
}

void CreateGridTip(HWND grid) {
  gPlanner.tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, grid,
                                 nullptr, MainWindow.instance, nullptr);
  TOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = grid;
  tool.uId = kTipTool;
  GetClientRect(grid, &tool.rect);
  tool.lpszText = LPSTR_TEXTCALLBACKA;
  SendMessageA(gPlanner.tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageA(gPlanner.tip, TTM_SETMAXTIPWIDTH, 0, 480);
}

void OnGridSize(HWND grid) {
  LayoutGrid(grid);
  if (gPlanner.tip != nullptr) {
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = grid;
    tool.uId = kTipTool;
    GetClientRect(grid, &tool.rect);
    SendMessageA(gPlanner.tip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  InvalidateRect(grid, nullptr, FALSE);
}

LRESULT CALLBACK GridProc(HWND grid, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_PAINT:
      OnGridPaint(grid);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      OnGridSize(grid);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(grid, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      if (OnPlannerKey(wParam)) return 0;
      if (wParam == VK_UP || wParam == VK_DOWN) ScrollRows(grid, wParam == VK_UP ? SB_LINEUP : SB_LINEDOWN, 0);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnGridClick(grid, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), message == WM_LBUTTONDBLCLK);
      return 0;
    case WM_MOUSEMOVE:
      OnGridMouseMove(grid, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEWHEEL:
      ScrollRows(grid, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
      return 0;
    case WM_VSCROLL: {
      SCROLLINFO info = {sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(grid, SB_VERT, &info);
      ScrollRows(grid, LOWORD(wParam), info.nTrackPos);
      return 0;
    }
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lParam)->code == TTN_GETDISPINFOA) {
        OnTipText(reinterpret_cast<NMTTDISPINFOA*>(lParam));
      }
      return 0;
    default:
      return DefWindowProcA(grid, message, wParam, lParam);
  }
}

void RegisterGridClass() {
  WNDCLASSEXA cls = {};
  cls.cbSize = sizeof cls;
  if (GetClassInfoExA(MainWindow.instance, kGridClass, &cls)) return;
  cls.cbSize = sizeof cls;
  cls.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  cls.lpfnWndProc = GridProc;
  cls.hInstance = MainWindow.instance;
  cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  cls.lpszClassName = kGridClass;
  RegisterClassExA(&cls);
}

// ---- the window ----

bool ReadPlace(int32_t place[4]) {
  for (int i = 0; i < 4; ++i) {
    uint32_t type = 0;
    uint32_t size = sizeof place[i];
    if (RegistryRead(kMainKey, kPlaceNames[i], &type, &place[i], &size) != 0 || type != kRegDword) {
      return false;
    }
  }
  return true;
}

// The stored place, when it is at least the template's size and on a screen.
void RestorePlace(HWND dialog) {
  int32_t place[4];
  if (!ReadPlace(place) || place[2] < gPlanner.minimum.cx || place[3] < gPlanner.minimum.cy) return;
  const RECT r = {place[0], place[1], place[0] + place[2], place[1] + place[3]};
  if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL) == nullptr) return;
  SetWindowPos(dialog, nullptr, place[0], place[1], place[2], place[3], SWP_NOZORDER);
}

void SavePlace(HWND dialog) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  GetWindowPlacement(dialog, &placement);
  const RECT& r = placement.rcNormalPosition;
  const int32_t place[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  for (int i = 0; i < 4; ++i) WriteDword(place[i], kMainKey, kPlaceNames[i]);
}

void FillChoice(HWND list, const char* const* labels, const int* values, int count, int selected) {
  for (int i = 0; i < count; ++i) {
    const LRESULT at = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(labels[i]));
    SendMessageA(list, CB_SETITEMDATA, at, values[i]);
    if (values[i] == selected) SendMessageA(list, CB_SETCURSEL, at, 0);
  }
}

int ChosenValue(HWND list) {
  const LRESULT at = SendMessageA(list, CB_GETCURSEL, 0, 0);
  return at == CB_ERR ? -1 : static_cast<int>(SendMessageA(list, CB_GETITEMDATA, at, 0));
}

void OnPlannerInit(HWND dialog) {
  gPlanner.dialog = dialog;
  gPlanner.grid = GetDlgItem(dialog, IDC_PLANNER_GRID);
  gPlanner.hoverRow = -2;
  gPlanner.calendarFormat = RegisterClipboardFormatA("text/calendar");
  PlannerOpen(&gPlanner.model, CurrentInstant());
  RECT window;
  GetWindowRect(dialog, &window);
  gPlanner.minimum = {window.right - window.left, window.bottom - window.top};
  RECT client;
  GetClientRect(dialog, &client);
  gPlanner.client = {client.right, client.bottom};
  static const char* const kSteps[] = {"15 min", "30 min", "60 min"};
  static const int kStepValues[] = {15, 30, 60};
  static const char* const kDurations[] = {"30 min", "1 h", "1 h 30", "2 h"};
  static const int kDurationValues[] = {30, 60, 90, 120};
  FillChoice(GetDlgItem(dialog, IDC_PLANNER_STEP), kSteps, kStepValues, 3, gPlanner.model.step);
  FillChoice(GetDlgItem(dialog, IDC_PLANNER_DURATION), kDurations, kDurationValues, 4,
             gPlanner.model.duration);
  SYSTEMTIME range[2] = {};
  range[0].wYear = kPlannerFirstYear;
  range[0].wMonth = 1;
  range[0].wDay = 2;
  range[1].wYear = kPlannerLastYear;
  range[1].wMonth = 12;
  range[1].wDay = 31;
  DateTime_SetRange(GetDlgItem(dialog, IDC_PLANNER_DATE), GDTR_MIN | GDTR_MAX, range);
  CreateGridTip(gPlanner.grid);
  RestorePlace(dialog);
  SelectionChanged(true);
  SetTimer(dialog, kRebuildTimer, kRebuildMillis, nullptr);
  SetFocus(gPlanner.grid);
}

// Clocks added, removed or edited while the window is open: the grid
// follows within a second, and only repaints when something changed.
void OnPlannerTimer() {
  static PlannerModel fresh;
  fresh = gPlanner.model;
  PlannerBuild(&fresh);
  if (fresh.rows == gPlanner.model.rows &&
      std::memcmp(fresh.row, gPlanner.model.row, sizeof fresh.row[0] * fresh.rows) == 0) {
    return;
  }
  if (fresh.slot >= PlannerSlotsPerDay(&fresh)) fresh.slot = PlannerSlotsPerDay(&fresh) - 1;
  gPlanner.model = fresh;
  SelectionChanged(true);
}

void OnPlannerCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDCANCEL:
      DestroyWindow(dialog);
      break;
    case IDC_PLANNER_COPY:
      CopySlot(dialog);
      break;
    case IDC_PLANNER_SAVE:
      SaveCalendar(dialog);
      break;
    case IDC_PLANNER_STEP:
      if (code == CBN_SELCHANGE) {
        PlannerSetStep(&gPlanner.model, ChosenValue(GetDlgItem(dialog, id)));
        SelectionChanged(false);
      }
      break;
    case IDC_PLANNER_DURATION:
      if (code == CBN_SELCHANGE && ChosenValue(GetDlgItem(dialog, id)) > 0) {
        gPlanner.model.duration = ChosenValue(GetDlgItem(dialog, id));
        SelectionChanged(false);
      }
      break;
    default:
      break;
  }
}

void OnPlannerNotify(const NMHDR* header) {
  if (header->idFrom != IDC_PLANNER_DATE || header->code != DTN_DATETIMECHANGE) return;
  const NMDATETIMECHANGE* change = reinterpret_cast<const NMDATETIMECHANGE*>(header);
  if (change->dwFlags != GDT_VALID) return;
  const SYSTEMTIME& day = change->st;
  if (day.wYear == gPlanner.model.year && day.wMonth == gPlanner.model.month &&
      day.wDay == gPlanner.model.day) {
    return;
  }
  PlannerSetDay(&gPlanner.model, day.wYear, day.wMonth, day.wDay);
  SelectionChanged(true);
}

void OnPlannerDestroy(HWND dialog) {
  KillTimer(dialog, kRebuildTimer);
  SavePlace(dialog);
  gPlanner.dialog = nullptr;
  gPlanner.grid = nullptr;
  gPlanner.tip = nullptr;
}

INT_PTR CALLBACK PlannerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnPlannerInit(dialog);
      return FALSE;  // the focus is on the grid already
    case WM_COMMAND:
      OnPlannerCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      OnPlannerNotify(reinterpret_cast<NMHDR*>(lParam));
      return TRUE;
    case WM_TIMER:
      if (wParam == kRebuildTimer) OnPlannerTimer();
      return TRUE;
    case WM_SIZE:
      if (dialog == gPlanner.dialog) PlaceControls(dialog, LOWORD(lParam), HIWORD(lParam));
      return TRUE;
    case WM_GETMINMAXINFO: {
      MINMAXINFO* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      if (gPlanner.minimum.cx > 0) limits->ptMinTrackSize = {gPlanner.minimum.cx, gPlanner.minimum.cy};
      return TRUE;
    }
    case WM_DESTROY:
      OnPlannerDestroy(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

bool InDatePicker(HWND window) {
  HWND picker = GetDlgItem(gPlanner.dialog, IDC_PLANNER_DATE);
  return window == picker || IsChild(picker, window);
}

}  // namespace

void ShowPlannerWindow(HWND owner) {
  if (gPlanner.dialog != nullptr) {
    ShowWindow(gPlanner.dialog, SW_RESTORE);
    SetForegroundWindow(gPlanner.dialog);
    return;
  }
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_DATE_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  RegisterGridClass();
  HWND dialog = CreateDialogParamA(MainWindow.instance, IDD_PLANNER, owner, PlannerProc, 0);
  if (dialog != nullptr) ShowWindow(dialog, SW_SHOW);
}

bool PlannerHandlesMessage(MSG* msg) {
  HWND dialog = gPlanner.dialog;
  if (dialog == nullptr || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return false;
  if (msg->message == WM_KEYDOWN && !InDatePicker(msg->hwnd) && OnPlannerKey(msg->wParam)) {
    return true;
  }
  return IsDialogMessageA(dialog, msg) != 0;
}
