// The clock records and the fixed list of up to 64 clocks in display order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tz/zone.h"

constexpr int kMaxClocks = 64;
constexpr int kTitleChars = 21;     // at most 19 characters (20 from an import)
constexpr int kTitleMaxLen = 19;
constexpr int kZoneTextChars = 256;  // Tz and Id
constexpr int kZoneTextMaxLen = 254;
constexpr int kTimeTextChars = 15;

constexpr int32_t kDefaultWorkStart = 9 * 60;
constexpr int32_t kDefaultWorkEnd = 17 * 60;
constexpr int32_t kDefaultWorkDays = 0x3E;  // Monday to Friday
constexpr int32_t kMinutesPerDay = 24 * 60;

enum ClockType : int32_t {
  kClockLocal = 0,  // "Local System Time"
  kClockUtc = 1,    // "UTC System Time"
  kClockZone = 2,   // "Time Zone"
};

// Window handle of a title button, opaque to the portable code.
using TitleButtonHandle = void*;

struct ClockRect {
  int32_t left, top, right, bottom;
};

struct ClockRecord {
  int32_t Type;
  int32_t Wd;      // 0 = "Normal", 1 = "Wider"; stored, not used by the layout
  int32_t Color;   // COLORREF 0x00BBGGRR
  int32_t Format;  // 0..3
  char Tz[kZoneTextChars];
  char Id[kZoneTextChars];
  char Title[kTitleChars];
  char TimeText[kTimeTextChars];
  int32_t Width;
  // Working hours in minutes after local midnight (an end before the start is
  // an overnight shift) and working days, bit 0 = Sunday.
  int32_t WorkStart = kDefaultWorkStart;
  int32_t WorkEnd = kDefaultWorkEnd;
  int32_t WorkDays = kDefaultWorkDays;
  ZoneState* zone;  // owned by the slot in use that holds it
  TitleButtonHandle titleButton;
  ClockRect cellRect;
};

struct ClockList {
  ClockRecord clocks[kMaxClocks];
  int32_t N;              // clocks in use, in display order
  int32_t SelectedClock;  // target of menu commands, -1 for none
};

extern ClockList Clocks;

// Named colours, in the order the dialogs list them.
constexpr int32_t kColorGreen = 0x00FF00;
constexpr int32_t kColorLightBlue = 0xFFFF00;
constexpr int32_t kColorYellow = 0x00FFFF;
constexpr int32_t kColorRed = 0x0000FF;
constexpr int32_t kColorWhite = 0xFFFFFF;

// Working hours as stored: minutes 0..1439, day bits 0..127. A value outside
// is ignored and the default used, each value on its own.
bool ValidWorkTime(int32_t minutes);
bool ValidWorkDays(int32_t days);
void SetWorkHours(ClockRecord* clock, int32_t start, int32_t end, int32_t days);

// Bounded copy: at most maxLen characters, always terminated.
void CopyBounded(char* dest, size_t destSize, const char* src, size_t maxLen);

// Fills the list with the default clocks (Local, Perth, UTC); zone states are
// not created. Returns the number of default clocks.
int LoadDefaultClocks();
// The template of the default clocks and its length.
const ClockRecord* DefaultClocks(int* count);

void CopyClock(int source, int dest);
int AddClock(const ClockRecord* templ);
int DuplicateClock();
int RemoveClock();
int MoveClock(int direction);  // 0 = left, 1 = right
int ClockAtPoint(int32_t x, int32_t y);
int32_t TotalWidth();

// Gives every clock in use a fresh zone state / destroys them all.
void CreateClockZoneStates();
void DestroyClockZoneStates();

// Called with a removed clock's title button; the window layer destroys it.
using TitleButtonDiscarder = void (*)(TitleButtonHandle button);
void SetTitleButtonDiscarder(TitleButtonDiscarder discarder);
