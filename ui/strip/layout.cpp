// Layout and painting of the strip: title buttons on top, a black row of
// time cells below, drawn off screen and copied to the window on each tick.
#include <cstring>

#include "clocks/settings.h"
#include "resources/resource.h"
#include "tz/clock_text.h"
#include "ui/strip/strip.h"
#include "update/update_status.h"

StripLayout Strip = {nullptr, nullptr, {}, 0, 4, {}, 0, 4, 18, 16, 34, 0,
                     nullptr, nullptr, nullptr, 1, nullptr, nullptr, kBaseDpi};

namespace {

// The time row's background while it shows another instant than the present.
constexpr COLORREF kPreviewBackground = RGB(0, 0, 96);
// The corner mark of a title whose clock changes its offset within a week.
constexpr COLORREF kChangeMarkColor = RGB(255, 128, 0);

// Whether each title button was last drawn with the change mark, so a tick
// repaints only the buttons whose mark comes or goes.
bool gChangeMarked[kMaxClocks] = {};
// The title tooltip's text: two lines do not fit the request's own buffer.
char gTitleTip[kTitleTipChars];

// Widest texts of each clock type (row) and format (column).
const char* const kWidthTemplates[12] = {
    " 24:59:59 ", " 12:59p ", " 23:59 ", "Wed 22nd",  // local system time
    "+24:59:59Z", "+12:59p", "+23:59Z", "Wed 22nd",   // UTC system time
    "+24:59:59",  "+12:59p", "+23:59",  "Wed 22nd",   // time zone
};

const char* const kUpdateHints[3] = {
    nullptr,
    "ATTENTION: an updated time zone file is available.",
    "ATTENTION: a newer version of Horlix is available.",
};

// One tip at a time: the black area's hint has no text while the preview's
// tip shows or a menu or a box of the strip is open. gHint is the text
// chosen by the update status, gHintText the text its tool has now.
const char kNoHint[] = "";
const char* gHint = kStripHint;
const char* gHintText = kStripHint;

int FontHeight(int32_t fontSize) {
  switch (fontSize) {
    case 1:
      return -14;
    case 2:
      return -16;
    default:
      return -11;
  }
}

HFONT MakeFont(const char* face, int weight) {
  return CreateFontA(ScalePixels(FontHeight(Settings.FontSize)), 0, 0, 0, weight, FALSE, FALSE,
                     FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     FF_SWISS | DEFAULT_PITCH, face);
}

bool Measure(HDC dc, const char* text, SIZE* size) {
  return GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), size) != 0;
}

