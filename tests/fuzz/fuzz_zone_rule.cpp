// SetZoneRule with arbitrary text, then ZoneLocalTime at arbitrary instants.
// Besides the sanitizers, every answer is checked: the fields are in range,
// they are the calendar date of t plus the offset of one of the zone's own
// types, the name in force is a terminated text inside the state, and a
// state that held another rule before answers exactly as a new one does.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "tz/zone.h"

namespace {

ZoneState* gState = nullptr;

bool NameInState(const ZoneState* s, const char* name) {
  if (name == kNoAbbrev) return true;
  if (name < s->abbrevChars || name >= s->abbrevChars + kAbbrevChars) return false;
  return std::memchr(name, '\0', static_cast<size_t>(s->abbrevChars + kAbbrevChars - name)) !=
         nullptr;
}

void CheckAnswer(const ZoneState* s, UtcInstant t, const BrokenDownTime* r) {
  FUZZ_CHECK(r->sec >= 0 && r->sec <= 59);
  FUZZ_CHECK(r->min >= 0 && r->min <= 59);
  FUZZ_CHECK(r->hour >= 0 && r->hour <= 23);
  FUZZ_CHECK(r->mon >= 0 && r->mon <= 11);
  FUZZ_CHECK(r->mday >= 1 && r->mday <= MonthLength(int64_t{r->year} + 1900, r->mon));
  FUZZ_CHECK(r->wday >= 0 && r->wday <= 6);
  FUZZ_CHECK(r->isdst == 0 || r->isdst == 1);
  const __int128 year = __int128{r->year} + 1900;
  const __int128 days = DaysFromCivil(year, r->mon + 1, r->mday);
  FUZZ_CHECK(r->yday == static_cast<int>(days - DaysFromCivil(year, 1, 1)));
  FUZZ_CHECK(static_cast<int>(((days % 7) + 11) % 7) == r->wday);  // 1970-01-01 was a Thursday
  const __int128 local = days * 86400 + r->hour * 3600 + r->min * 60 + r->sec;
  const __int128 offset = local - __int128{t};
  bool known = false;
  const int types = s->typeCount > 0 ? s->typeCount : 1;
  for (int i = 0; i < types; ++i) {
    if (offset == s->types[i].offset && r->isdst == s->types[i].isdst) known = true;
  }
  FUZZ_CHECK(known);
  FUZZ_CHECK(NameInState(s, s->currentAbbrev[r->isdst]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (gState == nullptr) gState = CreateZoneState();
  FuzzedDataProvider in(data, size);
  // Two rule texts: the second one replaces the first in the same state, so
  // the cache and the reparse after a change are both exercised.
  const std::string first = in.ConsumeRandomLengthString(400);
  const std::string second = in.ConsumeBool() ? first : in.ConsumeRandomLengthString(400);
  ZoneState* fresh = nullptr;
  for (const std::string* text : {&first, &second}) {
    SetZoneRule(gState, text->c_str());
    DestroyZoneState(&fresh);
    fresh = CreateZoneState();
    SetZoneRule(fresh, text->c_str());
    FUZZ_CHECK(gState->typeCount >= 0 && gState->typeCount <= 2);
    FUZZ_CHECK(gState->transitionCount == 0 || gState->transitionCount == kDstTransitionCount);
    FUZZ_CHECK(NameInState(gState, gState->currentAbbrev[0]));
    FUZZ_CHECK(NameInState(gState, gState->currentAbbrev[1]));
    for (int i = 0; i < gState->transitionCount; ++i) {
      FUZZ_CHECK(gState->transitionTypes[i] < gState->typeCount);
    }
    for (int k = 0; k < 4 && in.remaining_bytes() > 0; ++k) {
      UtcInstant t;
      switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: t = in.ConsumeIntegral<int64_t>(); break;
        // Within the table's years, where the transitions matter.
        case 1: t = in.ConsumeIntegralInRange<int64_t>(-86400 * 2, 2145916800 + 86400 * 2); break;
        default: t = in.ConsumeIntegralInRange<int64_t>(-(int64_t{1} << 40), int64_t{1} << 40);
      }
      BrokenDownTime r;
      BrokenDownTime f;
      const bool answered = ZoneLocalTime(gState, t, &r) != nullptr;
      FUZZ_CHECK(answered == (ZoneLocalTime(fresh, t, &f) != nullptr));
      if (!answered) continue;
      CheckAnswer(gState, t, &r);
      FUZZ_CHECK(std::memcmp(&r, &f, sizeof r) == 0);
      FUZZ_CHECK(std::strcmp(gState->currentAbbrev[r.isdst], fresh->currentAbbrev[f.isdst]) == 0);
    }
  }
  DestroyZoneState(&fresh);
  // The direct parser, with and without the last-ditch reading.
  ZoneState* scratch = CreateZoneState();
  const std::string third = in.ConsumeRemainingBytesAsString();
  ParseZoneRule(third.c_str(), scratch, 0);
  ParseZoneRule(third.c_str(), scratch, 1);
  DestroyZoneState(&scratch);
  FUZZ_CHECK(scratch == nullptr);
  return 0;
}
