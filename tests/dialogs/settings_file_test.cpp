// The settings export file: its layout, the checks of an import and what an
// import leaves in the settings store. Natively the file is read by the
// profile adapter's twin and the store is the in-memory registry; under Wine
// the file cases run against the real profile functions. The store cases run
// natively only: under Wine they would share the prefix's registry with the
// other tests that run at the same time.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "../clocks/test_files.h"
#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/profile.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "ui/dialogs/settings_file.h"

namespace {

constexpr const char* kPage = "http://horlix.example/horlix/";

std::string ReadAll(const std::string& path) {
  std::ifstream in(testfiles::Native(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

ClockRecord MakeClock(int32_t type, int32_t color, int32_t format, int32_t wd, int32_t width,
                      const char* id, const char* title, const char* tz) {
  ClockRecord c{};
  c.Type = type;
  c.Color = color;
  c.Format = format;
  c.Wd = wd;
  c.Width = width;
  CopyBounded(c.Id, sizeof c.Id, id, kZoneTextMaxLen);
  CopyBounded(c.Title, sizeof c.Title, title, kTitleMaxLen);
  CopyBounded(c.Tz, sizeof c.Tz, tz, kZoneTextMaxLen);
  return c;
}

// Three clocks that differ in every exported field.
void UseThreeClocks() {
  Clocks = ClockList{};
  Clocks.clocks[0] = MakeClock(kClockLocal, kColorLightBlue, 0, 0, 71, "Local", "Home", "");
  Clocks.clocks[1] = MakeClock(kClockZone, kColorRed, 3, 1, 95, "America/St_Johns",
                               "St. John's", "NST3:30NDT,M3.2.0,M11.1.0");
  Clocks.clocks[2] = MakeClock(kClockUtc, kColorWhite, 2, 0, 80, "UTC", "Zulu", "GMT0");
  Clocks.N = 3;
  Clocks.SelectedClock = 1;
}

void UseSettings() {
  Settings = DefaultSettings();
  Settings.X = -40;
  Settings.Y = 12;
  Settings.DateFormat = 2;
  Settings.UpdateCheck = 1;
  Settings.UpdateTime = 17;
  Settings.UpdateStatus = 2;
  Settings.LayoutStyle = 1;
  Settings.FontSize = 2;
  Settings.ShowIconInTray = 1;
  Settings.TurnOffOnTop = 1;
  Settings.TimeStampFmt = 4;
  Settings.LaunchAtStartup = 1;
}

const WallClock kCreated = {2026, 3, 2, 9, 7, 5, 4};

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testfiles::FreshFolder("settings-file");
    file_ = folder_ + "\\horlix-settings.hrlx";
  }
  void TearDown() override {
    for (ClockRecord& c : Clocks.clocks) DestroyZoneState(&c.zone);
    Clocks = ClockList{};
    Settings = DefaultSettings();
  }
  // A file of the exported form with the given main section lines and
  // clock sections.
  void WriteFile(const std::string& main, const std::string& clocks) {
    testfiles::WriteBytes(file_, "; comment\r\n\r\n[Horlix]\r\n" + main + clocks);
  }
  static std::string ClockSection(int i, const std::string& id, const std::string& title) {
    std::string s = "[";
    s += std::to_string(i);
    s += "]\r\nColor=255\r\nFormat=1\r\nType=2\r\nWd=0\r\nWidth=80\r\n";
    if (!id.empty()) {
      s += "Id=";
      s += id;
      s += "\r\n";
    }
    s += "Title=";
    s += title;
    s += "\r\nTz=AWST-8\r\n";
    return s;
  }
  std::string folder_;
  std::string file_;
};

TEST_F(SettingsFileTest, ExportWritesCommentsThenKeysInTheirOrder) {
  UseSettings();
  UseThreeClocks();
  ASSERT_EQ(WriteSettingsFile(file_.c_str(), kPage, kCreated), kFileWritten);
  const std::string text = ReadAll(file_);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "lines end with CR LF";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ASSERT_EQ(text[i - 1], '\r') << "bare LF at " << i;
    }
  }
  std::vector<std::string> lines = Lines(text);
  // Empty lines between sections are free; drop them after the header.
  std::vector<std::string> content(lines.begin(), lines.begin() + 4);
  for (size_t i = 4; i < lines.size(); ++i) {
    if (!lines[i].empty()) content.push_back(lines[i]);
  }
  const std::vector<std::string> expected = {
      "; Exported settings for Horlix world time utility",
      "; <http://horlix.example/horlix/>",
      "; To restore use Right-click > Preferences > Import",
      "",
      "[Horlix]",
      "Version=" + std::to_string(HORLIX_VERSION_NUMBER),
      "Created=2026-03-09T07:05:04Z",
      "URL=http://horlix.example/horlix/",
      "Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371",
      "DateFormat=2",
      "UpdateCheck=1",
      "UpdateTime=17",
      "UpdateStatus=2",
      "LayoutStyle=1",
      "TimeStampFmt=4",
      "FontSize=2",
      "ShowIconInTray=1",
      "TurnOffOnTop=1",
      "X=-40",
      "Y=12",
      "AutoStart=1",
      "N=3",
      "[0]", "Color=16776960", "Format=0", "Type=0", "Wd=0", "Width=71", "Id=Local",
      "Title=Home", "Tz=",
      "[1]", "Color=255", "Format=3", "Type=2", "Wd=1", "Width=95", "Id=America/St_Johns",
      "Title=St. John's", "Tz=NST3:30NDT,M3.2.0,M11.1.0",
      "[2]", "Color=16777215", "Format=2", "Type=1", "Wd=0", "Width=80", "Id=UTC",
      "Title=Zulu", "Tz=GMT0",
  };
  EXPECT_EQ(content, expected);
}

