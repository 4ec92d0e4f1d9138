// The strip's preview of another instant: the wheel, the tracking tip that
// names the previewed time, and the return to the present.
#include <windowsx.h>

#include <cstring>

#include "tz/wall_clock.h"
#include "ui/strip/preview.h"
#include "ui/strip/strip.h"

StripPreview Preview = {{0, 0}, nullptr, {0, 0}, "", 0, 0, 0};

namespace {

// Wheel messages already queued behind the one being handled: a burst
// repaints once, not once per message.
constexpr int kMaxCoalescedWheels = 4096;

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

void ShowPreviewTip(HWND window) {
  if (Preview.tip == nullptr) return;
  BrokenDownTime shown{};
  LocalFields(StripInstant(), &shown);
  BrokenDownTime present{};
  LocalFields(CurrentInstant(), &present);
  char text[kPreviewTipChars];
  PreviewTipText(Preview.state.offset, shown, present.year, text, sizeof text);
  TOOLINFOA tool = PreviewTool(window, text);
  if (std::strcmp(text, Preview.tipText) == 0 && Preview.tipShown) return;
  CopyBounded(Preview.tipText, sizeof Preview.tipText, text, kPreviewTipChars - 1);
  SendMessageA(Preview.tip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  // A shown tracking tip takes a new text when it is placed again; showing it
  // afresh costs more than the whole row, so that happens once.
  // Beside the mouse, below the strip: the tip never hides the times.
  RECT strip{};
  GetWindowRect(window, &strip);
  const LONG below = Preview.at.y + 20 > strip.bottom + 2 ? Preview.at.y + 20 : strip.bottom + 2;
  SendMessageA(Preview.tip, TTM_TRACKPOSITION, 0, MAKELPARAM(Preview.at.x + 12, below));
  if (Preview.tipShown) return;
  SendMessageA(Preview.tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  Preview.tipShown = 1;
}

void RepaintTimeRow(HWND window) {
  PaintTimeRow();
  HDC dc = GetDC(window);
  ShowStrip(dc);
  ReleaseDC(window, dc);
}

// A menu or a message box of the strip is open: the preview waits for it.
bool PreviewHeld(HWND window) { return Preview.menuOpen != 0 || !IsWindowEnabled(window); }

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

bool Previewing() { return Preview.state.offset != 0; }

UtcInstant StripInstant() { return ShownInstant(Preview.state, CurrentInstant()); }

void OnStripWheel(HWND window, WPARAM wParam, LPARAM lParam) {
  const UtcInstant now = CurrentInstant();
  bool changed = ApplyWheelDelta(&Preview.state, GET_WHEEL_DELTA_WPARAM(wParam),
                                 (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0, now);
  Preview.at = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  MSG queued;
  for (int i = 0; i < kMaxCoalescedWheels &&
                  PeekMessageA(&queued, window, WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_REMOVE);
       ++i) {
    if (ApplyWheelDelta(&Preview.state, GET_WHEEL_DELTA_WPARAM(queued.wParam),
                        (GET_KEYSTATE_WPARAM(queued.wParam) & MK_SHIFT) != 0, now)) {
      changed = true;
    }
    Preview.at = POINT{GET_X_LPARAM(queued.lParam), GET_Y_LPARAM(queued.lParam)};
  }
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

void TickPreviewTip(HWND window) {
  if (Previewing()) ShowPreviewTip(window);
}
