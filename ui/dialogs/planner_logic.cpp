// Every time in the grid comes from the engine (or, for the computer's own
// clock, the platform) for that very instant: a cell is never derived from
// its neighbour by adding an hour, so a day across a clock change is right in
// every row.
#include "ui/dialogs/planner_logic.h"

#include <cstdio>
#include <cstring>

#include "tz/abbreviation.h"
#include "tz/clock_text.h"
#include "tz/wall_clock.h"
#include "tz/zone_change.h"

namespace {

// Days since 1970-01-01 of a date (month0 0..11, day 1..31).
int64_t DaysFromCivil(int64_t year, int month0, int day) {
  int64_t days = 365 * (year - 1970) + LeapDaysThrough(year - 1) - LeapDaysThrough(1969);
  for (int m = 0; m < month0; ++m) days += MonthLength(year, m);
  return days + day - 1;
}

// The fields read back as seconds since 1970 as if they were UTC.
int64_t CivilSeconds(const BrokenDownTime& t) {
  const int64_t days = 365 * (static_cast<int64_t>(t.year) + 1900 - 1970) +
                       LeapDaysThrough(static_cast<int64_t>(t.year) + 1900 - 1) -
                       LeapDaysThrough(1969) + t.yday;
  return days * 86400 + t.hour * 3600 + t.min * 60 + t.sec;
}

int64_t CivilDay(const BrokenDownTime& t) { return CivilSeconds(t) / 86400; }

// "+01", "-0330", "+0545": the offset of a clock without a zone name.
void OffsetName(int32_t offset, char* out, size_t size) {
  const int32_t a = offset < 0 ? -offset : offset;
  if (a % 3600 == 0) {
    std::snprintf(out, size, "%c%02d", offset < 0 ? '-' : '+', a / 3600);
  } else {
    std::snprintf(out, size, "%c%02d%02d", offset < 0 ? '-' : '+', a / 3600, (a % 3600) / 60);
  }
}

// "UTC+8", "UTC-3:30", "UTC".
void OffsetText(int32_t offset, char* out, size_t size) {
  const int32_t a = offset < 0 ? -offset : offset;
  const char sign = offset < 0 ? '-' : '+';
  if (a == 0) {
    std::snprintf(out, size, "UTC");
  } else if (a % 3600 == 0) {
    std::snprintf(out, size, "UTC%c%d", sign, a / 3600);
  } else {
    std::snprintf(out, size, "UTC%c%d:%02d", sign, a / 3600, (a % 3600) / 60);
  }
}

int32_t ClampInt(int32_t v, int32_t low, int32_t high) { return v < low ? low : (v > high ? high : v); }

// Local midnight of the chosen day in the reference row. Midnight may fall
// in a gap (a change at 00:00): then the day starts at the first instant after it.
UtcInstant LocalMidnight(PlannerModel* m) {
  const UtcInstant wall = DaysFromCivil(m->year, m->month - 1, m->day) * 86400;
  ClockRecord* clock = &Clocks.clocks[m->reference];
  BrokenDownTime fields{};
  int32_t offset = 0;
  UtcInstant guess = wall;
  for (int i = 0; i < 2; ++i) {
    if (!ClockLocalTime(clock, guess, &fields, &offset, nullptr, 0)) offset = 0;
    guess = wall - offset;
  }
  return guess;
}

PlannerCell MakeCell(ClockRecord* clock, UtcInstant t) {
  PlannerCell cell{};
  BrokenDownTime f{};
  int32_t offset = 0;
  if (!ClockLocalTime(clock, t, &f, &offset, nullptr, 0)) return cell;
  cell.hour = static_cast<int16_t>(f.hour);
  cell.min = static_cast<int16_t>(f.min);
  cell.mday = static_cast<int16_t>(f.mday);
  cell.mon = static_cast<int16_t>(f.mon);
  cell.wday = static_cast<int16_t>(f.wday);
  cell.yday = static_cast<int16_t>(f.yday);
  cell.year = f.year;
  cell.valid = 1;
  cell.shade = static_cast<uint8_t>(
      WorkShade(clock->WorkStart, clock->WorkEnd, clock->WorkDays, f.wday, f.hour * 60 + f.min));
  return cell;
}

int32_t OffsetAt(ClockRecord* clock, UtcInstant t) {
  BrokenDownTime f{};
  int32_t offset = 0;
  return ClockLocalTime(clock, t, &f, &offset, nullptr, 0) ? offset : 0;
}

void MarkColumns(PlannerModel* m) {
  int32_t most = 0;
  for (int c = 0; c < kPlannerColumns; ++c) {
    m->working[c] = 0;
    for (int r = 0; r < m->rows; ++r) m->working[c] += m->row[r].cells[c].shade == kShadeWork;
    if (m->working[c] > most) most = m->working[c];
  }
  for (int c = 0; c < kPlannerColumns; ++c) m->marked[c] = most > 0 && m->working[c] == most;
}

// Text of one copied line: "Ddd D Mmm YYYY HH:MM-HH:MM ABBR".
void SlotLine(ClockRecord* clock, UtcInstant start, UtcInstant end, char* out, size_t size) {
  BrokenDownTime a{};
  BrokenDownTime b{};
  int32_t offset = 0;
  char abbrev[kPlannerAbbrevChars] = "";
  if (!ClockLocalTime(clock, start, &a, &offset, abbrev, sizeof abbrev) ||
      !ClockLocalTime(clock, end, &b, &offset, nullptr, 0)) {
    std::snprintf(out, size, "%s: ?", clock->Title);
    return;
  }
  const int64_t later = CivilDay(b) - CivilDay(a);
  char extra[16] = "";
  if (later > 0) std::snprintf(extra, sizeof extra, " (+%d day%s)", static_cast<int>(later), later > 1 ? "s" : "");
  std::snprintf(out, size, "%s: %s %d %s %d %02d:%02d-%02d:%02d%s %s", clock->Title,
                kShortDayNames[a.wday], a.mday, kShortMonthNames[a.mon], a.year + 1900, a.hour,
                a.min, b.hour, b.min, extra, abbrev);
}

// Appends text to out (size bytes, len in use); stops at the bound.
void Append(char* out, size_t size, size_t* len, const char* text) {
  while (*text != '\0' && *len + 1 < size) out[(*len)++] = *text++;
  out[*len] = '\0';
}

// Appends one content line, escaped and folded at 75 octets with CRLF. The
// text is 8-bit: bytes above 127 are taken as Latin-1 and written as UTF-8,
// and a fold never splits a character.
void AppendContentLine(char* out, size_t size, size_t* len, const char* name, const char* value,
                       bool escape) {
  char line[kPlannerCalendarChars];
  size_t n = 0;
  auto put = [&](char c) {
    if (n + 1 < sizeof line) line[n++] = c;
  };
  for (const char* p = name; *p != '\0'; ++p) put(*p);
  put(':');
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(value); *p != '\0'; ++p) {
    const unsigned char c = *p;
    if (escape && (c == '\\' || c == ';' || c == ',')) {
      put('\\');
      put(static_cast<char>(c));
    } else if (escape && c == '\r') {
      // CRLF in the text is one line break.
    } else if (escape && c == '\n') {
      put('\\');
      put('n');
    } else if (c >= 0x80) {
      put(static_cast<char>(0xC0 | (c >> 6)));
      put(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      put(static_cast<char>(c));
    }
  }
  line[n] = '\0';
  size_t octets = 0;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    const size_t charLen = c >= 0xC0 ? 2 : 1;
    if (octets + charLen > 75) {
      Append(out, size, len, "\r\n ");
      octets = 1;
    }
    const char piece[3] = {line[i], charLen == 2 ? line[i + 1] : '\0', '\0'};
    Append(out, size, len, piece);
    octets += charLen;
    i += charLen - 1;
  }
  Append(out, size, len, "\r\n");
}