TEST_F(SettingsFileTest, ExportReplacesAnOldFile) {
  testfiles::WriteBytes(file_, std::string(5000, 'x') + "\r\n[9]\r\nId=Old\r\n");
  UseSettings();
  UseThreeClocks();
  ASSERT_EQ(WriteSettingsFile(file_.c_str(), kPage, kCreated), kFileWritten);
  const std::string text = ReadAll(file_);
  EXPECT_EQ(text.find("xxx"), std::string::npos);
  EXPECT_EQ(text.find("[9]"), std::string::npos);
  EXPECT_EQ(text.rfind("Tz=GMT0\r\n"), text.size() - 9) << "the file ends with the last clock";
}

TEST_F(SettingsFileTest, ExportToAMissingFolderIsNotCreated) {
  UseThreeClocks();
  const std::string path = folder_ + "\\no such folder\\x.hrlx";
  EXPECT_EQ(WriteSettingsFile(path.c_str(), kPage, kCreated), kFileNotCreated);
}

TEST_F(SettingsFileTest, ExportedFileReadsBackThroughTheProfileFunctions) {
  UseSettings();
  UseThreeClocks();
  ASSERT_EQ(WriteSettingsFile(file_.c_str(), kPage, kCreated), kFileWritten);
  EXPECT_EQ(ProfileInt(file_.c_str(), "Horlix", "X", 0), -40);
  EXPECT_EQ(ProfileInt(file_.c_str(), "Horlix", "N", 0), 3);
  EXPECT_EQ(ProfileInt(file_.c_str(), "0", "Color", 0), 0xFFFF00);
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  ASSERT_EQ(imported.N, 3);
  for (int i = 0; i < 3; ++i) {
    const ClockRecord& c = Clocks.clocks[i];
    const ImportedClock& r = imported.clocks[i];
    EXPECT_EQ(r.Color, c.Color) << i;
    EXPECT_EQ(r.Format, c.Format) << i;
    EXPECT_EQ(r.Type, c.Type) << i;
    EXPECT_EQ(r.Wd, c.Wd) << i;
    EXPECT_EQ(r.Width, c.Width) << i;
    EXPECT_STREQ(r.Id, c.Id) << i;
    EXPECT_STREQ(r.Title, c.Title) << i;
    EXPECT_STREQ(r.Tz, c.Tz) << i;
  }
}

struct RejectCase {
  const char* name;
  std::string main;
  int clocks;      // clock sections written, 0..2
  bool secondHasId;
};

