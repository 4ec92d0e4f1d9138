// OK in the preferences dialog: what it stores, what it writes to the store,
// when it touches the Run key, and the order of the window-side effects.
// Natively it runs on the in-memory registry; under Wine on the real one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clocks/desktop.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "ui/dialogs/prefs_logic.h"

namespace {

constexpr const char* kProgram = "C:\\Horlix Test\\horlix.exe";

bool ReadDwordValue(const char* name, int32_t* value) {
  uint32_t type = 0;
  uint32_t size = sizeof *value;
  return RegistryRead(kMainKey, name, &type, value, &size) == 0 && type == kRegDword;
}

int32_t Stored(const char* name) {
  int32_t v = -999;
  EXPECT_TRUE(ReadDwordValue(name, &v)) << name;
  return v;
}

bool Present(const char* name) {
  int32_t v = 0;
  return ReadDwordValue(name, &v);
}

std::string RunValue() {
  char buffer[600] = {};
  uint32_t type = 0;
  uint32_t size = sizeof buffer - 1;
  if (RegistryRead(kRunKey, kRunValue, &type, buffer, &size) != 0) return "<none>";
  return buffer;
}

void PutRunValue(const char* text) {
  ASSERT_EQ(RegistryWrite(kRunKey, kRunValue, kRegSz, text,
                          static_cast<uint32_t>(std::string(text).size() + 1)),
            0);
}

// What the callbacks saw, in the order they came.
std::vector<std::string> gEvents;

void RecordFonts() {
  gEvents.push_back("fonts FontSize=" + std::to_string(Settings.FontSize));
}
void RecordTray() {
  gEvents.push_back("tray " + std::to_string(Settings.ShowIconInTray) + " written " +
                    std::to_string(Stored("ShowIconInTray")));
}
void RecordOnTop(int32_t turnOff) {
  gEvents.push_back("ontop " + std::to_string(turnOff) + " written " +
                    std::to_string(Stored("TurnOffOnTop")));
}

const PrefsEffects kRecorder = {RecordFonts, RecordTray, RecordOnTop};

class PrefsLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MemoryRegistryClear();
    RegistryDeleteTree(kMainKey);
    RegistryDeleteValue(kRunKey, kRunValue);
    OverrideProgramPaths(kProgram, "");
    Settings = DefaultSettings();
    gEvents.clear();
  }
  void TearDown() override {
    RegistryDeleteTree(kMainKey);
    RegistryDeleteValue(kRunKey, kRunValue);
    MemoryRegistryClear();
    OverrideProgramPaths(nullptr, nullptr);
    Settings = DefaultSettings();
  }
};

TEST_F(PrefsLogicTest, EveryChoiceIsStoredAndWritten) {
  PrefsChoice c{};
  c.launch = 0;
  c.dateFormat = 2;
  c.updateCheck = 1;
  c.updateTime = 19;
  c.timestampFmt = 4;
  c.fontSize = 1;
  c.tray = 1;
  c.onTop = 1;
  ApplyPreferences(c, kRecorder);
  EXPECT_EQ(Settings.DateFormat, 2);
  EXPECT_EQ(Settings.UpdateCheck, 1);
  EXPECT_EQ(Settings.UpdateTime, 19);
  EXPECT_EQ(Settings.TimeStampFmt, 4);
  EXPECT_EQ(Settings.FontSize, 1);
  EXPECT_EQ(Settings.ShowIconInTray, 1);
  EXPECT_EQ(Settings.TurnOffOnTop, 1);
  EXPECT_EQ(Stored("DateFormat"), 2);
  EXPECT_EQ(Stored("UpdateCheck"), 1);
  EXPECT_EQ(Stored("UpdateTime"), 19);
  EXPECT_EQ(Stored("TimeStampFmt"), 4);
  EXPECT_EQ(Stored("FontSize"), 1);
  EXPECT_EQ(Stored("ShowIconInTray"), 1);
  EXPECT_EQ(Stored("TurnOffOnTop"), 1);
  EXPECT_EQ(RunValue(), "<none>");
}

TEST_F(PrefsLogicTest, UnchangedValuesAreWrittenToo) {
  Settings.DateFormat = 0;
  Settings.UpdateTime = 7;
  ApplyPreferences(CurrentPreferences(), kRecorder);
  EXPECT_EQ(Stored("DateFormat"), 0);
  EXPECT_EQ(Stored("UpdateCheck"), 0);
  EXPECT_EQ(Stored("UpdateTime"), 7);
  EXPECT_EQ(Stored("TimeStampFmt"), 3);
  EXPECT_EQ(Stored("FontSize"), 0);
  EXPECT_EQ(Stored("ShowIconInTray"), 0);
  EXPECT_EQ(Stored("TurnOffOnTop"), 0);
}

