// OK in the clock properties dialog, for an edited and for a new clock, and
// the title proposed for a zone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "clocks/clock_list.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "ui/dialogs/props_logic.h"

namespace {

class PropsLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings = DefaultSettings();
    LoadDefaultClocks();  // 0 Local, 1 Perth (zone), 2 UTC
    CreateClockZoneStates();
    AddZone("Australia/Perth", "AWST-8");
    AddZone("Europe/London", "GMT0BST,M3.5.0/1,M10.5.0");
    AddZone("America/Argentina/Buenos_Aires", "<-03>3");
    AddZone("UTC", "UTC0");
  }
  void TearDown() override {
    DestroyClockZoneStates();
    FreeZones();
    Clocks.N = 0;
    Settings = DefaultSettings();
  }

  // The choices that reproduce clock k as it is.
  static PropsChoice Unchanged(int k) {
    const ClockRecord& c = Clocks.clocks[k];
    PropsChoice choice{};
    choice.color = c.Color;
    choice.format = c.Format;
    choice.type = c.Type;
    choice.title = c.Title;
    choice.zone = nullptr;
    return choice;
  }
};

TEST_F(PropsLogicTest, NothingChangedClosesWithoutRelayoutOrDirt) {
  std::string title = Clocks.clocks[1].Title;
  std::string id = Clocks.clocks[1].Id;
  PropsChoice c = Unchanged(1);
  c.title = title.c_str();
  c.zone = id.c_str();  // the zone the dialog selected by the clock's Id
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsClose);
  EXPECT_FALSE(Settings.SettingsDirty);
  EXPECT_STREQ(Clocks.clocks[1].Tz, "AWST-8");
}

TEST_F(PropsLogicTest, ColourAloneIsStoredWithoutRelayout) {
  PropsChoice c = Unchanged(1);
  c.color = kColorRed;
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsClose);
  EXPECT_EQ(Clocks.clocks[1].Color, kColorRed);
  EXPECT_TRUE(Settings.SettingsDirty);
}

TEST_F(PropsLogicTest, ColourOutsideThePaletteIsKeptWhenNoneIsChosen) {
  Clocks.clocks[1].Color = 0x123456;
  PropsChoice c = Unchanged(1);
  c.color = -1;
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsClose);
  EXPECT_EQ(Clocks.clocks[1].Color, 0x123456);
  EXPECT_FALSE(Settings.SettingsDirty);
}

TEST_F(PropsLogicTest, FormatChangeAsksForRelayout) {
  PropsChoice c = Unchanged(1);
  c.format = 3;
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsCloseRelayout);
  EXPECT_EQ(Clocks.clocks[1].Format, 3);
  EXPECT_TRUE(Settings.SettingsDirty);
}

TEST_F(PropsLogicTest, LongTitleKeepsNineteenCharacters) {
  PropsChoice c = Unchanged(1);
  c.title = "ABCDEFGHIJKLMNOPQRSTUVWXY";  // 25
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsCloseRelayout);
  EXPECT_STREQ(Clocks.clocks[1].Title, "ABCDEFGHIJKLMNOPQRS");
}

TEST_F(PropsLogicTest, EmptyTitleLeavesTheTitle) {
  PropsChoice c = Unchanged(1);
  c.title = "";
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsClose);
  EXPECT_STREQ(Clocks.clocks[1].Title, "Perth");
}

TEST_F(PropsLogicTest, ChosenZoneSetsIdAndRuleString) {
  PropsChoice c = Unchanged(1);
  c.zone = "Europe/London";
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsCloseRelayout);
  EXPECT_STREQ(Clocks.clocks[1].Id, "Europe/London");
  EXPECT_STREQ(Clocks.clocks[1].Tz, "GMT0BST,M3.5.0/1,M10.5.0");
  EXPECT_TRUE(Settings.SettingsDirty);
}

TEST_F(PropsLogicTest, UnknownZoneNameChangesNothingElse) {
  PropsChoice c = Unchanged(1);
  c.zone = "Mars/Olympus";
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsClose);
  EXPECT_STREQ(Clocks.clocks[1].Id, "Australia/Perth");
  EXPECT_STREQ(Clocks.clocks[1].Tz, "AWST-8");
}

// After the confirmed switch the dialog shows Light Blue, "Local" and no zone.
TEST_F(PropsLogicTest, SwitchToLocalMakesALocalClock) {
  PropsChoice c = Unchanged(1);
  c.type = kClockLocal;
  c.color = kColorLightBlue;
  c.title = "Local";
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsCloseRelayout);
  const ClockRecord& k = Clocks.clocks[1];
  EXPECT_EQ(k.Type, kClockLocal);
  EXPECT_EQ(k.Color, kColorLightBlue);
  EXPECT_STREQ(k.Title, "Local");
  EXPECT_STREQ(k.Id, "Local");
  EXPECT_STREQ(k.Tz, "");
}

