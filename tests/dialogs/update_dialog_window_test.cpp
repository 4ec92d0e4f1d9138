// "DLGUPDATE" from the program's own template, driven through its controls
// under Wine: the fields at opening, the enabling by status, the status
// label's double-click, the remind-later box and the Close caption, and a
// check against scripted server answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../clocks/test_files.h"
#include "clocks/clock_list.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "horlix_version.h"
#include "resources/resource.h"
#include "tz/wall_clock.h"
#include "ui/dialogs/dialogs.h"
#include "ui/strip/strip.h"
#include "update/http_script.h"
#include "update/update_check.h"
#include "update/zone_update.h"

namespace {

constexpr UtcInstant k0810 = 1796717400;  // 2026-12-08T08:10:00

HWND FindOwnWindow(const char* title) {
  struct Search {
    const char* title;
    HWND found;
  } search = {title, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        char text[128] = "";
        GetWindowTextA(window, text, sizeof text);
        if (std::strcmp(text, s->title) != 0 || !IsWindowVisible(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string Text(HWND dialog, int id) {
  char text[512] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

void Command(HWND dialog, int id, int code) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::vector<std::string> ListLines(HWND dialog) {
  HWND box = GetDlgItem(dialog, IDC_UPDATE_PROGRESS);
  std::vector<std::string> lines;
  const LRESULT n = SendMessageA(box, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    char line[300] = "";
    SendMessageA(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
    lines.push_back(line);
  }
  return lines;
}

using Steps = void (*)(HWND dialog);
Steps gSteps = nullptr;
bool gRan = false;
HWND gPublished = nullptr;

void CALLBACK RunSteps(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = FindOwnWindow("Check for updates");
  if (dialog == nullptr) return;
  KillTimer(nullptr, timer);
  gRan = true;
  gPublished = MainWindow.updateDialog;
  gSteps(dialog);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

void Drive(Steps steps) {
  gSteps = steps;
  gRan = false;
  gPublished = nullptr;
  SetTimer(nullptr, 0, 20, RunSteps);
  ShowUpdateDialog(nullptr);
  EXPECT_TRUE(gRan) << "the update dialog did not open";
  EXPECT_EQ(MainWindow.updateDialog, nullptr) << "withdrawn when closed";
}

const std::string kZoneText = "[Version]\r\nDate=2026-11-30T09:15Z\r\n[UTC]\r\nTZ=UTC0\r\n";

class UpdateDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegistryDeleteTree(kMainKey);
    Settings = DefaultSettings();
    UpdateCheckRun = UpdateCheckState{};
    MainWindow.remindLater = 0;
    folder_ = testfiles::FreshFolder("update-dialog");
    const std::string zones = folder_ + "\\horlixtz.ini";
    testfiles::WriteBytes(zones, kZoneText);
    CopyBounded(Paths.zoneFile, sizeof Paths.zoneFile, zones.c_str(), sizeof Paths.zoneFile - 1);
    FixWallClock(k0810, "UTC0");
    HttpScriptBegin();
  }
  void TearDown() override {
    HttpScriptEnd();
    ReleaseWallClock();
    RegistryDeleteTree(kMainKey);
    Settings = DefaultSettings();
    MainWindow.remindLater = 0;
  }
  std::string folder_;
};

TEST_F(UpdateDialogTest, OpensWithEveryFieldFilled) {
  Drive([](HWND dialog) {
    EXPECT_EQ(gPublished, dialog) << "published to the main window while open";
    EXPECT_EQ(Text(dialog, IDC_UPDATE_VERSION), std::to_string(HORLIX_VERSION_NUMBER));
    EXPECT_EQ(Text(dialog, IDC_UPDATE_LAST_CHECKED), "(not yet checked)");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_STATUS), "Not checked yet");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_CHECK), "Check Update Status");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_REMIND), "Remind me later");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_INSTALL), "Install latest TZ info file");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_UPGRADE), "Get Latest Version");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_LINK), "Horlix Download Page");
    EXPECT_EQ(Text(dialog, IDOK), "Close");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_STATUS_LABEL), "Status:");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_TIMESTAMP), "2026-11-30T09:15Z");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_SIZE), std::to_string(kZoneText.size()));
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", Crc32File(Paths.zoneFile));
    EXPECT_EQ(Text(dialog, IDC_UPDATE_CHECKSUM), crc);
    EXPECT_NE(std::string(crc), "00000000");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_LOCATION), Paths.zoneFile);
    EXPECT_TRUE(ListLines(dialog).empty());
    const LONG style = GetWindowLongA(GetDlgItem(dialog, IDC_UPDATE_STATUS_LABEL), GWL_STYLE);
    EXPECT_TRUE(style & SS_NOTIFY) << "the label sends double-clicks";
    RECT units = {0, 0, 230, 244};
    MapDialogRect(dialog, &units);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);
  });
}

TEST_F(UpdateDialogTest, AMissingZoneDataFileShowsItsDefaults) {
  const std::string missing = folder_ + "\\none\\horlixtz.ini";
  CopyBounded(Paths.zoneFile, sizeof Paths.zoneFile, missing.c_str(), sizeof Paths.zoneFile - 1);
  Drive([](HWND dialog) {
    EXPECT_EQ(Text(dialog, IDC_UPDATE_TIMESTAMP), "0000-00-00");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_SIZE), "-1");
    EXPECT_EQ(Text(dialog, IDC_UPDATE_CHECKSUM), "00000000");
  });
}

