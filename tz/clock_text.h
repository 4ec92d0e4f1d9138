// Every text that shows a clock's time or date: cell texts, day-difference
// marks, tooltips and the rows of the all-zones list.
#pragma once

#include <cstddef>

#include "clocks/clock_list.h"
#include "tz/zone.h"
#include "tz/zone_change.h"

extern const char* const kShortDayNames[7];
extern const char* const kFullDayNames[7];
extern const char* const kShortMonthNames[12];
extern const char* const kOrdinalSuffixes[32];

constexpr size_t kClockTextChars = 12;  // at most 11 characters
constexpr size_t kDateTextChars = 20;
constexpr size_t kTooltipChars = 80;
// A title tooltip of two lines: the clock's and a change ahead.
constexpr size_t kTitleTipChars = 2 * kTooltipChars + 8;
// How far ahead a change of a clock's offset shows: in its tooltip, and as a
// mark on its title button.
constexpr UtcInstant kChangeTipSeconds = 14 * 86400;
constexpr UtcInstant kChangeMarkSeconds = 7 * 86400;
constexpr size_t kZoneRowChars = 50;

// Cell text by time format; mark 0 means no mark, utc selects the suffix "Z".
void ClockTimeText(int format, int hour, int minute, int second, int wday, int mday, char mark,
                   int utc, char* out, size_t size);

// The marks shown before a UTC clock (from days of the month) and a zone
// clock (from days of the year), against the computer's own date.
char UtcDayMark(int utcDay, int localDay);
char ZoneDayMark(int zoneYday, int localYday);

void ZoneClockText(ClockRecord* clock);
void RefreshClockTexts();
// The same texts at instant at instead of the present (a previewed instant).
void ZoneClockTextAt(ClockRecord* clock, UtcInstant at);
void RefreshClockTextsAt(UtcInstant at);

void DateText(int dateFormat, const BrokenDownTime& t, char* out, size_t size);
void ClockTooltipText(ClockRecord* clock, int dateFormat, char* out, size_t size);
void ClockTooltipTextAt(ClockRecord* clock, int dateFormat, UtcInstant at, char* out,
                        size_t size);
// The first change of a zone clock's offset in (at, at + within]; false for
// a clock of another type and when there is none.
bool ClockChangeAhead(ClockRecord* clock, UtcInstant at, UtcInstant within, ZoneChange* change);
// The title tooltip at instant at: ClockTooltipTextAt's line and, when the
// offset changes within kChangeTipSeconds, the dated change on a second line.
void TitleTooltipTextAt(ClockRecord* clock, int dateFormat, UtcInstant at, char* out,
                        size_t size);
// The row of one zone at instant now (one instant for a whole list).
void ZoneRowText(ZoneState* state, const char* rule, UtcInstant now, char* out, size_t size);