// After the confirmed switch the dialog shows Yellow, "UTC" and the UTC zone.
TEST_F(PropsLogicTest, SwitchToUtcTakesTheUtcZone) {
  PropsChoice c = Unchanged(1);
  c.type = kClockUtc;
  c.color = kColorYellow;
  c.title = "UTC";
  c.zone = "UTC";
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsCloseRelayout);
  const ClockRecord& k = Clocks.clocks[1];
  EXPECT_EQ(k.Type, kClockUtc);
  EXPECT_STREQ(k.Id, "UTC");
  EXPECT_STREQ(k.Tz, "UTC0");
}

TEST_F(PropsLogicTest, ZoneClockWithoutAnyZoneKeepsTheDialogOpen) {
  Clocks.clocks[0].Type = kClockLocal;  // the local clock, Tz empty
  PropsChoice c = Unchanged(0);
  c.type = kClockZone;
  c.color = kColorRed;
  c.title = "Somewhere";
  EXPECT_EQ(ApplyClockEdit(0, c), kPropsNeedZone);
  // What was read before the refusal stays applied.
  EXPECT_EQ(Clocks.clocks[0].Color, kColorRed);
  EXPECT_STREQ(Clocks.clocks[0].Title, "Somewhere");
  EXPECT_EQ(Clocks.clocks[0].Type, kClockZone);
  // Choosing a zone then lets OK through.
  c.zone = "Europe/London";
  EXPECT_EQ(ApplyClockEdit(0, c), kPropsCloseRelayout);
  EXPECT_STREQ(Clocks.clocks[0].Tz, "GMT0BST,M3.5.0/1,M10.5.0");
}

TEST_F(PropsLogicTest, StoredTypeOutsideTheThreeBecomesZone) {
  Clocks.clocks[1].Type = 7;
  PropsChoice c = Unchanged(1);
  c.type = kClockZone;
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsCloseRelayout);
  EXPECT_EQ(Clocks.clocks[1].Type, kClockZone);
}

TEST_F(PropsLogicTest, IndexOutsideTheListChangesNothing) {
  PropsChoice c = Unchanged(1);
  c.color = kColorRed;
  EXPECT_EQ(ApplyClockEdit(3, c), kPropsClose);
  EXPECT_EQ(ApplyClockEdit(-1, c), kPropsClose);
  EXPECT_FALSE(Settings.SettingsDirty);
}

PropsChoice NewChoice(int32_t type, const char* title, const char* zone) {
  PropsChoice c{};
  c.color = kColorGreen;
  c.format = 0;
  c.type = type;
  c.title = title;
  c.zone = zone;
  return c;
}

TEST_F(PropsLogicTest, NewZoneClockIsAppendedWithItsZone) {
  PropsChoice c = NewChoice(kClockZone, "Buenos_Aires", "America/Argentina/Buenos_Aires");
  c.color = kColorWhite;
  c.format = 2;
  EXPECT_EQ(AddClockFromChoice(c), kPropsCloseRelayout);
  ASSERT_EQ(Clocks.N, 4);
  const ClockRecord& k = Clocks.clocks[3];
  EXPECT_EQ(k.Type, kClockZone);
  EXPECT_EQ(k.Color, kColorWhite);
  EXPECT_EQ(k.Format, 2);
  EXPECT_EQ(k.Wd, 0);
  EXPECT_STREQ(k.Id, "America/Argentina/Buenos_Aires");
  EXPECT_STREQ(k.Tz, "<-03>3");
  EXPECT_STREQ(k.Title, "Buenos_Aires");
  EXPECT_NE(k.zone, nullptr);
  EXPECT_NE(k.zone, Clocks.clocks[2].zone);
  EXPECT_TRUE(Settings.SettingsDirty);
}

TEST_F(PropsLogicTest, NewClockTitleKeepsEighteenCharacters) {
  EXPECT_EQ(AddClockFromChoice(NewChoice(kClockZone, "ABCDEFGHIJKLMNOPQRSTUVWXY", "UTC")),
            kPropsCloseRelayout);
  EXPECT_STREQ(Clocks.clocks[3].Title, "ABCDEFGHIJKLMNOPQR");
}

TEST_F(PropsLogicTest, NewClockKeepsTheOpeningTitle) {
  EXPECT_EQ(AddClockFromChoice(NewChoice(kClockZone, "<New>", "Europe/London")),
            kPropsCloseRelayout);
  EXPECT_STREQ(Clocks.clocks[3].Title, "<New>");
}

TEST_F(PropsLogicTest, NewZoneClockWithoutZoneIsRefused) {
  EXPECT_EQ(AddClockFromChoice(NewChoice(kClockZone, "x", nullptr)), kPropsNeedZone);
  EXPECT_EQ(Clocks.N, 3);
  EXPECT_FALSE(Settings.SettingsDirty);
}

TEST_F(PropsLogicTest, NewLocalClockWithoutZoneIsLocal) {
  EXPECT_EQ(AddClockFromChoice(NewChoice(kClockLocal, "Here", nullptr)), kPropsCloseRelayout);
  ASSERT_EQ(Clocks.N, 4);
  EXPECT_EQ(Clocks.clocks[3].Type, kClockLocal);
  EXPECT_STREQ(Clocks.clocks[3].Id, "Local");
  EXPECT_STREQ(Clocks.clocks[3].Tz, "");
}

