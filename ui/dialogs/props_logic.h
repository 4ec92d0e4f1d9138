// What the clock properties dialog does with its controls' contents when OK
// is pressed, and the title it proposes for a chosen zone. The dialog reads
// its controls into a PropsChoice; everything after that lives here, so it
// runs without a window.
#pragma once

#include <cstddef>
#include <cstdint>

// The longest title and zone name the dialog reads from its controls.
constexpr int kPropsTextMaxLen = 126;
constexpr int kPropsTextChars = kPropsTextMaxLen + 1;
// An edited title keeps 19 characters, a new clock's title 18.
constexpr int kEditedTitleMaxLen = 19;
constexpr int kNewTitleMaxLen = 18;

struct PropsChoice {
  int32_t color;      // a colour value, or -1 when none is selected
  int32_t format;     // a time format, or -1 when none is selected
  int32_t type;       // 0 local, 1 UTC, 2 zone: from the radio buttons
  const char* title;  // the title edit (never null)
  const char* zone;   // the selected zone name, or nullptr for none
  // Working hours (minutes after midnight) and days (bit 0 = Sunday); -1
  // leaves the clock's own.
  int32_t workStart = -1;
  int32_t workEnd = -1;
  int32_t workDays = -1;
};

enum PropsOutcome {
  kPropsClose,          // close the dialog, the strip keeps its layout
  kPropsCloseRelayout,  // close the dialog and lay the strip out again
  kPropsNeedZone,       // a zone clock without a zone: keep the dialog open
};

// OK on clock index: applies the choices to the record one by one, so what
// was applied before a kPropsNeedZone stays applied.
PropsOutcome ApplyClockEdit(int index, const PropsChoice& choice);
// OK for a new clock: appends it with AddClock. kPropsClose when the list
// refuses it (nothing added).
PropsOutcome AddClockFromChoice(const PropsChoice& choice);

// "9:00" or "09:00" to minutes after midnight; false for anything else.
bool ParseWorkTime(const char* text, int32_t* minutes);
// "09:00".
void WorkTimeText(int32_t minutes, char* out, size_t size);

// The title for a zone name: what follows the first '/', or the whole name.
void ProposeTitle(const char* zoneName, char* out, size_t size);