TEST_F(SettingsFileTest, InvalidFilesAreRejected) {
  const std::string guid = "Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\n";
  const RejectCase cases[] = {
      {"no Guid", "N=1\r\n", 1, true},
      {"empty Guid", "Guid=\r\nN=1\r\n", 1, true},
      {"Guid in lower case", "Guid=7d3a91c4-2e6b-4f08-9c15-a4b2e0d6f371\r\nN=1\r\n", 1, true},
      {"Guid with a character more", "Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F3712\r\nN=1\r\n", 1,
       true},
      {"Guid in braces", "Guid={7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371}\r\nN=1\r\n", 1, true},
      {"no N", guid, 1, true},
      {"N of 0", guid + "N=0\r\n", 1, true},
      {"N of 65", guid + "N=65\r\n", 2, true},
      {"N of -1", guid + "N=-1\r\n", 1, true},
      {"N not a number", guid + "N=two\r\n", 2, true},
      {"second clock without Id", guid + "N=2\r\n", 2, false},
      {"more clocks than sections", guid + "N=3\r\n", 2, true},
  };
  for (const RejectCase& c : cases) {
    std::string sections;
    if (c.clocks >= 1) sections += ClockSection(0, "Europe/Rome", "Rome");
    if (c.clocks >= 2) sections += ClockSection(1, c.secondHasId ? "Asia/Tokyo" : "", "Tokyo");
    WriteFile(c.main, sections);
    ImportedSettings imported{};
    EXPECT_EQ(ReadSettingsFile(file_.c_str(), &imported), -1) << c.name;
  }
  ImportedSettings imported{};
  const std::string missing = folder_ + "\\missing.hrlx";
  EXPECT_EQ(ReadSettingsFile(missing.c_str(), &imported), -1) << "a missing file";
}

TEST_F(SettingsFileTest, AnEmptyIdIsMissing) {
  WriteFile("Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=1\r\n", ClockSection(0, "", "x") +
                                                                      "Id=\r\n");
  ImportedSettings imported{};
  EXPECT_EQ(ReadSettingsFile(file_.c_str(), &imported), -1);
}

TEST_F(SettingsFileTest, SixtyFourClocksAreAccepted) {
  std::string sections;
  for (int i = 0; i < 64; ++i) sections += ClockSection(i, "Zone/" + std::to_string(i), "T");
  WriteFile("Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=64\r\n", sections);
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  EXPECT_EQ(imported.N, 64);
  EXPECT_STREQ(imported.clocks[63].Id, "Zone/63");
  EXPECT_EQ(imported.clocks[63].Color, 255);
}

TEST_F(SettingsFileTest, MissingNumbersReadAsZero) {
  WriteFile("Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=1\r\n", "[0]\r\nId=Local\r\n");
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  const ImportedClock& c = imported.clocks[0];
  EXPECT_EQ(c.Color, 0);
  EXPECT_EQ(c.Format, 0);
  EXPECT_EQ(c.Type, 0);
  EXPECT_EQ(c.Wd, 0);
  EXPECT_EQ(c.Width, 0);
  EXPECT_STREQ(c.Title, "");
  EXPECT_STREQ(c.Tz, "");
}

// What an import keeps must be what the registry reader gives back after the
// restart: titles of at most 19 characters, Id and Tz of at most 254.
TEST_F(SettingsFileTest, LongTextsAreCutToWhatTheStoreReadsBack) {
  const std::string title20(20, 't');
  const std::string title30 = "abcdefghijklmnopqrstuvwxyz1234";
  const std::string long255(255, 'i');
  WriteFile("Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=2\r\n",
            "[0]\r\nId=" + long255 + "\r\nTitle=" + title20 + "\r\nTz=" + std::string(255, 'z') +
                "\r\n[1]\r\nId=" + std::string(400, 'j') + "\r\nTitle=" + title30 + "\r\n");
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  EXPECT_EQ(std::string(imported.clocks[0].Title), std::string(19, 't'));
  EXPECT_EQ(std::string(imported.clocks[1].Title), title30.substr(0, 19));
  EXPECT_EQ(std::string(imported.clocks[0].Id), std::string(254, 'i'));
  EXPECT_EQ(std::string(imported.clocks[0].Tz), std::string(254, 'z'));
  EXPECT_EQ(std::string(imported.clocks[1].Id), std::string(254, 'j'));
}

ImportedSettings Titles(const std::vector<std::string>& titles) {
  ImportedSettings s{};
  s.N = static_cast<int32_t>(titles.size());
  for (size_t i = 0; i < titles.size(); ++i) {
    CopyBounded(s.clocks[i].Title, sizeof s.clocks[i].Title, titles[i].c_str(), kTitleMaxLen);
  }
  return s;
}

