// Finding and reading the zone data file, and the zone list.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/zone_file.h"
#include "test_files.h"

namespace {

std::vector<std::string> gMessages;
int RecordMessage(const char* text, const char*, MessageKind) {
  gMessages.push_back(text);
  return 1;
}

class ZoneFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testfiles::FreshFolder("zonefile");
    program_ = root_ + "\\Program";
    appData_ = root_ + "\\AppData";
    testfiles::MakeFolder(program_);
    testfiles::MakeFolder(appData_ + "\\Horlix");
    OverrideProgramPaths((program_ + "\\horlix.exe").c_str(), appData_.c_str());
    SetMessageHook(RecordMessage);
    gMessages.clear();
    FreeZones();
    Clocks = ClockList{{}, 0, -1};
  }
  void TearDown() override {
    FreeZones();
    OverrideProgramPaths(nullptr, nullptr);
    SetMessageHook(nullptr);
  }
  std::string root_, program_, appData_;
};

TEST_F(ZoneFileTest, PathsComeFromTheProgramFolder) {
  testfiles::WriteBytes(program_ + "\\horlixtz.ini", "[UTC]\r\nTZ=GMT0\r\n");
  LoadZoneFile();
  EXPECT_EQ(std::string(Paths.programFolder), program_);
  EXPECT_EQ(std::string(Paths.helpFile), program_ + "\\horlix.chm");
  EXPECT_EQ(std::string(Paths.alarmSound), program_ + "\\horlix-alarm1.wav");
  EXPECT_EQ(std::string(Paths.updater), program_ + "\\horlixupdater.exe");
  EXPECT_EQ(std::string(Paths.appDataFolder), appData_);
  EXPECT_EQ(std::string(Paths.zoneFile), program_ + "\\horlixtz.ini");
  EXPECT_TRUE(gMessages.empty());
}

TEST_F(ZoneFileTest, ApplicationDataFileComesFirst) {
  testfiles::WriteBytes(program_ + "\\horlixtz.ini", "[Zone/P]\r\nTZ=PPP-1\r\n");
  testfiles::WriteBytes(appData_ + "\\Horlix\\horlixtz.ini", "[Zone/A]\r\nTZ=AAA-2\r\n");
  LoadZoneFile();
  EXPECT_EQ(std::string(Paths.zoneFile), appData_ + "\\Horlix\\horlixtz.ini");
  ASSERT_NE(FindZone("Zone/A"), nullptr);
  EXPECT_EQ(FindZone("Zone/P"), nullptr);
}

TEST_F(ZoneFileTest, EmptyApplicationDataFileIsSkipped) {
  testfiles::WriteBytes(program_ + "\\horlixtz.ini", "[Zone/P]\r\nTZ=PPP-1\r\n");
  testfiles::WriteBytes(appData_ + "\\Horlix\\horlixtz.ini", "");
  LoadZoneFile();
  EXPECT_EQ(std::string(Paths.zoneFile), program_ + "\\horlixtz.ini");
  EXPECT_NE(FindZone("Zone/P"), nullptr);
}

// A folder in the place of the file does not open as one: it is skipped like
// a missing file, in either place. (Natively a folder opened for reading
// used to count as usable, with a size of 2^63 - 1 that overran the buffer
// for the section names.)
TEST_F(ZoneFileTest, FolderInThePlaceOfTheFileIsSkipped) {
  testfiles::WriteBytes(program_ + "\\horlixtz.ini", "[Zone/P]\r\nTZ=PPP-1\r\n");
  testfiles::MakeFolder(appData_ + "\\Horlix\\horlixtz.ini");
  LoadZoneFile();
  EXPECT_EQ(std::string(Paths.zoneFile), program_ + "\\horlixtz.ini");
  EXPECT_NE(FindZone("Zone/P"), nullptr);
  EXPECT_TRUE(gMessages.empty());

  FreeZones();
  std::filesystem::remove(testfiles::Native(program_ + "\\horlixtz.ini"));
  testfiles::MakeFolder(program_ + "\\horlixtz.ini");
  LoadZoneFile();
  ASSERT_EQ(gMessages.size(), 1u);
  EXPECT_EQ(gMessages[0], kMissingZoneFileText);
  EXPECT_EQ(ZoneList, nullptr);
}

TEST_F(ZoneFileTest, NoApplicationDataFolderSkipsOnlyTheFirstCandidate) {
  OverrideProgramPaths((program_ + "\\horlix.exe").c_str(), "");
  testfiles::WriteBytes(program_ + "\\horlixtz.ini", "[Zone/P]\r\nTZ=PPP-1\r\n");
  LoadZoneFile();
  EXPECT_NE(FindZone("Zone/P"), nullptr);
  EXPECT_TRUE(gMessages.empty());
}