void CalendarStamp(UtcInstant t, char* out, size_t size) {
  BrokenDownTime f{};
  BreakDownTime(t, 0, &f);
  std::snprintf(out, size, "%04d%02d%02dT%02d%02d%02dZ", f.year + 1900, f.mon + 1, f.mday, f.hour,
                f.min, f.sec);
}

}  // namespace

int WorkShade(int32_t start, int32_t end, int32_t days, int wday, int minute) {
  const bool today = (days >> wday) & 1;
  const bool yesterday = (days >> ((wday + 6) % 7)) & 1;
  bool working = false;
  if (start < end) {
    working = today && minute >= start && minute < end;
  } else if (start > end) {
    working = (today && minute >= start) || (yesterday && minute < end);
  }
  if (working) return kShadeWork;
  return minute >= kAwakeStart && minute < kAwakeEnd ? kShadeAwake : kShadeNight;
}

bool ClockLocalTime(ClockRecord* clock, UtcInstant t, BrokenDownTime* out, int32_t* offset,
                    char* abbrev, size_t size) {
  char name[kPlannerAbbrevChars] = "";
  if (clock->Type == kClockLocal) {
    if (!ConvertToLocalTime(t, out)) return false;
    *offset = static_cast<int32_t>(CivilSeconds(*out) - t);
    OffsetName(*offset, name, sizeof name);
  } else if (clock->Type == kClockUtc) {
    if (BreakDownTime(t, 0, out) == nullptr) return false;
    *offset = 0;
    std::snprintf(name, sizeof name, "UTC");
  } else {
    // A clock removed from the strip a moment ago has no state left.
    if (clock->zone == nullptr) return false;
    SetZoneRule(clock->zone, clock->Tz);
    if (ZoneLocalTime(clock->zone, t, out) == nullptr) return false;
    *offset = static_cast<int32_t>(CivilSeconds(*out) - t);
    std::snprintf(name, sizeof name, "%s", clock->zone->currentAbbrev[out->isdst ? 1 : 0]);
  }
  if (abbrev != nullptr) ReadableAbbreviation(name, abbrev, size);
  return true;
}