TEST_F(SettingsFileTest, QuestionListsTheTitles) {
  char text[kImportQuestionChars];
  ComposeImportQuestion(Titles({"Home", "St. John's", "Zulu"}), text, sizeof text);
  EXPECT_STREQ(text,
               "The new settings contain 3 clocks as follows:\rHome\rSt. John's\rZulu\r"
               "\rDo you want to change your settings?");
}

TEST_F(SettingsFileTest, LongQuestionIsCutButKeepsItsQuestion) {
  std::vector<std::string> titles;
  for (int i = 0; i < 64; ++i) titles.push_back("Clock number " + std::to_string(100000 + i));
  char text[kImportQuestionChars];
  ComposeImportQuestion(Titles(titles), text, sizeof text);
  const std::string s = text;
  EXPECT_EQ(s.size(), kImportQuestionChars - 1);
  EXPECT_EQ(s.rfind("The new settings contain 64 clocks as follows:\rClock number 100000\r", 0),
            0u);
  const std::string tail = "\rDo you want to change your settings?";
  EXPECT_EQ(s.substr(s.size() - tail.size()), tail);
  EXPECT_EQ(s.find("Clock number 100063"), std::string::npos) << "the last titles do not fit";

  char small[40];
  ComposeImportQuestion(Titles({"A"}), small, sizeof small);
  EXPECT_EQ(std::strlen(small), sizeof small - 1);
}

#ifndef _WIN32

std::string ClockKey(int i) { return std::string(kMainKey) + "\\" + std::to_string(i); }

bool GetDword(const std::string& key, const char* name, int32_t* value) {
  uint32_t type = 0;
  uint32_t size = sizeof *value;
  return RegistryRead(key.c_str(), name, &type, value, &size) == 0 && type == kRegDword;
}

int32_t Dword(const std::string& key, const char* name) {
  int32_t v = -999;
  EXPECT_TRUE(GetDword(key, name, &v)) << key << " " << name;
  return v;
}

bool HasValue(const std::string& key, const char* name) {
  char buffer[600];
  uint32_t type = 0;
  uint32_t size = sizeof buffer;
  return RegistryRead(key.c_str(), name, &type, buffer, &size) == 0;
}

int gMessages = 0;
int CountMessage(const char*, const char*, MessageKind) {
  ++gMessages;
  return 1;
}

class ImportTest : public SettingsFileTest {
 protected:
  void SetUp() override {
    SettingsFileTest::SetUp();
    MemoryRegistryClear();
    OverrideProgramPaths((folder_ + "\\horlix.exe").c_str(), "");
    OverrideScreenSize(1000, 700);
    SetMessageHook(CountMessage);
    gMessages = 0;
  }
  void TearDown() override {
    FreeZones();
    MemoryRegistryClear();
    OverrideProgramPaths(nullptr, nullptr);
    OverrideScreenSize(0, 0);
    SetMessageHook(nullptr);
    SettingsFileTest::TearDown();
  }
  // Exports three clocks and settings, then replaces everything in memory
  // and in the store by something else.
  void ExportThenChangeEverything() {
    UseSettings();
    UseThreeClocks();
    ASSERT_EQ(WriteSettingsFile(file_.c_str(), kPage, kCreated), kFileWritten);
    Settings = DefaultSettings();
    Settings.X = 300;
    Settings.Y = 40;
    for (const char* name : {"DateFormat", "UpdateTime", "LayoutStyle", "FontSize",
                             "TimeStampFmt", "ShowIconInTray", "UpdateCheck", "UpdateStatus",
                             "TurnOffOnTop"}) {
      WriteDword(9, kMainKey, name);
    }
    SetLaunchAtStartup(0);
    Clocks = ClockList{};
    for (int i = 0; i < 5; ++i) {
      Clocks.clocks[i] = MakeClock(kClockZone, kColorGreen, 1, 0, 80, "Asia/Tokyo", "Tokyo", "JST-9");
      Clocks.clocks[i].zone = CreateZoneState();
    }
    Clocks.N = 5;
    Clocks.SelectedClock = 4;
  }
};

