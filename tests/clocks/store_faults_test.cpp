// Fault injection into the settings store: registry writes and deletions
// that fail, one at a time and all together. Failures are never reported;
// what must hold is that exactly the refused value keeps what it had, every
// other value is written, and the clocks in memory do not change.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "registry_snapshot.h"
#include "test_files.h"

namespace {

constexpr int32_t kAccessDenied = 5;

std::vector<std::string> gMessages;
int RecordMessage(const char* text, const char*, MessageKind) {
  gMessages.push_back(text);
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

// Every field of every clock in use, to see that nothing in memory moved.
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

// The values SaveSettings writes, in the order it writes them.
std::vector<std::string> SaveOrder(int clocks) {
  std::vector<std::string> order = {std::string(kMainKey) + "\\X", std::string(kMainKey) + "\\Y",
                                    std::string(kMainKey) + "\\PositionDpi"};
  if (clocks < 0) return order;
  order.push_back(std::string(kMainKey) + "\\N");
  for (int i = 0; i < clocks; ++i) {
    for (const char* name : {"Id", "Title", "Type", "Wd", "Width", "Color", "Format", "Tz"}) {
      order.push_back(ClockKey(i) + "\\" + name);
    }
  }
  return order;
}

class StoreFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    MemoryRegistryClear();
    root_ = testfiles::FreshFolder("storefaults");
    OverrideProgramPaths((root_ + "\\horlix.exe").c_str(), "");
    testfiles::WriteBytes(root_ + "\\horlixtz.ini", "[Australia/Perth]\r\nTZ=AWST-8\r\n");
    OverrideScreenSize(1000, 700);
    SetMessageHook(RecordMessage);
    gMessages.clear();
  }
  void TearDown() override {
    FreeZones();
    MemoryRegistryClear();
    OverrideProgramPaths(nullptr, nullptr);
    OverrideScreenSize(0, 0);
    SetMessageHook(nullptr);
    Settings = DefaultSettings();
  }
  // An earlier save: four clocks, a position, the preferences and a logon start.
  void StoreOldState() {
    MemoryRegistryClear();
    PutDword(kMainKey, "X", 10);
    PutDword(kMainKey, "Y", 20);
    PutDword(kMainKey, "N", 4);
    for (const char* name : {"DateFormat", "UpdateCheck", "UpdateTime", "FontSize",
                             "ShowIconInTray", "TurnOffOnTop", "TimeStampFmt"}) {
      PutDword(kMainKey, name, 2);
    }
    for (int i = 0; i < 4; ++i) {
      PutText(ClockKey(i), "Id", "Old/" + std::to_string(i));
      PutText(ClockKey(i), "Title", "Old " + std::to_string(i));
      PutDword(ClockKey(i), "Type", 2);
      PutDword(ClockKey(i), "Wd", 1);
      PutDword(ClockKey(i), "Width", 70);
      PutDword(ClockKey(i), "Color", 0x123456);
      PutDword(ClockKey(i), "Format", 3);
      PutText(ClockKey(i), "Tz", "OLD-" + std::to_string(i));
    }
    PutText(kRunKey, kRunValue, "C:\\Old\\horlix.exe");
  }
  // In memory: five clocks and a position, every value unlike the stored one.
  void NewClockList() {
    Settings.X = 30;
    Settings.Y = 40;
    Clocks.N = 5;
    Clocks.SelectedClock = 1;
    for (int i = 0; i < 5; ++i) {
      ClockRecord& c = Clocks.clocks[i];
      c.Type = i % 2;
      c.Wd = 0;
      c.Width = 80;
      c.Color = 0x00FF00 + i;
      c.Format = i % 3;
      CopyBounded(c.Id, sizeof c.Id, ("New/" + std::to_string(i)).c_str(), kZoneTextMaxLen);
      CopyBounded(c.Title, sizeof c.Title, ("New " + std::to_string(i)).c_str(), kTitleMaxLen);
      CopyBounded(c.Tz, sizeof c.Tz, ("NEW-" + std::to_string(i)).c_str(), kZoneTextMaxLen);
    }
  }
  std::string root_;
};