TEST_F(UpdateDialogTest, ButtonsFollowTheStatus) {
  struct Case {
    int32_t status;
    const char* text;
    bool install, upgrade, remind;
  } cases[] = {
      {0, "Horlix is up to date", false, false, false},
      {1, "ATTENTION: an updated time zone file is available.", true, false, true},
      {2, "ATTENTION: a newer version of Horlix is available.", false, true, true},
      {7, "Horlix is up to date", false, false, false},
      {-1, "Horlix is up to date", false, false, false},
  };
  static const Case* current = nullptr;
  const uint8_t checked[8] = {1};  // a check has succeeded: the status texts show
  ASSERT_EQ(WriteLastCheck(checked), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    Settings.UpdateStatus = c.status;
    current = &c;
    Drive([](HWND dialog) {
      EXPECT_EQ(Text(dialog, IDC_UPDATE_STATUS), current->text);
      EXPECT_EQ(Enabled(dialog, IDC_UPDATE_INSTALL), current->install);
      EXPECT_EQ(Enabled(dialog, IDC_UPDATE_UPGRADE), current->upgrade);
      EXPECT_EQ(Enabled(dialog, IDC_UPDATE_REMIND), current->remind);
      EXPECT_TRUE(Enabled(dialog, IDC_UPDATE_CHECK));
    });
  }
}

TEST_F(UpdateDialogTest, DoubleClickOnStatusEnablesGetLatestVersion) {
  Drive([](HWND dialog) {
    ASSERT_FALSE(Enabled(dialog, IDC_UPDATE_UPGRADE));
    Command(dialog, IDC_UPDATE_STATUS_LABEL, STN_CLICKED);
    EXPECT_FALSE(Enabled(dialog, IDC_UPDATE_UPGRADE)) << "a single click does nothing";
    Command(dialog, IDC_UPDATE_STATUS_LABEL, STN_DBLCLK);
    EXPECT_TRUE(Enabled(dialog, IDC_UPDATE_UPGRADE));
    EXPECT_FALSE(Enabled(dialog, IDC_UPDATE_INSTALL));
  });
}

TEST_F(UpdateDialogTest, RemindLaterTogglesTheCaptionAndIsKeptOnClose) {
  Settings.UpdateStatus = 1;
  Drive([](HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_UPDATE_REMIND, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_UPDATE_REMIND), BST_CHECKED);
    EXPECT_EQ(Text(dialog, IDOK), "OK");
    EXPECT_EQ(MainWindow.remindLater, 0) << "stored only when the dialog closes";
  });
  EXPECT_EQ(MainWindow.remindLater, 1);
  Drive([](HWND dialog) {
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_UPDATE_REMIND), BST_CHECKED) << "opens checked";
    EXPECT_EQ(Text(dialog, IDOK), "OK");
    SendDlgItemMessageA(dialog, IDC_UPDATE_REMIND, BM_CLICK, 0, 0);
    EXPECT_EQ(Text(dialog, IDOK), "Close");
  });
  EXPECT_EQ(MainWindow.remindLater, 0);
}

TEST_F(UpdateDialogTest, LastCheckedShowsTheAgeAndTheAutomaticMark) {
  WallClock now{};
  ReadLocalWallClock(&now);
  uint8_t bytes[8];
  FileTimeBytes(LocalFileTime(now) - 300ull * 10000000ull, bytes);
  ASSERT_EQ(WriteLastCheck(bytes), 0);
  Drive([](HWND dialog) { EXPECT_EQ(Text(dialog, IDC_UPDATE_LAST_CHECKED), "5 minutes ago"); });
  UpdateCheckRun.automaticCheck = true;
  Drive([](HWND dialog) {
    EXPECT_EQ(Text(dialog, IDC_UPDATE_LAST_CHECKED), "5 minutes ago (auto)");
  });
}

TEST_F(UpdateDialogTest, CheckUpdateStatusShowsItsLinesAndRefreshes) {
  HttpScriptReply("status=2");
  HttpScriptReply("status=x");
  Drive([](HWND dialog) {
    Command(dialog, IDC_UPDATE_CHECK, BN_CLICKED);
    EXPECT_EQ(ListLines(dialog),
              (std::vector<std::string>{"Getting latest info from web site...",
                                        "Checking for updates at 08:10:00", "...done.",
                                        "Update check is complete."}));
    EXPECT_EQ(Text(dialog, IDC_UPDATE_STATUS), "ATTENTION: a newer version of Horlix is available.");
    EXPECT_TRUE(Enabled(dialog, IDC_UPDATE_UPGRADE));
    EXPECT_TRUE(Enabled(dialog, IDC_UPDATE_REMIND));
    EXPECT_EQ(Text(dialog, IDC_UPDATE_LAST_CHECKED), "0 seconds ago");
    Command(dialog, IDC_UPDATE_CHECK, BN_CLICKED);
    EXPECT_EQ(ListLines(dialog).back(), "ERROR: An error occurred on our web site: status=x");
    EXPECT_EQ(ListLines(dialog).size(), 4u) << "the list was cleared first";
    EXPECT_EQ(Text(dialog, IDC_UPDATE_STATUS),
              "The last check failed: An error occurred on our web site: status=x");
    EXPECT_TRUE(Enabled(dialog, IDC_UPDATE_UPGRADE)) << "a failure changes nothing";
  });
  EXPECT_EQ(Settings.UpdateStatus, 2);
}

}  // namespace