TEST_F(ImportTest, ExportThenImportRestoresClocksAndTheSixSettings) {
  ExportThenChangeEverything();
  ZoneState* kept0 = Clocks.clocks[0].zone;
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  ApplyImportedSettings(file_.c_str(), imported);

  EXPECT_EQ(Dword(kMainKey, "DateFormat"), 2);
  EXPECT_EQ(Dword(kMainKey, "UpdateTime"), 17);
  EXPECT_EQ(Dword(kMainKey, "LayoutStyle"), 1);
  EXPECT_EQ(Dword(kMainKey, "FontSize"), 2);
  EXPECT_EQ(Dword(kMainKey, "TimeStampFmt"), 4);
  EXPECT_EQ(Dword(kMainKey, "ShowIconInTray"), 1);
  // Values the import does not take keep what the store had.
  EXPECT_EQ(Dword(kMainKey, "UpdateCheck"), 9);
  EXPECT_EQ(Dword(kMainKey, "UpdateStatus"), 9);
  EXPECT_EQ(Dword(kMainKey, "TurnOffOnTop"), 9);
  // The running window's position, not the file's, is saved.
  EXPECT_EQ(Dword(kMainKey, "X"), 300);
  EXPECT_EQ(Dword(kMainKey, "Y"), 40);
  EXPECT_TRUE(HasValue(kRunKey, kRunValue)) << "AutoStart=1 registers the program";

  // The clock list in memory and in the store.
  EXPECT_EQ(Clocks.N, 3);
  EXPECT_EQ(Clocks.clocks[0].zone, kept0) << "a clock that stays keeps its zone state";
  EXPECT_EQ(Clocks.clocks[3].zone, nullptr) << "dropped clocks release their zone states";
  EXPECT_EQ(Clocks.clocks[4].zone, nullptr);
  EXPECT_EQ(Clocks.SelectedClock, -1) << "the selection no longer names a clock";
  EXPECT_EQ(Dword(kMainKey, "N"), 3);
  EXPECT_EQ(Dword(ClockKey(1), "Color"), kColorRed);

  // What the restarted program reads.
  for (ClockRecord& c : Clocks.clocks) DestroyZoneState(&c.zone);
  Clocks = ClockList{};
  ASSERT_EQ(LoadSettings(), 1);
  ClockList expected{};
  {
    const ClockList keep = Clocks;
    UseThreeClocks();
    expected = Clocks;
    Clocks = keep;
  }
  ASSERT_EQ(Clocks.N, 3);
  for (int i = 0; i < 3; ++i) {
    const ClockRecord& got = Clocks.clocks[i];
    const ClockRecord& want = expected.clocks[i];
    EXPECT_EQ(got.Type, want.Type) << i;
    EXPECT_EQ(got.Color, want.Color) << i;
    EXPECT_EQ(got.Format, want.Format) << i;
    EXPECT_EQ(got.Wd, want.Wd) << i;
    // The store reads any width of 80 or more as 80; the layout sets it anyway.
    EXPECT_EQ(got.Width, want.Width < 80 ? want.Width : 80) << i;
    EXPECT_STREQ(got.Id, want.Id) << i;
    EXPECT_STREQ(got.Title, want.Title) << i;
  }
  EXPECT_EQ(Settings.DateFormat, 2);
  EXPECT_EQ(Settings.UpdateTime, 17);
  EXPECT_EQ(Settings.LayoutStyle, 1);
  EXPECT_EQ(Settings.FontSize, 2);
  EXPECT_EQ(Settings.TimeStampFmt, 4);
  EXPECT_EQ(Settings.ShowIconInTray, 1);
  EXPECT_EQ(Settings.LaunchAtStartup, 1);
}