int32_t PlannerSlotsPerDay(const PlannerModel* m) { return kMinutesPerDay / m->step; }

UtcInstant PlannerSlotStart(const PlannerModel* m) {
  return m->dayStart + static_cast<UtcInstant>(m->slot) * m->step * 60;
}

void PlannerBuild(PlannerModel* m) {
  m->rows = Clocks.N;
  if (m->reference < 0 || m->reference >= m->rows) m->reference = 0;
  m->dayStart = LocalMidnight(m);
  for (int r = 0; r < m->rows; ++r) {
    ClockRecord* clock = &Clocks.clocks[r];
    int32_t before = OffsetAt(clock, m->dayStart);
    for (int c = 0; c < kPlannerColumns; ++c) {
      const UtcInstant t = m->dayStart + static_cast<UtcInstant>(c) * 3600;
      m->row[r].cells[c] = MakeCell(clock, t);
      const int32_t after = OffsetAt(clock, t + 3600);
      m->row[r].cells[c].change = after != before;
      before = after;
    }
  }
  for (int r = 0; r < m->rows; ++r) {
    for (int c = 0; c < kPlannerColumns; ++c) {
      PlannerCell& cell = m->row[r].cells[c];
      cell.dateDiffers = cell.year + 1900 != m->year || cell.mon + 1 != m->month || cell.mday != m->day;
    }
  }
  MarkColumns(m);
}

void PlannerSetDay(PlannerModel* m, int32_t year, int32_t month, int32_t day) {
  // Through the day count, so that day 0 or day 32 rolls into the next month.
  const int64_t count = DaysFromCivil(year, ClampInt(month, 1, 12) - 1, 1) + day - 1;
  const int64_t first = DaysFromCivil(kPlannerFirstYear, 0, 2);
  const int64_t last = DaysFromCivil(kPlannerLastYear, 11, 31);
  BrokenDownTime f{};
  BreakDownTime((count < first ? first : (count > last ? last : count)) * 86400, 0, &f);
  m->year = f.year + 1900;
  m->month = f.mon + 1;
  m->day = f.mday;
  PlannerBuild(m);
}

void PlannerMoveDay(PlannerModel* m, int32_t days) {
  PlannerSetDay(m, m->year, m->month, m->day + days);
}

void PlannerGoTo(PlannerModel* m, UtcInstant t) {
  BrokenDownTime f{};
  int32_t offset = 0;
  if (!ClockLocalTime(&Clocks.clocks[m->reference], t, &f, &offset, nullptr, 0)) {
    BreakDownTime(t, 0, &f);
  }
  PlannerSetDay(m, f.year + 1900, f.mon + 1, f.mday);
  const int64_t slot = (t - m->dayStart) / (m->step * 60);
  m->slot = ClampInt(static_cast<int32_t>(slot < 0 ? 0 : slot), 0, PlannerSlotsPerDay(m) - 1);
}

