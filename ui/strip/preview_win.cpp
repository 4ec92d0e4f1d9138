// The strip's preview of another instant: the wheel and the keys, the
// tracking tip that names the previewed time, and the return to the present.
#include <windowsx.h>

#include <cstring>

#include "tz/wall_clock.h"
#include "ui/strip/preview.h"
#include "ui/strip/strip.h"

StripPreview Preview = {{0, 0, 0}, nullptr, 0, "", 0, 0, 0};

namespace {

// Wheel messages (or key repeats) already queued behind the one being
// handled: a burst repaints once, not once per message.
constexpr int kMaxCoalescedWheels = 4096;
// The tip's distance from the pointer and from the strip, at 96 dpi.
constexpr int kTipBesidePointer = 12;
constexpr int kTipGap = 2;

TOOLINFOA PreviewTool(HWND window, char* text) {
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = window;
  tool.uId = kPreviewToolId;
  tool.lpszText = text;
  return tool;
}

void LocalFields(UtcInstant t, BrokenDownTime* out) {
  if (!ConvertToLocalTime(t, out)) BreakDownTime(t, 0, out);
}

int32_t LocalOffset(UtcInstant t) {
  BrokenDownTime local{};
  if (!ConvertToLocalTime(t, &local)) return 0;
  return OffsetOfLocalFields(local, t);
}

LONG Inside(LONG value, LONG low, LONG high) {
  return value > high ? high : (value < low ? low : value);
}

// Beside the pointer, below the strip (above it when the work area ends
// below), flipped to the pointer's left at the work area's right edge: the
// tip never hides the times and stays on the strip's monitor.
void PlacePreviewTip(HWND window, TOOLINFOA* tool) {
  RECT strip{};
  GetWindowRect(window, &strip);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
  }
  const RECT& work = monitor.rcWork;
  // A shown tip has its size; before that the control can only estimate it.
  RECT shown{};
  LONG width = 0;
  LONG height = 0;
  if (IsWindowVisible(Preview.tip) && GetWindowRect(Preview.tip, &shown)) {
    width = shown.right - shown.left;
    height = shown.bottom - shown.top;
  } else {
    const LRESULT bubble =
        SendMessageA(Preview.tip, TTM_GETBUBBLESIZE, 0, reinterpret_cast<LPARAM>(tool));
    width = LOWORD(bubble);
    height = HIWORD(bubble);
  }
  const LONG pointer = strip.left + Preview.anchorX;
  const LONG beside = ScalePixels(kTipBesidePointer);
  const LONG gap = ScalePixels(kTipGap);
  LONG x = pointer + beside;
  if (x + width > work.right) x = pointer - beside - width;
  LONG y = strip.bottom + gap;
  if (y + height > work.bottom) y = strip.top - gap - height;
  x = Inside(x, work.left, work.right - width);
  y = Inside(y, work.top, work.bottom - height);
  if (width == shown.right - shown.left && shown.left == x && shown.top == y) return;
  SendMessageA(Preview.tip, TTM_TRACKPOSITION, 0, MAKELPARAM(x, y));
}

