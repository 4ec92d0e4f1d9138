// The update check against scripted server answers: its lines, the daily
// rule, the registry values, the balloon; the replies' parsers; AgeText; and
// FetchUrl reading a body handed over in pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../clocks/test_files.h"
#include "clocks/clock_list.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "tz/wall_clock.h"
#include "update/fetch.h"
#include "update/http_script.h"
#include "update/replies.h"
#include "update/sites.h"
#include "update/update_check.h"
#include "update/update_status.h"
#include "update_test_support.h"

namespace {

using updatetest::Recorded;

// 2026-12-08 (a Tuesday), in a local zone of UTC+0 so wall time = UTC.
constexpr UtcInstant k0710 = 1796713800;
constexpr UtcInstant k0810 = 1796717400;
constexpr UtcInstant k0840 = 1796719200;
constexpr UtcInstant kNextDay0810 = 1796803800;

const std::string kQueryStart = std::string(HORLIX_UPDATE_SERVER) + "/cgi-bin/horlix-update.cgi?";

std::vector<std::string> gBalloons;

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MemoryRegistryClear();
    RegistryDeleteTree(kMainKey);
    folder_ = testfiles::FreshFolder("update-check");
    const std::string zones = folder_ + "\\horlixtz.ini";
    testfiles::WriteBytes(zones, "[Version]\r\nDate=2026-11-30T09:15Z\r\n[UTC]\r\nTZ=UTC0\r\n");
    CopyBounded(Paths.zoneFile, sizeof Paths.zoneFile, zones.c_str(), sizeof Paths.zoneFile - 1);
    Settings = DefaultSettings();
    UpdateCheckRun = UpdateCheckState{};
    gBalloons.clear();
    SetUpdateBalloon([](const char* text) { gBalloons.push_back(text); });
    HttpScriptBegin();
    FixWallClock(k0810 + 5, "UTC0");
    list_ = updatetest::RecordingList(&lines_);
  }
  void TearDown() override {
    HttpScriptEnd();
    ReleaseWallClock();
    SetUpdateBalloon(nullptr);
    RegistryDeleteTree(kMainKey);
    MemoryRegistryClear();
    Settings = DefaultSettings();
  }

  // A dialog check with one scripted reply.
  void CheckWith(const std::string& reply) {
    HttpScriptReply(reply.data(), static_cast<uint32_t>(reply.size()));
    CheckForUpdates(true, &list_);
  }

  bool RegistryUntouched() {
    int32_t v = 0;
    uint8_t bytes[8];
    return !updatetest::ReadDwordValue("UpdateStatus", &v) && !updatetest::ReadLastCheck(bytes);
  }

  std::string folder_;
  Recorded lines_;
  ProgressList list_{};
};

const std::vector<std::string> kLinesUpToDone = {
    "Getting latest info from web site...", "Checking for updates at 08:10:05", "...done."};

std::vector<std::string> With(std::vector<std::string> lines, const std::string& last) {
  lines.push_back(last);
  return lines;
}

