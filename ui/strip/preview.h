// Previewing another instant by scrolling the strip: the wheel moves the
// shown instant away from the present in steps of 15 minutes (an hour with
// Shift), and the strip returns to the present on its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tz/zone.h"

constexpr int32_t kWheelNotch = 120;
constexpr int64_t kPreviewStep = 15 * 60;
constexpr int64_t kPreviewShiftStep = 60 * 60;
// The shown instant stays where every clock, the computer's own included,
// converts correctly: the platform's local conversion stops at 1970 and 3000.
constexpr UtcInstant kFirstShownInstant = 86400;         // 1970-01-02T00:00:00Z
constexpr UtcInstant kLastShownInstant = 32535043200;    // 3000-12-30T00:00:00Z
constexpr size_t kPreviewTipChars = 64;

struct PreviewState {
  int32_t pendingDelta;  // wheel delta short of a notch, -119..119
  int64_t offset;        // seconds from the present; 0 shows the present
};

// Adds one wheel message's delta (any size, either sign) at the present
// instant now; returns true when the offset changed. An offset that reaches 0
// ends the preview (the pending delta is dropped with it).
bool ApplyWheelDelta(PreviewState* preview, int32_t delta, bool shift, UtcInstant now);
void EndPreview(PreviewState* preview);
// now + offset, kept inside the shown range.
UtcInstant ShownInstant(const PreviewState& preview, UtcInstant now);
// "+3:15  Tue 8 Dec 18:30": the offset and the previewed local time, with
// the year after the month when it is not presentYear (years since 1900).
void PreviewTipText(int64_t offset, const BrokenDownTime& shown, int presentYear, char* out,
                    size_t size);
