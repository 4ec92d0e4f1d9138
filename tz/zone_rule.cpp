// Parsing of zone rule strings and the precomputed transition table.
#include "tz/zone.h"

#include <cstring>

namespace {

constexpr int32_t kDefaultRuleTime = 7200;  // 02:00:00
constexpr const char* kDefaultRules = ",M4.1.0,M10.5.0";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A zone name runs up to the first digit, ',', '-', '+' or the end of text.
const char* ScanName(const char* p) {
  while (*p != '\0' && !IsDigit(*p) && *p != ',' && *p != '-' && *p != '+') ++p;
  return p;
}

// Cumulative days before month m0 (0..11) in a year of the given kind.
int DaysBeforeMonth(int year, int m0) {
  int days = 0;
  for (int m = 0; m < m0; ++m) days += MonthLength(year, m);
  return days;
}

void InstallTypes(ZoneState* state, const char* stdName, size_t stdLen,
                  const char* dstName, size_t dstLen, int32_t abbrevLength) {
  state->abbrevLength = abbrevLength;
  std::memcpy(state->abbrevChars, stdName, stdLen);
  state->abbrevChars[stdLen] = '\0';
  if (dstName != nullptr) {
    std::memcpy(state->abbrevChars + stdLen + 1, dstName, dstLen);
    state->abbrevChars[stdLen + 1 + dstLen] = '\0';
  }
}

}  // namespace

const char kNoAbbrev[] = "   ";

bool IsLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int MonthLength(int64_t year, int month0) {
  static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (month0 == 1 && IsLeapYear(year)) ? 29 : kLengths[month0];
}

const char* ParseNumber(const char* text, int32_t* value, int32_t min, int32_t max) {
  if (!IsDigit(*text)) return nullptr;
  int32_t v = 0;
  while (IsDigit(*text)) {
    v = v * 10 + (*text - '0');
    if (v > max) return nullptr;
    ++text;
  }
  if (v < min) return nullptr;
  *value = v;
  return text;
}

const char* ParseClockTime(const char* text, int32_t* seconds) {
  int32_t hours = 0;
  text = ParseNumber(text, &hours, 0, 167);
  if (text == nullptr) return nullptr;
  int32_t total = hours * 3600;
  if (*text == ':') {
    int32_t minutes = 0;
    text = ParseNumber(text + 1, &minutes, 0, 59);
    if (text == nullptr) return nullptr;
    total += minutes * 60;
    if (*text == ':') {
      int32_t secs = 0;
      text = ParseNumber(text + 1, &secs, 0, 60);
      if (text == nullptr) return nullptr;
      total += secs;
    }
  }
  *seconds = total;
  return text;
}

const char* ParseOffset(const char* text, int32_t* seconds) {
  bool negative = false;
  if (*text == '-') {
    negative = true;
    ++text;
  } else if (*text == '+') {
    ++text;
  }
  int32_t value = 0;
  text = ParseClockTime(text, &value);
  if (text == nullptr) return nullptr;
  *seconds = negative ? -value : value;
  return text;
}

const char* ParseRule(const char* text, TransitionRule* rule) {
  TransitionRule r{};
  if (*text == 'J') {
    r.kind = 0;
    text = ParseNumber(text + 1, &r.day, 1, 365);
  } else if (*text == 'M') {
    r.kind = 2;
    text = ParseNumber(text + 1, &r.month, 1, 12);
    if (text == nullptr || *text != '.') return nullptr;
    text = ParseNumber(text + 1, &r.week, 1, 5);
    if (text == nullptr || *text != '.') return nullptr;
    text = ParseNumber(text + 1, &r.day, 0, 6);
  } else if (IsDigit(*text)) {
    r.kind = 1;
    text = ParseNumber(text, &r.day, 0, 365);
  } else {
    return nullptr;
  }
  if (text == nullptr) return nullptr;
  r.time = kDefaultRuleTime;
  if (*text == '/') {
    text = ParseClockTime(text + 1, &r.time);
    if (text == nullptr) return nullptr;
  }
  *rule = r;
  return text;
}

UtcInstant TransitionTime(UtcInstant yearStart, int year, const TransitionRule* rule,
                          int32_t westOffset) {
  UtcInstant value = yearStart;
  switch (rule->kind) {
    case 0:
      value += static_cast<UtcInstant>(rule->day - 1) * 86400;
      if (IsLeapYear(year) && rule->day >= 60) value += 86400;
      break;
    case 1:
      value += static_cast<UtcInstant>(rule->day) * 86400;
      break;
    default: {
      const int m = rule->month;
      value += static_cast<UtcInstant>(DaysBeforeMonth(year, m - 1)) * 86400;
      // Zeller's congruence: weekday of the first day of month m.
      const int m1 = (m + 9) % 12 + 1;
      const int yy0 = (m <= 2) ? year - 1 : year;
      const int yy1 = yy0 / 100;
      const int yy2 = yy0 % 100;
      int dow = ((26 * m1 - 2) / 10 + 1 + yy2 + yy2 / 4 + yy1 / 4 - 2 * yy1) % 7;
      if (dow < 0) dow += 7;
      int d = rule->day - dow;
      if (d < 0) d += 7;
      const int monthLength = MonthLength(year, m - 1);
      for (int i = 1; i < rule->week; ++i) {
        if (d + 7 >= monthLength) break;
        d += 7;
      }
      value += static_cast<UtcInstant>(d) * 86400;
      break;
    }
  }
  return value + rule->time + westOffset;
}

