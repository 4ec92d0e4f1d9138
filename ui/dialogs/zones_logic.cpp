#include "ui/dialogs/zones_logic.h"

#include <cstdlib>

#include "clocks/zone_file.h"
#include "tz/fatal.h"
#include "tz/wall_clock.h"
#include "tz/zone.h"

ZoneSortState ZonesSort = {{0, 0, 0}, 0};

void FreeZoneRows(ZoneRows* rows) {
  std::free(rows->rows);
  rows->rows = nullptr;
  rows->count = 0;
}

void FillZoneRows(ZoneRows* rows) {
  FreeZoneRows(rows);
  int32_t count = 0;
  for (const ZoneEntry* z = ZoneList; z != nullptr; z = z->next) ++count;
  if (count == 0) return;
  rows->rows = static_cast<ZoneRow*>(std::calloc(static_cast<size_t>(count), sizeof(ZoneRow)));
  if (rows->rows == nullptr) FatalOutOfMemory("calloc failed to allocate memory.");
  // One state serves every row: each zone costs one parse and one query.
  ZoneState* state = CreateZoneState();
  const UtcInstant now = CurrentInstant();
  int32_t i = 0;
  for (const ZoneEntry* z = ZoneList; z != nullptr && i < count; z = z->next, ++i) {
    ZoneRow& row = rows->rows[i];
    row.name = z->name;
    row.rule = z->tz;
    ZoneRowText(state, z->tz, now, row.timeText, sizeof row.timeText);
  }
  rows->count = i;
  DestroyZoneState(&state);
}

const char* ZoneRowColumn(const ZoneRow& row, int column) {
  const char* text = nullptr;
  switch (column) {
    case 0:
      text = row.name;
      break;
    case 1:
      text = row.timeText;
      break;
    case 2:
      text = row.rule;
      break;
    default:
      break;
  }
  return text != nullptr ? text : "";
}

int CompareZoneTexts(const char* a, const char* b) {
  for (int i = 0; i < kZoneCompareChars; ++i) {
    const unsigned char ca = static_cast<unsigned char>(a[i]);
    const unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == '\0') return 0;
  }
  return 0;
}

int CompareZoneRows(const ZoneRows* rows, intptr_t a, intptr_t b, int column,
                    const ZoneSortState* sort) {
  const bool aIn = a >= 0 && a < rows->count;
  const bool bIn = b >= 0 && b < rows->count;
  const char* ta = aIn ? ZoneRowColumn(rows->rows[a], column) : "";
  const char* tb = bIn ? ZoneRowColumn(rows->rows[b], column) : "";
  const int r = CompareZoneTexts(ta, tb);
  const bool descending = column >= 0 && column < kZoneColumns && sort->direction[column] == 1;
  return descending ? -r : r;
}

void ClickZoneColumn(ZoneSortState* sort, int column) {
  if (column < 0 || column >= kZoneColumns) return;
  sort->lastColumn = column;
  sort->direction[column] = sort->direction[column] == 0 ? 1 : 0;
}
