// The settings store. Natively it runs on the in-memory registry; the same
// cases run under Wine against the real registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/profile.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "test_files.h"

namespace {

int gMessages = 0;
int CountMessage(const char*, const char*, MessageKind) {
  ++gMessages;
  return 1;
}

std::string ClockKey(int i) { return std::string(kMainKey) + "\\" + std::to_string(i); }

void PutDword(const std::string& key, const char* name, int32_t value) {
  ASSERT_EQ(RegistryWrite(key.c_str(), name, kRegDword, &value, sizeof value), 0);
}

void PutText(const std::string& key, const char* name, const std::string& text) {
  ASSERT_EQ(RegistryWrite(key.c_str(), name, kRegSz, text.c_str(),
                          static_cast<uint32_t>(text.size() + 1)),
            0);
}

bool HasValue(const std::string& key, const char* name) {
  char buffer[600];
  uint32_t type = 0;
  uint32_t size = sizeof buffer;
  return RegistryRead(key.c_str(), name, &type, buffer, &size) == 0;
}

int32_t GetDword(const std::string& key, const char* name) {
  int32_t v = -999;
  uint32_t type = 0;
  uint32_t size = sizeof v;
  EXPECT_EQ(RegistryRead(key.c_str(), name, &type, &v, &size), 0) << key << " " << name;
  EXPECT_EQ(type, kRegDword);
  return v;
}

std::string GetText(const std::string& key, const char* name) {
  char buffer[600] = {};
  uint32_t type = 0;
  uint32_t size = sizeof buffer - 1;
  EXPECT_EQ(RegistryRead(key.c_str(), name, &type, buffer, &size), 0) << key << " " << name;
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, std::strlen(buffer) + 1) << "texts are stored with their NUL";
  return buffer;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MemoryRegistryClear();
    RegistryDeleteTree(kMainKey);
    RegistryDeleteValue(kRunKey, kRunValue);
    root_ = testfiles::FreshFolder("settings");
    OverrideProgramPaths((root_ + "\\horlix.exe").c_str(), "");
    testfiles::WriteBytes(root_ + "\\horlixtz.ini", "[Australia/Perth]\r\nTZ=AWST-8\r\n");
    OverrideScreenSize(1000, 700);
    SetMessageHook(CountMessage);
    gMessages = 0;
  }
  void TearDown() override {
    FreeZones();
    RegistryDeleteTree(kMainKey);
    RegistryDeleteValue(kRunKey, kRunValue);
    MemoryRegistryClear();
    OverrideProgramPaths(nullptr, nullptr);
    OverrideScreenSize(0, 0);
    OverrideScreenDpi(0);
    SetMessageHook(nullptr);
  }
  std::string root_;
};

TEST_F(SettingsTest, FirstStartWritesTheDefaults) {
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Clocks.N, 3);
  EXPECT_STREQ(Clocks.clocks[1].Title, "Perth");
  EXPECT_EQ(Settings.X, 100);
  EXPECT_EQ(Settings.Y, 0);
  EXPECT_EQ(Settings.DateFormat, 1);
  EXPECT_EQ(Settings.TimeStampFmt, 3);
  for (int32_t v : {Settings.UpdateCheck, Settings.UpdateTime, Settings.UpdateStatus,
                    Settings.LayoutStyle, Settings.FontSize, Settings.ShowIconInTray,
                    Settings.TurnOffOnTop, Settings.LaunchAtStartup}) {
    EXPECT_EQ(v, 0);
  }
  EXPECT_EQ(GetDword(kMainKey, "X"), 100);
  EXPECT_EQ(GetDword(kMainKey, "Y"), 0);
  EXPECT_EQ(GetDword(kMainKey, "PositionDpi"), 96);
  EXPECT_EQ(GetDword(kMainKey, "N"), 3);
  EXPECT_EQ(GetText(ClockKey(0), "Id"), "Local");
  EXPECT_EQ(GetText(ClockKey(1), "Id"), "Australia/Perth");
  EXPECT_EQ(GetText(ClockKey(1), "Tz"), "AWST-8");
  EXPECT_EQ(GetDword(ClockKey(1), "Format"), 1);
  EXPECT_EQ(GetDword(ClockKey(2), "Type"), 1);
  EXPECT_EQ(GetDword(ClockKey(2), "Color"), 0x00FFFF);
  EXPECT_EQ(GetDword(ClockKey(2), "Width"), 80);
  EXPECT_EQ(GetDword(ClockKey(2), "Wd"), 0);
  EXPECT_EQ(GetText(ClockKey(2), "Title"), "UTC");
  EXPECT_EQ(GetText(ClockKey(0), "Tz"), "");
  EXPECT_FALSE(HasValue(ClockKey(3), "Id"));
  // Global preferences are not written at a first start.
  EXPECT_FALSE(HasValue(kMainKey, "DateFormat"));
  EXPECT_EQ(gMessages, 0);
}

