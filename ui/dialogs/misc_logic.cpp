#include "ui/dialogs/misc_logic.h"

#include <algorithm>
#include <cstdio>
#include <limits>

CountdownState Countdown = {false, 0, 0, 0, 0};

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(value > kInt32Max ? kInt32Max : value);
}

}  // namespace

int32_t DaysFromTicks(int64_t fromTicks, int64_t toTicks) {
  const int64_t difference = toTicks - fromTicks;
  // Division in C++ truncates toward zero, as the count requires. The
  // seconds stay in 64 bits: in 32 they wrap for dates 68 years apart, and
  // the calendar reaches from 1601 to 9999.
  const int64_t seconds = difference / kTicksPerSecond;
  return static_cast<int32_t>(seconds / 86400);
}

void FormatDayCount(int32_t days, char* out, size_t size) {
  std::snprintf(out, size, "%d day%s", static_cast<int>(days), days == 1 ? "" : "s");
}

bool StartCountdown(uint32_t hours, uint32_t minutes, uint32_t seconds, int64_t now) {
  Countdown.hours = ClampToInt32(hours);
  Countdown.minutes = ClampToInt32(minutes);
  Countdown.seconds = ClampToInt32(seconds);
  // 64 bits: a typed number of hours in the millions must not wrap around
  // to a short or negative total.
  const int64_t total = (static_cast<int64_t>(hours) * 60 + minutes) * 60 + seconds;
  if (total < 1) return false;
  Countdown.running = true;
  Countdown.endTime = now + total;
  return true;
}

void RefreshCountdown(int64_t now) {
  if (!Countdown.running) return;
  const int64_t remaining = Countdown.endTime - now;
  if (remaining < 1) {
    Countdown.hours = Countdown.minutes = Countdown.seconds = 0;
    return;
  }
  Countdown.hours = ClampToInt32(remaining / 3600);
  Countdown.minutes = static_cast<int32_t>(remaining % 3600 / 60);
  Countdown.seconds = static_cast<int32_t>(remaining % 60);
}

bool CountdownExpired(int64_t now) {
  if (!Countdown.running || now <= Countdown.endTime) return false;
  Countdown.running = false;
  return true;
}

void PlaceDialog(const ScreenRect& work, const ScreenRect* strip, int32_t width, int32_t height,
                 int32_t gap, int32_t* x, int32_t* y) {
  int32_t left = work.left + (work.right - work.left - width) / 2;
  int32_t top = work.top + (work.bottom - work.top - height) / 2;
  const bool covers = strip != nullptr && left < strip->right && left + width > strip->left &&
                      top < strip->bottom && top + height > strip->top;
  if (covers) {
    const int32_t below = strip->bottom + gap;
    const int32_t above = strip->top - gap - height;
    if (below + height <= work.bottom) {
      top = below;
    } else if (above >= work.top) {
      top = above;
    } else {
      top = work.bottom - strip->bottom >= strip->top - work.top ? below : above;
    }
  }
  left = std::max(std::min(left, work.right - width), work.left);
  top = std::max(std::min(top, work.bottom - height), work.top);
  *x = left;
  *y = top;
}