TEST_F(UpdateCheckTest, EachStatusIsStoredWithItsLinesRegistryAndBalloon) {
  struct Case {
    const char* reply;
    int32_t status;
    const char* balloon;  // null: none
  } cases[] = {
      {"status=0", 0, nullptr},
      {"status=1", 1, "ATTENTION: an updated time zone file is available."},
      {"status=2", 2, "ATTENTION: a newer version of Horlix is available."},
      {"status=2;anything after the digits", 2, "ATTENTION: a newer version of Horlix is available."},
      {"status=01\r\n", 1, "ATTENTION: an updated time zone file is available."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    Settings.UpdateStatus = 7;  // so that 0 must be written, too
    RegistryDeleteTree(kMainKey);
    gBalloons.clear();
    HttpScriptBegin();
    CheckWith(c.reply);
    EXPECT_EQ(lines_.lines, With(kLinesUpToDone, "Update check is complete."));
    EXPECT_EQ(Settings.UpdateStatus, c.status);
    int32_t stored = -1;
    ASSERT_TRUE(updatetest::ReadDwordValue("UpdateStatus", &stored));
    EXPECT_EQ(stored, c.status);
    uint8_t bytes[8];
    ASSERT_TRUE(updatetest::ReadLastCheck(bytes));
    // 2026-12-08T08:10:05 as a FILETIME, the local time taken as UTC.
    EXPECT_EQ(FileTimeFromBytes(bytes), 134411910050000000ull);
    EXPECT_EQ(bytes[0], 134411910050000000ull & 0xFF) << "little-endian";
    EXPECT_EQ(UpdateCheckRun.lastCheckDate, 20261208u);
    EXPECT_FALSE(UpdateCheckRun.automaticCheck);
    if (c.balloon == nullptr) {
      EXPECT_TRUE(gBalloons.empty());
    } else {
      EXPECT_EQ(gBalloons, std::vector<std::string>{c.balloon});
    }
  }
}

TEST_F(UpdateCheckTest, TheQueryCarriesVersionAndZoneDataDate) {
  CheckWith("status=0");
  ASSERT_EQ(HttpScriptRequests(), 1);
  EXPECT_EQ(HttpScriptUrl(0), kQueryStart + "xv=" + std::to_string(HORLIX_VERSION_NUMBER) + "&zd=2026-11-30T09:15Z");
  EXPECT_STREQ(HttpScriptAgent(0), "Horlix");
  EXPECT_EQ(HttpScriptOpenHandles(), 0);
}

TEST_F(UpdateCheckTest, WithoutAZoneDataFileTheQueryCarriesTheDefaultDate) {
  const std::string missing = folder_ + "\\none\\horlixtz.ini";
  CopyBounded(Paths.zoneFile, sizeof Paths.zoneFile, missing.c_str(), sizeof Paths.zoneFile - 1);
  CheckWith("status=0");
  EXPECT_EQ(HttpScriptUrl(0), kQueryStart + "xv=" + std::to_string(HORLIX_VERSION_NUMBER) + "&zd=0000-00-00T00:00Z");
}

TEST_F(UpdateCheckTest, BadRepliesEndInOneErrorLineAndChangeNothing) {
  const std::string long300(300, 'A');
  struct Case {
    std::string reply;
    std::string error;
  } cases[] = {
      {"nothing to see", "ERROR: An error occurred on our web site: nothing to see"},
      {"status=x", "ERROR: An error occurred on our web site: status=x"},
      {"status=", "ERROR: An error occurred on our web site: status="},
      {" status=1", "ERROR: An error occurred on our web site:  status=1"},
      {"STATUS=1", "ERROR: An error occurred on our web site: STATUS=1"},
      {"", "ERROR: An error occurred on our web site: "},
      {"status=10", "ERROR: An invalid status code was returned: 10"},
      {"status=3", "ERROR: An invalid status code was returned: 3"},
      {"status=99999999999", "ERROR: An invalid status code was returned: 2147483647"},
      // 300 bytes are cut to 255 before parsing, and the line to 255 characters.
      {long300, ("ERROR: An error occurred on our web site: " + long300).substr(0, 255)},
      {std::string("<html>404</html>") + std::string(284, '.'),
       ("ERROR: An error occurred on our web site: <html>404</html>" + std::string(284, '.'))
           .substr(0, 255)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    Settings.UpdateStatus = 1;
    UpdateCheckRun.lastCheckDate = 20261207;
    gBalloons.clear();
    HttpScriptBegin();
    CheckWith(c.reply);
    EXPECT_EQ(lines_.lines, With(kLinesUpToDone, c.error));
    EXPECT_EQ(Settings.UpdateStatus, 1);
    EXPECT_EQ(UpdateCheckRun.lastCheckDate, 20261207u);
    EXPECT_TRUE(RegistryUntouched());
    EXPECT_TRUE(gBalloons.empty());
  }
}

TEST_F(UpdateCheckTest, AReplyOf300BytesIsReadAsItsFirst255) {
  // A digit at byte 256 would make "status=" + 249 zeros + "2" valid if read.
  std::string reply = "status=" + std::string(247, '0') + "1" + "5";
  ASSERT_EQ(reply.size(), 256u);
  reply += std::string(44, ' ');
  CheckWith(reply);
  EXPECT_EQ(Settings.UpdateStatus, 1) << "the 256th byte, 5, was not read";
  EXPECT_EQ(lines_.lines.back(), "Update check is complete.");
}

TEST_F(UpdateCheckTest, AFailedFetchShowsItsCodeAndChangesNothing) {
  for (HttpStep step : {kHttpStepSession, kHttpStepRequest, kHttpStepRead}) {
    SCOPED_TRACE(step);
    HttpScriptBegin();
    HttpScriptFailure(step, 12029, "status=1", 3);
    CheckForUpdates(true, &list_);
    EXPECT_EQ(lines_.lines,
              (std::vector<std::string>{"Getting latest info from web site...",
                                        "Checking for updates at 08:10:05",
                                        "ERROR: Failed to connect with web site: code 12029."}));
    EXPECT_EQ(Settings.UpdateStatus, 0);
    EXPECT_EQ(UpdateCheckRun.lastCheckDate, 0u);
    EXPECT_TRUE(RegistryUntouched());
    EXPECT_EQ(HttpScriptOpenHandles(), 0);
  }
  HttpScriptBegin();  // no reply at all: the server is down
  CheckForUpdates(true, &list_);
  EXPECT_EQ(lines_.lines.back(), "ERROR: Failed to connect with web site: code 12029.");
  HttpScriptFailure(kHttpStepRequest, 12007);
  CheckForUpdates(true, &list_);
  EXPECT_EQ(lines_.lines.back(), "ERROR: Failed to connect with web site: code 12007.");
}

// The dialog's status: unknown until a check succeeds, a failure until the
// next success, and the stored status is what a success left.
TEST_F(UpdateCheckTest, TheStatusLineSaysWhatIsKnown) {
  auto line = [] {
    char out[kUpdateStatusLineChars];
    UpdateStatusLine(ShownUpdateStatus(Settings.UpdateStatus), out, sizeof out);
    return std::string(out);
  };
  EXPECT_EQ(line(), "Not checked yet");
  HttpScriptFailure(kHttpStepRequest, 12029);
  CheckForUpdates(true, &list_);
  EXPECT_EQ(line(), "The last check failed: Failed to connect with web site: code 12029.");
  CheckWith("status=1");
  EXPECT_EQ(line(), "ATTENTION: an updated time zone file is available.");
  CheckWith("status=7");
  EXPECT_EQ(line(), "The last check failed: An invalid status code was returned: 7");
  EXPECT_EQ(Settings.UpdateStatus, 1) << "a failure keeps the stored status";
  CheckWith("status=0");
  EXPECT_EQ(line(), "Horlix is up to date");
  char small[8];
  UpdateStatusLine(0, small, sizeof small);
  EXPECT_STREQ(small, "Horlix ");
}

TEST_F(UpdateCheckTest, RegistryWriteFailuresAreIgnored) {
#ifdef _WIN32
  GTEST_SKIP() << "the real registry cannot be made to fail";
#else
  MemoryRegistryFailWrites(5);
  CheckWith("status=2");
  EXPECT_EQ(Settings.UpdateStatus, 2);
  EXPECT_EQ(UpdateCheckRun.lastCheckDate, 20261208u);
  EXPECT_EQ(lines_.lines.back(), "Update check is complete.");
  EXPECT_EQ(gBalloons.size(), 1u);
  MemoryRegistryFailWrites(0);
  EXPECT_TRUE(RegistryUntouched());
#endif
}

TEST_F(UpdateCheckTest, EveryCallClearsTheListAndANullListIsFine) {
  CheckWith("status=0");
  CheckWith("status=0");
  EXPECT_EQ(lines_.clears, 2);
  EXPECT_EQ(lines_.lines.size(), 4u);
  HttpScriptReply("status=2");
  CheckForUpdates(true, nullptr);
  EXPECT_EQ(Settings.UpdateStatus, 2);
}

// The daily form: from UpdateTime on, once a day after a success.
TEST_F(UpdateCheckTest, DailyCheckRunsOnceADayFromUpdateTime) {
  Settings.UpdateTime = 8;
  FixWallClock(k0710, "UTC0");
  HttpScriptReply("status=1");
  CheckForUpdates(false, &list_);
  EXPECT_EQ(lines_.lines, std::vector<std::string>{"Getting latest info from web site..."});
  EXPECT_EQ(HttpScriptRequests(), 0) << "07:10 is before 08:00";
  EXPECT_TRUE(UpdateCheckRun.automaticCheck);
  EXPECT_TRUE(RegistryUntouched());

  FixWallClock(k0810, "UTC0");
  CheckForUpdates(false, &list_);
  EXPECT_EQ(HttpScriptRequests(), 1);
  EXPECT_EQ(Settings.UpdateStatus, 1);
  EXPECT_EQ(lines_.lines.back(), "Update check is complete.");

  FixWallClock(k0840, "UTC0");
  HttpScriptReply("status=2");
  CheckForUpdates(false, &list_);
  EXPECT_EQ(HttpScriptRequests(), 1) << "already checked today";
  EXPECT_EQ(Settings.UpdateStatus, 1);

  CheckForUpdates(true, &list_);
  EXPECT_EQ(HttpScriptRequests(), 2) << "a dialog call always checks";
  EXPECT_FALSE(UpdateCheckRun.automaticCheck);
  HttpScriptReply("status=2");
  CheckForUpdates(true, &list_);
  EXPECT_EQ(HttpScriptRequests(), 3) << "also twice in a minute";

  FixWallClock(kNextDay0810, "UTC0");
  HttpScriptReply("status=0");
  CheckForUpdates(false, &list_);
  EXPECT_EQ(HttpScriptRequests(), 4) << "a new day";
  EXPECT_EQ(UpdateCheckRun.lastCheckDate, 20261209u);
}

TEST_F(UpdateCheckTest, DailyCheckTriesAgainAfterAFailure) {
  Settings.UpdateTime = 8;
  FixWallClock(k0810, "UTC0");
  HttpScriptReply("status=10");
  CheckForUpdates(false, &list_);
  EXPECT_EQ(lines_.lines.back(), "ERROR: An invalid status code was returned: 10");
  FixWallClock(k0840, "UTC0");
  HttpScriptFailure(kHttpStepRequest, 12002);
  CheckForUpdates(false, &list_);
  EXPECT_EQ(HttpScriptRequests(), 2) << "the failure left the date unchanged";
  HttpScriptReply("status=0");
  CheckForUpdates(false, &list_);
  EXPECT_EQ(HttpScriptRequests(), 3);
  CheckForUpdates(false, &list_);
  EXPECT_EQ(HttpScriptRequests(), 3) << "after the success: done for today";
}

TEST_F(UpdateCheckTest, DailyCheckAtHourZeroRunsAtOnceAndTheHourItselfCounts) {
  Settings.UpdateTime = 0;
  FixWallClock(k0710, "UTC0");
  HttpScriptReply("status=0");
  CheckForUpdates(false, nullptr);
  EXPECT_EQ(HttpScriptRequests(), 1);
  Settings.UpdateTime = 8;
  UpdateCheckRun.lastCheckDate = 0;
  FixWallClock(k0810 - 600, "UTC0");  // 08:00:00
  HttpScriptReply("status=0");
  CheckForUpdates(false, nullptr);
  EXPECT_EQ(HttpScriptRequests(), 2);
}

TEST(UpdateStatusText, OnlyZeroToTwoIndexTheTexts) {
  EXPECT_STREQ(UpdateStatusText(0), "Horlix is up to date");
  EXPECT_STREQ(UpdateStatusText(1), "ATTENTION: an updated time zone file is available.");
  EXPECT_STREQ(UpdateStatusText(2), "ATTENTION: a newer version of Horlix is available.");
  for (int32_t hand : {3, 10, -1, 2147483647, -2147483647 - 1}) {
    EXPECT_STREQ(UpdateStatusText(hand), "Horlix is up to date") << hand;
    EXPECT_EQ(ShownUpdateStatus(hand), 0) << hand;
  }
  EXPECT_EQ(ShownUpdateStatus(2), 2);
}

TEST(ParseStatusReply, ReadsTheLeadingDigits) {
  struct Case {
    const char* reply;
    int result;
    uint32_t status;
  } cases[] = {
      {"status=0", 0, 0},     {"status=2", 0, 2},        {"status=12abc", 0, 12},
      {"status=007", 0, 7},   {"status=4294967296", 0, 2147483647},
      {"status=x", -1, 99},   {"status=", -1, 99},       {"status= 1", -1, 99},
      {"status=-1", -1, 99},  {"Status=1", -1, 99},      {"", -1, 99},
      {"xstatus=1", -1, 99},  {"statu", -1, 99},
  };
  for (const Case& c : cases) {
    uint32_t status = 99;
    EXPECT_EQ(ParseStatusReply(c.reply, &status), c.result) << c.reply;
    EXPECT_EQ(status, c.status) << c.reply;
  }
}

TEST(ParseZoneInfoReply, ReadsLikeTheScanfPattern) {
  struct Case {
    const char* reply;
    int result;
    uint32_t crc, size;
  } cases[] = {
      {"crc=cbf43926;size=9;", 0, 0xCBF43926u, 9},
      {"crc=CBF43926;size=9", 0, 0xCBF43926u, 9},
      {"crc=0x1f;size=100;rest", 0, 0x1F, 100},
      {"crc= 1f;size= 7;", 0, 0x1F, 7},
      {"crc=ffffffff;size=2147483647;", 0, 0xFFFFFFFFu, 2147483647u},
      {"crc=1;size=4294967295;", 0, 1, 4294967295u},
      {"crc=1;size=-1;", 0, 1, 4294967295u},
      {"crc=-1;size=3;", 0, 0xFFFFFFFFu, 3},
      {"crc=1;size=4294967296;", 0, 1, 0},     // beyond 32 bits: no match
      {"crc=100000000;size=3;", 0, 0, 0},
      {"crc=zz;size=5;", 0, 0, 0},             // passes the prefix test only
      {"crc=12 ;size=5;", 0, 0x12, 0},
      {"crc=12,size=5;", 0, 0x12, 0},
      {"crc=12;Size=5;size=6", 0, 0x12, 0},
      {"crc=12;", -1, 0, 0},
      {"size=5;crc=12;", -1, 0, 0},
      {"CRC=12;size=5;", -1, 0, 0},
      {"", -1, 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t crc = 77;
    uint32_t size = 77;
    EXPECT_EQ(ParseZoneInfoReply(c.reply, &crc, &size), c.result) << c.reply;
    EXPECT_EQ(crc, c.crc) << c.reply;
    EXPECT_EQ(size, c.size) << c.reply;
  }
}

class AgeTextTest : public ::testing::Test {
 protected:
  void SetUp() override { FixWallClock(k0810, "UTC0"); }
  void TearDown() override { ReleaseWallClock(); }
  // The age of a check `seconds` before now.
  static std::string Age(int64_t seconds, const char* suffix = "") {
    WallClock now{};
    ReadLocalWallClock(&now);
    const uint64_t checked = LocalFileTime(now) - static_cast<uint64_t>(seconds * 10000000);
    char out[64];
    std::memset(out, 'Z', sizeof out);
    AgeText(checked, suffix, out, 32);
    return out;
  }
};

TEST_F(AgeTextTest, ChoosesTheUnitAtEachBoundary) {
  EXPECT_EQ(Age(0), "0 seconds ago");
  EXPECT_EQ(Age(120), "120 seconds ago");
  EXPECT_EQ(Age(121), "2 minutes ago");
  EXPECT_EQ(Age(179), "2 minutes ago");
  EXPECT_EQ(Age(7200), "120 minutes ago");
  EXPECT_EQ(Age(7201), "2 hours ago");
  EXPECT_EQ(Age(172800), "48 hours ago");
  EXPECT_EQ(Age(172801), "2 days ago");
  EXPECT_EQ(Age(3 * 86400), "3 days ago");
  EXPECT_EQ(Age(3 * 86400 + 86399), "3 days ago");
  EXPECT_EQ(Age(-30), "-30 seconds ago") << "a clock set back";
}

TEST_F(AgeTextTest, AppendsTheSuffixWithinThirtyOneCharacters) {
  EXPECT_EQ(Age(5, " (auto)"), "5 seconds ago (auto)");
  const std::string cut = Age(3 * 86400, " (automatic, from the daily timer)");
  EXPECT_EQ(cut, std::string("3 days ago (automatic, from the daily timer)").substr(0, 31));
  EXPECT_EQ(cut.size(), 31u);
}

TEST_F(AgeTextTest, FileTimesOfTheLocalWallClock) {
  WallClock epoch{1970, 1, 4, 1, 0, 0, 0};
  EXPECT_EQ(LocalFileTime(epoch), 116444736000000000ull);
  WallClock start{1601, 1, 1, 1, 0, 0, 0};
  EXPECT_EQ(LocalFileTime(start), 0ull);
  WallClock leap{2024, 2, 4, 29, 23, 59, 59};  // year, month, wday, day, ...

  EXPECT_EQ(LocalFileTime(leap), (1709251199ull + 11644473600ull) * 10000000ull);
  uint8_t bytes[8];
  FileTimeBytes(0x0102030405060708ull, bytes);
  EXPECT_EQ(bytes[0], 0x08);
  EXPECT_EQ(bytes[7], 0x01);
  EXPECT_EQ(FileTimeFromBytes(bytes), 0x0102030405060708ull);
}

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override { HttpScriptBegin(); }
  void TearDown() override { HttpScriptEnd(); }
};

TEST_F(FetchTest, ReadsABodyHandedOverInPiecesUpToTheCount) {
  const std::string body = "crc=0123abcd;size=4096;and some more text beyond";
  for (uint32_t piece : {0u, 1u, 3u, 7u, 64u}) {
    SCOPED_TRACE(piece);
    HttpScriptReply(body.data(), static_cast<uint32_t>(body.size()), piece);
    unsigned char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    uint32_t count = 32;
    ASSERT_EQ(FetchUrl(buffer, &count, "http://h/x"), 0);
    EXPECT_EQ(count, 32u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 32), body.substr(0, 32));
    EXPECT_EQ(buffer[32], '#') << "nothing beyond the count";
    HttpScriptReply(body.data(), static_cast<uint32_t>(body.size()), piece);
    count = 60;
    ASSERT_EQ(FetchUrl(buffer, &count, "http://h/x"), 0);
    EXPECT_EQ(count, body.size()) << "the body ended first";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), body);
  }
  EXPECT_EQ(HttpScriptOpenHandles(), 0);
}