TEST_F(SettingsTest, StoredZeroClocksGivesDefaultsAndWritesNothing) {
  PutDword(kMainKey, "N", 0);
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Clocks.N, 3);
  EXPECT_FALSE(HasValue(kMainKey, "X"));
  EXPECT_FALSE(HasValue(ClockKey(0), "Id"));
  EXPECT_EQ(GetDword(kMainKey, "N"), 0);
}

TEST_F(SettingsTest, NegativeClockCountCountsAsZero) {
  PutDword(kMainKey, "N", -5);
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Clocks.N, 3);
  EXPECT_FALSE(HasValue(kMainKey, "X"));
}

TEST_F(SettingsTest, TooManyClocksReadsSixtyFour) {
  PutDword(kMainKey, "N", 100);
  PutText(ClockKey(63), "Title", "Last");
  PutText(ClockKey(64), "Title", "Beyond");
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Clocks.N, 64);
  EXPECT_STREQ(Clocks.clocks[63].Title, "Last");
}

TEST_F(SettingsTest, MissingSubkeyGivesPlaceholders) {
  PutDword(kMainKey, "N", 6);
  ASSERT_EQ(LoadSettings(), 1);
  ASSERT_EQ(Clocks.N, 6);
  for (int i : {1, 5}) {
    const ClockRecord& c = Clocks.clocks[i];
    EXPECT_STREQ(c.Title, "???");
    EXPECT_STREQ(c.Id, "ERROR");
    EXPECT_STREQ(c.Tz, "");
    EXPECT_EQ(c.Color, 0xFFFFFF);
    EXPECT_EQ(c.Width, 80);
    EXPECT_EQ(c.Wd, 0);
  }
  // Type and Format stay the slot's initial values.
  EXPECT_EQ(Clocks.clocks[1].Type, kClockZone);
  EXPECT_EQ(Clocks.clocks[1].Format, 1);
  EXPECT_EQ(Clocks.clocks[2].Type, kClockUtc);
  EXPECT_EQ(Clocks.clocks[5].Type, 0);
  EXPECT_EQ(Clocks.clocks[5].Format, 0);
}