int ParseZoneRule(const char* text, ZoneState* state, int lastDitch) {
  if (lastDitch) {
    size_t len = std::strlen(text);
    if (len > kAbbrevChars - 1) len = kAbbrevChars - 1;
    state->typeCount = 1;
    state->transitionCount = 0;
    state->types[0] = ZoneType{0, 0, 0};
    InstallTypes(state, text, len, nullptr, 0, static_cast<int32_t>(len + 1));
    return 0;
  }

  const char* stdName = text;
  const char* p = ScanName(text);
  const size_t stdLen = static_cast<size_t>(p - stdName);
  if (stdLen < 3 || *p == '\0') return -1;
  int32_t stdOffset = 0;
  p = ParseOffset(p, &stdOffset);
  if (p == nullptr) return -1;

  if (*p == '\0') {
    if (stdLen + 1 > kAbbrevChars) return -1;
    state->typeCount = 1;
    state->transitionCount = 0;
    state->types[0] = ZoneType{-stdOffset, 0, 0};
    InstallTypes(state, stdName, stdLen, nullptr, 0, static_cast<int32_t>(stdLen + 1));
    return 0;
  }

  const char* dstName = p;
  p = ScanName(p);
  const size_t dstLen = static_cast<size_t>(p - dstName);
  if (dstLen < 3) return -1;
  int32_t dstOffset = stdOffset - 3600;
  if (*p != '\0' && *p != ',' && *p != ';') {
    p = ParseOffset(p, &dstOffset);
    if (p == nullptr) return -1;
  }
  if (*p == '\0') {
    p = kDefaultRules;
  } else if (*p != ',' && *p != ';') {
    return -1;
  }
  TransitionRule start{};
  TransitionRule end{};
  p = ParseRule(p + 1, &start);
  if (p == nullptr || *p != ',') return -1;
  p = ParseRule(p + 1, &end);
  if (p == nullptr || *p != '\0') return -1;

  const size_t abbrevLength = stdLen + 1 + dstLen + 1;
  if (abbrevLength > kAbbrevChars) return -1;

  state->typeCount = 2;
  state->types[0] = ZoneType{-dstOffset, 1, static_cast<int32_t>(stdLen + 1)};
  state->types[1] = ZoneType{-stdOffset, 0, 0};
  state->transitionCount = kDstTransitionCount;
  UtcInstant yearStart = 0;
  int n = 0;
  for (int year = kYearFirst; year <= kYearLast; ++year) {
    const UtcInstant on = TransitionTime(yearStart, year, &start, stdOffset);
    const UtcInstant off = TransitionTime(yearStart, year, &end, dstOffset);
    if (on > off) {
      state->transitions[n] = off;
      state->transitionTypes[n++] = 1;
      state->transitions[n] = on;
      state->transitionTypes[n++] = 0;
    } else {
      state->transitions[n] = on;
      state->transitionTypes[n++] = 0;
      state->transitions[n] = off;
      state->transitionTypes[n++] = 1;
    }
    yearStart += (IsLeapYear(year) ? 366 : 365) * 86400;
  }
  InstallTypes(state, stdName, stdLen, dstName, dstLen, static_cast<int32_t>(abbrevLength));
  return 0;
}

void RefreshAbbreviations(ZoneState* state) {
  state->currentAbbrev[0] = kNoAbbrev;
  state->currentAbbrev[1] = kNoAbbrev;
  for (int i = 0; i < state->typeCount; ++i) {
    const ZoneType& type = state->types[i];
    state->currentAbbrev[type.isdst] = state->abbrevChars + type.abbrevIndex;
  }
  for (int i = 0; i < state->transitionCount; ++i) {
    const ZoneType& type = state->types[state->transitionTypes[i]];
    state->currentAbbrev[type.isdst] = state->abbrevChars + type.abbrevIndex;
  }
}

void SetZoneRule(ZoneState* state, const char* text) {
  if (text == nullptr) text = "";
  if (state->cacheValid && std::strcmp(state->cachedRule, text) == 0) return;

  const size_t len = std::strlen(text);
  state->cacheValid = len < kRuleCacheChars ? 1 : 0;
  if (state->cacheValid) std::memcpy(state->cachedRule, text, len + 1);

  if (len == 0) {
    state->transitionCount = 0;
    state->typeCount = 0;
    state->types[0] = ZoneType{0, 0, 0};
    std::memcpy(state->abbrevChars, "GMT", 4);
    state->abbrevLength = 4;
  } else if (text[0] == ':' || ParseZoneRule(text, state, 0) != 0) {
    ParseZoneRule("GMT", state, 1);
  }
  RefreshAbbreviations(state);
}
