// Fault injection into what the dialogs write: the preferences' registry
// writes, the settings import's writes, and the file operations of the
// settings export and import. No failure of these is reported to the user
// (only a file that cannot be created or read is, by the dialogue around
// this logic); what must hold is that the refused value keeps what it had,
// everything else is written, and a failed export or import changes nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "../clocks/registry_snapshot.h"
#include "../clocks/test_files.h"
#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "tz/wall_clock.h"
#include "ui/dialogs/prefs_logic.h"
#include "ui/dialogs/settings_file.h"

namespace {

constexpr int32_t kAccessDenied = 5;
constexpr const char* kPage = "http://horlix.example/horlix/";
const WallClock kCreated = {2026, 12, 2, 8, 8, 30, 0};

std::vector<std::string> gMessages;
int RecordMessage(const char* text, const char*, MessageKind) {
  gMessages.push_back(text);
  return 1;
}

std::string Main(const char* name) { return std::string(kMainKey) + "\\" + name; }
std::string ClockKey(int i) { return std::string(kMainKey) + "\\" + std::to_string(i); }

std::string ClockListText() {
  char line[700];
  std::snprintf(line, sizeof line, "N=%d sel=%d", Clocks.N, Clocks.SelectedClock);
  std::string s = line;
  for (int i = 0; i < Clocks.N; ++i) {
    const ClockRecord& c = Clocks.clocks[i];
    std::snprintf(line, sizeof line, "\n%d,%d,%d,%d,%d,%s,%s,%s", c.Type, c.Wd, c.Color, c.Format,
                  c.Width, c.Id, c.Title, c.Tz);
    s += line;
  }
  return s;
}

void SetClock(int i, int32_t type, int32_t color, const std::string& id, const std::string& title,
              const std::string& tz) {
  ClockRecord& c = Clocks.clocks[i];
  c = ClockRecord{};
  c.Type = type;
  c.Color = color;
  c.Format = i % 4;
  c.Width = 80;
  CopyBounded(c.Id, sizeof c.Id, id.c_str(), kZoneTextMaxLen);
  CopyBounded(c.Title, sizeof c.Title, title.c_str(), kTitleMaxLen);
  CopyBounded(c.Tz, sizeof c.Tz, tz.c_str(), kZoneTextMaxLen);
}

class DialogFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    MemoryRegistryClear();
    root_ = testfiles::FreshFolder("dialogfaults");
    OverrideProgramPaths((root_ + "\\horlix.exe").c_str(), "");
    testfiles::WriteBytes(root_ + "\\horlixtz.ini", "[Asia/Tokyo]\r\nTZ=JST-9\r\n");
    OverrideScreenSize(1000, 700);
    SetMessageHook(RecordMessage);
    gMessages.clear();
    file_ = root_ + "\\export.hrlx";
  }
  void TearDown() override {
    DestroyClockZoneStates();
    FreeZones();
    MemoryRegistryClear();
    OverrideProgramPaths(nullptr, nullptr);
    OverrideScreenSize(0, 0);
    SetMessageHook(nullptr);
    Settings = DefaultSettings();
    Clocks = ClockList{{}, 0, -1};
  }
  // The store and memory as a user has them: four zone clocks saved, the
  // preferences at 0, no logon start.
  void UserState() {
    MemoryRegistryClear();
    DestroyClockZoneStates();
    Settings = DefaultSettings();
    Settings.X = 200;
    Settings.Y = 30;
    Clocks = ClockList{{}, 4, 2};
    for (int i = 0; i < 4; ++i) {
      SetClock(i, kClockZone, kColorGreen, "Asia/Tokyo", "Tokyo " + std::to_string(i), "JST-9");
    }
    CreateClockZoneStates();
    ASSERT_EQ(SaveSettings(1), 1);
    for (const char* name : {"DateFormat", "UpdateCheck", "UpdateTime", "UpdateStatus",
                             "LayoutStyle", "FontSize", "ShowIconInTray", "TurnOffOnTop",
                             "TimeStampFmt"}) {
      ASSERT_EQ(WriteDword(0, kMainKey, name), 0);
    }
  }
  // A settings file of two clocks and six values unlike the user's.
  void WriteImportFile() {
    const SettingsRecord keep = Settings;
    const ClockList keepClocks = Clocks;
    Settings.DateFormat = 2;
    Settings.UpdateTime = 17;
    Settings.LayoutStyle = 1;
    Settings.FontSize = 2;
    Settings.TimeStampFmt = 4;
    Settings.ShowIconInTray = 1;
    Settings.LaunchAtStartup = 1;
    Clocks.N = 2;
    SetClock(0, kClockUtc, kColorRed, "UTC", "Greenwich", "");
    SetClock(1, kClockLocal, kColorYellow, "Local", "Here", "");
    ASSERT_EQ(WriteSettingsFile(file_.c_str(), kPage, kCreated), kFileWritten);
    Settings = keep;
    Clocks = keepClocks;
  }
  std::string root_, file_;
};