TEST_F(SettingsTest, StoredClocksAndTheirBounds) {
  PutDword(kMainKey, "N", 3);
  PutText(ClockKey(0), "Title", std::string(19, 't'));
  PutText(ClockKey(1), "Title", std::string(20, 't'));
  PutText(ClockKey(0), "Id", std::string(254, 'i'));
  PutText(ClockKey(1), "Id", std::string(255, 'i'));
  PutText(ClockKey(0), "Tz", std::string(254, 'z'));
  PutText(ClockKey(1), "Tz", std::string(255, 'z'));
  PutDword(ClockKey(0), "Width", 79);
  PutDword(ClockKey(1), "Width", 500);
  PutDword(ClockKey(0), "Type", 2);
  PutDword(ClockKey(0), "Format", 3);
  PutDword(ClockKey(0), "Color", 0x0000FF);
  PutDword(ClockKey(0), "Wd", 1);
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(std::string(Clocks.clocks[0].Title), std::string(19, 't'));
  EXPECT_STREQ(Clocks.clocks[1].Title, "???");
  EXPECT_EQ(std::strlen(Clocks.clocks[0].Id), 254u);
  EXPECT_STREQ(Clocks.clocks[1].Id, "ERROR");
  EXPECT_EQ(std::strlen(Clocks.clocks[0].Tz), 254u);
  EXPECT_STREQ(Clocks.clocks[1].Tz, "");
  EXPECT_EQ(Clocks.clocks[0].Width, 79);
  EXPECT_EQ(Clocks.clocks[1].Width, 80);
  EXPECT_EQ(Clocks.clocks[0].Type, 2);
  EXPECT_EQ(Clocks.clocks[0].Format, 3);
  EXPECT_EQ(Clocks.clocks[0].Color, 0x0000FF);
  EXPECT_EQ(Clocks.clocks[0].Wd, 1);
}

// Working hours follow their clock through a move; a default leaves no
// value behind, and an out-of-range value reads as the default alone.
TEST_F(SettingsTest, WorkingHoursFollowTheClockAndBadValuesAreIgnored) {
  ASSERT_EQ(LoadSettings(), 1);
  SetWorkHours(&Clocks.clocks[0], 22 * 60, 6 * 60, 0x41);
  ASSERT_EQ(SaveSettings(1), 1);
  EXPECT_EQ(GetDword(ClockKey(0), "WorkStart"), 1320);
  EXPECT_EQ(GetDword(ClockKey(0), "WorkDays"), 0x41);
  EXPECT_FALSE(HasValue(ClockKey(1), "WorkStart"));
  Clocks.SelectedClock = 0;
  ASSERT_EQ(MoveClock(1), 1);
  ASSERT_EQ(SaveSettings(1), 1);
  EXPECT_FALSE(HasValue(ClockKey(0), "WorkStart"));
  EXPECT_FALSE(HasValue(ClockKey(0), "WorkDays"));
  PutDword(ClockKey(1), "WorkEnd", 1440);
  PutDword(ClockKey(2), "WorkStart", -1);
  PutDword(ClockKey(2), "WorkEnd", 0);
  PutDword(ClockKey(2), "WorkDays", 0x80);
  FreeZones();
  DestroyClockZoneStates();
  ASSERT_EQ(LoadSettings(), 1);
  const int32_t want[3][3] = {{540, 1020, 0x3E}, {1320, 1020, 0x41}, {540, 0, 0x3E}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Clocks.clocks[i].WorkStart, want[i][0]) << i;
    EXPECT_EQ(Clocks.clocks[i].WorkEnd, want[i][1]) << i;
    EXPECT_EQ(Clocks.clocks[i].WorkDays, want[i][2]) << i;
  }
  EXPECT_STREQ(Clocks.clocks[1].Title, "Local");
  DestroyClockZoneStates();
}

TEST_F(SettingsTest, WrongTypesAndSizesFallBack) {
  PutDword(kMainKey, "N", 1);
  PutText(kMainKey, "X", "500");
  const uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(RegistryWrite(kMainKey, "DateFormat", kRegBinary, eight, 8), 0);
  ASSERT_EQ(RegistryWrite(kMainKey, "FontSize", kRegBinary, eight, 2), 0);
  ASSERT_EQ(RegistryWrite(ClockKey(0).c_str(), "Width", kRegBinary, eight, 8), 0);
  PutDword(ClockKey(0), "Title", 0x41414141);
  ASSERT_EQ(RegistryWrite(ClockKey(0).c_str(), "Id", kRegSz, "NoTerminator", 12), 0);
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Settings.X, 100);
  EXPECT_EQ(Settings.DateFormat, 1);
  EXPECT_EQ(Settings.FontSize, 0);
  EXPECT_EQ(Clocks.clocks[0].Width, 80);
  EXPECT_STREQ(Clocks.clocks[0].Title, "???");
  EXPECT_STREQ(Clocks.clocks[0].Id, "NoTerminator");
}

