// The rows of the all-zones list and their ordering. Each row is one zone of
// the zone list with the time texts computed when the list was filled; the
// list view sorts rows by their position here (its item data) through
// CompareZoneRows.
#pragma once

#include <cstdint>

#include "tz/clock_text.h"

constexpr int kZoneColumns = 3;  // name, time now, rule string
// Texts are compared on at most this many characters.
constexpr int kZoneCompareChars = 63;

// Per column 0 = ascending, 1 = descending, and the column sorted last. Kept
// for the whole run, so reopening the dialog sorts as it was left.
struct ZoneSortState {
  int32_t direction[kZoneColumns];
  int32_t lastColumn;
};

extern ZoneSortState ZonesSort;

struct ZoneRow {
  const char* name;  // owned by the zone list
  const char* rule;  // owned by the zone list
  char timeText[kZoneRowChars];
};

struct ZoneRows {
  ZoneRow* rows;  // count rows, in zone-list order
  int32_t count;
};

// Replaces the rows with one per zone of the zone list, in its order, their
// time texts computed with one temporary zone state. Out of memory ends the
// program.
void FillZoneRows(ZoneRows* rows);
void FreeZoneRows(ZoneRows* rows);

// The text of a row in a column (0 name, 1 time now, 2 rule string).
const char* ZoneRowColumn(const ZoneRow& row, int column);

// Byte-wise comparison as unsigned 8-bit values on at most
// kZoneCompareChars characters: negative, zero or positive.
int CompareZoneTexts(const char* a, const char* b);
// Rows a and b (positions in rows) by column, in that column's direction.
// A position outside the rows compares as an empty text.
int CompareZoneRows(const ZoneRows* rows, intptr_t a, intptr_t b, int column,
                    const ZoneSortState* sort);

// A click on a column heading: that column becomes the last sorted one and
// its direction flips.
void ClickZoneColumn(ZoneSortState* sort, int column);