void PlannerOpen(PlannerModel* m, UtcInstant now) {
  std::memset(m, 0, sizeof *m);
  m->step = 30;
  m->duration = 60;
  for (int r = Clocks.N - 1; r >= 0; --r) {
    if (Clocks.clocks[r].Type == kClockLocal) m->reference = r;
  }
  m->rows = Clocks.N;
  PlannerGoTo(m, now);
}

void PlannerStep(PlannerModel* m, int32_t direction) {
  const int32_t slot = m->slot + direction;
  if (slot >= 0 && slot < PlannerSlotsPerDay(m)) {
    m->slot = slot;
    return;
  }
  const int32_t year = m->year, month = m->month, day = m->day;
  PlannerMoveDay(m, direction < 0 ? -1 : 1);
  if (m->year == year && m->month == month && m->day == day) return;  // the end of the range
  m->slot = direction < 0 ? PlannerSlotsPerDay(m) - 1 : 0;
}

void PlannerSetStep(PlannerModel* m, int32_t minutes) {
  if (minutes != 15 && minutes != 30 && minutes != 60) return;
  const int64_t elapsed = static_cast<int64_t>(m->slot) * m->step;
  m->step = minutes;
  m->slot = static_cast<int32_t>(elapsed / minutes);
}

void PlannerSetReference(PlannerModel* m, int32_t row) {
  if (row < 0 || row >= m->rows) return;
  const UtcInstant selected = PlannerSlotStart(m);
  m->reference = row;
  PlannerGoTo(m, selected);
}

void PlannerSelectCell(PlannerModel* m, int32_t column, int32_t minute) {
  const int32_t elapsed = ClampInt(column, 0, kPlannerColumns - 1) * 60 + ClampInt(minute, 0, 59);
  m->slot = ClampInt(elapsed / m->step, 0, PlannerSlotsPerDay(m) - 1);
}

void PlannerSlotColumns(const PlannerModel* m, int32_t* first, int32_t* last) {
  const int32_t start = m->slot * m->step;
  *first = start / 60;
  *last = ClampInt((start + m->duration - 1) / 60, *first, kPlannerColumns - 1);
}

void PlannerCellHourText(const PlannerCell& cell, char* out, size_t size) {
  if (!cell.valid) {
    std::snprintf(out, size, "?");
  } else if (cell.min == 0) {
    std::snprintf(out, size, "%02d", cell.hour);
  } else {
    std::snprintf(out, size, "%02d:%02d", cell.hour, cell.min);
  }
}

void PlannerCellDateText(const PlannerCell& cell, char* out, size_t size) {
  if (cell.valid && cell.dateDiffers) {
    std::snprintf(out, size, "%s %d", kShortDayNames[cell.wday], cell.mday);
  } else if (size > 0) {
    out[0] = '\0';
  }
}

void PlannerRowHeadText(const PlannerModel* m, int32_t row, char* out, size_t size) {
  ClockRecord* clock = &Clocks.clocks[row];
  BrokenDownTime f{};
  int32_t offset = 0;
  char abbrev[kPlannerAbbrevChars] = "";
  char offsetText[16] = "";
  if (ClockLocalTime(clock, PlannerSlotStart(m), &f, &offset, abbrev, sizeof abbrev)) {
    OffsetText(offset, offsetText, sizeof offsetText);
  }
  std::snprintf(out, size, "%s  %s %s", clock->Title, abbrev, offsetText);
}

