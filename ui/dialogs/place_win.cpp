// Dialogs of the strip open beside it, on its monitor, rather than where
// their templates or the system would put them (over the times).
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/misc_logic.h"
#include "ui/strip/strip.h"

namespace {

constexpr int kStripGap = 8;  // pixels at 96 dpi between the strip and a dialog

ScreenRect ScreenRectOf(const RECT& r) { return ScreenRect{r.left, r.top, r.right, r.bottom}; }

}  // namespace

void PlaceBesideStrip(HWND dialog) {
  HWND strip = MainWindow.window;
  if (strip == nullptr || !IsWindow(strip)) return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromWindow(strip, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  RECT box{};
  RECT stripBox{};
  if (!GetWindowRect(dialog, &box) || !GetWindowRect(strip, &stripBox)) return;
  const ScreenRect stripRect = ScreenRectOf(stripBox);
  int32_t x = 0;
  int32_t y = 0;
  PlaceDialog(ScreenRectOf(monitor.rcWork), IsWindowVisible(strip) ? &stripRect : nullptr,
              box.right - box.left, box.bottom - box.top, ScaleForDpi(kStripGap, WindowDpi(strip)),
              &x, &y);
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
