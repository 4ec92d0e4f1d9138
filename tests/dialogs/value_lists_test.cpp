// The dialogs' value tables and the two look-ups over them.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "ui/dialogs/value_lists.h"

namespace {

struct NamedTable {
  const char* name;
  const ValueEntry* table;
  int count;
};

const NamedTable kTables[] = {
    {"colours", kColorValues, 5},          {"time formats", kTimeFormatValues, 4},
    {"date formats", kDateFormatValues, 3}, {"update hours", kUpdateHourValues, 24},
    {"font sizes", kFontSizeValues, 3},    {"timestamps", kTimestampValues, 5},
};

std::string Lower(const char* s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

TEST(ValueLists, EveryTableEndsWithTheMarkAfterItsEntries) {
  for (const NamedTable& t : kTables) {
    EXPECT_EQ(CountValues(t.table), t.count) << t.name;
    EXPECT_EQ(t.table[t.count].value, kNoValue) << t.name;
    EXPECT_EQ(t.table[t.count].label, nullptr) << t.name;
  }
}

TEST(ValueLists, EveryLabelMapsToItsValueAndBack) {
  for (const NamedTable& t : kTables) {
    for (int i = 0; i < t.count; ++i) {
      EXPECT_EQ(ValueOfLabel(t.table, t.table[i].label), t.table[i].value) << t.name << " " << i;
      EXPECT_STREQ(LabelOfValue(t.table, t.table[i].value), t.table[i].label) << t.name;
    }
  }
}

// Drop-down lists find labels without regard to case, so no two labels of a
// table may differ only in case.
TEST(ValueLists, LabelsDifferBeyondCase) {
  for (const NamedTable& t : kTables) {
    for (int i = 0; i < t.count; ++i) {
      for (int j = i + 1; j < t.count; ++j) {
        EXPECT_NE(Lower(t.table[i].label), Lower(t.table[j].label)) << t.name;
      }
    }
  }
}

TEST(ValueLists, LookUpIsExactAndCaseSensitive) {
  EXPECT_EQ(ValueOfLabel(kColorValues, "Light Blue"), 0xFFFF00);
  EXPECT_EQ(ValueOfLabel(kColorValues, "light blue"), kNoValue);
  EXPECT_EQ(ValueOfLabel(kColorValues, "Light"), kNoValue);
  EXPECT_EQ(ValueOfLabel(kColorValues, "Light Blue "), kNoValue);
  EXPECT_EQ(ValueOfLabel(kTimestampValues, "ASCTIME"), kNoValue);
  EXPECT_EQ(ValueOfLabel(kTimestampValues, "asctime"), 4);
  EXPECT_EQ(ValueOfLabel(kTimestampValues, "hh:mm:ss"), 0);
  EXPECT_EQ(ValueOfLabel(kTimestampValues, "hh:mm:ssTZD"), 1);
  EXPECT_EQ(ValueOfLabel(kDateFormatValues, ""), kNoValue);
  EXPECT_EQ(ValueOfLabel(kDateFormatValues, nullptr), kNoValue);
}

TEST(ValueLists, UnknownValueHasNoLabel) {
  EXPECT_EQ(LabelOfValue(kColorValues, 0x123456), nullptr);
  EXPECT_EQ(LabelOfValue(kDateFormatValues, 7), nullptr);
  EXPECT_EQ(LabelOfValue(kUpdateHourValues, 24), nullptr);
  EXPECT_EQ(LabelOfValue(kTimeFormatValues, kNoValue), nullptr);
}

TEST(ValueLists, UpdateHoursCoverTheDayInOrder) {
  for (int h = 0; h < 24; ++h) {
    char expected[16];
    std::snprintf(expected, sizeof expected, "%02d:00 - %02d:59", h, h);
    EXPECT_EQ(kUpdateHourValues[h].value, h);
    EXPECT_STREQ(kUpdateHourValues[h].label, expected);
  }
  EXPECT_EQ(ValueOfLabel(kUpdateHourValues, "19:00 - 19:59"), 19);
}

// The colours carry the COLORREF the strip paints with.
TEST(ValueLists, ColoursAreThePaletteValues) {
  EXPECT_EQ(ValueOfLabel(kColorValues, "Green"), 0x00FF00);
  EXPECT_EQ(ValueOfLabel(kColorValues, "Yellow"), 0x00FFFF);
  EXPECT_EQ(ValueOfLabel(kColorValues, "Red"), 0x0000FF);
  EXPECT_EQ(ValueOfLabel(kColorValues, "White"), 0xFFFFFF);
}

}  // namespace