void AddTool(HWND window, UINT flags, UINT_PTR id, const char* text) {
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = flags;
  tool.hwnd = window;
  tool.uId = id;
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(Strip.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// A new text for a tool keeps the tool as it was registered: deleting and
// adding it again would lose the subclassing that shows its tip.
void SetToolText(HWND window, UINT_PTR id, const char* text) {
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window;
  tool.uId = id;
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(Strip.tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void DeleteTool(HWND window, UINT_PTR id) {
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window;
  tool.uId = id;
  SendMessageA(Strip.tooltip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool ReplaceSurfaceBitmap(HWND window) {
  if (Strip.surface == nullptr) return false;  // a bitmap nothing could ever free
  HDC windowDc = GetDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(windowDc, Strip.totalWidth > 0 ? Strip.totalWidth : 1,
                                          Strip.windowHeight);
  ReleaseDC(window, windowDc);
  if (bitmap == nullptr) return false;
  HGDIOBJ old = SelectObject(Strip.surface, bitmap);
  if (Strip.originalBitmap == nullptr) {
    Strip.originalBitmap = static_cast<HBITMAP>(old);
  } else {
    DeleteObject(old);
  }
  Strip.surfaceBitmap = bitmap;
  return true;
}

void DiscardTitleButton(TitleButtonHandle button) {
  DeleteTool(MainWindow.window, reinterpret_cast<UINT_PTR>(button));
  DestroyWindow(static_cast<HWND>(button));
}

void CreateTitleButtons(HWND window) {
  int32_t x = 0;
  for (int i = 0; i < Clocks.N; ++i) {
    ClockRecord& clock = Clocks.clocks[i];
    HWND button = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, x, 0,
                                  clock.Width, Strip.buttonHeight, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)),
                                  MainWindow.instance, nullptr);
    clock.titleButton = button;
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(Strip.titleFont), FALSE);
    clock.cellRect =
        ClockRect{x, 0, x + clock.Width, 2 * Strip.buttonHeight + ScalePixels(2)};
    AddTool(window, TTF_IDISHWND | TTF_SUBCLASS, reinterpret_cast<UINT_PTR>(button),
            LPSTR_TEXTCALLBACKA);
    x += clock.Width;
  }
}

// Whether clock i's offset changes within a week of the instant shown.
bool ChangeMarkDue(int i) {
  ZoneChange change{};
  return ClockChangeAhead(&Clocks.clocks[i], StripInstant(), kChangeMarkSeconds, &change);
}

// Repaints the title buttons whose change mark comes or goes at the instant
// shown (time passing, or the preview moving it).
void RefreshChangeMarks() {
  for (int i = 0; i < Clocks.N; ++i) {
    HWND button = static_cast<HWND>(Clocks.clocks[i].titleButton);
    if (ChangeMarkDue(i) != gChangeMarked[i] && button != nullptr) {
      InvalidateRect(button, nullptr, FALSE);
    }
  }
}

}  // namespace

bool CreateStripResources(HWND window) {
  SetTitleButtonDiscarder(DiscardTitleButton);
  Strip.dpi = WindowDpi(window);
  Settings.PositionDpi = Strip.dpi;
  // The heights before the first layout, at the monitor's scale.
  Strip.timeRowHeight = ScalePixels(Strip.timeRowHeight);
  Strip.buttonHeight = ScalePixels(Strip.buttonHeight);
  Strip.windowHeight = Strip.buttonHeight + Strip.timeRowHeight;
  Strip.tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                  MainWindow.instance, nullptr);
  AddTool(window, TTF_IDISHWND | TTF_SUBCLASS, reinterpret_cast<UINT_PTR>(window),
          kStripHint);
  // Lets a title's tip break at its line end; wider than any tip's line.
  SendMessageA(Strip.tooltip, TTM_SETMAXTIPWIDTH, 0, ScalePixels(800));
  if (Settings.ShowIconInTray) ApplyTrayIconSetting();

  HDC windowDc = GetDC(window);
  Strip.surface = CreateCompatibleDC(windowDc);
  ReleaseDC(window, windowDc);
  if (Strip.surface == nullptr || !ReplaceSurfaceBitmap(window)) {
    MessageBoxA(nullptr, "Error - Buffer creation failed.", "HORLIX", MB_OK | MB_ICONWARNING);
    return false;
  }
  Strip.attentionIcon = static_cast<HICON>(
      LoadImageA(MainWindow.instance, IDI_ATTENTION, IMAGE_ICON, 0, 0, LR_SHARED));
  CreateClockFonts();
  CreateTitleButtons(window);
  CreateClockZoneStates();
  CreatePreviewTip(window);
  // The window shows its times from its first paint, not from the first tick.
  PaintTimeRow();
  SetTimer(window, kTickTimer, 500, nullptr);
  SetTimer(window, kUpdateTimer, 1800000, nullptr);
  SetTimer(window, kCountdownTimer, 1000, nullptr);
  return true;
}

void DestroyStripResources() {
  if (Strip.timeFont != nullptr) DeleteObject(Strip.timeFont);
  if (Strip.titleFont != nullptr) DeleteObject(Strip.titleFont);
  Strip.timeFont = Strip.titleFont = nullptr;
  if (Strip.surface != nullptr) {
    if (Strip.originalBitmap != nullptr) SelectObject(Strip.surface, Strip.originalBitmap);
    DeleteDC(Strip.surface);
  }
  if (Strip.surfaceBitmap != nullptr) DeleteObject(Strip.surfaceBitmap);
  Strip.surface = nullptr;
  Strip.surfaceBitmap = Strip.originalBitmap = nullptr;
}

void CreateClockFonts() {
  if (Strip.timeFont != nullptr) DeleteObject(Strip.timeFont);
  if (Strip.titleFont != nullptr) DeleteObject(Strip.titleFont);
  Strip.timeFont = MakeFont("MS Sans Serif", FW_BOLD);
  Strip.titleFont = MakeFont("Tahoma", FW_NORMAL);
}

