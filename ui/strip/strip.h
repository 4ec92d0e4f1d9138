// The clock strip window: program start, the window procedure and its
// commands, layout and painting, the tray icon and timestamp capture.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "clocks/clock_list.h"
#include "ui/strip/preview.h"

constexpr UINT kPrivateCloseMessage = 11550;
constexpr UINT kTrayCallbackMessage = WM_APP + 1;  // 0x8001
constexpr UINT kPreviewTipMessage = WM_APP + 2;  // the preview tip follows the repainted row
constexpr const char* kWindowClass = "HORLIX";
constexpr const char* kInstanceMutexName = "7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kUpdateTimer = 2;
constexpr UINT_PTR kCountdownTimer = 3;
// The display scale every fixed pixel count of the layout is written for.
constexpr int kBaseDpi = 96;
// Sent when the window moves to a monitor of another scale; older headers
// for Windows 7 do not name it.
constexpr UINT kDpiChangedMessage = 0x02E0;
constexpr UINT_PTR kPreviewTimer = 4;  // back to the present after the last notch or key
constexpr UINT kPreviewMillis = 5000;
constexpr UINT_PTR kPreviewToolId = 1;  // the preview tip's only tool

constexpr const char* kStripHint =
    "Right-click for menu; double-click for clock properties; left-click in the BLACK area and "
    "hold to move.";

// Everything the strip's layout and painting keep between ticks.
struct StripLayout {
  HFONT timeFont;
  HFONT titleFont;
  int32_t templateWidths[12];
  int32_t timeTextHeight;
  int32_t timeSpaceWidth;
  int32_t titleWidths[kMaxClocks];
  int32_t titleTextHeight;
  int32_t titleSpaceWidth;
  int32_t timeRowHeight;
  int32_t buttonHeight;
  int32_t windowHeight;
  int32_t totalWidth;
  HDC surface;
  HBITMAP surfaceBitmap;
  HBITMAP originalBitmap;
  int32_t fontChanged;
  HWND tooltip;
  HICON attentionIcon;
  int32_t dpi;  // the scale of the strip's monitor
};

// The program-wide state of the main window.
struct MainWindowState {
  HINSTANCE instance;
  HWND window;
  HANDLE instanceMutex;  // null once released
  int32_t clocksHidden;
  int32_t remindLater;   // the update dialog's "Remind me later"
  HWND updateDialog;     // the open update dialog, for the balloon click
};

// The previewed instant and the tip at the mouse that names it.
struct StripPreview {
  PreviewState state;
  HWND tip;
  LONG anchorX;      // where along the strip the tip points (the last wheel's x)
  char tipText[kPreviewTipChars];  // the text the shown tip was given
  int32_t tipShown;
  int32_t tipPending;  // a kPreviewTipMessage is on its way
  int32_t menuOpen;  // a menu of the strip is open: the preview waits
};

struct TrayState {
  HICON icon;  // the tray icon exists exactly while this is set
  DWORD recordSize;
};

extern StripLayout Strip;
extern MainWindowState MainWindow;
extern TrayState Tray;
extern StripPreview Preview;

// Window procedure and start (window.cpp, main.cpp).
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Display scale (dpi.cpp): a window's dots per inch, a pixel count written
// for 96 dpi at another scale, and at the strip's own scale.
int WindowDpi(HWND window);
int ScaleForDpi(int value, int dpi);
int ScalePixels(int value);
// The scale of the monitor at a screen point, before any window is there.
int DpiAtPoint(int x, int y);
// One of the program's icons with its image of size x size pixels (or the
// nearest, scaled); the caller destroys it. A dialog's icon control gets the
// image of its own size, released when the dialog is destroyed.
HICON LoadProgramIcon(const char* name, int size);
void SetDialogIcon(HWND dialog, int control, const char* name);
void ReleaseDialogIcon(HWND dialog, int control);

// Layout and painting (layout.cpp).
bool CreateStripResources(HWND window);
void DestroyStripResources();
void CreateClockFonts();
int32_t MeasureStrip();
int RelayoutStrip();
void RecreateTitleButtons();
void PaintTimeRow();
void ShowStrip(HDC target);
void DrawTitleButton(int index, const DRAWITEMSTRUCT* item);
// The orange triangle of side pixels in r's top right corner that marks a
// clock change ahead (the strip's titles, the planner's cells).
void DrawChangeMark(HDC dc, const RECT& r, int side);
void FillClockTooltip(NMTTDISPINFOA* request);
void RefreshStripAndHint(HWND window);
// Hides the black area's hint while another tip, a menu or a box is up.
void UpdateStripHint(HWND window);
void TickStrip(HWND window);
// The strip was moved to a monitor of another scale: new fonts, new layout at
// the place the system proposes.
void RescaleStrip(HWND window, int dpi, const RECT* proposed);

// Preview of another instant (preview_win.cpp). StripInstant is the
// instant every shown time follows: the present, or the previewed one.
void CreatePreviewTip(HWND window);
bool Previewing();
UtcInstant StripInstant();
void OnStripWheel(HWND window, WPARAM wParam, LPARAM lParam);
// A key pressed while the strip is active; false for a key the preview does not use.
bool OnStripKey(HWND window, WPARAM key);
void StartPreviewFromMenu(HWND window);
void OnPreviewStripMoved(HWND window);
void EndStripPreview(HWND window);
void OnPreviewTimer(HWND window);
void OnStripMenuLoop(HWND window, bool open);
void TickPreviewTip(HWND window);
void OnPreviewTipMessage(HWND window);

// Tray icon (tray.cpp).
void ApplyTrayIconSetting();
BOOL AddTrayIcon();
BOOL SetTrayCallback();
void RemoveTrayIcon(HWND window);
void ShowTrayBalloon(const char* text);
void HandleTrayEvent(HWND window, LPARAM event);
void ShowTrayMenu(HWND window, HMENU menu);

// Timestamp capture (capture.cpp).
void CaptureTimestamp(HWND window);
int CopyTextToClipboard(HWND owner, const char* text);
// Adds one text in `format` to the clipboard the caller has opened and emptied.
int PutClipboardText(UINT format, const char* text);
