// The clock texts from whatever the registry may hold: clocks of any Type
// and Format with any rule text, any DateFormat, any present instant and any
// local zone of the computer. Checks that every text stays terminated within
// its buffer (and writes nothing past it) at full and at cut sizes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "clocks/clock_list.h"
#include "fuzz_common.h"
#include "tz/clock_text.h"
#include "tz/wall_clock.h"
#include "tz/zone_search.h"

namespace {

// Runs fill on a buffer of size bytes and checks it left a terminated text
// of fewer than size characters and did not touch the byte after it.
template <typename Fill>
void CheckBounded(size_t size, Fill fill) {
  char buffer[kTitleTipChars + 1];
  FUZZ_CHECK(size < sizeof buffer);
  std::memset(buffer, 0x5a, sizeof buffer);
  fill(buffer, size);
  FUZZ_CHECK(buffer[size] == 0x5a);
  if (size > 0) FUZZ_CHECK(std::memchr(buffer, '\0', size) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string localRule = in.ConsumeRandomLengthString(120);
  const UtcInstant now = in.ConsumeBool() ? in.ConsumeIntegral<int64_t>()
                                          : in.ConsumeIntegralInRange<int64_t>(0, 2208988800);
  const int dateFormat = in.ConsumeIntegral<int32_t>();
  FixWallClock(now, localRule.empty() ? "UTC0" : localRule.c_str());

  Clocks = ClockList{{}, 0, -1};
  const int n = in.ConsumeIntegralInRange<int>(1, 4);
  for (int i = 0; i < n; ++i) {
    ClockRecord& c = Clocks.clocks[i];
    c.Type = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, 2) : in.ConsumeIntegral<int32_t>();
    c.Format = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, 3) : in.ConsumeIntegral<int32_t>();
    const std::string tz = in.ConsumeRandomLengthString(300);
    CopyBounded(c.Tz, sizeof c.Tz, tz.c_str(), kZoneTextMaxLen);
    c.zone = CreateZoneState();
  }
  Clocks.N = n;
  RefreshClockTexts();
  for (int i = 0; i < n; ++i) {
    ClockRecord* c = &Clocks.clocks[i];
    FUZZ_CHECK(strnlen(c->TimeText, sizeof c->TimeText) <= kClockTextChars - 1);
    for (size_t s : {kTooltipChars, size_t{1}, size_t{9}, size_t{20}}) {
      CheckBounded(s, [&](char* out, size_t sz) { ClockTooltipText(c, dateFormat, out, sz); });
    }
    for (size_t s : {kTitleTipChars, size_t{1}, size_t{50}}) {
      CheckBounded(s, [&](char* out, size_t sz) { TitleTooltipTextAt(c, dateFormat, now, out, sz); });
    }
    FUZZ_CHECK(ZoneMatchRank(c->Tz, c->Tz, c->Tz) <= kNoZoneMatch);
    for (size_t s : {kZoneRowChars, size_t{0}, size_t{7}}) {
      CheckBounded(s, [&](char* out, size_t sz) { ZoneRowText(c->zone, c->Tz, now, out, sz); });
    }
    BrokenDownTime t{};
    if (ZoneLocalTime(c->zone, now, &t) != nullptr) {
      const char mark = static_cast<char>(in.ConsumeIntegral<uint8_t>());
      for (size_t s : {kClockTextChars, size_t{1}, size_t{5}}) {
        CheckBounded(s, [&](char* out, size_t sz) {
          ClockTimeText(c->Format, t.hour, t.min, t.sec, t.wday, t.mday, mark, i & 1, out, sz);
        });
      }
      for (size_t s : {kDateTextChars, size_t{3}}) {
        CheckBounded(s, [&](char* out, size_t sz) { DateText(dateFormat, t, out, sz); });
      }
    }
  }
  DestroyClockZoneStates();
  return 0;
}