// ---------------------------------------------------------------------------
// Preferences: OK with each of its writes refused in turn.

TEST_F(DialogFaults, PreferencesWithEachWriteFailing) {
  UserState();
  const auto before = faults::RegistrySnapshot();
  PrefsChoice choice = {1, 2, 1, 6, 1, 2, 1, 1};
  int effects = 0;
  static int* counter;
  counter = &effects;
  const PrefsEffects calls = {[] { ++*counter; }, [] { ++*counter; },
                              [](int32_t) { ++*counter; }};
  ApplyPreferences(choice, calls);
  const auto written = faults::RegistrySnapshot();
  const SettingsRecord chosen = Settings;
  const std::vector<std::string> order = {
      std::string(kRunKey) + "\\" + kRunValue, Main("DateFormat"), Main("UpdateCheck"),
      Main("UpdateTime"), Main("TimeStampFmt"), Main("FontSize"), Main("ShowIconInTray"),
      Main("TurnOffOnTop")};
  std::set<std::string> sorted(order.begin(), order.end());
  std::string all;
  for (const std::string& name : sorted) all += name + ";";
  ASSERT_EQ(faults::Differences(written, before), all) << "each choice differs from the store";

  for (size_t k = 0; k < order.size(); ++k) {
    UserState();
    effects = 0;
    MemoryRegistryFailChangeAt(static_cast<int32_t>(k), kAccessDenied);
    ApplyPreferences(choice, calls);
    MemoryRegistryFailChangeAt(-1, 0);
    const auto after = faults::RegistrySnapshot();
    EXPECT_EQ(faults::Differences(after, written), order[k] + ";") << "write " << k;
    auto old = before.find(order[k]);
    if (old != before.end()) {
      EXPECT_EQ(after.at(order[k]), old->second);
    } else {
      EXPECT_EQ(after.count(order[k]), 0u);
    }
    // The program goes on with the choices and applies them to the window.
    EXPECT_EQ(Settings.DateFormat, chosen.DateFormat);
    EXPECT_EQ(Settings.FontSize, chosen.FontSize);
    EXPECT_EQ(Settings.ShowIconInTray, chosen.ShowIconInTray);
    EXPECT_EQ(Settings.TurnOffOnTop, chosen.TurnOffOnTop);
    EXPECT_EQ(Settings.LaunchAtStartup, 1);
    EXPECT_EQ(effects, 3);
  }
  EXPECT_TRUE(gMessages.empty());
}

// ---------------------------------------------------------------------------
// Import: the second confirmation given, each write refused in turn.

TEST_F(DialogFaults, ImportWithEachWriteFailing) {
  UserState();
  WriteImportFile();
  const auto before = faults::RegistrySnapshot();
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  const int32_t start = MemoryRegistryChangeCount();
  ApplyImportedSettings(file_.c_str(), imported);
  const int32_t changes = MemoryRegistryChangeCount() - start;
  const auto written = faults::RegistrySnapshot();
  const std::string importedList = ClockListText();

  std::vector<std::string> order = {Main("DateFormat"), Main("UpdateTime"), Main("LayoutStyle"),
                                    Main("FontSize"),   Main("TimeStampFmt"),
                                    Main("ShowIconInTray"),
                                    std::string(kRunKey) + "\\" + kRunValue,
                                    Main("X"), Main("Y"), Main("PositionDpi"), Main("N")};
  for (int i = 0; i < 2; ++i) {
    for (const char* name : {"Id", "Title", "Type", "Wd", "Width", "Color", "Format", "Tz"}) {
      order.push_back(ClockKey(i) + "\\" + name);
    }
  }
  ASSERT_EQ(changes, static_cast<int32_t>(order.size()));

  for (size_t k = 0; k < order.size(); ++k) {
    UserState();
    ImportedSettings again{};
    ASSERT_EQ(ReadSettingsFile(file_.c_str(), &again), 0);
    MemoryRegistryFailChangeAt(static_cast<int32_t>(k), kAccessDenied);
    ApplyImportedSettings(file_.c_str(), again);
    MemoryRegistryFailChangeAt(-1, 0);
    const auto after = faults::RegistrySnapshot();
    const std::string diff = faults::Differences(after, written);
    // X and Y are written with the values they already had: refusing them
    // changes nothing that can be seen.
    if (before.count(order[k]) != 0 && before.at(order[k]) == written.at(order[k])) {
      EXPECT_EQ(diff, "") << order[k];
    } else {
      EXPECT_EQ(diff, order[k] + ";") << "write " << k;
      auto old = before.find(order[k]);
      if (old != before.end()) {
        EXPECT_EQ(after.at(order[k]), old->second);
      } else {
        EXPECT_EQ(after.count(order[k]), 0u);
      }
    }
    EXPECT_EQ(ClockListText(), importedList);
  }
  EXPECT_TRUE(gMessages.empty());
}

