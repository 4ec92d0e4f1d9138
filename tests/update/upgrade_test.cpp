// The program upgrade with scripted processes: the updater's command line,
// the installer's, the lines of success and of each failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../clocks/test_files.h"
#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/zone_file.h"
#include "update/file_ops.h"
#include "update/process.h"
#include "update/upgrade.h"
#include "update_test_support.h"

namespace {

using updatetest::Recorded;

const std::vector<std::string> kFailureLines = {
    "Oh, sorry, that didn't work.", "About to open a web page in your browser...",
    "Now exit the Horlix program and install the new version."};

class UpgradeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testfiles::FreshFolder("upgrade");
    appData_ = root_ + "\\AppData";
    testfiles::MakeFolder(appData_);
    OverrideProgramPaths(nullptr, appData_.c_str());
    CopyBounded(Paths.updater, sizeof Paths.updater, "C:\\Program Files\\Horlix\\horlixupdater.exe",
                sizeof Paths.updater - 1);
    FileOpsReset();
    list_ = updatetest::RecordingList(&lines_);
  }
  void TearDown() override {
    OverrideProgramPaths(nullptr, nullptr);
    FileOpsReset();
  }
  std::string root_, appData_;
  Recorded lines_;
  ProgressList list_{};
};

// The installer path inside the updater's command line.
std::string InstallerOf(const std::string& command) {
  const size_t second = command.find("\" \"");
  return command.substr(second + 3, command.size() - second - 4);
}

TEST_F(UpgradeTest, AVerifiedInstallerIsStartedThroughTheCommandInterpreter) {
  ProcessScriptReset(true, 0, true);
  EXPECT_EQ(UpgradeProgram(&list_), kUpgradeInstallerStarted);
  EXPECT_EQ(lines_.lines, (std::vector<std::string>{
                              "Starting automatic update process...",
                              "Successfully downloaded installation file.",
                              "About to install new version...",
                              "User Account Control: waiting for you...",
                              "..to click 'Allow program to make changes'..."}));
  ASSERT_EQ(ProcessScriptCalls(), 2);
  const std::string updater = ProcessScriptCommand(0);
  const std::string prefix = "\"C:\\Program Files\\Horlix\\horlixupdater.exe\" \"" + appData_ +
                             "\\Horlix\\_updates\\horlixquicki-";
  ASSERT_EQ(updater.rfind(prefix, 0), 0u) << updater;
  const std::string installer = InstallerOf(updater);
  EXPECT_EQ(installer.size(), (appData_ + "\\Horlix\\_updates\\horlixquicki-12345678.exe").size());
  EXPECT_EQ(installer.substr(installer.size() - 4), ".exe");
  EXPECT_STREQ(ProcessScriptTitle(0), "Downloading installation file");
  EXPECT_EQ(std::string(ProcessScriptCommand(1)), "cmd.exe /c \"" + installer + "\"");
  EXPECT_EQ(ProcessScriptPaused(), 1500u);
  EXPECT_TRUE(std::filesystem::is_directory(testfiles::Native(appData_ + "\\Horlix\\_updates")));
}

TEST_F(UpgradeTest, TwoUpgradesUseDifferentInstallerNames) {
  ProcessScriptReset(true, 0, true);
  UpgradeProgram(&list_);
  const std::string first = InstallerOf(ProcessScriptCommand(0));
  ProcessScriptReset(true, 0, true);
  UpgradeProgram(&list_);
  EXPECT_NE(InstallerOf(ProcessScriptCommand(0)), first);
}

TEST_F(UpgradeTest, EachFailureEndsInTheThreeLines) {
  struct Case {
    bool runs;
    uint32_t exitCode;
    bool installerStarts;
    int calls;
    std::vector<std::string> before;
  } cases[] = {
      {false, 0, true, 1, {"Starting automatic update process..."}},
      {true, 1, true, 1, {"Starting automatic update process..."}},
      {true, 259, true, 1, {"Starting automatic update process..."}},
      {true, 0, false, 2,
       {"Starting automatic update process...", "Successfully downloaded installation file.",
        "About to install new version..."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exitCode);
    ProcessScriptReset(c.runs, c.exitCode, c.installerStarts);
    EXPECT_EQ(UpgradeProgram(&list_), kUpgradeFailed);
    std::vector<std::string> expected = c.before;
    expected.insert(expected.end(), kFailureLines.begin(), kFailureLines.end());
    EXPECT_EQ(lines_.lines, expected);
    EXPECT_EQ(ProcessScriptCalls(), c.calls) << "no installer after a failed updater";
  }
}

TEST_F(UpgradeTest, NoApplicationDataFolderStopsWithItsLine) {
  ProcessScriptReset(true, 0, true);
  OverrideProgramPaths(nullptr, "");
  EXPECT_EQ(UpgradeProgram(&list_), kUpgradeStopped);
  EXPECT_EQ(lines_.lines, (std::vector<std::string>{
                              "Starting automatic update process...",
                              "ERROR: Failed to find APPDATA folder. Update aborted."}));
  EXPECT_EQ(ProcessScriptCalls(), 0);
}

TEST_F(UpgradeTest, AnUpdateFolderThatCannotBeMadeStopsSilently) {
  ProcessScriptReset(true, 0, true);
  testfiles::MakeFolder(appData_ + "\\Horlix");
  FileOpsFailNext(kFileMakeDirectory);
  EXPECT_EQ(UpgradeProgram(&list_), kUpgradeStopped);
  EXPECT_EQ(lines_.lines, std::vector<std::string>{"Starting automatic update process..."});
  EXPECT_EQ(ProcessScriptCalls(), 0);
  testfiles::MakeFolder(appData_ + "\\Horlix\\_updates");
  FileOpsReset();
  EXPECT_EQ(UpgradeProgram(&list_), kUpgradeInstallerStarted);
  EXPECT_EQ(FileOpsCalls(kFileMakeDirectory), 0) << "an existing folder is used as it is";
}

}  // namespace
