// The export and import dialogue under Wine: the questions, the file
// dialogs, the rejection message and the second confirmation. Only paths that
// leave the registry alone run here (the prefix's registry is shared with the
// tests that run at the same time); the import into the store is tested
// natively in settings_file_test.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../clocks/test_files.h"
#include "clocks/clock_list.h"
#include "clocks/settings.h"
#include "ui/dialogs/dialogs.h"

namespace {

// One window the dialogue showed: its title and the texts of its statics.
struct Seen {
  std::string title;
  std::string text;
};

std::vector<Seen> gSeen;
std::string gFile;        // typed into the file dialog
int gConfirmAnswer = IDOK;  // the answer to "Change settings"

std::string Statics(HWND window) {
  std::string all;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") != 0) return TRUE;
        char text[2048] = "";
        GetWindowTextA(child, text, sizeof text);
        *reinterpret_cast<std::string*>(data) += text;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

void Press(HWND window, int id) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// Answers whatever window of this thread the dialogue shows next.
void CALLBACK Answer(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        if (!IsWindowVisible(window) || GetPropA(window, "answered") != nullptr) return TRUE;
        char title[128] = "";
        GetWindowTextA(window, title, sizeof title);
        const std::string t = title;
        int button = 0;
        if (t == "Export Horlix Settings" || t == "Import Horlix Settings" || t == "ERROR" ||
            t == "Error") {
          button = IDOK;
        } else if (t == "Change settings") {
          button = gConfirmAnswer;
        } else if (t == "Save As" || t == "Open") {
          HWND name = GetDlgItem(window, 1148);  // the file name box
          if (name == nullptr) name = GetDlgItem(window, 1152);
          if (name == nullptr) return TRUE;
          SetWindowTextA(name, gFile.c_str());
          button = IDOK;
        } else {
          return TRUE;
        }
        gSeen.push_back(Seen{t, Statics(window)});
        SetPropA(window, "answered", reinterpret_cast<HANDLE>(1));
        Press(window, button);
        return TRUE;
      },
      0);
}

void RunDialogue(void (*dialogue)(HWND)) {
  gSeen.clear();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, Answer);
  dialogue(nullptr);
  KillTimer(nullptr, timer);
}

std::vector<std::string> Titles() {
  std::vector<std::string> titles;
  for (const Seen& s : gSeen) titles.push_back(s.title);
  return titles;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class SettingsDialogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testfiles::FreshFolder("settings-dialogue");
    Clocks = ClockList{};
    Clocks.N = 2;
    CopyBounded(Clocks.clocks[0].Id, sizeof Clocks.clocks[0].Id, "Local", 254);
    CopyBounded(Clocks.clocks[0].Title, sizeof Clocks.clocks[0].Title, "Home", 19);
    CopyBounded(Clocks.clocks[1].Id, sizeof Clocks.clocks[1].Id, "UTC", 254);
    CopyBounded(Clocks.clocks[1].Title, sizeof Clocks.clocks[1].Title, "Zulu", 19);
    Clocks.clocks[1].Type = kClockUtc;
    gConfirmAnswer = IDOK;
  }
  void TearDown() override {
    Clocks = ClockList{};
    // The file dialogs make the chosen folder current; leave it so the next
    // test can remove it.
    char temp[MAX_PATH];
    if (GetTempPathA(sizeof temp, temp) != 0) SetCurrentDirectoryA(temp);
  }
  // A file to import: the signature line and N as given, clocks 0 and 1.
  std::string Write(const std::string& name, const std::string& main, bool secondHasId = true) {
    const std::string path = folder_ + "\\" + name;
    testfiles::WriteBytes(path, "[Horlix]\r\n" + main + "[0]\r\nId=Asia/Tokyo\r\nTitle=Tokyo\r\n" +
                                    "[1]\r\n" + (secondHasId ? "Id=Europe/Rome\r\n" : "") +
                                    "Title=Rome\r\n");
    return path;
  }
  // The clock list is exactly what SetUp left.
  static void ExpectClocksUnchanged() {
    EXPECT_EQ(Clocks.N, 2);
    EXPECT_STREQ(Clocks.clocks[0].Title, "Home");
    EXPECT_STREQ(Clocks.clocks[1].Id, "UTC");
  }
  std::string folder_;
};

