#include "ui/dialogs/value_lists.h"

#include <cstring>

#include "clocks/clock_list.h"

const ValueEntry kColorValues[] = {
    {kColorGreen, "Green"}, {kColorLightBlue, "Light Blue"}, {kColorYellow, "Yellow"},
    {kColorRed, "Red"},     {kColorWhite, "White"},          {kNoValue, nullptr},
};

const ValueEntry kTimeFormatValues[] = {
    {0, "1 - hh:mm:ss"}, {1, "2 - h:mm a/p"}, {2, "3 - hh:mm"}, {3, "4 - www dd"},
    {kNoValue, nullptr},
};

const ValueEntry kDateFormatValues[] = {
    {0, "m-d-y"}, {1, "d-m-y"}, {2, "y-m-d"}, {kNoValue, nullptr},
};

const ValueEntry kUpdateHourValues[] = {
    {0, "00:00 - 00:59"},  {1, "01:00 - 01:59"},  {2, "02:00 - 02:59"},  {3, "03:00 - 03:59"},
    {4, "04:00 - 04:59"},  {5, "05:00 - 05:59"},  {6, "06:00 - 06:59"},  {7, "07:00 - 07:59"},
    {8, "08:00 - 08:59"},  {9, "09:00 - 09:59"},  {10, "10:00 - 10:59"}, {11, "11:00 - 11:59"},
    {12, "12:00 - 12:59"}, {13, "13:00 - 13:59"}, {14, "14:00 - 14:59"}, {15, "15:00 - 15:59"},
    {16, "16:00 - 16:59"}, {17, "17:00 - 17:59"}, {18, "18:00 - 18:59"}, {19, "19:00 - 19:59"},
    {20, "20:00 - 20:59"}, {21, "21:00 - 21:59"}, {22, "22:00 - 22:59"}, {23, "23:00 - 23:59"},
    {kNoValue, nullptr},
};

const ValueEntry kFontSizeValues[] = {
    {0, "0 - Normal"}, {1, "1 - Big"}, {2, "2 - Bigger"}, {kNoValue, nullptr},
};

const ValueEntry kTimestampValues[] = {
    {3, "YYYY-MM-DDThh:mm:ssTZD"}, {2, "YYYY-MM-DDThh:mm:ss"}, {0, "hh:mm:ss"},
    {1, "hh:mm:ssTZD"},            {4, "asctime"},             {kNoValue, nullptr},
};

int CountValues(const ValueEntry* table) {
  int n = 0;
  while (n < kMaxValueEntries && table[n].label != nullptr) ++n;
  return n;
}

int32_t ValueOfLabel(const ValueEntry* table, const char* label) {
  if (label == nullptr) return kNoValue;
  const int n = CountValues(table);
  for (int i = 0; i < n; ++i) {
    if (std::strcmp(table[i].label, label) == 0) return table[i].value;
  }
  return kNoValue;
}

const char* LabelOfValue(const ValueEntry* table, int32_t value) {
  const int n = CountValues(table);
  for (int i = 0; i < n; ++i) {
    if (table[i].value == value) return table[i].label;
  }
  return nullptr;
}
