// The choices of the dialogs' drop-down lists: fixed tables of
// {value, label} pairs, each ended by an entry with value -1 and no label.
// A list shows the labels; a setting stores the value.
#pragma once

#include <cstdint>

struct ValueEntry {
  int32_t value;
  const char* label;  // nullptr marks the end of a table
};

// A table holds at most this many entries before its end mark.
constexpr int kMaxValueEntries = 100;
// The value that stands for "nothing selected" or "no such label".
constexpr int32_t kNoValue = -1;

extern const ValueEntry kColorValues[];       // clock colours (COLORREF)
extern const ValueEntry kTimeFormatValues[];  // clock time formats 0..3
extern const ValueEntry kDateFormatValues[];  // DateFormat 0..2
extern const ValueEntry kUpdateHourValues[];  // UpdateTime 0..23
extern const ValueEntry kFontSizeValues[];    // FontSize 0..2
extern const ValueEntry kTimestampValues[];   // TimeStampFmt 0..4

// Number of entries before the end mark (at most kMaxValueEntries).
int CountValues(const ValueEntry* table);
// The value whose label equals label byte for byte, else kNoValue; a null
// label (nothing selected) gives kNoValue too.
int32_t ValueOfLabel(const ValueEntry* table, const char* label);
// The label of the first entry holding value, else nullptr.
const char* LabelOfValue(const ValueEntry* table, int32_t value);