// Save with the clock list: fail each of its writes in turn.
TEST_F(StoreFaults, SaveWithEachWriteFailingKeepsOnlyThatOldValue) {
  StoreOldState();
  const auto before = faults::RegistrySnapshot();
  NewClockList();
  const std::string memory = ClockListText();
  const int32_t start = MemoryRegistryChangeCount();
  ASSERT_EQ(SaveSettings(1), 1);
  const auto saved = faults::RegistrySnapshot();
  const std::vector<std::string> order = SaveOrder(5);
  ASSERT_EQ(MemoryRegistryChangeCount() - start, static_cast<int32_t>(order.size()));

  for (size_t k = 0; k < order.size(); ++k) {
    StoreOldState();
    MemoryRegistryFailChangeAt(static_cast<int32_t>(k), kAccessDenied);
    EXPECT_EQ(SaveSettings(1), 0) << order[k];
    MemoryRegistryFailChangeAt(-1, 0);
    auto after = faults::RegistrySnapshot();
    EXPECT_EQ(faults::Differences(after, saved), order[k] + ";") << "write " << k;
    // The refused value is the old one, or still absent for the new fifth clock.
    auto old = before.find(order[k]);
    if (old != before.end()) {
      EXPECT_EQ(after[order[k]], old->second) << order[k];
    } else {
      EXPECT_EQ(after.count(order[k]), 0u) << order[k];
    }
    EXPECT_EQ(ClockListText(), memory);
  }
  EXPECT_TRUE(gMessages.empty()) << "write failures are not reported";
}

TEST_F(StoreFaults, SaveWithEveryWriteFailingLeavesTheStoreAsItWas) {
  StoreOldState();
  const auto before = faults::RegistrySnapshot();
  NewClockList();
  const std::string memory = ClockListText();
  MemoryRegistryFailWrites(kAccessDenied);
  EXPECT_EQ(SaveSettings(1), 0);
  EXPECT_EQ(SaveSettings(0), 0);
  MemoryRegistryFailWrites(0);
  EXPECT_EQ(faults::Differences(faults::RegistrySnapshot(), before), "");
  EXPECT_EQ(ClockListText(), memory);
  EXPECT_TRUE(gMessages.empty());
  // The next start finds the earlier save whole.
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Clocks.N, 4);
  EXPECT_EQ(std::string(Clocks.clocks[3].Id), "Old/3");
  EXPECT_EQ(std::string(Clocks.clocks[3].Tz), "OLD-3");
  EXPECT_EQ(Settings.X, 10);
  EXPECT_EQ(Settings.DateFormat, 2);
  EXPECT_EQ(Settings.LaunchAtStartup, 1);
}

// Save of the position only: X, Y and the scale they were measured at.
TEST_F(StoreFaults, PositionSaveWithEachWriteFailing) {
  StoreOldState();
  const auto before = faults::RegistrySnapshot();
  NewClockList();
  const std::vector<std::string> order = SaveOrder(-1);
  for (size_t k = 0; k < order.size(); ++k) {
    StoreOldState();
    MemoryRegistryFailChangeAt(static_cast<int32_t>(k), kAccessDenied);
    EXPECT_EQ(SaveSettings(0), 0);
    MemoryRegistryFailChangeAt(-1, 0);
    const auto after = faults::RegistrySnapshot();
    std::map<std::string, int> others;  // in the snapshot's order
    for (size_t j = 0; j < order.size(); ++j) {
      if (j != k) others[order[j]] = 1;
    }
    std::string written;
    for (const auto& value : others) written += value.first + ";";
    EXPECT_EQ(faults::Differences(after, before), written) << "only the others are written";
  }
}

