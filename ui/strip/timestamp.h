// Timestamp texts of a clock's present moment, in the formats the user picks
// for "Capture Timestamp".
#pragma once

#include <cstddef>
#include <cstdint>

#include "clocks/clock_list.h"
#include "tz/zone.h"

constexpr size_t kTimestampChars = 64;  // at most 63 characters
constexpr size_t kDesignatorChars = 32;

// Seconds east of UTC of the local fields of instant t.
int32_t UtcOffsetOf(const BrokenDownTime& local, UtcInstant t);
// "Z", or "+hh:mm" / "-hh:mm".
void ZoneDesignator(int32_t offset, char* out, size_t size);
// The timestamp of the fields in format timeStampFmt (0..4; others as 3).
void TimestampText(int timeStampFmt, const BrokenDownTime& local, int32_t offset, char* out,
                   size_t size);
// The timestamp of instant now as the clock sees it: from its rule string
// when it has one, else in the computer's own zone.
void ClockTimestamp(const ClockRecord& clock, UtcInstant now, int timeStampFmt, char* out,
                    size_t size);
