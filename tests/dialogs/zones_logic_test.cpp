// The all-zones rows: filling them from the zone list, comparing them by a
// column in either direction, and the direction kept per column.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "clocks/zone_file.h"
#include "tz/wall_clock.h"
#include "ui/dialogs/zones_logic.h"

namespace {

// 2026-07-01T12:34:56Z, a Wednesday: London keeps summer time then.
constexpr UtcInstant kJuly1 = 1782909296;

class ZonesLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FixWallClock(kJuly1, "UTC0");
    // The zone list holds them head first, so in the reverse of this order.
    AddZone("UTC", "UTC0");
    AddZone("Europe/London", "GMT0BST,M3.5.0/1,M10.5.0");
    AddZone("Australia/Perth", "AWST-8");
    AddZone("America/New_York", "EST5EDT,M3.2.0,M11.1.0");
    AddZone("Asia/Kolkata", "IST-5:30");
    ZonesSort = ZoneSortState{{0, 0, 0}, 0};
  }
  void TearDown() override {
    FreeZoneRows(&rows_);
    FreeZones();
    ReleaseWallClock();
    ZonesSort = ZoneSortState{{0, 0, 0}, 0};
  }

  // Sorts row positions the way the list view does with the comparison.
  std::vector<std::string> SortedColumn(int column, int shown) {
    std::vector<intptr_t> order;
    for (int i = 0; i < rows_.count; ++i) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](intptr_t a, intptr_t b) {
      return CompareZoneRows(&rows_, a, b, column, &ZonesSort) < 0;
    });
    std::vector<std::string> texts;
    for (intptr_t i : order) texts.push_back(ZoneRowColumn(rows_.rows[i], shown));
    return texts;
  }

  ZoneRows rows_ = {nullptr, 0};
};

TEST_F(ZonesLogicTest, RowsFollowTheZoneListWithTheirOwnTimes) {
  FillZoneRows(&rows_);
  ASSERT_EQ(rows_.count, 5);
  const char* names[] = {"Asia/Kolkata", "America/New_York", "Australia/Perth", "Europe/London",
                         "UTC"};
  const char* times[] = {
      "18:04 IST  Wed 01 Jul ",   "08:34 EDT  Wed 01 Jul (d)", "20:34 AWST Wed 01 Jul ",
      "13:34 BST  Wed 01 Jul (d)", "12:34 UTC  Wed 01 Jul ",
  };
  const ZoneEntry* z = ZoneList;
  for (int i = 0; i < 5; ++i, z = z->next) {
    EXPECT_STREQ(ZoneRowColumn(rows_.rows[i], 0), names[i]);
    EXPECT_STREQ(ZoneRowColumn(rows_.rows[i], 1), times[i]) << names[i];
    EXPECT_STREQ(ZoneRowColumn(rows_.rows[i], 2), z->tz);
  }
}

TEST_F(ZonesLogicTest, RefillReplacesTheRows) {
  FillZoneRows(&rows_);
  FixWallClock(kJuly1 + 3600, "UTC0");
  FillZoneRows(&rows_);
  ASSERT_EQ(rows_.count, 5);
  EXPECT_STREQ(ZoneRowColumn(rows_.rows[4], 1), "13:34 UTC  Wed 01 Jul ");
}

TEST_F(ZonesLogicTest, EmptyZoneListGivesNoRows) {
  FreeZones();
  FillZoneRows(&rows_);
  EXPECT_EQ(rows_.count, 0);
  EXPECT_EQ(rows_.rows, nullptr);
}

TEST_F(ZonesLogicTest, EachColumnSortsUpThenDownOnTwoClicks) {
  FillZoneRows(&rows_);
  for (int column = 0; column < kZoneColumns; ++column) {
    std::vector<std::string> ascending;
    for (int i = 0; i < rows_.count; ++i) ascending.push_back(ZoneRowColumn(rows_.rows[i], column));
    std::sort(ascending.begin(), ascending.end());
    std::vector<std::string> descending(ascending.rbegin(), ascending.rend());

    ClickZoneColumn(&ZonesSort, column);
    EXPECT_EQ(ZonesSort.lastColumn, column);
    EXPECT_EQ(SortedColumn(column, column), descending) << "first click, column " << column;
    ClickZoneColumn(&ZonesSort, column);
    EXPECT_EQ(SortedColumn(column, column), ascending) << "second click, column " << column;
  }
}