void PlannerCellTip(const PlannerModel* m, int32_t row, int32_t column, char* out, size_t size) {
  static const char* const kShadeWords[3] = {"night", "awake", "working hours"};
  ClockRecord* clock = &Clocks.clocks[row];
  const PlannerCell& cell = m->row[row].cells[column];
  const UtcInstant t = m->dayStart + static_cast<UtcInstant>(column) * 3600;
  BrokenDownTime f{};
  int32_t offset = 0;
  char abbrev[kPlannerAbbrevChars] = "";
  if (!ClockLocalTime(clock, t, &f, &offset, abbrev, sizeof abbrev)) {
    std::snprintf(out, size, "%s: ?", clock->Title);
    return;
  }
  char change[96] = "";
  ZoneChange next{};
  if (cell.change && clock->Type == kClockZone &&
      NextZoneChange(clock->zone, t, t + 3600, &next)) {
    char text[88];
    ZoneChange shown = next;
    ReadableAbbreviation(next.abbrevBefore, shown.abbrevBefore, sizeof shown.abbrevBefore);
    ReadableAbbreviation(next.abbrevAfter, shown.abbrevAfter, sizeof shown.abbrevAfter);
    ZoneChangeText(&shown, 0, text, sizeof text);
    std::snprintf(change, sizeof change, "; %s", text);
  } else if (cell.change) {
    std::snprintf(change, sizeof change, "; the clock changes in this hour");
  }
  std::snprintf(out, size, "%s: %s %d %s %02d:%02d %s, %s%s", clock->Title, kShortDayNames[f.wday],
                f.mday, kShortMonthNames[f.mon], f.hour, f.min, abbrev, kShadeWords[cell.shade % 3],
                change);
}

void PlannerColumnTip(const PlannerModel* m, int32_t column, char* out, size_t size) {
  const int32_t n = m->working[column];
  if (n == m->rows) {
    std::snprintf(out, size, "All %d clocks in working hours", n);
  } else {
    std::snprintf(out, size, "%d of %d clocks in working hours%s", n, m->rows,
                  m->marked[column] ? " (the most on this day)" : "");
  }
}

void PlannerSlotLine(const PlannerModel* m, int32_t row, char* out, size_t size) {
  const UtcInstant start = PlannerSlotStart(m);
  SlotLine(&Clocks.clocks[row], start, start + static_cast<UtcInstant>(m->duration) * 60, out, size);
}

void PlannerCopyText(PlannerModel* m, char* out, size_t size) {
  const UtcInstant start = PlannerSlotStart(m);
  const UtcInstant end = start + static_cast<UtcInstant>(m->duration) * 60;
  size_t len = 0;
  if (size > 0) out[0] = '\0';
  char line[kPlannerTipChars];
  for (int r = 0; r < m->rows; ++r) {
    SlotLine(&Clocks.clocks[r], start, end, line, sizeof line);
    Append(out, size, &len, line);
    Append(out, size, &len, "\r\n");
  }
  BrokenDownTime a{};
  BrokenDownTime b{};
  BreakDownTime(start, 0, &a);
  BreakDownTime(end, 0, &b);
  std::snprintf(line, sizeof line, "UTC: %04d-%02d-%02dT%02d:%02dZ/%04d-%02d-%02dT%02d:%02dZ",
                a.year + 1900, a.mon + 1, a.mday, a.hour, a.min, b.year + 1900, b.mon + 1, b.mday,
                b.hour, b.min);
  Append(out, size, &len, line);
  Append(out, size, &len, "\r\n");
}

void PlannerCalendarText(PlannerModel* m, UtcInstant stamp, char* out, size_t size) {
  static char description[kPlannerTextChars];
  PlannerCopyText(m, description, sizeof description);
  // The description ends with its last line, not with an empty one.
  size_t n = std::strlen(description);
  while (n > 0 && (description[n - 1] == '\r' || description[n - 1] == '\n')) description[--n] = '\0';
  const UtcInstant start = PlannerSlotStart(m);
  char startText[20], endText[20], stampText[20], uid[64];
  CalendarStamp(start, startText, sizeof startText);
  CalendarStamp(start + static_cast<UtcInstant>(m->duration) * 60, endText, sizeof endText);
  CalendarStamp(stamp, stampText, sizeof stampText);
  std::snprintf(uid, sizeof uid, "%s-%s@horlix", startText, stampText);
  size_t len = 0;
  if (size > 0) out[0] = '\0';
  Append(out, size, &len, "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Brenvale//Horlix//EN\r\n");
  Append(out, size, &len, "BEGIN:VEVENT\r\n");
  AppendContentLine(out, size, &len, "UID", uid, false);
  AppendContentLine(out, size, &len, "DTSTAMP", stampText, false);
  AppendContentLine(out, size, &len, "DTSTART", startText, false);
  AppendContentLine(out, size, &len, "DTEND", endText, false);
  AppendContentLine(out, size, &len, "SUMMARY", "Meeting", true);
  AppendContentLine(out, size, &len, "DESCRIPTION", description, true);
  Append(out, size, &len, "END:VEVENT\r\nEND:VCALENDAR\r\n");
}