TEST_F(SettingsDialogueTest, ExportAsksThenWritesTheChosenFile) {
  gFile = folder_ + "\\exported.hrlx";
  RunDialogue(ExportSettings);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Export Horlix Settings", "Save As"}));
  ASSERT_FALSE(gSeen.empty());
  EXPECT_EQ(gSeen[0].text,
            "This will export your current settings to a file of your choice. Do you want to "
            "continue?");
  const std::string text = ReadAll(gFile);
  EXPECT_EQ(text.rfind("; Exported settings for Horlix world time utility\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nGuid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nN=2\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nTitle=Zulu\r\n"), std::string::npos);
}

TEST_F(SettingsDialogueTest, ExportWithoutAFolderSaysSo) {
  // A folder name that is a file: the save dialog lets it through, the
  // file cannot be created.
  testfiles::WriteBytes(folder_ + "\\plain", "x");
  gFile = folder_ + "\\plain\\exported.hrlx";
  RunDialogue(ExportSettings);
  EXPECT_EQ(Titles(),
            (std::vector<std::string>{"Export Horlix Settings", "Save As", "Error"}));
  if (gSeen.size() == 3) {
    EXPECT_EQ(gSeen[2].text, "Unable to create a new file");
  }
}

TEST_F(SettingsDialogueTest, InvalidFilesAreRejectedWithNothingChanged) {
  const std::string guid = "Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\n";
  const struct {
    const char* name;
    std::string main;
    bool secondHasId;
  } cases[] = {
      {"lower-case Guid", "Guid=7d3a91c4-2e6b-4f08-9c15-a4b2e0d6f371\r\nN=2\r\n", true},
      {"bad Guid", "Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F372\r\nN=2\r\n", true},
      {"N of 0", guid + "N=0\r\n", true},
      {"N of 65", guid + "N=65\r\n", true},
      {"a clock without Id", guid + "N=2\r\n", false},
  };
  int n = 0;
  for (const auto& c : cases) {
    gFile = Write("bad" + std::to_string(n++) + ".hrlx", c.main, c.secondHasId);
    RunDialogue(ImportSettings);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Import Horlix Settings", "Open", "ERROR"}))
        << c.name;
    if (gSeen.size() == 3) {
      EXPECT_EQ(gSeen[2].text, "Invalid Horlix settings file") << c.name;
    }
    ExpectClocksUnchanged();
  }
}

TEST_F(SettingsDialogueTest, CancellingTheSecondConfirmationChangesNothing) {
  gFile = Write("good.hrlx", "Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=2\r\n");
  gConfirmAnswer = IDCANCEL;
  RunDialogue(ImportSettings);
  EXPECT_EQ(Titles(),
            (std::vector<std::string>{"Import Horlix Settings", "Open", "Change settings"}));
  ASSERT_EQ(gSeen.size(), 3u);
  EXPECT_EQ(gSeen[2].text,
            "The new settings contain 2 clocks as follows:\rTokyo\rRome\r\rDo you want to "
            "change your settings?");
  ExpectClocksUnchanged();
}

TEST_F(SettingsDialogueTest, CancellingTheFirstQuestionEndsTheImport) {
  gFile = Write("good.hrlx", "Guid=7D3A91C4-2E6B-4F08-9C15-A4B2E0D6F371\r\nN=2\r\n");
  gSeen.clear();
  const UINT_PTR timer = SetTimer(
      nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND box = FindWindowA(nullptr, "Import Horlix Settings");
        if (box != nullptr && GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId() &&
            GetPropA(box, "answered") == nullptr) {
          SetPropA(box, "answered", reinterpret_cast<HANDLE>(1));
          gSeen.push_back(Seen{"Import Horlix Settings", ""});
          Press(box, IDCANCEL);
        }
      });
  ImportSettings(nullptr);
  KillTimer(nullptr, timer);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Import Horlix Settings"}));
  ExpectClocksUnchanged();
}

}  // namespace
