#include "ui/strip/preview.h"

#include <cinttypes>
#include <cstdio>

#include "tz/clock_text.h"

namespace {

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

bool ApplyWheelDelta(PreviewState* preview, int32_t delta, bool shift, UtcInstant now) {
  // Whole notches move the offset; the rest waits for the next message. In
  // 64 bits no delta and no pending rest can overflow.
  const int64_t total = static_cast<int64_t>(preview->pendingDelta) + delta;
  const int64_t notches = total / kWheelNotch;
  preview->pendingDelta = static_cast<int32_t>(total % kWheelNotch);
  if (notches == 0) return false;
  const int64_t step = shift ? kPreviewShiftStep : kPreviewStep;
  // The limits hold for the present instant too: now itself may lie outside.
  const UtcInstant shownNow = Clamp(now, kFirstShownInstant, kLastShownInstant);
  const int64_t shown = Clamp(shownNow + preview->offset, kFirstShownInstant, kLastShownInstant);
  // |notches| < 2^26, step < 2^12: the product and the sum stay far from overflow.
  const int64_t wanted = shown + notches * step;
  const int64_t target = Clamp(wanted, kFirstShownInstant, kLastShownInstant);
  // At a limit the rest is dropped, so the first notch back moves at once.
  if (target != wanted) preview->pendingDelta = 0;
  const int64_t offset = target - shownNow;
  if (offset == preview->offset) return false;
  preview->offset = offset;
  if (offset == 0) preview->pendingDelta = 0;
  return true;
}

void EndPreview(PreviewState* preview) {
  preview->pendingDelta = 0;
  preview->offset = 0;
}

UtcInstant ShownInstant(const PreviewState& preview, UtcInstant now) {
  if (preview.offset == 0) return now;
  // The offset was made against a present inside the range, so it is no
  // longer than the range itself: the sum cannot overflow.
  const int64_t shown = Clamp(now, kFirstShownInstant, kLastShownInstant) + preview.offset;
  return Clamp(shown, kFirstShownInstant, kLastShownInstant);
}

void PreviewTipText(int64_t offset, const BrokenDownTime& shown, int presentYear, char* out,
                    size_t size) {
  const char sign = offset < 0 ? '-' : '+';
  const int64_t minutes = (offset < 0 ? -offset : offset) / 60;
  const char* day = (shown.wday >= 0 && shown.wday < 7) ? kShortDayNames[shown.wday] : "???";
  const char* month = (shown.mon >= 0 && shown.mon < 12) ? kShortMonthNames[shown.mon] : "???";
  char year[16] = "";
  if (shown.year != presentYear) std::snprintf(year, sizeof year, " %d", shown.year + 1900);
  std::snprintf(out, size, "%c%" PRId64 ":%02d  %s %d %s%s %02d:%02d", sign, minutes / 60,
                static_cast<int>(minutes % 60), day, shown.mday, month, year, shown.hour,
                shown.min);
}
