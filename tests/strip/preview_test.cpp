// The preview: wheel notches and keys to round times of the local clock,
// the present as a stop between them, the limits of the shown range and the
// tip's text.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ui/strip/preview.h"

namespace {

// 2026-12-08T17:07:20Z, a Tuesday; the round times around it are 17:00 and 17:15.
constexpr UtcInstant kNow = 1796749640;
constexpr UtcInstant k1700 = 1796749200;

int32_t Utc(UtcInstant) { return 0; }
int32_t India(UtcInstant) { return 5 * 3600 + 1800; }
int32_t Nepal(UtcInstant) { return 5 * 3600 + 2700; }
// Summer time from noon on: the clock goes from +1:00 to +2:00.
int32_t Summer(UtcInstant t) { return t < kNow + 12 * 3600 ? 3600 : 7200; }

struct Case {
  const char* name;
  int32_t deltas[4];
  bool shift;
  LocalOffsetFn zone;
  UtcInstant shown;  // 0: the present
};

TEST(PreviewWheel, NotchesLandOnRoundTimes) {
  const Case cases[] = {
      {"one notch up: the next quarter hour", {120}, false, Utc, k1700 + 900},
      {"one notch down: the quarter hour before", {-120}, false, Utc, k1700},
      {"with Shift: the next hour", {120}, true, Utc, k1700 + 3600},
      {"with Shift down: the hour before", {-120}, true, Utc, k1700},
      {"later notches keep to quarter hours", {1200}, false, Utc, k1700 + 10 * 900},
      {"small deltas add up", {40, 40, 40}, false, Utc, k1700 + 900},
      {"a rest short of a notch waits", {100, 100}, false, Utc, k1700 + 900},
      {"up and down cancel out", {60, -60, 60}, false, Utc, 0},
      {"a notch up and down is the present", {120, -120}, false, Utc, 0},
      {"the present is a stop on the way down", {120, -240}, false, Utc, k1700},
      {"and on the way up", {-240, 360}, false, Utc, k1700 + 900},
      {"one message across the present", {480, -720}, false, Utc, k1700 - 900},
      {"hours of a half-hour zone", {120}, true, India, k1700 + 1800},
      {"hours of a zone at +5:45", {-120}, true, Nepal, k1700 + 900 - 3600},
  };
  for (const Case& c : cases) {
    PreviewState p{};
    for (int32_t d : c.deltas) {
      if (d != 0) ApplyWheelDelta(&p, d, c.shift, kNow, c.zone);
    }
    EXPECT_EQ(p.active != 0, c.shown != 0) << c.name;
    EXPECT_EQ(ShownInstant(p, kNow), c.shown != 0 ? c.shown : kNow) << c.name;
    EXPECT_EQ(ShownInstant(p, kNow) % 60, c.shown != 0 ? 0 : kNow % 60) << c.name;
  }
}

TEST(PreviewWheel, ReportsChangesAndEndsAtThePresent) {
  PreviewState p{};
  EXPECT_FALSE(ApplyWheelDelta(&p, 119, false, kNow, Utc));
  EXPECT_TRUE(ApplyWheelDelta(&p, 1, false, kNow, Utc));
  EXPECT_TRUE(ApplyWheelDelta(&p, -150, false, kNow, Utc));  // back to now, 30 left over
  EXPECT_FALSE(p.active);
  EXPECT_EQ(p.pendingDelta, 0) << "the present starts afresh";
  ApplyWheelDelta(&p, 96 * 120, false, kNow, Utc);
  EXPECT_EQ(ShownInstant(p, kNow), k1700 + 86400);
  EXPECT_EQ(PreviewOffset(p, kNow), k1700 + 86400 - kNow);
  // The present moving past the shown time puts itself on the way back.
  PreviewState q{};
  ApplyWheelDelta(&q, 120, false, kNow, Utc);
  EXPECT_TRUE(ApplyWheelDelta(&q, 120, false, k1700 + 1000, Utc));
  EXPECT_FALSE(q.active) << "17:15 shown, 17:16:40 now: the next stop up is the present";
  EndPreview(&p);
  EXPECT_EQ(ShownInstant(p, kNow), kNow);
  EXPECT_EQ(PreviewOffset(p, kNow), 0);
}

TEST(PreviewWheel, StaysInsideTheShownRange) {
  const int32_t extremes[] = {INT32_MIN, INT32_MAX, -32768, 32767};
  for (int32_t d : extremes) {
    PreviewState p{};
    for (int i = 0; i < 100000; ++i) ApplyWheelDelta(&p, d, true, kNow, Utc);
    const UtcInstant shown = ShownInstant(p, kNow);
    EXPECT_EQ(shown, d < 0 ? kFirstShownInstant : kLastShownInstant) << d;
    // Back from the limit, one notch at a time.
    ApplyWheelDelta(&p, d < 0 ? 120 : -120, false, kNow, Utc);
    EXPECT_EQ(ShownInstant(p, kNow), shown + (d < 0 ? 900 : -900)) << d;
  }
  // A present outside the range previews from the limit.
  PreviewState q{};
  EXPECT_TRUE(ApplyWheelDelta(&q, -120, false, INT64_MAX, Utc));
  EXPECT_EQ(ShownInstant(q, INT64_MAX), kLastShownInstant - 900);
  EXPECT_EQ(PreviewOffset(q, INT64_MAX), -900);
  PreviewState r{};
  EXPECT_FALSE(ApplyWheelDelta(&r, -120, false, INT64_MIN, Utc)) << "nothing before the first";
}

TEST(PreviewKeys, StepsDaysAndThePresent) {
  struct KeyCase {
    const char* name;
    PreviewKey keys[3];
    int count;
    bool shift;
    LocalOffsetFn zone;
    UtcInstant shown;  // 0: the present
  } cases[] = {
      {"Right", {kPreviewKeyLater}, 1, false, Utc, k1700 + 900},
      {"Left", {kPreviewKeyEarlier}, 1, false, Utc, k1700},
      {"Shift+Right", {kPreviewKeyLater}, 1, true, Utc, k1700 + 3600},
      {"Page Up from the present: the quarter hour it is in, a day later",
       {kPreviewKeyNextDay}, 1, false, Utc, k1700 + 86400},
      {"Page Down", {kPreviewKeyPrevDay}, 1, false, Utc, k1700 - 86400},
      {"Right, Page Up", {kPreviewKeyLater, kPreviewKeyNextDay}, 2, false, Utc,
       k1700 + 900 + 86400},
      {"Page Up keeps the wall time across summer time",
       {kPreviewKeyNextDay}, 1, false, Summer, k1700 + 86400 - 3600},
      {"Right, Home", {kPreviewKeyLater, kPreviewKeyPresent}, 2, false, Utc, 0},
      {"Page Up, Page Down, Left", {kPreviewKeyNextDay, kPreviewKeyPrevDay, kPreviewKeyEarlier},
       3, false, Utc, k1700 - 900},
  };
  for (const KeyCase& c : cases) {
    PreviewState p{};
    for (int i = 0; i < c.count; ++i) {
      EXPECT_TRUE(ApplyPreviewKey(&p, c.keys[i], c.shift, kNow, c.zone)) << c.name << " " << i;
    }
    EXPECT_EQ(ShownInstant(p, kNow), c.shown != 0 ? c.shown : kNow) << c.name;
  }
  PreviewState p{};
  EXPECT_FALSE(ApplyPreviewKey(&p, kPreviewKeyPresent, false, kNow, Utc)) << "nothing to end";
  // Key repeats by the thousand stop at the limit.
  for (int i = 0; i < 30000; ++i) ApplyPreviewKey(&p, kPreviewKeyPrevDay, false, kNow, Utc);
  EXPECT_EQ(ShownInstant(p, kNow), kFirstShownInstant);
}

TEST(PreviewKeys, OffsetOfLocalFields) {
  const int32_t offsets[] = {0, 5 * 3600 + 2700, -10 * 3600, 14 * 3600, -12 * 3600 - 1};
  const UtcInstant at[] = {kNow, 1798761599 /* 2026-12-31T23:59:59Z */, 1798761600};
  for (int32_t offset : offsets) {
    for (UtcInstant t : at) {
      BrokenDownTime local{};
      BreakDownTime(t, offset, &local);
      EXPECT_EQ(OffsetOfLocalFields(local, t), offset) << offset << " at " << t;
    }
  }
}

std::string Tip(int64_t offset, UtcInstant shown, int presentYear) {
  BrokenDownTime t{};
  BreakDownTime(shown, 0, &t);
  char out[kPreviewTipChars];
  PreviewTipText(offset, t, presentYear, out, sizeof out);
  return out;
}

TEST(PreviewTip, OffsetAndPreviewedTime) {
  EXPECT_EQ(Tip(3 * 3600 + 900, k1700 + 3 * 3600 + 900, 126), "+3:15  Tue 8 Dec 20:15");
  EXPECT_EQ(Tip(k1700 + 3600 - kNow, k1700 + 3600, 126), "+0:52  Tue 8 Dec 18:00");
  EXPECT_EQ(Tip(k1700 - kNow, k1700, 126), "-0:07  Tue 8 Dec 17:00");
  EXPECT_EQ(Tip(86400, k1700 + 86400, 126), "+24:00  Wed 9 Dec 17:00");
  EXPECT_EQ(Tip(0, kFirstShownInstant, 126), "+0:00  Fri 2 Jan 1970 00:00");
  char small[8];
  BrokenDownTime t{};
  PreviewTipText(INT64_MIN + 1, t, 0, small, sizeof small);
  EXPECT_EQ(std::string(small).size(), sizeof small - 1);
}

}  // namespace
