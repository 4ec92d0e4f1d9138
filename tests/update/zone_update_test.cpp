// Installing a zone data file: every step's line, each failure with its
// message and what stays on disk, the backup and its name; the CRC-32; and
// the random installer name.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "../clocks/test_files.h"
#include "clocks/desktop.h"
#include "clocks/zone_file.h"
#include "tz/wall_clock.h"
#include "update/file_ops.h"
#include "update/http_script.h"
#include "update/sites.h"
#include "update/upgrade.h"
#include "update/zone_update.h"
#include "update_test_support.h"

namespace {

using updatetest::Recorded;

constexpr UtcInstant k0810 = 1796717400;  // 2026-12-08T08:10:00, local = UTC here

const std::string kNewFile =
    "[Version]\r\nDate=2026-12-01T00:00Z\r\n[Europe/Berlin]\r\nTZ=CET-1CEST,M3.5.0,M10.5.0/3\r\n";
const std::string kOldFile = "[Version]\r\nDate=2025-01-01T00:00Z\r\n";

std::string Slurp(const std::string& path) {
  std::ifstream in(testfiles::Native(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  return std::filesystem::exists(testfiles::Native(path));
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  if (!Exists(folder)) return names;
  for (const auto& e : std::filesystem::directory_iterator(testfiles::Native(folder))) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

uint32_t CrcOf(const std::string& bytes) {
  return Crc32Update(0, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

class ZoneUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testfiles::FreshFolder("zone-update");
    appData_ = root_ + "\\AppData";
    temp_ = root_ + "\\Temp";
    testfiles::MakeFolder(appData_);
    testfiles::MakeFolder(temp_);
    OverrideProgramPaths(nullptr, appData_.c_str());
    FileOpsOverrideTempFolder((temp_ + "\\").c_str());
    FileOpsReset();
    HttpScriptBegin();
    FixWallClock(k0810 + 5, "UTC0");
    list_ = updatetest::RecordingList(&lines_);
    folder_ = appData_ + "\\Horlix";
    target_ = folder_ + "\\horlixtz.ini";
    backup_ = folder_ + "\\_horlixtz.ini-20261208T081005.back";
  }
  void TearDown() override {
    HttpScriptEnd();
    FileOpsReset();
    FileOpsOverrideTempFolder(nullptr);
    OverrideProgramPaths(nullptr, nullptr);
    ReleaseWallClock();
  }

  void ServeInfo(uint32_t crc, size_t size) {
    char info[64];
    std::snprintf(info, sizeof info, "crc=%x;size=%u;", crc, static_cast<unsigned>(size));
    HttpScriptReply(info);
  }
  void ServeFile(const std::string& bytes, uint32_t piece = 0) {
    HttpScriptReply(bytes.data(), static_cast<uint32_t>(bytes.size()), piece);
  }
  void ServeSignature() { ServeFile(updatetest::ZoneSignature(kNewFile, "2026-12-01T00:00Z")); }
  void ServeGood(uint32_t piece = 0) {
    ServeInfo(CrcOf(kNewFile), kNewFile.size());
    ServeFile(kNewFile, piece);
    ServeSignature();
  }
  void PutCurrentCopy() {
    testfiles::MakeFolder(folder_);
    testfiles::WriteBytes(target_, kOldFile);
  }

  // Runs the update; expects failure with `message` as its last line.
  void ExpectFailure(const std::string& message) {
    const char* result = UpdateZoneFile(&list_);
    ASSERT_NE(result, nullptr) << "expected: " << message;
    EXPECT_EQ(std::string(result), message);
    ASSERT_FALSE(lines_.lines.empty());
    EXPECT_EQ(lines_.lines.back(), message);
    int errors = 0;
    for (const auto& l : lines_.lines) errors += l.rfind("ERROR: ", 0) == 0;
    EXPECT_EQ(errors, 1) << "exactly one ERROR line";
  }

  std::string root_, appData_, temp_, folder_, target_, backup_;
  Recorded lines_;
  ProgressList list_{};
};

TEST_F(ZoneUpdateTest, InstallsIntoANewFolderWithEveryLine) {
  ServeGood(100);
  EXPECT_EQ(UpdateZoneFile(&list_), nullptr);
  EXPECT_EQ(lines_.lines,
            (std::vector<std::string>{"Getting latest file info from web site...", "...done.",
                                      "About to download file from web site...",
                                      "Saving as a temp file...", "...done.",
                                      "Creating new subdir " + folder_ + ".",
                                      "Copying file to " + target_ + ".", "...SUCCESS."}));
  EXPECT_EQ(Slurp(target_), kNewFile);
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{"horlixtz.ini"}) << "no backup";
  EXPECT_TRUE(Entries(temp_).empty()) << "the temporary file is deleted";
  ASSERT_EQ(HttpScriptRequests(), 3);
  EXPECT_EQ(std::string(HttpScriptUrl(0)),
            std::string(HORLIX_UPDATE_SERVER) + "/cgi-bin/horlix-update.cgi?req=tzinfo");
  EXPECT_EQ(std::string(HttpScriptUrl(1)), std::string(HORLIX_WEB_SITE) + "/src/horlixtz.ini");
  EXPECT_EQ(std::string(HttpScriptUrl(2)), std::string(HORLIX_WEB_SITE) + "/src/horlixtz-sig.txt");
  EXPECT_STREQ(HttpScriptAgent(1), "Horlix");
  EXPECT_EQ(lines_.clears, 1);
}

TEST_F(ZoneUpdateTest, KeepsTheCurrentCopyAsATimestampedBackup) {
  PutCurrentCopy();
  ServeGood();
  EXPECT_EQ(UpdateZoneFile(&list_), nullptr);
  EXPECT_EQ(Slurp(target_), kNewFile);
  EXPECT_EQ(Slurp(backup_), kOldFile);
  for (const auto& l : lines_.lines) EXPECT_EQ(l.rfind("Creating new subdir", 0), std::string::npos);
  EXPECT_EQ(lines_.lines.back(), "...SUCCESS.");
  char name[300];
  ZoneBackupPath("C:\\Users\\me\\AppData\\Roaming", name, sizeof name);
  EXPECT_STREQ(name, "C:\\Users\\me\\AppData\\Roaming\\Horlix\\_horlixtz.ini-20261208T081005.back");
}

TEST_F(ZoneUpdateTest, TheTemporaryFileIsNamedByTheSystemWithPrefixHLX) {
  PutCurrentCopy();
  ServeGood();
  FileOpsFailNext(kFileCopy);
  UpdateZoneFile(&list_);
  const auto left = Entries(temp_);
  ASSERT_EQ(left.size(), 1u) << "a failed copy leaves the temporary file";
  EXPECT_EQ(left[0].rfind("HLX", 0), 0u) << left[0];
  EXPECT_EQ(left[0].substr(left[0].size() - 4), ".tmp");
  EXPECT_EQ(Slurp(temp_ + "\\" + left[0]), kNewFile);
}

TEST_F(ZoneUpdateTest, AFailedCopyPutsTheBackupBack) {
  PutCurrentCopy();
  ServeGood();
  FileOpsFailNext(kFileCopy);
  ExpectFailure("ERROR: Failed to copy file to APPDATA folder. Update aborted.");
  EXPECT_EQ(Slurp(target_), kOldFile) << "the user keeps the file they had";
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{"horlixtz.ini"});
  EXPECT_EQ(FileOpsCalls(kFileRename), 2) << "to the backup and back";
  EXPECT_EQ(lines_.lines[lines_.lines.size() - 2], "Copying file to " + target_ + ".");
}

TEST_F(ZoneUpdateTest, AFailedCopyWithoutACurrentCopyLeavesNoTarget) {
  ServeGood();
  FileOpsFailNext(kFileCopy);
  ExpectFailure("ERROR: Failed to copy file to APPDATA folder. Update aborted.");
  EXPECT_FALSE(Exists(target_));
  EXPECT_EQ(FileOpsCalls(kFileRename), 1) << "nothing to put back";
}

TEST_F(ZoneUpdateTest, AFolderThatCannotBeMadeShowsAsAFailedCopy) {
  ServeGood();
  FileOpsFailNext(kFileMakeDirectory);
  ExpectFailure("ERROR: Failed to copy file to APPDATA folder. Update aborted.");
  EXPECT_FALSE(Exists(folder_));
}

TEST_F(ZoneUpdateTest, BadInformationRepliesAreInvalidValues) {
  const std::string invalid = "ERROR: Received invalid value from web site. Update aborted.";
  struct Case {
    const char* reply;
    bool done;  // recognised, so "...done." is added
  } cases[] = {
      {"crc=1234;size=0;", true},
      {"crc=1234;size=2147483648;", true},
      {"crc=1234;size=4294967295;", true},
      {"crc=zz;size=5;", true},
      {"crc=1234;", false},
      {"size=5;crc=1234;", false},
      {"<html>Not Found</html>", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    HttpScriptBegin();
    HttpScriptReply(c.reply);
    ExpectFailure(invalid);
    std::vector<std::string> expected = {"Getting latest file info from web site..."};
    if (c.done) expected.push_back("...done.");
    expected.push_back(invalid);
    EXPECT_EQ(lines_.lines, expected);
    EXPECT_EQ(HttpScriptRequests(), 1) << "no download";
  }
}

TEST_F(ZoneUpdateTest, TheInformationReplyIsReadUpTo32Bytes) {
  // "size=" only after byte 32: not seen, so the reply is not recognised.
  HttpScriptReply("crc=1234;xxxxxxxxxxxxxxxxxxxxxxxsize=9;");
  ExpectFailure("ERROR: Received invalid value from web site. Update aborted.");
  EXPECT_EQ(lines_.lines.size(), 2u) << "no ...done.";
}

TEST_F(ZoneUpdateTest, ConnectionFailuresShowTheirCode) {
  HttpScriptFailure(kHttpStepRequest, 12029);
  ExpectFailure("ERROR: Failed to connect with web site: error 12029. Update aborted.");
  EXPECT_EQ(lines_.lines.size(), 2u);

  HttpScriptBegin();
  ServeInfo(CrcOf(kNewFile), kNewFile.size());
  HttpScriptFailure(kHttpStepRead, 12030, kNewFile.c_str(), 10);
  ExpectFailure("ERROR: Failed to connect with web site: error 12030. Update aborted.");
  EXPECT_EQ(lines_.lines[2], "About to download file from web site...");
  EXPECT_FALSE(Exists(folder_));

  HttpScriptBegin();
  HttpScriptFailure(kHttpStepRequest, 12038);
  ExpectFailure("ERROR: Failed to connect with web site: error 12038 (the site's certificate is for "
                "another name). Update aborted.");
}

TEST_F(ZoneUpdateTest, AShortDownloadIsRefused) {
  ServeInfo(CrcOf(kNewFile), kNewFile.size() + 1);
  ServeFile(kNewFile, 7);
  ExpectFailure("ERROR: Failed to receive valid file from web site. Update aborted.");
  EXPECT_TRUE(Entries(temp_).empty()) << "nothing saved";
}

TEST_F(ZoneUpdateTest, AChecksumMismatchLeavesTheCurrentFileUntouched) {
  PutCurrentCopy();
  ServeInfo(CrcOf(kNewFile) ^ 1u, kNewFile.size());
  ServeFile(kNewFile);
  ServeSignature();
  ExpectFailure("ERROR: File checksum error. Update aborted.");
  EXPECT_EQ(Slurp(target_), kOldFile);
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{"horlixtz.ini"});
  EXPECT_EQ(lines_.lines[lines_.lines.size() - 2], "...done.");
  EXPECT_EQ(FileOpsCalls(kFileRename), 0);
}

TEST_F(ZoneUpdateTest, OnlyTheAnnouncedSizeIsReadAndChecked) {
  // The body is one byte longer than announced: only the announced size is
  // read and saved, so the CRC of the whole body does not match it.
  ServeInfo(CrcOf(kNewFile), kNewFile.size() - 1);
  ServeFile(kNewFile);
  ServeSignature();
  ExpectFailure("ERROR: File checksum error. Update aborted.");
}

TEST_F(ZoneUpdateTest, TemporaryFileFailures) {
  struct Case {
    FileOp op;
    const char* message;
  } cases[] = {
      {kFileTempFolder, "ERROR: Failed to get a temp path name. Update aborted."},
      {kFileTempName, "ERROR: Failed to create a temp file name. Update aborted."},
      {kFileOpen, "ERROR: Failed to create a new temp file. Update aborted."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    PutCurrentCopy();
    HttpScriptBegin();
    ServeGood();
    FileOpsReset();
    FileOpsFailNext(c.op);
    ExpectFailure(c.message);
    EXPECT_EQ(Slurp(target_), kOldFile);
    EXPECT_EQ(FileOpsCalls(kFileRename), 0);
  }
}

TEST_F(ZoneUpdateTest, OnlyTheMakersSignatureForThisFileAndDateIsAccepted) {
  const std::string good = updatetest::ZoneSignature(kNewFile, "2026-12-01T00:00Z");
  ASSERT_EQ(good.rfind("zd=2026-12-01T00:00Z;size=", 0), 0u) << good;
  std::string forged = good;
  forged[forged.size() - 2] = forged[forged.size() - 2] == '0' ? '1' : '0';
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"another file", updatetest::ZoneSignature(kOldFile, "2026-12-01T00:00Z")},
      {"another date", updatetest::ZoneSignature(kNewFile, "2026-12-02T00:00Z")},
      {"a changed signature", forged},
      {"a cut signature", good.substr(0, good.size() - 3)},
      {"one digit more", good.substr(0, good.size() - 1) + "0\n"},
      {"more than 1023 bytes", good + std::string(1024, '\n')},
      {"the signed text alone", good.substr(0, good.find('#'))},
      {"a missing file (404)", "Not Found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PutCurrentCopy();
    HttpScriptBegin();
    FileOpsReset();
    ServeInfo(CrcOf(kNewFile), kNewFile.size());
    ServeFile(kNewFile);
    ServeFile(c.text);
    ExpectFailure("ERROR: The zone data file is not signed by the maker. Update aborted.");
    EXPECT_EQ(Slurp(target_), kOldFile);
    EXPECT_EQ(Entries(folder_), std::vector<std::string>{"horlixtz.ini"}) << "no backup";
    EXPECT_TRUE(Entries(temp_).empty()) << "the unsigned download is not kept";
  }
  // A Windows line end after the signature is still the same signature.
  HttpScriptBegin();
  ServeInfo(CrcOf(kNewFile), kNewFile.size());
  ServeFile(kNewFile);
  ServeFile(good.substr(0, good.size() - 1) + "\r\n");
  EXPECT_EQ(UpdateZoneFile(&list_), nullptr);
}

TEST_F(ZoneUpdateTest, NoApplicationDataFolder) {
  PutCurrentCopy();
  OverrideProgramPaths(nullptr, "");
  ServeGood();
  ExpectFailure("ERROR: Failed to find APPDATA folder. Update aborted.");
  EXPECT_EQ(Slurp(target_), kOldFile);
}

TEST(Crc32, CheckValueAndFiles) {
  const std::string digits = "123456789";
  EXPECT_EQ(CrcOf(digits), 0xCBF43926u);
  EXPECT_EQ(CrcOf(""), 0u);
  EXPECT_EQ(Crc32Update(CrcOf("1234"), reinterpret_cast<const unsigned char*>("56789"), 5),
            0xCBF43926u)
      << "continues a running CRC";
  const std::string folder = testfiles::FreshFolder("crc32");
  testfiles::WriteBytes(folder + "\\digits", digits);
  testfiles::WriteBytes(folder + "\\empty", "");
  testfiles::WriteBytes(folder + "\\crlf", std::string("a\r\nb\x1a\r\n", 7));
  EXPECT_EQ(Crc32File((folder + "\\digits").c_str()), 0xCBF43926u);
  EXPECT_EQ(Crc32File((folder + "\\empty").c_str()), 0u);
  EXPECT_EQ(Crc32File((folder + "\\crlf").c_str()), CrcOf(std::string("a\r\nb\x1a\r\n", 7)))
      << "no text translation";
  EXPECT_EQ(Crc32File((folder + "\\missing").c_str()), 0u);
  EXPECT_EQ(Crc32File(""), 0u);
  EXPECT_EQ(Crc32File(nullptr), 0u);
}

TEST(RandomName, EightCharactersOfTheAlphabetAndEachCallDiffers) {
  const std::string alphabet = kRandomNameAlphabet;
  ASSERT_EQ(alphabet.size(), 62u);
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    char name[9] = "--------";
    RandomName(name);
    ASSERT_EQ(std::string(name).size(), 8u);
    for (char c : std::string(name)) EXPECT_NE(alphabet.find(c), std::string::npos) << name;
    seen.insert(name);
  }
  EXPECT_EQ(seen.size(), 20u) << "each call has a seed of its own";
  char empty[1] = "";
  RandomName(empty);
  EXPECT_STREQ(empty, "");
}

}  // namespace