int32_t MeasureStrip() {
  SIZE size;
  if (Strip.surface != nullptr && Strip.timeFont != nullptr) {
    HGDIOBJ old = SelectObject(Strip.surface, Strip.timeFont);
    Strip.timeTextHeight = 0;
    for (int i = 0; i < 12; ++i) {
      if (!Measure(Strip.surface, kWidthTemplates[i], &size)) continue;
      Strip.templateWidths[i] = size.cx;
      if (size.cy > Strip.timeTextHeight) Strip.timeTextHeight = size.cy;
    }
    if (Measure(Strip.surface, " ", &size)) Strip.timeSpaceWidth = size.cx;
    SelectObject(Strip.surface, old);
  }
  if (Strip.titleFont != nullptr) {
    Strip.titleTextHeight = 0;
    for (int i = 0; i < Clocks.N; ++i) {
      HWND button = static_cast<HWND>(Clocks.clocks[i].titleButton);
      HDC dc = GetDC(button);
      HGDIOBJ old = SelectObject(dc, Strip.titleFont);
      if (Measure(dc, Clocks.clocks[i].Title, &size)) {
        Strip.titleWidths[i] = size.cx;
        if (size.cy > Strip.titleTextHeight) Strip.titleTextHeight = size.cy;
      }
      if (Measure(dc, " ", &size)) Strip.titleSpaceWidth = size.cx;
      SelectObject(dc, old);
      ReleaseDC(button, dc);
    }
  }
  int32_t total = 0;
  for (int i = 0; i < Clocks.N; ++i) {
    ClockRecord& clock = Clocks.clocks[i];
    // Unknown formats show as format 0, so they measure as it too.
    const int type = (clock.Type >= 0 && clock.Type <= 2) ? clock.Type : 0;
    const int format = (clock.Format >= 0 && clock.Format <= 3) ? clock.Format : 0;
    const int32_t timeWidth = Strip.templateWidths[type * 4 + format] + 2 * Strip.timeSpaceWidth;
    const int32_t titleWidth = Strip.titleWidths[i] + 3 * Strip.titleSpaceWidth;
    clock.Width = timeWidth > titleWidth ? timeWidth : titleWidth;
    total += clock.Width;
  }
  return total;
}

int RelayoutStrip() {
  const int32_t oldWidth = Strip.totalWidth;
  const int32_t oldHeight = Strip.windowHeight;
  Strip.totalWidth = MeasureStrip();
  Strip.timeRowHeight = Strip.timeTextHeight + ScalePixels(5);
  Strip.buttonHeight = Strip.titleTextHeight + Strip.titleTextHeight / 4;
  Strip.windowHeight = Strip.buttonHeight + Strip.timeRowHeight;
  // A new surface starts blank: paint the times into it before the window
  // shows it, or the row stays black until the next tick.
  if (ReplaceSurfaceBitmap(MainWindow.window)) PaintTimeRow();
  MoveWindow(MainWindow.window, Settings.X, Settings.Y, Strip.totalWidth, Strip.windowHeight,
             TRUE);
  RecreateTitleButtons();
  UpdateWindow(MainWindow.window);
  return (Strip.totalWidth != oldWidth || Strip.windowHeight != oldHeight) ? 1 : 0;
}

void RecreateTitleButtons() {
  for (int i = 0; i < kMaxClocks; ++i) {
    ClockRecord& clock = Clocks.clocks[i];
    if (clock.titleButton != nullptr) {
      DiscardTitleButton(clock.titleButton);
      clock.titleButton = nullptr;
    }
  }
  CreateTitleButtons(MainWindow.window);
}