// "Time Now" sorts by its text: hour and minute first.
TEST_F(ZonesLogicTest, TimeColumnOrdersByClockTime) {
  FillZoneRows(&rows_);
  const std::vector<std::string> names = {"America/New_York", "UTC", "Europe/London",
                                          "Asia/Kolkata", "Australia/Perth"};
  EXPECT_EQ(SortedColumn(1, 0), names);
}

TEST_F(ZonesLogicTest, DirectionIsPerColumnAndSurvivesARefill) {
  ClickZoneColumn(&ZonesSort, 2);
  EXPECT_EQ(ZonesSort.direction[0], 0);
  EXPECT_EQ(ZonesSort.direction[1], 0);
  EXPECT_EQ(ZonesSort.direction[2], 1);
  ClickZoneColumn(&ZonesSort, 0);
  EXPECT_EQ(ZonesSort.direction[0], 1);
  EXPECT_EQ(ZonesSort.direction[2], 1);
  EXPECT_EQ(ZonesSort.lastColumn, 0);
  FillZoneRows(&rows_);
  const std::vector<std::string> down = {"UTC", "Europe/London", "Australia/Perth", "Asia/Kolkata",
                                         "America/New_York"};
  EXPECT_EQ(SortedColumn(0, 0), down);
}

TEST_F(ZonesLogicTest, ClickOutsideTheColumnsIsIgnored) {
  ClickZoneColumn(&ZonesSort, 3);
  ClickZoneColumn(&ZonesSort, -1);
  EXPECT_EQ(ZonesSort.lastColumn, 0);
  EXPECT_EQ(ZonesSort.direction[0] + ZonesSort.direction[1] + ZonesSort.direction[2], 0);
}

TEST(CompareZoneTexts, BytesCompareAsUnsignedAndCaseSensitive) {
  EXPECT_LT(CompareZoneTexts("B", "a"), 0);
  EXPECT_GT(CompareZoneTexts("a", "B"), 0);
  EXPECT_GT(CompareZoneTexts("\xE9t\xE9", "zulu"), 0);
  EXPECT_LT(CompareZoneTexts("abc", "abcd"), 0);
  EXPECT_EQ(CompareZoneTexts("Europe/Paris", "Europe/Paris"), 0);
  EXPECT_LT(CompareZoneTexts("", "A"), 0);
}

TEST(CompareZoneTexts, OnlyTheFirst63CharactersCount) {
  const std::string base(63, 'x');
  EXPECT_EQ(CompareZoneTexts((base + "a").c_str(), (base + "b").c_str()), 0);
  EXPECT_LT(CompareZoneTexts((base.substr(0, 62) + "a").c_str(), base.c_str()), 0);
}

TEST(CompareZoneRows, DescendingNegatesAndUnknownRowsAreEmpty) {
  ZoneRow row[2] = {};
  row[0].name = "Alpha";
  row[0].rule = "X0";
  row[1].name = "Beta";
  row[1].rule = "A0";
  ZoneRows rows = {row, 2};
  ZoneSortState sort = {{0, 1, 0}, 0};
  EXPECT_LT(CompareZoneRows(&rows, 0, 1, 0, &sort), 0);
  EXPECT_GT(CompareZoneRows(&rows, 0, 1, 2, &sort), 0);
  sort.direction[0] = 1;
  EXPECT_GT(CompareZoneRows(&rows, 0, 1, 0, &sort), 0);
  EXPECT_LT(CompareZoneRows(&rows, 5, 0, 2, &sort), 0);  // "" before "X0"
}

}  // namespace
