// The preview offset: wheel notches to seconds, fine-grained wheels, the
// limits of the shown range and the return to the present.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ui/strip/preview.h"

namespace {

// 2026-12-08T17:15:00Z, a Tuesday.
constexpr UtcInstant kNow = 1796750100;

TEST(PreviewWheel, NotchesMoveTheOffset) {
  struct Case {
    const char* name;
    int32_t deltas[4];
    bool shift;
    int64_t offset;
  } cases[] = {
      {"one notch up is 15 minutes later", {120}, false, 15 * 60},
      {"one notch down is 15 minutes earlier", {-120}, false, -15 * 60},
      {"with Shift a notch is an hour", {-120}, true, -3600},
      {"a big delta is many notches", {1200}, false, 10 * 15 * 60},
      {"small deltas add up", {40, 40, 40}, false, 15 * 60},
      {"a rest short of a notch waits", {100, 100}, false, 15 * 60},
      {"up and down cancel out", {60, -60, 60}, false, 0},
      {"a notch up and down is the present", {120, -120}, false, 0},
  };
  for (const Case& c : cases) {
    PreviewState p{};
    for (int32_t d : c.deltas) {
      if (d != 0) ApplyWheelDelta(&p, d, c.shift, kNow);
    }
    EXPECT_EQ(p.offset, c.offset) << c.name;
    EXPECT_EQ(ShownInstant(p, kNow), kNow + c.offset) << c.name;
  }
}

TEST(PreviewWheel, ReportsChangesAndEndsAtZero) {
  PreviewState p{};
  EXPECT_FALSE(ApplyWheelDelta(&p, 119, false, kNow));
  EXPECT_TRUE(ApplyWheelDelta(&p, 1, false, kNow));
  EXPECT_TRUE(ApplyWheelDelta(&p, -150, false, kNow));  // back to zero, 30 left over
  EXPECT_EQ(p.offset, 0);
  EXPECT_EQ(p.pendingDelta, 0) << "the present starts afresh";
  ApplyWheelDelta(&p, 96 * 120, false, kNow);
  EXPECT_EQ(p.offset, 86400);
  EndPreview(&p);
  EXPECT_EQ(p.offset, 0);
  EXPECT_EQ(ShownInstant(p, kNow), kNow);
}

TEST(PreviewWheel, StaysInsideTheShownRange) {
  const int32_t extremes[] = {INT32_MIN, INT32_MAX, -32768, 32767};
  for (int32_t d : extremes) {
    PreviewState p{};
    for (int i = 0; i < 100000; ++i) ApplyWheelDelta(&p, d, true, kNow);
    const UtcInstant shown = ShownInstant(p, kNow);
    EXPECT_EQ(shown, d < 0 ? kFirstShownInstant : kLastShownInstant) << d;
    // Back from the limit, one notch at a time.
    ApplyWheelDelta(&p, d < 0 ? 120 : -120, false, kNow);
    EXPECT_EQ(ShownInstant(p, kNow), shown + (d < 0 ? 900 : -900)) << d;
  }
  // The present passing on while the offset stays never leaves the range.
  PreviewState p{};
  ApplyWheelDelta(&p, INT32_MAX, true, kNow);
  EXPECT_EQ(ShownInstant(p, kNow + 86400), kLastShownInstant);
  EXPECT_EQ(ShownInstant(p, INT64_MIN), kFirstShownInstant + p.offset);
  EXPECT_EQ(ShownInstant(p, INT64_MAX), kLastShownInstant);
  PreviewState q{};
  EXPECT_TRUE(ApplyWheelDelta(&q, -120, false, INT64_MAX));
  EXPECT_EQ(ShownInstant(q, INT64_MAX), kLastShownInstant - 900);
}

std::string Tip(int64_t offset, UtcInstant shown, int presentYear) {
  BrokenDownTime t{};
  BreakDownTime(shown, 0, &t);
  char out[kPreviewTipChars];
  PreviewTipText(offset, t, presentYear, out, sizeof out);
  return out;
}

TEST(PreviewTip, OffsetAndPreviewedTime) {
  EXPECT_EQ(Tip(3 * 3600 + 900, kNow + 3 * 3600 + 900, 126), "+3:15  Tue 8 Dec 20:30");
  EXPECT_EQ(Tip(-3600, kNow - 3600, 126), "-1:00  Tue 8 Dec 16:15");
  EXPECT_EQ(Tip(-45 * 60, kNow - 45 * 60, 126), "-0:45  Tue 8 Dec 16:30");
  EXPECT_EQ(Tip(86400, kNow + 86400, 126), "+24:00  Wed 9 Dec 17:15");
  EXPECT_EQ(Tip(0, kFirstShownInstant, 126), "+0:00  Fri 2 Jan 1970 00:00");
  char small[8];
  BrokenDownTime t{};
  PreviewTipText(INT64_MIN + 1, t, 0, small, sizeof small);
  EXPECT_EQ(std::string(small).size(), sizeof small - 1);
}

}  // namespace