void ShowPreviewTip(HWND window) {
  if (Preview.tip == nullptr) return;
  const UtcInstant now = CurrentInstant();
  BrokenDownTime shown{};
  LocalFields(StripInstant(), &shown);
  BrokenDownTime present{};
  LocalFields(now, &present);
  char text[kPreviewTipChars];
  PreviewTipText(PreviewOffset(Preview.state, now), shown, present.year, text, sizeof text);
  TOOLINFOA tool = PreviewTool(window, text);
  if (std::strcmp(text, Preview.tipText) == 0 && Preview.tipShown) return;
  CopyBounded(Preview.tipText, sizeof Preview.tipText, text, kPreviewTipChars - 1);
  SendMessageA(Preview.tip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  // A shown tracking tip takes a new text when it is placed again; showing it
  // afresh costs more than the whole row, so that happens once. Placed again
  // at its new size: the text's length changes it.
  PlacePreviewTip(window, &tool);
  if (!Preview.tipShown) {
    SendMessageA(Preview.tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    Preview.tipShown = 1;
  }
  PlacePreviewTip(window, &tool);
}

void RepaintTimeRow(HWND window) {
  PaintTimeRow();
  HDC dc = GetDC(window);
  ShowStrip(dc);
  ReleaseDC(window, dc);
}

bool PointerOverStrip(HWND window) {
  POINT at{};
  RECT strip{};
  return IsWindowVisible(window) && GetCursorPos(&at) && GetWindowRect(window, &strip) &&
         PtInRect(&strip, at);
}

// The preview waits while a menu or a message box of the strip is open and
// while the pointer rests on the strip.
bool PreviewHeld(HWND window) {
  return Preview.menuOpen != 0 || !IsWindowEnabled(window) || PointerOverStrip(window);
}

// The pointer's place along the strip, kept inside it.
void AnchorAt(HWND window, LONG screenX) {
  RECT strip{};
  GetWindowRect(window, &strip);
  Preview.anchorX = Inside(screenX, strip.left, strip.right) - strip.left;
}

// After the wheel or a key: the 5 seconds start again, the row and the tip
// follow a change, and a preview that reached the present ends.
void AfterPreviewInput(HWND window, bool changed) {
  if (!Previewing()) {
    if (changed) EndStripPreview(window);
    return;
  }
  SetTimer(window, kPreviewTimer, kPreviewMillis, nullptr);
  if (!changed) return;
  RepaintTimeRow(window);
  // Placing the tip may take longer than the row: it follows once the
  // messages already queued are handled.
  if (!Preview.tipPending && PostMessageA(window, kPreviewTipMessage, 0, 0)) {
    Preview.tipPending = 1;
  }
}

}  // namespace

void CreatePreviewTip(HWND window) {
  Preview.tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                MainWindow.instance, nullptr);
  if (Preview.tip == nullptr) return;
  char empty[] = "";
  TOOLINFOA tool = PreviewTool(window, empty);
  SendMessageA(Preview.tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool Previewing() { return Preview.state.active != 0; }

UtcInstant StripInstant() { return ShownInstant(Preview.state, CurrentInstant()); }

void OnStripWheel(HWND window, WPARAM wParam, LPARAM lParam) {
  const UtcInstant now = CurrentInstant();
  bool changed = ApplyWheelDelta(&Preview.state, GET_WHEEL_DELTA_WPARAM(wParam),
                                 (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0, now, LocalOffset);
  LONG x = GET_X_LPARAM(lParam);
  MSG queued;
  for (int i = 0; i < kMaxCoalescedWheels &&
                  PeekMessageA(&queued, window, WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_REMOVE);
       ++i) {
    if (ApplyWheelDelta(&Preview.state, GET_WHEEL_DELTA_WPARAM(queued.wParam),
                        (GET_KEYSTATE_WPARAM(queued.wParam) & MK_SHIFT) != 0, now,
                        LocalOffset)) {
      changed = true;
    }
    x = GET_X_LPARAM(queued.lParam);
  }
  AnchorAt(window, x);
  AfterPreviewInput(window, changed);
}

bool OnStripKey(HWND window, WPARAM key) {
  PreviewKey action;
  switch (key) {
    case VK_RIGHT:
    case VK_UP:
      action = kPreviewKeyLater;
      break;
    case VK_LEFT:
    case VK_DOWN:
      action = kPreviewKeyEarlier;
      break;
    case VK_PRIOR:
      action = kPreviewKeyNextDay;
      break;
    case VK_NEXT:
      action = kPreviewKeyPrevDay;
      break;
    case VK_HOME:
    case VK_ESCAPE:
      action = kPreviewKeyPresent;
      break;
    default:
      return false;
  }
  if (!Previewing()) {
    POINT at{};
    GetCursorPos(&at);
    AnchorAt(window, at.x);
  }
  const UtcInstant now = CurrentInstant();
  bool changed = ApplyPreviewKey(&Preview.state, action, GetKeyState(VK_SHIFT) < 0, now,
                                 LocalOffset);
  // A held key's repeats already queued behind this one move on at once: the
  // row is painted once for them.
  MSG queued;
  for (int i = 0; i < kMaxCoalescedWheels &&
                  PeekMessageA(&queued, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) &&
                  queued.wParam == key &&
                  (queued.hwnd == window || GetParent(queued.hwnd) == window) &&
                  PeekMessageA(&queued, queued.hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
       ++i) {
    if (ApplyPreviewKey(&Preview.state, action, GetKeyState(VK_SHIFT) < 0, now, LocalOffset)) {
      changed = true;
    }
  }
  AfterPreviewInput(window, changed);
  return true;
}

void StartPreviewFromMenu(HWND window) {
  // The strip takes the keys at once, wherever the focus was.
  SetForegroundWindow(window);
  SetFocus(window);
  if (!Previewing()) OnStripKey(window, VK_RIGHT);
}

void OnPreviewTipMessage(HWND window) {
  Preview.tipPending = 0;
  if (Previewing()) ShowPreviewTip(window);
}

void EndStripPreview(HWND window) {
  KillTimer(window, kPreviewTimer);
  EndPreview(&Preview.state);
  if (Preview.tip != nullptr) {
    char empty[] = "";
    TOOLINFOA tool = PreviewTool(window, empty);
    SendMessageA(Preview.tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    Preview.tipShown = 0;
  }
  RepaintTimeRow(window);
}

void OnPreviewTimer(HWND window) {
  if (PreviewHeld(window)) return;  // the timer fires again in 5 seconds
  EndStripPreview(window);
}

void OnStripMenuLoop(HWND window, bool open) {
  Preview.menuOpen = open ? 1 : 0;
  // The 5 seconds start again once the menu has closed.
  if (!open && Previewing()) SetTimer(window, kPreviewTimer, kPreviewMillis, nullptr);
}

void OnPreviewStripMoved(HWND window) {
  if (!Previewing() || !Preview.tipShown) return;
  TOOLINFOA tool = PreviewTool(window, Preview.tipText);
  PlacePreviewTip(window, &tool);
}

void TickPreviewTip(HWND window) {
  if (!Previewing()) return;
  // While the strip holds the preview the 5 seconds start again each tick:
  // they count only from the moment it lets go.
  if (PreviewHeld(window)) SetTimer(window, kPreviewTimer, kPreviewMillis, nullptr);
  ShowPreviewTip(window);
}