// The single-value writers give the error back and leave the old value.
TEST_F(StoreFaults, SingleValueWritersReturnTheErrorAndKeepTheValue) {
  StoreOldState();
  const auto before = faults::RegistrySnapshot();
  for (const char* name : {"DateFormat", "UpdateCheck", "UpdateTime", "UpdateStatus", "LayoutStyle",
                           "FontSize", "ShowIconInTray", "TurnOffOnTop", "TimeStampFmt"}) {
    MemoryRegistryFailChangeAt(0, kAccessDenied);
    EXPECT_EQ(WriteDword(1, kMainKey, name), kAccessDenied) << name;
  }
  MemoryRegistryFailChangeAt(0, 1450);  // ERROR_NO_SYSTEM_RESOURCES
  const uint8_t fileTime[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(WriteLastCheck(fileTime), 1450);
  MemoryRegistryFailChangeAt(-1, 0);
  EXPECT_EQ(faults::Differences(faults::RegistrySnapshot(), before), "");
  // The switch fails one change only: the next write goes through.
  MemoryRegistryFailChangeAt(0, kAccessDenied);
  EXPECT_EQ(WriteDword(7, kMainKey, "FontSize"), kAccessDenied);
  EXPECT_EQ(WriteDword(1, kMainKey, "FontSize"), 0);
  EXPECT_EQ(faults::Differences(faults::RegistrySnapshot(), before),
            std::string(kMainKey) + "\\FontSize;");
  EXPECT_TRUE(gMessages.empty());
}

TEST_F(StoreFaults, LogonStartChangesThatFailAreSilent) {
  StoreOldState();
  const auto before = faults::RegistrySnapshot();
  // Registering again and removing: both refused, the old entry stays.
  MemoryRegistryFailChangeAt(0, kAccessDenied);
  SetLaunchAtStartup(1);
  MemoryRegistryFailChangeAt(0, kAccessDenied);
  SetLaunchAtStartup(0);
  MemoryRegistryFailChangeAt(-1, 0);
  EXPECT_EQ(faults::Differences(faults::RegistrySnapshot(), before), "");
  // Without an entry, a refused registration leaves none.
  MemoryRegistryClear();
  MemoryRegistryFailWrites(kAccessDenied);
  SetLaunchAtStartup(1);
  MemoryRegistryFailWrites(0);
  EXPECT_TRUE(faults::RegistrySnapshot().empty());
  EXPECT_TRUE(gMessages.empty());
}

// A first start whose saving of the defaults fails still shows the default
// clocks; the next start is again a first start and saves them.
TEST_F(StoreFaults, FirstStartWithTheStoreRefusingWrites) {
  MemoryRegistryFailWrites(kAccessDenied);
  ASSERT_EQ(LoadSettings(), 1);
  MemoryRegistryFailWrites(0);
  EXPECT_EQ(Clocks.N, 3);
  const std::string defaults = ClockListText();
  EXPECT_TRUE(faults::RegistrySnapshot().empty());
  EXPECT_TRUE(gMessages.empty());
  FreeZones();
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(ClockListText(), defaults);
  const auto saved = faults::RegistrySnapshot();
  EXPECT_EQ(saved.size(), SaveOrder(3).size());

  // Each write of that first save failing on its own: only it is missing.
  const std::vector<std::string> order = SaveOrder(3);
  for (size_t k = 0; k < order.size(); ++k) {
    MemoryRegistryClear();
    FreeZones();
    MemoryRegistryFailChangeAt(static_cast<int32_t>(k), kAccessDenied);
    ASSERT_EQ(LoadSettings(), 1);
    MemoryRegistryFailChangeAt(-1, 0);
    EXPECT_EQ(ClockListText(), defaults);
    EXPECT_EQ(faults::Differences(faults::RegistrySnapshot(), saved), order[k] + ";");
  }
  EXPECT_TRUE(gMessages.empty());
}

}  // namespace