TEST_F(DialogFaults, ImportWithTheStoreRefusingEverythingKeepsTheStore) {
  UserState();
  WriteImportFile();
  const auto before = faults::RegistrySnapshot();
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  MemoryRegistryFailWrites(kAccessDenied);
  ApplyImportedSettings(file_.c_str(), imported);
  MemoryRegistryFailWrites(0);
  EXPECT_EQ(faults::Differences(faults::RegistrySnapshot(), before), "");
  // The restart then loads the user's own clocks again.
  DestroyClockZoneStates();
  FreeZones();
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Clocks.N, 4);
  EXPECT_EQ(std::string(Clocks.clocks[3].Title), "Tokyo 3");
  EXPECT_EQ(Settings.DateFormat, 0);
  EXPECT_EQ(Settings.LaunchAtStartup, 0);
}

// ---------------------------------------------------------------------------
// The import's file cannot be read: rejected, nothing changed.

TEST_F(DialogFaults, UnreadableImportFilesChangeNothing) {
  UserState();
  const auto before = faults::RegistrySnapshot();
  const std::string memory = ClockListText();
  WriteImportFile();
  std::string whole;
  {
    FILE* f = std::fopen(testfiles::Native(file_).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) whole.append(chunk, n);
    std::fclose(f);
  }
  const std::string cutAfterGuid = whole.substr(0, whole.find("DateFormat"));
  const std::string cutInClock1 = whole.substr(0, whole.find("[1]") + 5);
  testfiles::WriteBytes(root_ + "\\empty.hrlx", "");
  testfiles::WriteBytes(root_ + "\\cut1.hrlx", cutAfterGuid);
  testfiles::WriteBytes(root_ + "\\cut2.hrlx", cutInClock1);
  testfiles::MakeFolder(root_ + "\\folder.hrlx");
  for (const std::string& path :
       {root_ + "\\missing.hrlx", root_ + "\\empty.hrlx", root_ + "\\folder.hrlx",
        root_ + "\\cut1.hrlx", root_ + "\\cut2.hrlx", root_ + "\\no\\such\\folder\\x.hrlx"}) {
    ImportedSettings imported{};
    EXPECT_EQ(ReadSettingsFile(path.c_str(), &imported), -1) << path;
    EXPECT_EQ(faults::Differences(faults::RegistrySnapshot(), before), "") << path;
    EXPECT_EQ(ClockListText(), memory) << path;
  }
  EXPECT_TRUE(gMessages.empty());
}

// ---------------------------------------------------------------------------
// The export's file operations failing: creation, and writing (a full disk).

TEST_F(DialogFaults, ExportThatCannotCreateOrWriteChangesNothing) {
  UserState();
  const auto before = faults::RegistrySnapshot();
  const std::string memory = ClockListText();
  testfiles::WriteBytes(root_ + "\\older.hrlx", "an older export");
  testfiles::MakeFolder(root_ + "\\folder.hrlx");
  EXPECT_EQ(WriteSettingsFile((root_ + "\\no\\such\\folder\\x.hrlx").c_str(), kPage, kCreated),
            kFileNotCreated);
  EXPECT_EQ(WriteSettingsFile((root_ + "\\folder.hrlx").c_str(), kPage, kCreated),
            kFileNotCreated);
  // A disk that is full: the writes are buffered, so the failure shows when
  // the file is closed, and must still be noticed.
  EXPECT_EQ(WriteSettingsFile("\\dev\\full", kPage, kCreated), kFileWriteFailed);
  EXPECT_EQ(faults::Differences(faults::RegistrySnapshot(), before), "");
  EXPECT_EQ(ClockListText(), memory);
  FILE* f = std::fopen(testfiles::Native(root_ + "\\older.hrlx").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char text[64] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text - 1, f), 15u);
  std::fclose(f);
  EXPECT_STREQ(text, "an older export");
  EXPECT_TRUE(gMessages.empty());
}

}  // namespace
