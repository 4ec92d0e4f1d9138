// The clock list operations and the ownership of zone states.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "clocks/clock_list.h"

namespace {

std::vector<TitleButtonHandle> gDiscarded;
void RecordDiscard(TitleButtonHandle button) { gDiscarded.push_back(button); }

class ClockListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clocks = ClockList{{}, 0, -1};
    gDiscarded.clear();
    SetTitleButtonDiscarder(RecordDiscard);
  }
  void TearDown() override {
    DestroyClockZoneStates();
    SetTitleButtonDiscarder(nullptr);
  }
  // A list of n clocks titled "C0", "C1", ... each with its own state.
  void Fill(int n) {
    DestroyClockZoneStates();
    Clocks.N = 0;
    for (int i = 0; i < n; ++i) {
      ClockRecord& r = Clocks.clocks[i];
      r = ClockRecord{};
      r.Type = kClockZone;
      r.Width = 10 + i;
      std::snprintf(r.Title, sizeof r.Title, "C%d", i);
      r.titleButton = reinterpret_cast<TitleButtonHandle>(static_cast<uintptr_t>(0x1000 + i));
    }
    Clocks.N = n;
    CreateClockZoneStates();
  }
  std::string Titles() const {
    std::string s;
    for (int i = 0; i < Clocks.N; ++i) s += std::string(Clocks.clocks[i].Title) + " ";
    return s;
  }
  // Every slot in use owns a distinct state; no unused slot still names one.
  void ExpectOwnership() const {
    std::set<ZoneState*> seen;
    for (int i = 0; i < Clocks.N; ++i) {
      ASSERT_NE(Clocks.clocks[i].zone, nullptr) << i;
      ASSERT_TRUE(seen.insert(Clocks.clocks[i].zone).second) << "state shared at " << i;
    }
    for (int i = Clocks.N; i < kMaxClocks; ++i) {
      ASSERT_EQ(Clocks.clocks[i].zone, nullptr) << "stale state at " << i;
    }
  }
};

TEST_F(ClockListTest, DefaultClocks) {
  EXPECT_EQ(LoadDefaultClocks(), 3);
  ASSERT_EQ(Clocks.N, 3);
  const ClockRecord& local = Clocks.clocks[0];
  EXPECT_EQ(local.Type, 0);
  EXPECT_EQ(local.Color, 0xFFFF00);
  EXPECT_EQ(local.Format, 0);
  EXPECT_STREQ(local.Tz, "");
  EXPECT_STREQ(local.Id, "Local");
  EXPECT_STREQ(local.Title, "Local");
  const ClockRecord& perth = Clocks.clocks[1];
  EXPECT_EQ(perth.Type, 2);
  EXPECT_EQ(perth.Color, 0x00FF00);
  EXPECT_EQ(perth.Format, 1);
  EXPECT_STREQ(perth.Tz, "AWST-8");
  EXPECT_STREQ(perth.Id, "Australia/Perth");
  EXPECT_STREQ(perth.Title, "Perth");
  const ClockRecord& utc = Clocks.clocks[2];
  EXPECT_EQ(utc.Type, 1);
  EXPECT_EQ(utc.Color, 0x00FFFF);
  EXPECT_EQ(utc.Format, 2);
  EXPECT_STREQ(utc.Tz, "GMT0");
  EXPECT_STREQ(utc.Id, "UTC");
  EXPECT_STREQ(utc.Title, "UTC");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Clocks.clocks[i].Width, 80);
    EXPECT_STREQ(Clocks.clocks[i].TimeText, "00:00:00");
    EXPECT_EQ(Clocks.clocks[i].Wd, 0);
    EXPECT_EQ(Clocks.clocks[i].zone, nullptr);
  }
  EXPECT_EQ(TotalWidth(), 240);
}

TEST_F(ClockListTest, AddCopiesTheLastClockAndTakesTheTemplate) {
  Fill(2);
  Clocks.clocks[1].Color = 0x123456;
  ASSERT_EQ(AddClock(nullptr), 1);
  EXPECT_EQ(Clocks.N, 3);
  EXPECT_STREQ(Clocks.clocks[2].Title, "C1");
  EXPECT_EQ(Clocks.clocks[2].Color, 0x123456);
  EXPECT_EQ(Clocks.clocks[2].Width, 11);
  ExpectOwnership();

  ClockRecord t{};
  t.Type = kClockUtc;
  t.Color = kColorRed;
  t.Wd = 1;
  t.Format = 3;
  std::memset(t.Title, 'T', sizeof t.Title - 1);  // 20 characters
  std::memset(t.Tz, 'Z', sizeof t.Tz - 1);        // 255 characters
  std::memset(t.Id, 'I', sizeof t.Id - 1);
  ASSERT_EQ(AddClock(&t), 1);
  const ClockRecord& added = Clocks.clocks[3];
  EXPECT_EQ(added.Type, kClockUtc);
  EXPECT_EQ(added.Color, kColorRed);
  EXPECT_EQ(added.Wd, 1);
  EXPECT_EQ(added.Format, 3);
  EXPECT_EQ(std::strlen(added.Title), 19u);
  EXPECT_EQ(std::strlen(added.Tz), 254u);
  EXPECT_EQ(std::strlen(added.Id), 254u);
  EXPECT_EQ(added.Width, 11);  // kept until the next layout
  EXPECT_EQ(added.titleButton, nullptr);
  ExpectOwnership();
}

