// Previewing another instant on the strip: the wheel or the keys move the
// shown instant from one round time of the local clock to the next (quarter
// hours, hours with Shift, days with Page Up and Page Down), and the strip
// returns to the present on its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tz/zone.h"

constexpr int32_t kWheelNotch = 120;
constexpr int64_t kPreviewStep = 15 * 60;
constexpr int64_t kPreviewShiftStep = 60 * 60;
constexpr int64_t kPreviewDay = 24 * 60 * 60;
// The shown instant stays where every clock, the computer's own included,
// converts correctly: the platform's local conversion stops at 1970 and 3000.
constexpr UtcInstant kFirstShownInstant = 86400;         // 1970-01-02T00:00:00Z
constexpr UtcInstant kLastShownInstant = 32535043200;    // 3000-12-30T00:00:00Z
constexpr size_t kPreviewTipChars = 64;

struct PreviewState {
  int32_t pendingDelta;  // wheel delta short of a notch, -119..119
  int32_t active;        // the strip shows `shown` rather than the present
  UtcInstant shown;      // a round time of the local clock (or a limit of the range)
};

// Seconds east of UTC of the computer's own clock at an instant.
using LocalOffsetFn = int32_t (*)(UtcInstant t);

// The offset of a clock whose local fields at t are local (they differ from
// UTC's by less than a day).
int32_t OffsetOfLocalFields(const BrokenDownTime& local, UtcInstant t);

// What a key does to the preview; the window maps its keys to these.
enum PreviewKey {
  kPreviewKeyLater,    // Right, Up: a notch later
  kPreviewKeyEarlier,  // Left, Down: a notch earlier
  kPreviewKeyNextDay,  // Page Up
  kPreviewKeyPrevDay,  // Page Down
  kPreviewKeyPresent,  // Home, Escape
};

// Moves the preview by whole notches (either sign) of step seconds: to the
// next round time of the local clock in that direction. The present is a
// stop of its own between the round times around it: a notch that reaches it
// ends the preview. Returns true when what the strip shows changed.
bool StepPreview(PreviewState* preview, int64_t notches, int64_t step, UtcInstant now,
                 LocalOffsetFn localOffset);
// Adds one wheel message's delta (any size, either sign); a rest short of a
// notch waits for the next message and is dropped when the preview ends.
bool ApplyWheelDelta(PreviewState* preview, int32_t delta, bool shift, UtcInstant now,
                     LocalOffsetFn localOffset);
// A key: a notch (an hour with Shift), the same wall time a day later or
// earlier (from the present: from the quarter hour it is in), or the present.
bool ApplyPreviewKey(PreviewState* preview, PreviewKey key, bool shift, UtcInstant now,
                     LocalOffsetFn localOffset);
void EndPreview(PreviewState* preview);
// The previewed instant, or now (which may lie outside the shown range).
UtcInstant ShownInstant(const PreviewState& preview, UtcInstant now);
// Seconds from now to the previewed instant; 0 without a preview.
int64_t PreviewOffset(const PreviewState& preview, UtcInstant now);
// "+3:15  Tue 8 Dec 18:30": the offset from now to the previewed instant
// (whole minutes towards zero) and its local time, with the year after the
// month when it is not presentYear (years since 1900).
void PreviewTipText(int64_t offset, const BrokenDownTime& shown, int presentYear, char* out,
                    size_t size);