// A list that gives no value (a stored setting outside its table) leaves the
// setting and its registry value alone; the boxes are always written.
TEST_F(PrefsLogicTest, ListsWithoutValueLeaveTheirSettings) {
  Settings.DateFormat = 7;
  Settings.UpdateTime = 30;
  Settings.TimeStampFmt = 9;
  Settings.FontSize = 5;
  PrefsChoice c = CurrentPreferences();
  c.dateFormat = c.updateTime = c.timestampFmt = c.fontSize = -1;
  ApplyPreferences(c, kRecorder);
  EXPECT_EQ(Settings.DateFormat, 7);
  EXPECT_EQ(Settings.UpdateTime, 30);
  EXPECT_EQ(Settings.TimeStampFmt, 9);
  EXPECT_EQ(Settings.FontSize, 5);
  EXPECT_FALSE(Present("DateFormat"));
  EXPECT_FALSE(Present("UpdateTime"));
  EXPECT_FALSE(Present("TimeStampFmt"));
  EXPECT_FALSE(Present("FontSize"));
  EXPECT_TRUE(Present("UpdateCheck"));
  EXPECT_TRUE(Present("ShowIconInTray"));
  EXPECT_TRUE(Present("TurnOffOnTop"));
  // No font size given: no font rebuild.
  const std::vector<std::string> expected = {"tray 0 written 0", "ontop 0 written 0"};
  EXPECT_EQ(gEvents, expected);
}

TEST_F(PrefsLogicTest, EffectsComeAfterTheirWritesInOrder) {
  PrefsChoice c = CurrentPreferences();
  c.fontSize = 2;
  c.tray = 1;
  c.onTop = 0;
  Settings.TurnOffOnTop = 1;
  ApplyPreferences(c, kRecorder);
  const std::vector<std::string> expected = {"fonts FontSize=2", "tray 1 written 1",
                                             "ontop 0 written 0"};
  EXPECT_EQ(gEvents, expected);
}

TEST_F(PrefsLogicTest, CheckingLaunchRegistersTheProgram) {
  Settings.LaunchAtStartup = 0;
  PrefsChoice c = CurrentPreferences();
  c.launch = 1;
  ApplyPreferences(c, kRecorder);
  EXPECT_EQ(Settings.LaunchAtStartup, 1);
  EXPECT_EQ(RunValue(), kProgram);
}

TEST_F(PrefsLogicTest, UncheckingLaunchRemovesTheRegistration) {
  PutRunValue(kProgram);
  Settings.LaunchAtStartup = 1;
  PrefsChoice c = CurrentPreferences();
  c.launch = 0;
  ApplyPreferences(c, kRecorder);
  EXPECT_EQ(Settings.LaunchAtStartup, 0);
  EXPECT_EQ(RunValue(), "<none>");
}

// An unchanged box never touches the Run key: a value left there by someone
// else stays exactly as it is.
TEST_F(PrefsLogicTest, UnchangedLaunchBoxWritesNothing) {
  PutRunValue("D:\\elsewhere\\horlix.exe");
  Settings.LaunchAtStartup = 1;
  ApplyPreferences(CurrentPreferences(), kRecorder);
  EXPECT_EQ(RunValue(), "D:\\elsewhere\\horlix.exe");

  Settings.LaunchAtStartup = 0;
  ApplyPreferences(CurrentPreferences(), kRecorder);
  EXPECT_EQ(RunValue(), "D:\\elsewhere\\horlix.exe");
}

TEST_F(PrefsLogicTest, MissingCallbacksAreSkipped) {
  PrefsChoice c = CurrentPreferences();
  c.fontSize = 1;
  ApplyPreferences(c, PrefsEffects{nullptr, nullptr, nullptr});
  EXPECT_EQ(Stored("FontSize"), 1);
}

TEST_F(PrefsLogicTest, OpeningShowsTheCurrentSettings) {
  Settings.LaunchAtStartup = 1;
  Settings.DateFormat = 2;
  Settings.UpdateCheck = 1;
  Settings.UpdateTime = 5;
  Settings.TimeStampFmt = 4;
  Settings.FontSize = 2;
  Settings.ShowIconInTray = 1;
  Settings.TurnOffOnTop = 1;
  const PrefsChoice c = CurrentPreferences();
  EXPECT_EQ(c.launch, 1);
  EXPECT_EQ(c.dateFormat, 2);
  EXPECT_EQ(c.updateCheck, 1);
  EXPECT_EQ(c.updateTime, 5);
  EXPECT_EQ(c.timestampFmt, 4);
  EXPECT_EQ(c.fontSize, 2);
  EXPECT_EQ(c.tray, 1);
  EXPECT_EQ(c.onTop, 1);
}

#ifndef _WIN32
// Failed writes are ignored: the settings and the window still follow.
TEST_F(PrefsLogicTest, FailedWritesStillApplyTheChoices) {
  MemoryRegistryFailWrites(5);
  PrefsChoice c = CurrentPreferences();
  c.tray = 1;
  c.onTop = 1;
  c.dateFormat = 0;
  const PrefsEffects effects = {nullptr, [] { gEvents.push_back("tray"); },
                                [](int32_t turnOff) {
                                  gEvents.push_back("ontop " + std::to_string(turnOff));
                                }};
  ApplyPreferences(c, effects);
  MemoryRegistryFailWrites(0);
  EXPECT_EQ(Settings.ShowIconInTray, 1);
  EXPECT_EQ(Settings.TurnOffOnTop, 1);
  EXPECT_EQ(Settings.DateFormat, 0);
  const std::vector<std::string> expected = {"tray", "ontop 1"};
  EXPECT_EQ(gEvents, expected);
}
#endif

}  // namespace
