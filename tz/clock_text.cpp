#include "tz/clock_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tz/abbreviation.h"
#include "tz/wall_clock.h"

const char* const kShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kFullDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
const char* const kShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kOrdinalSuffixes[32] = {
    "th", "st", "nd", "rd", "th", "th", "th", "th", "th", "th", "th",
    "th", "th", "th", "th", "th", "th", "th", "th", "th", "th", "st",
    "nd", "rd", "th", "th", "th", "th", "th", "th", "th", "st"};

namespace {

// Table lookups that stay inside the tables whatever a caller passes.
const char* Pick(const char* const* table, int count, int index) {
  return (index >= 0 && index < count) ? table[index] : "???";
}

void SetTimeText(ClockRecord* clock, const char* text) {
  CopyBounded(clock->TimeText, sizeof clock->TimeText, text, kClockTextChars - 1);
}

}  // namespace

void ClockTimeText(int format, int hour, int minute, int second, int wday, int mday, char mark,
                   int utc, char* out, size_t size) {
  const char markText[2] = {mark, '\0'};
  const char* suffix = utc ? "Z" : "";
  switch (format) {
    case 1: {
      const int hour12 = hour > 12 ? hour - 12 : (hour == 0 ? 12 : hour);
      std::snprintf(out, size, "%s%d:%02d%c", markText, hour12, minute, hour < 12 ? 'a' : 'p');
      break;
    }
    case 2:
      std::snprintf(out, size, "%s%02d:%02d%s", markText, hour, minute, suffix);
      break;
    case 3:
      std::snprintf(out, size, "%s %d%s", Pick(kShortDayNames, 7, wday), mday,
                    Pick(kOrdinalSuffixes, 32, mday));
      break;
    default:
      std::snprintf(out, size, "%s%02d:%02d:%02d%s", markText, hour, minute, second, suffix);
      break;
  }
}

char UtcDayMark(int utcDay, int localDay) {
  const int d = utcDay - localDay;
  if (d >= 25) return '-';  // UTC on the 31st while local is already on the 1st
  if (d <= -25) return '+';
  if (d > 0) return '+';
  if (d < 0) return '-';
  return ' ';
}

char ZoneDayMark(int zoneYday, int localYday) {
  const int d = zoneYday - localYday;
  if (d >= 364) return '-';  // zone on December 31, computer already on January 1
  if (d <= -364) return '+';
  if (d > 0) return '+';
  if (d < 0) return '-';
  return ' ';
}

void ZoneClockText(ClockRecord* clock) { ZoneClockTextAt(clock, CurrentInstant()); }

void ZoneClockTextAt(ClockRecord* clock, UtcInstant now) {
  SetZoneRule(clock->zone, clock->Tz);
  BrokenDownTime zone{};
  if (ZoneLocalTime(clock->zone, now, &zone) == nullptr) return;
  BrokenDownTime local{};
  if (!ConvertToLocalTime(now, &local)) local = zone;
  char text[kClockTextChars];
  ClockTimeText(clock->Format, zone.hour, zone.min, zone.sec, zone.wday, zone.mday,
                ZoneDayMark(zone.yday, local.yday), 0, text, sizeof text);
  SetTimeText(clock, text);
}

void RefreshClockTexts() {
  char text[kClockTextChars];
  for (int i = 0; i < Clocks.N; ++i) {
    ClockRecord* clock = &Clocks.clocks[i];
    switch (clock->Type) {
      case kClockLocal: {
        WallClock local{};
        ReadLocalWallClock(&local);
        ClockTimeText(clock->Format, local.hour, local.minute, local.second, local.wday,
                      local.day, 0, 0, text, sizeof text);
        SetTimeText(clock, text);
        break;
      }
      case kClockUtc: {
        WallClock utc{};
        WallClock local{};
        ReadUtcWallClock(&utc);
        ReadLocalWallClock(&local);
        ClockTimeText(clock->Format, utc.hour, utc.minute, utc.second, utc.wday, utc.day,
                      UtcDayMark(utc.day, local.day), 1, text, sizeof text);
        SetTimeText(clock, text);
        break;
      }
      case kClockZone:
        if (clock->zone != nullptr) ZoneClockText(clock);
        break;
      default:
        break;
    }
  }
}