TEST_F(FetchTest, FailuresReturnTheCodeAndCloseEveryHandle) {
  unsigned char buffer[16];
  uint32_t count = 16;
  HttpScriptFailure(kHttpStepSession, 87);
  EXPECT_EQ(FetchUrl(buffer, &count, "http://h/a"), 87);
  EXPECT_EQ(count, 0u);
  HttpScriptFailure(kHttpStepRequest, 12007);
  count = 16;
  EXPECT_EQ(FetchUrl(buffer, &count, "http://h/b"), 12007);
  EXPECT_EQ(count, 0u);
  HttpScriptFailure(kHttpStepRead, 12030, "0123456789", 4);
  count = 16;
  EXPECT_EQ(FetchUrl(buffer, &count, "http://h/c"), 12030);
  EXPECT_EQ(count, 4u) << "what arrived before the failure";
  EXPECT_EQ(HttpScriptOpenHandles(), 0);
  EXPECT_EQ(HttpScriptRequests(), 3);
  EXPECT_STREQ(HttpScriptUrl(2), "http://h/c");
}

TEST(UpdateSites, AddressesFollowTheBuildConfiguration) {
  char out[300];
  UpdateCgiAddress(out, sizeof out);
  EXPECT_EQ(std::string(out), std::string(HORLIX_UPDATE_SERVER) + "/cgi-bin/horlix-update.cgi");
  UpdateWebAddress("/src/horlixtz.ini", out, sizeof out);
  EXPECT_EQ(std::string(out), std::string(HORLIX_WEB_SITE) + "/src/horlixtz.ini");
  UpdateCgiAddress(out, 8);
  EXPECT_EQ(std::string(out), std::string(HORLIX_UPDATE_SERVER).substr(0, 7));
}

}  // namespace