void PaintTimeRow() {
  const bool preview = Previewing();
  if (preview) {
    RefreshClockTextsAt(StripInstant());
  } else {
    RefreshClockTexts();
  }
  if (Strip.surface == nullptr || Clocks.N < 1) return;
  HGDIOBJ old = SelectObject(Strip.surface, Strip.timeFont);
  SetBkColor(Strip.surface, preview ? kPreviewBackground : RGB(0, 0, 0));
  RECT cell = {0, 0, Clocks.clocks[0].Width, Strip.timeRowHeight};
  for (int i = 0; i < Clocks.N; ++i) {
    const ClockRecord& clock = Clocks.clocks[i];
    ExtTextOutA(Strip.surface, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);
    SetTextColor(Strip.surface, static_cast<COLORREF>(clock.Color));
    DrawTextA(Strip.surface, clock.TimeText, -1, &cell, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    DrawEdge(Strip.surface, &cell, EDGE_RAISED, BF_LEFT | BF_RIGHT | BF_BOTTOM);
    if (i + 1 < Clocks.N) {
      cell.left += clock.Width;
      cell.right += Clocks.clocks[i + 1].Width;
    }
  }
  SelectObject(Strip.surface, old);
}

void ShowStrip(HDC target) {
  BitBlt(target, 0, Strip.buttonHeight, Strip.totalWidth, Strip.windowHeight, Strip.surface, 0,
         0, SRCCOPY);
}

void DrawTitleButton(int index, const DRAWITEMSTRUCT* item) {
  if (index < 0 || index >= Clocks.N) return;
  const char* title = Clocks.clocks[index].Title;
  const int length = static_cast<int>(std::strlen(title));
  SIZE size{};
  GetTextExtentPoint32A(item->hDC, title, length, &size);
  const RECT& r = item->rcItem;
  SetTextColor(item->hDC, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(item->hDC, GetSysColor(COLOR_BTNFACE));
  ExtTextOutA(item->hDC, (r.right - size.cx - r.left) / 2, (r.bottom - r.top - size.cy) / 2,
              ETO_OPAQUE | ETO_CLIPPED, &r, title, static_cast<UINT>(length), nullptr);
  RECT edge = r;
  DrawEdge(item->hDC, &edge, (item->itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED,
           BF_RECT);
  if (ShownUpdateStatus(Settings.UpdateStatus) != 0 && !MainWindow.remindLater && Strip.attentionIcon != nullptr) {
    const int at = ScalePixels(2);
    const int side = ScalePixels(3);
    DrawIconEx(item->hDC, at, at, Strip.attentionIcon, side, side, 0, nullptr, DI_NORMAL);
  }
  gChangeMarked[index] = ChangeMarkDue(index);
  if (gChangeMarked[index]) {
    DrawChangeMark(item->hDC, {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, ScalePixels(6));
  }
}

void DrawChangeMark(HDC dc, const RECT& r, int side) {
  const POINT corner[3] = {{r.right - side, r.top}, {r.right, r.top}, {r.right, r.top + side}};
  HBRUSH brush = CreateSolidBrush(kChangeMarkColor);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, corner, 3);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
}

void FillClockTooltip(NMTTDISPINFOA* request) {
  const HWND tool = reinterpret_cast<HWND>(request->hdr.idFrom);
  for (int i = 0; i < Clocks.N; ++i) {
    if (static_cast<HWND>(Clocks.clocks[i].titleButton) != tool) continue;
    TitleTooltipTextAt(&Clocks.clocks[i], Settings.DateFormat, StripInstant(), gTitleTip,
                       sizeof gTitleTip);
    request->lpszText = gTitleTip;
    return;
  }
}

void RefreshStripAndHint(HWND window) {
  RelayoutStrip();
  const int32_t status = ShownUpdateStatus(Settings.UpdateStatus);
  gHint = status != 0 ? kUpdateHints[status] : kStripHint;
  gHintText = nullptr;  // the tool is given its text again
  UpdateStripHint(window);
}

void UpdateStripHint(HWND window) {
  const bool held = Preview.tipShown || Preview.menuOpen || !IsWindowEnabled(window);
  const char* hint = held ? kNoHint : gHint;
  if (hint == gHintText) return;
  if (held) {
    char text[INFOTIPSIZE];  // the control copies the tool's text, up to this size
    TOOLINFOA current{};
    current.cbSize = sizeof current;
    current.lpszText = text;
    if (SendMessageA(Strip.tooltip, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&current)) &&
        current.uId == reinterpret_cast<UINT_PTR>(window)) {
      SendMessageA(Strip.tooltip, TTM_POP, 0, 0);
    }
  }
  // An empty text keeps the tool (and its subclassing) but shows nothing.
  SetToolText(window, reinterpret_cast<UINT_PTR>(window), hint);
  gHintText = hint;
}

void TickStrip(HWND window) {
  PaintTimeRow();
  HDC dc = GetDC(window);
  ShowStrip(dc);
  ReleaseDC(window, dc);
  TickPreviewTip(window);
  UpdateStripHint(window);
  RefreshChangeMarks();
  if (Strip.fontChanged) {
    CreateClockFonts();
    if (RelayoutStrip() == 1) Settings.SettingsDirty = true;
    Strip.fontChanged = 0;
  }
}

void RescaleStrip(HWND window, int dpi, const RECT* proposed) {
  Strip.dpi = dpi > 0 ? dpi : kBaseDpi;
  if (Settings.PositionDpi != Strip.dpi) Settings.PositionDirty = true;
  Settings.PositionDpi = Strip.dpi;
  // The stored position stays in screen pixels: the system's proposal is
  // where the strip now belongs.
  if (proposed != nullptr && (proposed->left != Settings.X || proposed->top != Settings.Y)) {
    Settings.X = proposed->left;
    Settings.Y = proposed->top;
    Settings.PositionDirty = true;
  }
  CreateClockFonts();
  RelayoutStrip();
  InvalidateRect(window, nullptr, TRUE);
}