void RefreshClockTextsAt(UtcInstant at) {
  // The computer's own date at that instant: the marks compare against it.
  BrokenDownTime local{};
  const bool haveLocal = ConvertToLocalTime(at, &local);
  BrokenDownTime utc{};
  const bool haveUtc = BreakDownTime(at, 0, &utc) != nullptr;
  char text[kClockTextChars];
  for (int i = 0; i < Clocks.N; ++i) {
    ClockRecord* clock = &Clocks.clocks[i];
    switch (clock->Type) {
      case kClockLocal:
        if (!haveLocal) break;
        ClockTimeText(clock->Format, local.hour, local.min, local.sec, local.wday, local.mday, 0,
                      0, text, sizeof text);
        SetTimeText(clock, text);
        break;
      case kClockUtc:
        if (!haveUtc) break;
        ClockTimeText(clock->Format, utc.hour, utc.min, utc.sec, utc.wday, utc.mday,
                      UtcDayMark(utc.mday, haveLocal ? local.mday : utc.mday), 1, text,
                      sizeof text);
        SetTimeText(clock, text);
        break;
      case kClockZone:
        if (clock->zone != nullptr) ZoneClockTextAt(clock, at);
        break;
      default:
        break;
    }
  }
}

void DateText(int dateFormat, const BrokenDownTime& t, char* out, size_t size) {
  const int year = t.year + 1900;
  const char* month = Pick(kShortMonthNames, 12, t.mon);
  switch (dateFormat) {
    case 0:
      std::snprintf(out, size, "%s %d %04d", month, t.mday, year);
      break;
    case 2:
      std::snprintf(out, size, "%04d %s %d", year, month, t.mday);
      break;
    default:
      std::snprintf(out, size, "%2d %s %04d", t.mday, month, year);
      break;
  }
}

void ClockTooltipText(ClockRecord* clock, int dateFormat, char* out, size_t size) {
  ClockTooltipTextAt(clock, dateFormat, CurrentInstant(), out, size);
}

void ClockTooltipTextAt(ClockRecord* clock, int dateFormat, UtcInstant now, char* out,
                        size_t size) {
  BrokenDownTime t{};
  char name[kAbbrevShownChars] = "Local";
  if (clock->Type == kClockLocal) {
    ConvertToLocalTime(now, &t);
  } else {
    if (clock->zone == nullptr) {
      CopyBounded(out, size, "", 0);
      return;
    }
    SetZoneRule(clock->zone, clock->Tz);
    ZoneLocalTime(clock->zone, now, &t);
    ReadableAbbreviation(clock->zone->currentAbbrev[t.isdst ? 1 : 0], name, sizeof name);
  }
  char date[kDateTextChars];
  DateText(dateFormat, t, date, sizeof date);
  std::snprintf(out, size, "%s: %s, %s %s", name, Pick(kFullDayNames, 7, t.wday), date,
                t.isdst ? "(d)" : "");
}

bool ClockChangeAhead(ClockRecord* clock, UtcInstant at, UtcInstant within, ZoneChange* change) {
  if (clock->Type != kClockZone || clock->zone == nullptr) return false;
  SetZoneRule(clock->zone, clock->Tz);
  // A previewed instant may lie at the far edge of the engine's years.
  const UtcInstant until = at > INT64_MAX - within ? INT64_MAX : at + within;
  return NextZoneChange(clock->zone, at, until, change);
}

void TitleTooltipTextAt(ClockRecord* clock, int dateFormat, UtcInstant at, char* out,
                        size_t size) {
  ClockTooltipTextAt(clock, dateFormat, at, out, size);
  ZoneChange change{};
  if (!ClockChangeAhead(clock, at, kChangeTipSeconds, &change)) return;
  char line[kTitleTipChars];
  ZoneChangeText(&change, 1, line, sizeof line);
  const size_t used = std::strlen(out);
  if (used < size) std::snprintf(out + used, size - used, "\r\n%s", line);
}

void ZoneRowText(ZoneState* state, const char* rule, UtcInstant now, char* out, size_t size) {
  SetZoneRule(state, rule);
  BrokenDownTime t{};
  ZoneLocalTime(state, now, &t);
  char name[kAbbrevShownChars];
  ReadableAbbreviation(state->currentAbbrev[t.isdst ? 1 : 0], name, sizeof name);
  std::snprintf(out, size, "%02d:%02d %-4s %3s %02d %3s %s", t.hour, t.min, name, Pick(kShortDayNames, 7, t.wday), t.mday,
                Pick(kShortMonthNames, 12, t.mon), t.isdst ? "(d)" : "");
}
