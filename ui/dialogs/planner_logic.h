// The meeting planner without a window: every clock's local times over one
// day of the reference row, shaded by each clock's working hours, a selected
// slot that moves by a step, and the two texts the slot is copied as.
#pragma once

#include <cstddef>
#include <cstdint>

#include "clocks/clock_list.h"
#include "tz/zone.h"

constexpr int kPlannerColumns = 24;
constexpr int kPlannerAbbrevChars = 16;
constexpr size_t kPlannerCellChars = 12;
constexpr size_t kPlannerTipChars = 160;
constexpr size_t kPlannerHeadChars = 64;
constexpr size_t kPlannerTextChars = 8192;
constexpr size_t kPlannerCalendarChars = 20480;

// Awake hours outside working hours: 07:00-22:00.
constexpr int32_t kAwakeStart = 7 * 60;
constexpr int32_t kAwakeEnd = 22 * 60;

// Days the date picker and the keys reach: every clock, the computer's own
// included, converts them (the platform stops just before 1970).
constexpr int32_t kPlannerFirstYear = 1970;
constexpr int32_t kPlannerLastYear = 2037;

enum PlannerShade : uint8_t { kShadeNight = 0, kShadeAwake = 1, kShadeWork = 2 };

// One clock's local time at the start of one hour column.
struct PlannerCell {
  int16_t hour, min;
  int16_t mday, mon, wday, yday;  // mon 0..11, wday 0 = Sunday
  int32_t year;                   // years since 1900
  uint8_t shade;
  uint8_t change;       // the clock's UTC offset changes within the hour
  uint8_t dateDiffers;  // its date is not the chosen day of the reference row
  uint8_t valid;        // 0 when the instant did not convert
};

struct PlannerRow {
  PlannerCell cells[kPlannerColumns];
};

struct PlannerModel {
  int32_t rows;       // the clocks, in strip order
  int32_t reference;  // the row whose day the columns are
  int32_t year, month, day;  // that day (month 1..12)
  UtcInstant dayStart;       // local midnight of the day in the reference row
  int32_t step;              // minutes: 15, 30 or 60
  int32_t duration;          // minutes
  int32_t slot;              // selected slot, in steps after dayStart
  int32_t working[kPlannerColumns];  // clocks in working hours at each column
  uint8_t marked[kPlannerColumns];   // all working, else the most (when any)
  PlannerRow row[kMaxClocks];
};

// The shade of a local minute of the day (0..1439) on weekday wday for a
// clock's working hours; an end before the start continues past midnight and
// belongs to the day it started on.
int WorkShade(int32_t start, int32_t end, int32_t days, int wday, int minute);

// Local fields, seconds east of UTC and the shown abbreviation of a clock at
// t; false when the instant does not convert.
bool ClockLocalTime(ClockRecord* clock, UtcInstant t, BrokenDownTime* out, int32_t* offset,
                    char* abbrev, size_t size);
// The abbreviation the planner shows for an engine name.
void PlannerAbbreviation(const char* name, char* out, size_t size);

// Opens on the slot that contains now; the reference is the first local
// clock, else the first clock. Clocks' zone states must exist.
void PlannerOpen(PlannerModel* m, UtcInstant now);
// Selects the slot that contains t, on the reference row's day of t.
void PlannerGoTo(PlannerModel* m, UtcInstant t);
// The chosen day, kept inside the reachable years; the slot keeps its place.
void PlannerSetDay(PlannerModel* m, int32_t year, int32_t month, int32_t day);
void PlannerMoveDay(PlannerModel* m, int32_t days);
// One step to either side, across midnight into the neighbouring day.
void PlannerStep(PlannerModel* m, int32_t direction);
void PlannerSetStep(PlannerModel* m, int32_t minutes);
void PlannerSetReference(PlannerModel* m, int32_t row);
// Selects the slot at minute `minute` (0..59) of column `column`.
void PlannerSelectCell(PlannerModel* m, int32_t column, int32_t minute);
int32_t PlannerSlotsPerDay(const PlannerModel* m);
UtcInstant PlannerSlotStart(const PlannerModel* m);
// The columns the selected slot covers: [*first, *last], clipped to the day.
void PlannerSlotColumns(const PlannerModel* m, int32_t* first, int32_t* last);
// Recomputes every cell (after clocks or their working hours changed).
void PlannerBuild(PlannerModel* m);

// "10", or "10:30" where the zone is not on a whole hour.
void PlannerCellHourText(const PlannerCell& cell, char* out, size_t size);
// "Thu 10" where the date differs from the reference row's, else empty.
void PlannerCellDateText(const PlannerCell& cell, char* out, size_t size);
// "Perth  AWST UTC+8" at the selected slot.
void PlannerRowHeadText(const PlannerModel* m, int32_t row, char* out, size_t size);
// The cell in words: time, shade, and the clock change within it.
void PlannerCellTip(const PlannerModel* m, int32_t row, int32_t column, char* out, size_t size);
// The header column in words: how many clocks are in working hours.
void PlannerColumnTip(const PlannerModel* m, int32_t column, char* out, size_t size);

// The copied line of one clock: "Perth: Thu 10 Dec 2026 15:00-16:00 AWST".
void PlannerSlotLine(const PlannerModel* m, int32_t row, char* out, size_t size);
// One line per clock and a UTC line, CRLF line ends.
void PlannerCopyText(PlannerModel* m, char* out, size_t size);
// The slot as an iCalendar event stamped at `stamp`.
void PlannerCalendarText(PlannerModel* m, UtcInstant stamp, char* out, size_t size);
