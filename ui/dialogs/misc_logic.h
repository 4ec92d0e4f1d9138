// The plain logic behind the calendar and countdown dialogs: the day count
// between two dates and the program-wide countdown. No Win32 here.
#pragma once

#include <cstddef>
#include <cstdint>

// Whole days from `from` to `to`, both in 100-nanosecond ticks: the
// difference in whole seconds (toward zero), then in whole days (toward zero).
int32_t DaysFromTicks(int64_t fromTicks, int64_t toTicks);
// "%d day%s": "1 day", "0 days", "-1 days".
void FormatDayCount(int32_t days, char* out, size_t size);

// The countdown, in memory only; all zero when the program starts.
struct CountdownState {
  bool running;
  int64_t endTime;  // seconds since 1970-01-01 00:00 UTC
  int32_t hours, minutes, seconds;
};

extern CountdownState Countdown;

// Stores the entered values; starts when they total at least one second.
// True when the countdown now runs. Values count in full, beyond the spin
// ranges too.
bool StartCountdown(uint32_t hours, uint32_t minutes, uint32_t seconds, int64_t now);
// While running: the remaining time into hours, minutes and seconds (0 once
// it is below one second). Hours are not limited to 23.
void RefreshCountdown(int64_t now);
// True once, at the first `now` (whole seconds) after the end time: the
// countdown stops and the alarm is due.
bool CountdownExpired(int64_t now);

// A rectangle in screen pixels, right and bottom exclusive.
struct ScreenRect {
  int32_t left, top, right, bottom;
};

// Where a dialog of width x height opens beside the strip: centred on work
// (the work area of the strip's monitor), then, when it would cover the
// strip, moved clear of it, gap pixels below it, or above it when the room
// below is short. With room on neither side it takes the side with more
// room. It stays inside work; one larger than work keeps its top left corner
// (the caption) there. strip null: the strip is hidden, only centred.
void PlaceDialog(const ScreenRect& work, const ScreenRect* strip, int32_t width, int32_t height,
                 int32_t gap, int32_t* x, int32_t* y);