TEST_F(ZoneFileTest, MissingFileWarnsAndLeavesTheListEmpty) {
  Clocks.N = 1;
  Clocks.clocks[0].Type = kClockZone;
  CopyBounded(Clocks.clocks[0].Id, sizeof Clocks.clocks[0].Id, "Zone/P", 254);
  CopyBounded(Clocks.clocks[0].Tz, sizeof Clocks.clocks[0].Tz, "KEPT-3", 254);
  LoadZoneFile();
  ASSERT_EQ(gMessages.size(), 1u);
  EXPECT_EQ(gMessages[0],
            "Cannot find the time zone data file 'horlixtz.ini'.\r\n"
            "The times shown may be wrong. Please re-install properly.");
  EXPECT_EQ(ZoneList, nullptr);
  EXPECT_EQ(std::string(Paths.zoneFile), program_ + "\\horlixtz.ini");
  EXPECT_STREQ(Clocks.clocks[0].Tz, "KEPT-3");
}

TEST_F(ZoneFileTest, ReadsZonesAndRefreshesZoneClocks) {
  const std::string longRule(300, 'R');
  testfiles::WriteBytes(program_ + "\\horlixtz.ini",
                        "; zone data\r\n"
                        "[Version]\r\nDate=2026-12-01T00:00Z\r\n"
                        "[Australia/Perth]\r\nTZ=AWST-8\r\n"
                        "[No/Rule]\r\nTZ=\r\n"
                        "[No/Key]\r\nOther=1\r\n"
                        "[Long/Rule]\r\nTZ=" + longRule + "\r\n"
                        "[Europe/Paris]\r\nTZ = CET-1CEST,M3.5.0,M10.5.0/3 \r\n"
                        "[Case/Zone]\r\nTZ=UPPER-1\r\n"
                        "[case/zone]\r\nTZ=lower-2\r\n");
  Clocks.N = 4;
  const struct {
    int type;
    const char* id;
    const char* tz;
  } clocks[] = {{kClockZone, "Australia/Perth", "OLD-1"},
                {kClockZone, "ERROR", "STORED-5"},
                {kClockUtc, "Europe/Paris", "GMT0"},
                {kClockZone, "Long/Rule", ""}};
  for (int i = 0; i < 4; ++i) {
    Clocks.clocks[i].Type = clocks[i].type;
    CopyBounded(Clocks.clocks[i].Id, 256, clocks[i].id, 254);
    CopyBounded(Clocks.clocks[i].Tz, 256, clocks[i].tz, 254);
  }
  LoadZoneFile();
  std::vector<std::string> names;
  for (ZoneEntry* e = ZoneList; e != nullptr; e = e->next) names.push_back(e->name);
  // Head first, the reverse of the file; sections without a TZ value are not zones.
  EXPECT_EQ(names, (std::vector<std::string>{"case/zone", "Case/Zone", "Europe/Paris",
                                             "Long/Rule", "Australia/Perth"}));
  EXPECT_STREQ(FindZone("Europe/Paris")->tz, "CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(std::strlen(FindZone("Long/Rule")->tz), 254u);
  EXPECT_EQ(FindZone("europe/paris"), nullptr);  // names compare byte for byte
  EXPECT_STREQ(FindZone("Case/Zone")->tz, "UPPER-1");
  EXPECT_STREQ(Clocks.clocks[0].Tz, "AWST-8");
  EXPECT_STREQ(Clocks.clocks[1].Tz, "STORED-5");
  EXPECT_STREQ(Clocks.clocks[2].Tz, "GMT0");  // only zone clocks are refreshed
  EXPECT_EQ(std::strlen(Clocks.clocks[3].Tz), 254u);
}

TEST_F(ZoneFileTest, DuplicateNamesFindTheLastAdded) {
  AddZone("Dup/Zone", "ONE-1");
  AddZone("Dup/Zone", "TWO-2");
  ASSERT_NE(FindZone("Dup/Zone"), nullptr);
  EXPECT_STREQ(FindZone("Dup/Zone")->tz, "TWO-2");
  FreeZones();
  EXPECT_EQ(ZoneList, nullptr);
  EXPECT_EQ(FindZone("Dup/Zone"), nullptr);
  FreeZones();  // an empty list frees nothing
}

#ifdef _WIN32
// The real lookup through SHFOLDER.DLL finds the roaming profile folder.
TEST(AppDataFolder, RealLookupSucceeds) {
  OverrideProgramPaths(nullptr, nullptr);
  ASSERT_EQ(GetAppDataFolder(), 0);
  const std::string folder = Paths.appDataFolder;
  EXPECT_GT(folder.size(), 3u);
  EXPECT_NE(folder.find(':'), std::string::npos);
  char exe[kPathChars];
  EXPECT_GT(ProgramFilePath(exe, sizeof exe), 0u);
  EXPECT_NE(std::string(exe).find("clocks_store_test.exe"), std::string::npos);
}
#endif

}  // namespace
