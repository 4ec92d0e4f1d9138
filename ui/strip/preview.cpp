#include "ui/strip/preview.h"

#include <cinttypes>
#include <cstdio>

#include "tz/clock_text.h"

namespace {

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
  return value < low ? low : (value > high ? high : value);
}

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The round times of the local clock are the multiples of step in local
// time. RoundTime is the n-th one after the one at or before t (n = 0: that
// one itself, n >= 1: strictly after t).
UtcInstant RoundTime(UtcInstant t, int64_t n, int64_t step, int32_t offset) {
  return (FloorDiv(t + offset, step) + n) * step - offset;
}

// The n-th round time (n >= 1) strictly before t.
UtcInstant RoundTimeBefore(UtcInstant t, int64_t n, int64_t step, int32_t offset) {
  return RoundTime(t - 1, 1 - n, step, offset);
}

// How many round times lie strictly between a and b (a < b).
int64_t RoundTimesBetween(UtcInstant a, UtcInstant b, int64_t step, int32_t offset) {
  return FloorDiv(b - 1 + offset, step) - FloorDiv(a + offset, step);
}

// Shows target (kept inside the range); false when that is what shows now.
bool ShowInstant(PreviewState* preview, UtcInstant target, UtcInstant present) {
  const UtcInstant shown = Clamp(target, kFirstShownInstant, kLastShownInstant);
  // At a limit the wheel's rest is dropped, so the first notch back moves at once.
  if (shown != target) preview->pendingDelta = 0;
  if (preview->active ? shown == preview->shown : shown == present) return false;
  preview->active = 1;
  preview->shown = shown;
  return true;
}

}  // namespace

int32_t OffsetOfLocalFields(const BrokenDownTime& local, UtcInstant t) {
  BrokenDownTime utc{};
  if (BreakDownTime(t, 0, &utc) == nullptr) return 0;
  int days = local.yday - utc.yday;
  if (local.year != utc.year) days = local.year > utc.year ? 1 : -1;
  return days * 86400 + (local.hour - utc.hour) * 3600 + (local.min - utc.min) * 60 +
         (local.sec - utc.sec);
}

bool StepPreview(PreviewState* preview, int64_t notches, int64_t step, UtcInstant now,
                 LocalOffsetFn localOffset) {
  if (notches == 0 || step <= 0) return false;
  // More notches than the range holds end at a limit all the same; fewer keep
  // every product below far from overflow.
  const int64_t most = kLastShownInstant / step + 2;
  int64_t count = Clamp(notches < 0 ? -notches : notches, 1, most);
  // The limits hold for the present instant too: now itself may lie outside.
  const UtcInstant present = Clamp(now, kFirstShownInstant, kLastShownInstant);
  UtcInstant from = preview->active ? preview->shown : present;
  const int32_t offset = localOffset(from);
  const bool later = notches > 0;
  if (preview->active && (later ? present > from : present < from)) {
    // The present lies on the way: it is the stop after the round times
    // between here and there.
    const int64_t between = later ? RoundTimesBetween(from, present, step, offset)
                                  : RoundTimesBetween(present, from, step, offset);
    if (count == between + 1) {
      EndPreview(preview);
      return true;
    }
    if (count > between + 1) {
      count -= between + 1;
      from = present;
    }
  }
  const UtcInstant target = later ? RoundTime(from, count, step, offset)
                                  : RoundTimeBefore(from, count, step, offset);
  return ShowInstant(preview, target, present);
}

bool ApplyWheelDelta(PreviewState* preview, int32_t delta, bool shift, UtcInstant now,
                     LocalOffsetFn localOffset) {
  // Whole notches move the preview; the rest waits for the next message. In
  // 64 bits no delta and no pending rest can overflow.
  const int64_t total = static_cast<int64_t>(preview->pendingDelta) + delta;
  const int64_t notches = total / kWheelNotch;
  preview->pendingDelta = static_cast<int32_t>(total % kWheelNotch);
  if (notches == 0) return false;
  return StepPreview(preview, notches, shift ? kPreviewShiftStep : kPreviewStep, now,
                     localOffset);
}

bool ApplyPreviewKey(PreviewState* preview, PreviewKey key, bool shift, UtcInstant now,
                     LocalOffsetFn localOffset) {
  const int64_t step = shift ? kPreviewShiftStep : kPreviewStep;
  switch (key) {
    case kPreviewKeyLater:
      return StepPreview(preview, 1, step, now, localOffset);
    case kPreviewKeyEarlier:
      return StepPreview(preview, -1, step, now, localOffset);
    case kPreviewKeyNextDay:
    case kPreviewKeyPrevDay: {
      const UtcInstant present = Clamp(now, kFirstShownInstant, kLastShownInstant);
      const UtcInstant from =
          preview->active ? preview->shown
                          : RoundTime(present, 0, kPreviewStep, localOffset(present));
      UtcInstant target = from + (key == kPreviewKeyNextDay ? kPreviewDay : -kPreviewDay);
      // The same wall time, also across a change of the local clock's offset.
      target += localOffset(from) - localOffset(target);
      return ShowInstant(preview, target, present);
    }
    case kPreviewKeyPresent:
      if (!preview->active) return false;
      EndPreview(preview);
      return true;
  }
  return false;
}

void EndPreview(PreviewState* preview) {
  preview->pendingDelta = 0;
  preview->active = 0;
  preview->shown = 0;
}

UtcInstant ShownInstant(const PreviewState& preview, UtcInstant now) {
  return preview.active ? preview.shown : now;
}

int64_t PreviewOffset(const PreviewState& preview, UtcInstant now) {
  if (!preview.active) return 0;
  return preview.shown - Clamp(now, kFirstShownInstant, kLastShownInstant);
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