TEST_F(SettingsTest, PositionIsCheckedAgainstTheScreen) {
  struct Case {
    int32_t x, y, expectX, expectY;
  } cases[] = {
      {920, 666, 920, 666},   // exactly width - 80 and height - 34
      {921, 667, 100, 0},     // one pixel more
      {-300, -50, -300, -50}, // no lower bound
  };
  for (const Case& c : cases) {
    PutDword(kMainKey, "X", c.x);
    PutDword(kMainKey, "Y", c.y);
    PutDword(kMainKey, "N", 0);
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(Settings.X, c.expectX) << c.x;
    EXPECT_EQ(Settings.Y, c.expectY) << c.y;
    FreeZones();
  }
}

TEST_F(SettingsTest, PositionKeepsItsScale) {
  // At 144 dpi: a position stored without its scale is in 96-dpi units and
  // grows by half; one stored with it stays; the check uses 80 x 34 scaled
  // (120 x 51), after the conversion. Every save stores the scale.
  OverrideScreenDpi(144);
  struct Case {
    int32_t x, y, dpi, expectX, expectY;
  } cases[] = {
      {200, 101, 0, 300, 152},     // 96-dpi units (101 * 1.5 rounds up)
      {200, 100, 96, 200, 100},    // screen pixels, measured at 96 dpi
      {200, 100, 144, 200, 100},   // screen pixels
      {880, 649, 144, 880, 649},   // exactly width - 120 and height - 51
      {881, 650, 144, 100, 0},     // one pixel more
      {587, 433, 0, 100, 0},       // 880.5 and 649.5 round to one pixel more
      {-300, -50, 0, -450, -75},   // no lower bound, also converted
  };
  for (const Case& c : cases) {
    PutDword(kMainKey, "X", c.x);
    PutDword(kMainKey, "Y", c.y);
    RegistryDeleteValue(kMainKey, "PositionDpi");
    if (c.dpi != 0) PutDword(kMainKey, "PositionDpi", c.dpi);
    PutDword(kMainKey, "N", 0);
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(Settings.X, c.expectX) << c.x;
    EXPECT_EQ(Settings.Y, c.expectY) << c.y;
    EXPECT_EQ(SaveSettings(0), 1);
    EXPECT_EQ(GetDword(kMainKey, "PositionDpi"), c.dpi != 0 ? c.dpi : 144) << c.x;
    FreeZones();
  }
}

TEST_F(SettingsTest, PreferencesAreRead) {
  PutDword(kMainKey, "N", 0);
  const char* names[] = {"DateFormat", "UpdateCheck",    "UpdateTime",   "UpdateStatus", "LayoutStyle",
                         "FontSize",   "ShowIconInTray", "TurnOffOnTop", "TimeStampFmt"};
  for (int i = 0; i < 9; ++i) PutDword(kMainKey, names[i], 10 + i);
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Settings.DateFormat, 10);
  EXPECT_EQ(Settings.UpdateCheck, 11);
  EXPECT_EQ(Settings.UpdateTime, 12);
  EXPECT_EQ(Settings.UpdateStatus, 13);
  EXPECT_EQ(Settings.LayoutStyle, 14);
  EXPECT_EQ(Settings.FontSize, 15);
  EXPECT_EQ(Settings.ShowIconInTray, 16);
  EXPECT_EQ(Settings.TurnOffOnTop, 17);
  EXPECT_EQ(Settings.TimeStampFmt, 18);  // no range checks
}

