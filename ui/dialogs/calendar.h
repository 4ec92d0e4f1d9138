// The calendar dialog's day count on Win32 date records.
#pragma once

#include <windows.h>

#include <cstdint>

// Whole days from `from` to `to`, toward zero; the times of day take part.
int32_t DaysBetween(const SYSTEMTIME& from, const SYSTEMTIME& to);
