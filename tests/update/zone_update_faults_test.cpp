// Fault injection into the zone data file update: every file operation
// failing at its first call and at all of its calls, and every step of both
// fetches failing, with and without a current copy. Whatever fails, the
// user keeps a whole zone data file (the one they had, or the new one when
// the update got through), the run ends on exactly one "ERROR: " line or on
// success, and no half-written file takes the place of the current copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../clocks/test_files.h"
#include "clocks/desktop.h"
#include "tz/wall_clock.h"
#include "update/file_ops.h"
#include "update/http_script.h"
#include "update/zone_update.h"
#include "update_test_support.h"

namespace {

const std::string kNewFile =
    "[Version]\r\nDate=2026-12-01T00:00Z\r\n[Europe/Berlin]\r\nTZ=CET-1CEST,M3.5.0,M10.5.0/3\r\n";
const std::string kOldFile = "[Version]\r\nDate=2025-01-01T00:00Z\r\n[UTC]\r\nTZ=GMT0\r\n";

std::string Slurp(const std::string& path) {
  std::ifstream in(testfiles::Native(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) { return std::filesystem::exists(testfiles::Native(path)); }

const char* OpName(int op) {
  static const char* const kNames[] = {"temp folder", "temp name", "open",   "is directory",
                                       "make directory", "rename", "copy", "delete"};
  return op >= 0 && op < static_cast<int>(std::size(kNames)) ? kNames[op] : "?";
}

class ZoneUpdateFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testfiles::FreshFolder("zone-update-faults");
    appData_ = root_ + "\\AppData";
    temp_ = root_ + "\\Temp";
    folder_ = appData_ + "\\Horlix";
    target_ = folder_ + "\\horlixtz.ini";
    OverrideProgramPaths(nullptr, appData_.c_str());
    FileOpsOverrideTempFolder((temp_ + "\\").c_str());
    FixWallClock(1796717405, "UTC0");
    list_ = updatetest::RecordingList(&lines_);
  }
  void TearDown() override {
    HttpScriptEnd();
    FileOpsReset();
    FileOpsOverrideTempFolder(nullptr);
    OverrideProgramPaths(nullptr, nullptr);
    ReleaseWallClock();
  }
  // A fresh disk (with or without a current copy) and a server with a good file.
  void Prepare(bool currentCopy) {
    std::filesystem::remove_all(testfiles::Native(appData_));
    std::filesystem::remove_all(testfiles::Native(temp_));
    testfiles::MakeFolder(appData_);
    testfiles::MakeFolder(temp_);
    if (currentCopy) {
      testfiles::MakeFolder(folder_);
      testfiles::WriteBytes(target_, kOldFile);
    }
    FileOpsReset();
    HttpScriptBegin();
    lines_ = updatetest::Recorded{};
  }
  void ServeInfo() {
    char info[64];
    const uint32_t crc =
        Crc32Update(0, reinterpret_cast<const unsigned char*>(kNewFile.data()), kNewFile.size());
    std::snprintf(info, sizeof info, "crc=%x;size=%u;", crc, static_cast<unsigned>(kNewFile.size()));
    HttpScriptReply(info);
  }
  void ServeFile() { HttpScriptReply(kNewFile.data(), static_cast<uint32_t>(kNewFile.size()), 50); }
  void ServeSignature() {
    const std::string signature = updatetest::ZoneSignature(kNewFile, "2026-12-01T00:00Z");
    HttpScriptReply(signature.data(), static_cast<uint32_t>(signature.size()));
  }

  // What must hold after any run.
  void CheckOutcome(const char* result, bool hadCopy, const std::string& what) {
    SCOPED_TRACE(what);
    int errors = 0;
    for (const auto& l : lines_.lines) errors += l.rfind("ERROR: ", 0) == 0;
    if (result == nullptr) {
      EXPECT_EQ(errors, 0);
      EXPECT_EQ(Slurp(target_), kNewFile);
    } else {
      EXPECT_EQ(errors, 1);
      ASSERT_FALSE(lines_.lines.empty());
      EXPECT_EQ(lines_.lines.back(), result);
      EXPECT_EQ(lines_.lines.back().rfind("ERROR: ", 0), 0u);
      if (hadCopy) {
        EXPECT_EQ(Slurp(target_), kOldFile) << "the user keeps the file they had";
      } else {
        EXPECT_FALSE(Exists(target_)) << "no half-made file in its place";
      }
    }
    // Backups hold the old file, whole.
    if (Exists(folder_)) {
      for (const auto& e : std::filesystem::directory_iterator(testfiles::Native(folder_))) {
        const std::string name = e.path().filename().string();
        if (name == "horlixtz.ini") continue;
        EXPECT_EQ(name.substr(name.size() - 5), ".back") << name;
        EXPECT_EQ(Slurp(e.path().string()), kOldFile) << name;
      }
    }
    EXPECT_EQ(HttpScriptOpenHandles(), 0) << "every connection closed";
  }

  std::string root_, appData_, temp_, folder_, target_;
  updatetest::Recorded lines_;
  ProgressList list_{};
};

TEST_F(ZoneUpdateFaults, EachFileOperationFailing) {
  for (bool hadCopy : {true, false}) {
    for (int op = 0; op < kFileOpCount; ++op) {
      for (int times : {1, 1000}) {
        Prepare(hadCopy);
        ServeInfo();
        ServeFile();
        ServeSignature();
        FileOpsFailNext(static_cast<FileOp>(op), times);
        const char* result = UpdateZoneFile(&list_);
        CheckOutcome(result, hadCopy,
                     std::string(OpName(op)) + (times == 1 ? " failing once" : " always failing") +
                         (hadCopy ? ", with a current copy" : ", without one"));
      }
    }
  }
}

TEST_F(ZoneUpdateFaults, EachFetchStepFailing) {
  for (bool hadCopy : {true, false}) {
    for (int fetch = 0; fetch < 3; ++fetch) {
      for (HttpStep step : {kHttpStepSession, kHttpStepRequest, kHttpStepRead}) {
        for (int32_t code : {12002, 12007, 12029, 12030}) {
          Prepare(hadCopy);
          if (fetch == 0) {
            HttpScriptFailure(step, code, "crc=1", 3);
          } else if (fetch == 1) {
            ServeInfo();
            HttpScriptFailure(step, code, kNewFile.c_str(), 20);
          } else {
            ServeInfo();
            ServeFile();
            HttpScriptFailure(step, code, "zd=", 2);
          }
          const char* result = UpdateZoneFile(&list_);
          ASSERT_NE(result, nullptr);
          EXPECT_NE(std::string(result).find(std::to_string(code)), std::string::npos) << result;
          CheckOutcome(result, hadCopy,
                       std::string(fetch == 0 ? "information" : fetch == 1 ? "file" : "signature") +
                           " fetch, step " +
                           std::to_string(step) + ", error " + std::to_string(code));
        }
      }
    }
  }
}

}  // namespace