// The template starts all zero: nothing of the copied last clock (UTC) stays.
TEST_F(PropsLogicTest, NewUtcClockWithoutZoneHasNoZoneTexts) {
  EXPECT_EQ(AddClockFromChoice(NewChoice(kClockUtc, "Z", nullptr)), kPropsCloseRelayout);
  ASSERT_EQ(Clocks.N, 4);
  EXPECT_EQ(Clocks.clocks[3].Type, kClockUtc);
  EXPECT_STREQ(Clocks.clocks[3].Id, "");
  EXPECT_STREQ(Clocks.clocks[3].Tz, "");
}

TEST_F(PropsLogicTest, NewClockWithUnknownZoneHasNoZoneTexts) {
  EXPECT_EQ(AddClockFromChoice(NewChoice(kClockZone, "x", "Mars/Olympus")),
            kPropsCloseRelayout);
  EXPECT_STREQ(Clocks.clocks[3].Id, "");
  EXPECT_STREQ(Clocks.clocks[3].Tz, "");
}

TEST_F(PropsLogicTest, NewClockWithoutColourOrFormatTakesTheDefaults) {
  PropsChoice c = NewChoice(kClockZone, "x", "UTC");
  c.color = -1;
  c.format = -1;
  EXPECT_EQ(AddClockFromChoice(c), kPropsCloseRelayout);
  EXPECT_EQ(Clocks.clocks[3].Color, kColorGreen);
  EXPECT_EQ(Clocks.clocks[3].Format, 0);
}

TEST_F(PropsLogicTest, FullListAddsNothing) {
  while (Clocks.N < kMaxClocks) ASSERT_EQ(AddClock(nullptr), 1);
  Settings.SettingsDirty = false;
  EXPECT_EQ(AddClockFromChoice(NewChoice(kClockZone, "x", "UTC")), kPropsClose);
  EXPECT_EQ(Clocks.N, kMaxClocks);
  EXPECT_FALSE(Settings.SettingsDirty);
}

struct TitleCase {
  const char* zone;
  const char* title;
};

TEST(ProposeTitle, DropsEverythingUpToTheFirstSlash) {
  const TitleCase cases[] = {
      {"Australia/Perth", "Perth"},
      {"America/Argentina/Buenos_Aires", "Argentina/Buenos_Aires"},
      {"UTC", "UTC"},
      {"Etc/", ""},
      {"/Leading", "Leading"},
  };
  for (const TitleCase& t : cases) {
    char out[kPropsTextChars];
    ProposeTitle(t.zone, out, sizeof out);
    EXPECT_STREQ(out, t.title) << t.zone;
  }
}

TEST(ProposeTitle, CutsAtTheBuffer) {
  char out[6];
  std::memset(out, 'x', sizeof out);
  ProposeTitle("Europe/Amsterdam", out, sizeof out);
  EXPECT_STREQ(out, "Amste");
}

}  // namespace

TEST_F(PropsLogicTest, WorkingHoursAreStoredWithoutRelayout) {
  PropsChoice c = Unchanged(1);
  c.workStart = 22 * 60;
  c.workEnd = 6 * 60;
  c.workDays = 0x1F;
  EXPECT_EQ(ApplyClockEdit(1, c), kPropsClose);
  EXPECT_TRUE(Settings.SettingsDirty);
  EXPECT_EQ(Clocks.clocks[1].WorkStart, 1320);
  EXPECT_EQ(Clocks.clocks[1].WorkEnd, 360);
  EXPECT_EQ(Clocks.clocks[1].WorkDays, 0x1F);
  PropsChoice n = NewChoice(kClockZone, "Buenos_Aires", "America/Argentina/Buenos_Aires");
  n.workStart = 7 * 60;
  EXPECT_EQ(AddClockFromChoice(n), kPropsCloseRelayout);
  ASSERT_EQ(Clocks.N, 4);
  EXPECT_EQ(Clocks.clocks[3].WorkStart, 420);
  EXPECT_EQ(Clocks.clocks[3].WorkEnd, kDefaultWorkEnd) << "not the copied neighbour's";
  EXPECT_EQ(Clocks.clocks[3].WorkDays, kDefaultWorkDays);
}

TEST(ParseWorkTime, HoursAndTwoDigitMinutesOnly) {
  struct Row {
    const char* text;
    int32_t minutes;  // -1: refused
  } rows[] = {{"09:00", 540}, {"9:30", 570}, {" 23:59 ", 1439}, {"00:00", 0}, {"24:00", -1},
              {"12:60", -1},  {"9:5", -1},   {"9", -1},         {"", -1},     {"09:00x", -1},
              {"-1:00", -1},  {"123:00", -1}};
  for (const Row& r : rows) {
    int32_t minutes = -1;
    const bool ok = ParseWorkTime(r.text, &minutes);
    EXPECT_EQ(ok, r.minutes >= 0) << r.text;
    if (ok) {
      EXPECT_EQ(minutes, r.minutes) << r.text;
    }
  }
  char text[8];
  WorkTimeText(570, text, sizeof text);
  EXPECT_STREQ(text, "09:30");
}