TEST_F(ClockListTest, FullListRefusesAddAndDuplicate) {
  Fill(64);
  Clocks.SelectedClock = 5;
  const std::string before = Titles();
  EXPECT_EQ(AddClock(nullptr), 0);
  EXPECT_EQ(DuplicateClock(), 0);
  EXPECT_EQ(Clocks.N, 64);
  EXPECT_EQ(Titles(), before);
  ExpectOwnership();
  // 63 clocks take exactly one more.
  Clocks.SelectedClock = 63;
  ASSERT_EQ(RemoveClock(), 1);
  EXPECT_EQ(DuplicateClock(), 0);  // the selection now points past the end
  Clocks.SelectedClock = 0;
  EXPECT_EQ(DuplicateClock(), 1);
  EXPECT_EQ(AddClock(nullptr), 0);
  ExpectOwnership();
}

TEST_F(ClockListTest, DuplicateAppendsWithItsOwnState) {
  Fill(3);
  Clocks.SelectedClock = 0;
  ASSERT_EQ(DuplicateClock(), 1);
  EXPECT_EQ(Titles(), "C0 C1 C2 C0 ");
  EXPECT_NE(Clocks.clocks[3].zone, Clocks.clocks[0].zone);
  EXPECT_EQ(Clocks.clocks[3].titleButton, nullptr);
  ExpectOwnership();
  Clocks.SelectedClock = -1;
  EXPECT_EQ(DuplicateClock(), 0);
  EXPECT_EQ(Clocks.N, 4);
}

TEST_F(ClockListTest, RemoveShiftsLeftAndDiscardsTheButton) {
  Fill(4);
  ZoneState* second = Clocks.clocks[2].zone;
  Clocks.SelectedClock = 1;
  ASSERT_EQ(RemoveClock(), 1);
  EXPECT_EQ(Titles(), "C0 C2 C3 ");
  EXPECT_EQ(Clocks.clocks[1].zone, second);
  ASSERT_EQ(gDiscarded.size(), 1u);
  EXPECT_EQ(gDiscarded[0], reinterpret_cast<TitleButtonHandle>(0x1001));
  ExpectOwnership();
  EXPECT_EQ(Clocks.clocks[3].titleButton, nullptr);

  Clocks.SelectedClock = 0;  // the first
  ASSERT_EQ(RemoveClock(), 1);
  EXPECT_EQ(Titles(), "C2 C3 ");
  Clocks.SelectedClock = 1;  // the last: nothing moves
  ASSERT_EQ(RemoveClock(), 1);
  EXPECT_EQ(Titles(), "C2 ");
  ExpectOwnership();
  Clocks.SelectedClock = 0;
  EXPECT_EQ(RemoveClock(), 0);  // the last clock stays
  EXPECT_EQ(Clocks.N, 1);
  ExpectOwnership();
}

TEST_F(ClockListTest, RemoveRefusesWithoutASelection) {
  Fill(3);
  for (int sel : {-1, 3, 64}) {
    Clocks.SelectedClock = sel;
    EXPECT_EQ(RemoveClock(), 0) << sel;
    EXPECT_EQ(Clocks.N, 3);
  }
  ExpectOwnership();
}

TEST_F(ClockListTest, MoveSwapsNeighboursAndKeepsTheIndex) {
  Fill(3);
  Clocks.SelectedClock = 1;
  ASSERT_EQ(MoveClock(0), 1);
  EXPECT_EQ(Titles(), "C1 C0 C2 ");
  EXPECT_EQ(Clocks.SelectedClock, 1);
  ASSERT_EQ(MoveClock(1), 1);
  EXPECT_EQ(Titles(), "C1 C2 C0 ");
  ExpectOwnership();
  struct Refusal {
    int sel, direction;
  } refused[] = {{0, 0}, {-1, 0}, {3, 0}, {2, 1}, {-1, 1}, {5, 1}};
  for (const Refusal& r : refused) {
    Clocks.SelectedClock = r.sel;
    EXPECT_EQ(MoveClock(r.direction), 0) << r.sel << " " << r.direction;
    EXPECT_EQ(Titles(), "C1 C2 C0 ");
  }
  Fill(1);
  Clocks.SelectedClock = 0;
  EXPECT_EQ(MoveClock(0), 0);
  EXPECT_EQ(MoveClock(1), 0);
}

TEST_F(ClockListTest, HitTestAndWidth) {
  Fill(3);
  int32_t left = 0;
  for (int i = 0; i < 3; ++i) {
    Clocks.clocks[i].cellRect = ClockRect{left, 0, left + Clocks.clocks[i].Width, 30};
    left += Clocks.clocks[i].Width;
  }
  EXPECT_EQ(TotalWidth(), 10 + 11 + 12);
  EXPECT_EQ(ClockAtPoint(0, 0), 0);
  EXPECT_EQ(ClockAtPoint(10, 15), 0);  // shared edge: the left cell
  EXPECT_EQ(ClockAtPoint(11, 15), 1);
  EXPECT_EQ(ClockAtPoint(33, 30), 2);
  EXPECT_EQ(ClockAtPoint(34, 30), -1);
  EXPECT_EQ(ClockAtPoint(5, 31), -1);
  EXPECT_EQ(ClockAtPoint(-1, 5), -1);
  Clocks.N = 2;  // cells beyond N do not count
  EXPECT_EQ(ClockAtPoint(25, 5), -1);
  Clocks.N = 3;
}

TEST(CopyBounded, CutsAndTerminates) {
  char buf[6];
  CopyBounded(buf, sizeof buf, "abcdefgh", 19);
  EXPECT_STREQ(buf, "abcde");
  CopyBounded(buf, sizeof buf, "abcdefgh", 3);
  EXPECT_STREQ(buf, "abc");
  CopyBounded(buf, sizeof buf, nullptr, 3);
  EXPECT_STREQ(buf, "");
  CopyBounded(buf, sizeof buf, "xy", 19);
  EXPECT_STREQ(buf, "xy");
}

}  // namespace