TEST_F(SettingsTest, SaveWithAndWithoutClocks) {
  ASSERT_EQ(LoadSettings(), 1);
  Settings.X = 321;
  Settings.Y = -7;
  Clocks.SelectedClock = 0;
  ASSERT_EQ(RemoveClock(), 1);
  EXPECT_EQ(SaveSettings(0), 1);
  EXPECT_EQ(GetDword(kMainKey, "X"), 321);
  EXPECT_EQ(GetDword(kMainKey, "Y"), -7);
  EXPECT_EQ(GetDword(kMainKey, "N"), 3);  // untouched without clocks
  EXPECT_EQ(SaveSettings(1), 1);
  EXPECT_EQ(GetDword(kMainKey, "N"), 2);
  EXPECT_EQ(GetText(ClockKey(0), "Title"), "Perth");
  // The old third subkey stays, and the next start ignores it.
  EXPECT_EQ(GetText(ClockKey(2), "Title"), "UTC");
  FreeZones();
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Clocks.N, 2);
  EXPECT_STREQ(Clocks.clocks[1].Title, "UTC");
  DestroyClockZoneStates();
}

TEST_F(SettingsTest, ZoneClocksTakeTheirRuleFromTheZoneFile) {
  PutDword(kMainKey, "N", 1);
  PutDword(ClockKey(0), "Type", 2);
  PutText(ClockKey(0), "Id", "Australia/Perth");
  PutText(ClockKey(0), "Tz", "STALE-1");
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_STREQ(Clocks.clocks[0].Tz, "AWST-8");
}

TEST_F(SettingsTest, LaunchAtStartupEntry) {
  SetLaunchAtStartup(1);
  EXPECT_EQ(GetText(kRunKey, kRunValue), root_ + "\\horlix.exe");
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Settings.LaunchAtStartup, 1);
  SetLaunchAtStartup(0);
  EXPECT_FALSE(HasValue(kRunKey, kRunValue));
  FreeZones();
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Settings.LaunchAtStartup, 0);
  SetLaunchAtStartup(0);  // nothing to delete: silent
  // An empty value does not count.
  ASSERT_EQ(RegistryWrite(kRunKey, kRunValue, kRegSz, "", 0), 0);
  FreeZones();
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Settings.LaunchAtStartup, 0);
}

TEST_F(SettingsTest, SingleValueWriters) {
  EXPECT_EQ(WriteDword(2, kMainKey, "DateFormat"), 0);
  EXPECT_EQ(GetDword(kMainKey, "DateFormat"), 2);
  const uint8_t stamp[8] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};
  EXPECT_EQ(WriteLastCheck(stamp), 0);
  uint8_t back[16] = {};
  uint32_t type = 0;
  uint32_t size = sizeof back;
  ASSERT_EQ(RegistryRead(kMainKey, "UpdateLastCheck", &type, back, &size), 0);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(std::memcmp(back, stamp, 8), 0);

  const std::string file = root_ + "\\export.hrlx";
  testfiles::WriteBytes(file, "[Horlix]\r\nFontSize=2\r\nLayoutStyle=x\r\n");
  ImportDword("FontSize", file.c_str());
  ImportDword("LayoutStyle", file.c_str());
  ImportDword("TimeStampFmt", file.c_str());
  EXPECT_EQ(GetDword(kMainKey, "FontSize"), 2);
  EXPECT_EQ(GetDword(kMainKey, "LayoutStyle"), 0);
  EXPECT_EQ(GetDword(kMainKey, "TimeStampFmt"), 0);
}

#ifndef _WIN32
TEST_F(SettingsTest, FailedWritesAreReportedBySaveOnly) {
  ASSERT_EQ(LoadSettings(), 1);
  MemoryRegistryFailWrites(5);
  EXPECT_EQ(SaveSettings(1), 0);
  EXPECT_EQ(SaveSettings(0), 0);
  EXPECT_EQ(WriteDword(1, kMainKey, "X"), 5);
  SetLaunchAtStartup(1);  // silent
  MemoryRegistryFailWrites(0);
  EXPECT_EQ(GetDword(kMainKey, "X"), 100);
  EXPECT_FALSE(HasValue(kRunKey, kRunValue));
}
#endif

}  // namespace