// Working hours other than the default travel through the file to the store
// and back; out-of-range ones in a file are ignored one by one.
TEST_F(ImportTest, WorkingHoursTravelThroughTheFile) {
  UseSettings();
  UseThreeClocks();
  SetWorkHours(&Clocks.clocks[1], 7 * 60, 15 * 60, 0x1F);  // Sunday to Thursday
  SetWorkHours(&Clocks.clocks[2], 22 * 60, 6 * 60, 0x3E);  // overnight
  ASSERT_EQ(WriteSettingsFile(file_.c_str(), kPage, kCreated), kFileWritten);
  const std::string text = ReadAll(file_);
  EXPECT_NE(text.find("Tz=NST3:30NDT,M3.2.0,M11.1.0\r\nWorkStart=420\r\nWorkEnd=900\r\nWorkDays=31\r\n"),
            std::string::npos) << text;
  EXPECT_NE(text.find("Tz=GMT0\r\nWorkStart=1320\r\nWorkEnd=360\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("[0]\r\nColor=16776960\r\nFormat=0\r\nType=0\r\nWd=0\r\nWidth=71\r\nId=Local\r\n"
                      "Title=Home\r\nTz=\r\nWork"), std::string::npos) << "default hours write no keys";
  ProfileWriteString(file_.c_str(), "0", "WorkStart", "1440");
  ProfileWriteString(file_.c_str(), "0", "WorkEnd", "600");
  ProfileWriteString(file_.c_str(), "0", "WorkDays", "128");
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  Clocks = ClockList{};
  Clocks.N = 1;
  ApplyImportedSettings(file_.c_str(), imported);
  Clocks = ClockList{};
  ASSERT_EQ(LoadSettings(), 1);
  ASSERT_EQ(Clocks.N, 3);
  const int32_t want[3][3] = {{540, 600, 0x3E}, {420, 900, 0x1F}, {1320, 360, 0x3E}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Clocks.clocks[i].WorkStart, want[i][0]) << i;
    EXPECT_EQ(Clocks.clocks[i].WorkEnd, want[i][1]) << i;
    EXPECT_EQ(Clocks.clocks[i].WorkDays, want[i][2]) << i;
  }
  EXPECT_STREQ(Clocks.clocks[0].Title, "Home") << "nothing else of the clock is lost";
  EXPECT_FALSE(HasValue(ClockKey(0), "WorkStart")) << "a default keeps no value";
  DestroyClockZoneStates();
}

TEST_F(ImportTest, AutoStartOfZeroOrMissingRemovesTheLogonStart) {
  for (const char* autoStart : {"AutoStart=0\r\n", ""}) {
    SetLaunchAtStartup(1);
    ASSERT_TRUE(HasValue(kRunKey, kRunValue));
    WriteFile(std::string("Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=1\r\n") + autoStart,
              "[0]\r\nId=Local\r\n");
    ImportedSettings imported{};
    ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
    ApplyImportedSettings(file_.c_str(), imported);
    EXPECT_FALSE(HasValue(kRunKey, kRunValue)) << "'" << autoStart << "'";
  }
}

TEST_F(ImportTest, KeysMissingFromTheFileWriteZero) {
  WriteDword(2, kMainKey, "DateFormat");
  WriteDword(3, kMainKey, "TimeStampFmt");
  WriteFile("Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=1\r\n", "[0]\r\nId=Local\r\n");
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  ApplyImportedSettings(file_.c_str(), imported);
  EXPECT_EQ(Dword(kMainKey, "DateFormat"), 0);
  EXPECT_EQ(Dword(kMainKey, "TimeStampFmt"), 0);
}

TEST_F(ImportTest, LongTitleAndIdComeBackAfterTheRestart) {
  WriteFile("Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=2\r\n",
            "[0]\r\nId=" + std::string(255, 'i') + "\r\nTitle=" + std::string(20, 't') +
                "\r\nType=0\r\nTz=" + std::string(255, 'z') +
                "\r\n[1]\r\nId=UTC\r\nType=1\r\nTitle=" + std::string(25, 'u') + "\r\n");
  ImportedSettings imported{};
  ASSERT_EQ(ReadSettingsFile(file_.c_str(), &imported), 0);
  ApplyImportedSettings(file_.c_str(), imported);
  Clocks = ClockList{};
  ASSERT_EQ(LoadSettings(), 1);
  ASSERT_EQ(Clocks.N, 2);
  EXPECT_EQ(std::string(Clocks.clocks[0].Title), std::string(19, 't')) << "not \"???\"";
  EXPECT_EQ(std::string(Clocks.clocks[1].Title), std::string(19, 'u'));
  EXPECT_EQ(std::string(Clocks.clocks[0].Id), std::string(254, 'i')) << "not \"ERROR\"";
  EXPECT_EQ(std::string(Clocks.clocks[0].Tz), std::string(254, 'z')) << "not empty";
}

#endif  // !_WIN32

}  // namespace
