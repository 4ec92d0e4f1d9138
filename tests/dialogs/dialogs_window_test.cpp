// The clock properties, all time zones and preferences dialogs from the
// program's own templates, driven through their controls under Wine. Each
// dialog is modal, so a thread timer armed before it opens runs the steps
// inside the dialog's own message loop; a second timer answers the message
// boxes the steps raise.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "clocks/clock_list.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "resources/resource.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/zones_logic.h"
#include "ui/strip/strip.h"

namespace {

// A visible top-level window of this thread whose title begins with prefix.
HWND FindOwnWindow(const char* prefix) {
  struct Search {
    const char* prefix;
    HWND found;
  } search = {prefix, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        char text[256] = "";
        GetWindowTextA(window, text, sizeof text);
        if (std::strncmp(text, s->prefix, std::strlen(s->prefix)) != 0) return TRUE;
        if (!IsWindowVisible(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string Text(HWND dialog, int id) {
  char text[300] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

std::string Caption(HWND window) {
  char text[300] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

std::vector<std::string> Items(HWND dialog, int id) {
  HWND list = GetDlgItem(dialog, id);
  std::vector<std::string> items;
  const int n = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char text[300] = "";
    SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

std::string Selected(HWND dialog, int id) {
  HWND list = GetDlgItem(dialog, id);
  const LRESULT sel = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if (sel == CB_ERR) return "<none>";
  char text[300] = "";
  SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(text));
  return text;
}

// What a user's choice in a drop-down list does: select, then notify.
void Choose(HWND dialog, int id, const char* text) {
  HWND list = GetDlgItem(dialog, id);
  ASSERT_NE(SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(text)),
            CB_ERR)
      << text;
  SendMessageA(list, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// A click on a button, radio button or check box, with its own checking.
void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Message boxes raised by the steps are answered with gAnswer and recorded.
int gAnswer = IDOK;
std::vector<std::string> gBoxes;

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR timer, DWORD) {
  for (const char* caption : {"Changing clock type to use system time", "HORLIX"}) {
    HWND box = FindOwnWindow(caption);
    if (box == nullptr || std::strcmp(Caption(box).c_str(), caption) != 0) continue;
    char text[512] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    gBoxes.push_back(std::string(caption) + ": " + text);
    KillTimer(nullptr, timer);
    PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(gAnswer), 0);
    return;
  }
}

// Arms the answer for the next message box.
void Answer(int button) {
  gAnswer = button;
  SetTimer(nullptr, 0, 20, AnswerBox);
}

using Steps = void (*)(HWND dialog);
const char* gTitle = nullptr;
Steps gSteps = nullptr;
bool gRan = false;

void CALLBACK RunSteps(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = FindOwnWindow(gTitle);
  if (dialog == nullptr) return;
  KillTimer(nullptr, timer);
  gRan = true;
  gSteps(dialog);
  if (IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

void Drive(const char* title, Steps steps, void (*show)(HWND)) {
  gTitle = title;
  gSteps = steps;
  gRan = false;
  gBoxes.clear();
  SetTimer(nullptr, 0, 20, RunSteps);
  show(MainWindow.window);
  EXPECT_TRUE(gRan) << title << " did not open";
}

// The strip window the dialogs act on, under a class name of its own so no
// other program under the same Wine server takes it for a running Horlix.
class StripEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    MainWindow.instance = GetModuleHandleA(nullptr);
    Settings = DefaultSettings();
    LoadDefaultClocks();
    WNDCLASSEXA cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = MainWindowProc;
    cls.hInstance = MainWindow.instance;
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cls.lpszClassName = "HORLIXDIALOGTEST";
    RegisterClassExA(&cls);
    CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, cls.lpszClassName, "", WS_POPUP, 100, 0,
                    TotalWidth(), 34, nullptr, nullptr, MainWindow.instance, nullptr);
    ASSERT_NE(MainWindow.window, nullptr);
    // Shown like the real strip: Wine keeps the topmost state of hidden
    // windows only until it is first taken away.
    ShowWindow(MainWindow.window, SW_SHOWNOACTIVATE);
    AddZone("Australia/Perth", "AWST-8");
    AddZone("Europe/London", "GMT0BST,M3.5.0/1,M10.5.0");
    AddZone("UTC", "UTC0");
    AddZone("America/Argentina/Buenos_Aires", "<-03>3");
    AddZone("Asia/Tokyo", "JST-9");
  }
  void TearDown() override {
    DestroyWindow(MainWindow.window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    RegistryDeleteTree(kMainKey);
    RegistryDeleteValue(kRunKey, kRunValue);
  }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new StripEnvironment);

int ZoneCount() {
  int n = 0;
  for (const ZoneEntry* z = ZoneList; z != nullptr; z = z->next) ++n;
  return n;
}

class PropsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Back to the three default clocks, with the strip rebuilt around them.
    for (int i = 0; i < kMaxClocks; ++i) {
      if (Clocks.clocks[i].titleButton != nullptr) {
        DestroyWindow(static_cast<HWND>(Clocks.clocks[i].titleButton));
        Clocks.clocks[i].titleButton = nullptr;
      }
    }
    DestroyClockZoneStates();
    LoadDefaultClocks();
    CreateClockZoneStates();
    RelayoutStrip();
    Settings.SettingsDirty = false;
  }
};

TEST_F(PropsDialogTest, NewZoneClockTakesTheChosenZoneAndItsTitle) {
  Clocks.SelectedClock = -1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        EXPECT_EQ(Caption(dialog), "Clock Properties <New>");
        EXPECT_EQ(Text(dialog, IDC_PROPS_TITLE), "<New>");
        EXPECT_TRUE(Checked(dialog, IDC_PROPS_TYPE_ZONE));
        const std::vector<std::string> colours = {"Green", "Light Blue", "Red", "White", "Yellow"};
        EXPECT_EQ(Items(dialog, IDC_PROPS_COLOR), colours);
        EXPECT_EQ(Selected(dialog, IDC_PROPS_COLOR), "Green");
        EXPECT_EQ(Selected(dialog, IDC_PROPS_FORMAT), "1 - hh:mm:ss");
        EXPECT_EQ(static_cast<int>(Items(dialog, IDC_PROPS_ZONE).size()), ZoneCount());
        EXPECT_EQ(Items(dialog, IDC_PROPS_ZONE)[0], "America/Argentina/Buenos_Aires");
        EXPECT_EQ(Selected(dialog, IDC_PROPS_ZONE), "<none>");
        Choose(dialog, IDC_PROPS_ZONE, "America/Argentina/Buenos_Aires");
        EXPECT_EQ(Text(dialog, IDC_PROPS_TITLE), "Argentina/Buenos_Aires");
        Choose(dialog, IDC_PROPS_ZONE, "Europe/London");
        EXPECT_EQ(Text(dialog, IDC_PROPS_TITLE), "London");
        Choose(dialog, IDC_PROPS_COLOR, "White");
        Choose(dialog, IDC_PROPS_FORMAT, "3 - hh:mm");
        Click(dialog, IDOK);
      },
      ShowPropertiesDialog);
  ASSERT_EQ(Clocks.N, 4);
  const ClockRecord& added = Clocks.clocks[3];
  EXPECT_EQ(added.Type, kClockZone);
  EXPECT_STREQ(added.Id, "Europe/London");
  EXPECT_STREQ(added.Tz, "GMT0BST,M3.5.0/1,M10.5.0");
  EXPECT_STREQ(added.Title, "London");
  EXPECT_EQ(added.Color, kColorWhite);
  EXPECT_EQ(added.Format, 2);
  EXPECT_TRUE(Settings.SettingsDirty);
  EXPECT_NE(added.titleButton, nullptr) << "the strip was laid out again";
}

TEST_F(PropsDialogTest, NewLocalClockNeedsNoZone) {
  Clocks.SelectedClock = -1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        Click(dialog, IDC_PROPS_TYPE_LOCAL);  // a new clock: no question
        EXPECT_TRUE(Checked(dialog, IDC_PROPS_TYPE_LOCAL));
        EXPECT_TRUE(Enabled(dialog, IDC_PROPS_ZONE));
        Click(dialog, IDOK);
      },
      ShowPropertiesDialog);
  EXPECT_TRUE(gBoxes.empty());
  ASSERT_EQ(Clocks.N, 4);
  EXPECT_EQ(Clocks.clocks[3].Type, kClockLocal);
  EXPECT_STREQ(Clocks.clocks[3].Id, "Local");
  EXPECT_STREQ(Clocks.clocks[3].Title, "<New>");
}

TEST_F(PropsDialogTest, NewZoneClockWithoutZoneKeepsTheDialogOpen) {
  Clocks.SelectedClock = -1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        Answer(IDOK);
        Click(dialog, IDOK);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_PROPS_ZONE));
      },
      ShowPropertiesDialog);
  const std::vector<std::string> boxes = {"HORLIX: You must select a valid time zone"};
  EXPECT_EQ(gBoxes, boxes);
  EXPECT_EQ(Clocks.N, 3);
}

TEST_F(PropsDialogTest, EditingShowsTheClock) {
  Clocks.SelectedClock = 1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        EXPECT_EQ(Caption(dialog), "Clock Properties (2) - Perth");
        EXPECT_EQ(Text(dialog, IDC_PROPS_TITLE), "Perth");
        EXPECT_TRUE(Checked(dialog, IDC_PROPS_TYPE_ZONE));
        EXPECT_EQ(Selected(dialog, IDC_PROPS_ZONE), "Australia/Perth");
        EXPECT_EQ(Selected(dialog, IDC_PROPS_COLOR), "Green");
        EXPECT_EQ(Selected(dialog, IDC_PROPS_FORMAT), "2 - h:mm a/p");
        EXPECT_EQ(Text(dialog, IDC_PROPS_WIDTH), std::to_string(Clocks.clocks[1].Width));
        EXPECT_EQ(Text(dialog, IDC_PROPS_TZ), "AWST-8");
        EXPECT_FALSE(Enabled(dialog, IDC_PROPS_WIDTH));
      },
      ShowPropertiesDialog);
}

TEST_F(PropsDialogTest, WorkingHoursAreShownCheckedAndKept) {
  Clocks.SelectedClock = 1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        EXPECT_EQ(Text(dialog, IDC_PROPS_WORK_START) + "-" + Text(dialog, IDC_PROPS_WORK_END),
                  "09:00-17:00");
        std::string days;
        for (int d = 0; d < 7; ++d) days += Checked(dialog, IDC_PROPS_WORK_DAY + d) ? 'x' : '.';
        EXPECT_EQ(days, ".xxxxx.");
        SetDlgItemTextA(dialog, IDC_PROPS_WORK_END, "6:60");
        Answer(IDOK);
        Click(dialog, IDOK);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_PROPS_WORK_END));
        SetDlgItemTextA(dialog, IDC_PROPS_WORK_START, "22:00");
        SetDlgItemTextA(dialog, IDC_PROPS_WORK_END, "6:00");
        Click(dialog, IDC_PROPS_WORK_DAY + 0);
        Click(dialog, IDC_PROPS_WORK_DAY + 5);
        Click(dialog, IDOK);
      },
      ShowPropertiesDialog);
  const std::vector<std::string> boxes = {
      "HORLIX: Enter working hours as 24-hour times such as 09:00 and 17:30."};
  EXPECT_EQ(gBoxes, boxes);
  EXPECT_EQ(Clocks.clocks[1].WorkStart, 22 * 60);
  EXPECT_EQ(Clocks.clocks[1].WorkEnd, 6 * 60);
  EXPECT_EQ(Clocks.clocks[1].WorkDays, 0x1F);
  EXPECT_TRUE(Settings.SettingsDirty);
}

TEST_F(PropsDialogTest, ColourOutsideThePaletteShowsNoneAndStays) {
  Clocks.clocks[1].Color = 0x123456;
  Clocks.SelectedClock = 1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        EXPECT_EQ(Selected(dialog, IDC_PROPS_COLOR), "<none>");
        Click(dialog, IDOK);
      },
      ShowPropertiesDialog);
  EXPECT_EQ(Clocks.clocks[1].Color, 0x123456);
  EXPECT_FALSE(Settings.SettingsDirty);
}

TEST_F(PropsDialogTest, LocalCautionRefusedThenConfirmed) {
  Clocks.SelectedClock = 1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        Answer(IDCANCEL);
        Click(dialog, IDC_PROPS_TYPE_LOCAL);
        EXPECT_TRUE(Checked(dialog, IDC_PROPS_TYPE_ZONE));
        EXPECT_FALSE(Checked(dialog, IDC_PROPS_TYPE_LOCAL));
        EXPECT_EQ(Selected(dialog, IDC_PROPS_COLOR), "Green");
        EXPECT_EQ(Text(dialog, IDC_PROPS_TITLE), "Perth");
        EXPECT_TRUE(Enabled(dialog, IDC_PROPS_ZONE));

        Answer(IDOK);
        Click(dialog, IDC_PROPS_TYPE_LOCAL);
        EXPECT_TRUE(Checked(dialog, IDC_PROPS_TYPE_LOCAL));
        EXPECT_EQ(Selected(dialog, IDC_PROPS_COLOR), "Light Blue");
        EXPECT_EQ(Text(dialog, IDC_PROPS_TITLE), "Local");
        EXPECT_EQ(Selected(dialog, IDC_PROPS_ZONE), "<none>");
        EXPECT_FALSE(Enabled(dialog, IDC_PROPS_ZONE));
        Click(dialog, IDOK);
      },
      ShowPropertiesDialog);
  ASSERT_EQ(gBoxes.size(), 2u);
  EXPECT_EQ(gBoxes[0],
            "Changing clock type to use system time: CAUTION: this setting will use your "
            "system's local clock time regardless of the Zone setting.\r\nDo you want to "
            "continue?");
  const ClockRecord& k = Clocks.clocks[1];
  EXPECT_EQ(k.Type, kClockLocal);
  EXPECT_EQ(k.Color, kColorLightBlue);
  EXPECT_STREQ(k.Title, "Local");
  EXPECT_STREQ(k.Id, "Local");
  EXPECT_STREQ(k.Tz, "");
}

TEST_F(PropsDialogTest, UtcCautionRefusedThenConfirmed) {
  Clocks.SelectedClock = 1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        Answer(IDCANCEL);
        Click(dialog, IDC_PROPS_TYPE_UTC);
        EXPECT_TRUE(Checked(dialog, IDC_PROPS_TYPE_ZONE));
        EXPECT_EQ(Selected(dialog, IDC_PROPS_ZONE), "Australia/Perth");

        Answer(IDOK);
        Click(dialog, IDC_PROPS_TYPE_UTC);
        EXPECT_TRUE(Checked(dialog, IDC_PROPS_TYPE_UTC));
        EXPECT_EQ(Selected(dialog, IDC_PROPS_COLOR), "Yellow");
        EXPECT_EQ(Text(dialog, IDC_PROPS_TITLE), "UTC");
        EXPECT_EQ(Selected(dialog, IDC_PROPS_ZONE), "UTC");
        EXPECT_FALSE(Enabled(dialog, IDC_PROPS_ZONE));
        Click(dialog, IDOK);
      },
      ShowPropertiesDialog);
  ASSERT_EQ(gBoxes.size(), 2u);
  EXPECT_NE(gBoxes[1].find("will fix the Zone setting as 'UTC'"), std::string::npos);
  const ClockRecord& k = Clocks.clocks[1];
  EXPECT_EQ(k.Type, kClockUtc);
  EXPECT_EQ(k.Color, kColorYellow);
  EXPECT_STREQ(k.Id, "UTC");
  EXPECT_STREQ(k.Tz, "UTC0");
}

// Back from a confirmed switch: "Time Zone" makes the zone list usable again.
TEST_F(PropsDialogTest, BackToZoneTypeEnablesTheZoneList) {
  Clocks.SelectedClock = 0;  // the local clock
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        Answer(IDOK);
        Click(dialog, IDC_PROPS_TYPE_UTC);
        EXPECT_FALSE(Enabled(dialog, IDC_PROPS_ZONE));
        Click(dialog, IDC_PROPS_TYPE_ZONE);
        EXPECT_TRUE(Enabled(dialog, IDC_PROPS_ZONE));
        Choose(dialog, IDC_PROPS_ZONE, "Asia/Tokyo");
        EXPECT_EQ(Text(dialog, IDC_PROPS_TITLE), "Tokyo");
        Click(dialog, IDOK);
      },
      ShowPropertiesDialog);
  const ClockRecord& k = Clocks.clocks[0];
  EXPECT_EQ(k.Type, kClockZone);
  EXPECT_STREQ(k.Id, "Asia/Tokyo");
  EXPECT_STREQ(k.Tz, "JST-9");
  EXPECT_STREQ(k.Title, "Tokyo");
  EXPECT_EQ(k.Color, kColorYellow);
}

TEST_F(PropsDialogTest, CancelLeavesTheClock) {
  Clocks.SelectedClock = 1;
  Drive(
      "Clock Properties",
      [](HWND dialog) {
        Choose(dialog, IDC_PROPS_ZONE, "Asia/Tokyo");
        Choose(dialog, IDC_PROPS_COLOR, "Red");
        Click(dialog, IDCANCEL);
      },
      ShowPropertiesDialog);
  EXPECT_STREQ(Clocks.clocks[1].Id, "Australia/Perth");
  EXPECT_EQ(Clocks.clocks[1].Color, kColorGreen);
  EXPECT_STREQ(Clocks.clocks[1].Title, "Perth");
  EXPECT_FALSE(Settings.SettingsDirty);
}

// Rows of the list view, one column's texts from the top.
std::vector<std::string> Column(HWND dialog, int column) {
  HWND view = GetDlgItem(dialog, IDC_ZONES_LIST);
  std::vector<std::string> texts;
  const int n = ListView_GetItemCount(view);
  for (int i = 0; i < n; ++i) {
    char text[128] = "";
    ListView_GetItemText(view, i, column, text, sizeof text);
    texts.push_back(text);
  }
  return texts;
}

void ClickHeading(HWND dialog, int column) {
  NMLISTVIEW click{};
  click.hdr.hwndFrom = GetDlgItem(dialog, IDC_ZONES_LIST);
  click.hdr.idFrom = IDC_ZONES_LIST;
  click.hdr.code = LVN_COLUMNCLICK;
  click.iItem = -1;
  click.iSubItem = column;
  SendMessageA(dialog, WM_NOTIFY, IDC_ZONES_LIST, reinterpret_cast<LPARAM>(&click));
}

std::vector<std::string> Sorted(std::vector<std::string> texts, bool descending) {
  std::sort(texts.begin(), texts.end());
  if (descending) std::reverse(texts.begin(), texts.end());
  return texts;
}

TEST(ZonesDialog, ListsEveryZoneAndSortsEachColumnBothWays) {
  ZonesSort = ZoneSortState{{0, 0, 0}, 0};
  Drive(
      "All Time Zones",
      [](HWND dialog) {
        HWND view = GetDlgItem(dialog, IDC_ZONES_LIST);
        EXPECT_EQ(ListView_GetItemCount(view), ZoneCount());
        // At least as set; wider where the longest text needs it.
        EXPECT_GE(ListView_GetColumnWidth(view, 0), 140);
        EXPECT_GE(ListView_GetColumnWidth(view, 1), 160);
        EXPECT_GE(ListView_GetColumnWidth(view, 2), 200);
        EXPECT_NE(ListView_GetExtendedListViewStyle(view) & LVS_EX_FULLROWSELECT, 0u);
        const std::vector<std::string> names = Column(dialog, 0);
        EXPECT_EQ(names, Sorted(names, false)) << "opens sorted by name";
        // Each row keeps its own texts whatever the order.
        for (int i = 0; i < ListView_GetItemCount(view); ++i) {
          const ZoneEntry* zone = FindZone(names[i].c_str());
          ASSERT_NE(zone, nullptr);
          EXPECT_EQ(Column(dialog, 2)[i], zone->tz);
        }
        for (int c = 0; c < kZoneColumns; ++c) {
          ClickHeading(dialog, c);
          EXPECT_EQ(Column(dialog, c), Sorted(Column(dialog, c), true)) << "column " << c;
          ClickHeading(dialog, c);
          EXPECT_EQ(Column(dialog, c), Sorted(Column(dialog, c), false)) << "column " << c;
        }
        ClickHeading(dialog, 2);  // descending by rule string, then Refresh keeps it
        Click(dialog, IDC_ZONES_REFRESH);
        EXPECT_EQ(ListView_GetItemCount(view), ZoneCount());
        EXPECT_EQ(Column(dialog, 2), Sorted(Column(dialog, 2), true));
        ClickHeading(dialog, 0);  // name now descending, kept after closing
      },
      ShowZonesDialog);
  EXPECT_EQ(ZonesSort.direction[0], 1);
  Drive(
      "All Time Zones",
      [](HWND dialog) {
        EXPECT_EQ(Column(dialog, 0), Sorted(Column(dialog, 0), true)) << "reopened";
        Click(dialog, IDOK);
      },
      ShowZonesDialog);
  ZonesSort = ZoneSortState{{0, 0, 0}, 0};
}

bool Topmost() { return (GetWindowLongA(MainWindow.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

bool StoredDword(const char* name, int32_t* value) {
  uint32_t type = 0;
  uint32_t size = sizeof *value;
  return RegistryRead(kMainKey, name, &type, value, &size) == 0 && type == kRegDword;
}

class PrefsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegistryDeleteTree(kMainKey);
    RegistryDeleteValue(kRunKey, kRunValue);
    Settings = DefaultSettings();
    Strip.fontChanged = 0;
  }
  void TearDown() override {
    Settings.ShowIconInTray = 0;
    ApplyTrayIconSetting();
    SetWindowPos(MainWindow.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RegistryDeleteTree(kMainKey);
    RegistryDeleteValue(kRunKey, kRunValue);
    Settings = DefaultSettings();
  }
};

TEST_F(PrefsDialogTest, OpensWithTheSettings) {
  Settings.TimeStampFmt = 4;
  Settings.DateFormat = 7;  // no such entry
  Drive(
      "Preferences",
      [](HWND dialog) {
        const std::vector<std::string> stamps = {"asctime", "hh:mm:ss", "hh:mm:ssTZD",
                                                 "YYYY-MM-DDThh:mm:ss", "YYYY-MM-DDThh:mm:ssTZD"};
        EXPECT_EQ(Items(dialog, IDC_PREFS_TIMESTAMP), stamps);
        EXPECT_EQ(Selected(dialog, IDC_PREFS_TIMESTAMP), "asctime");
        EXPECT_EQ(Selected(dialog, IDC_PREFS_DATE_FORMAT), "<none>");
        const std::vector<std::string> hours = Items(dialog, IDC_PREFS_UPDATE_TIME);
        ASSERT_EQ(hours.size(), 24u);
        EXPECT_EQ(hours[0], "00:00 - 00:59");
        EXPECT_EQ(hours[23], "23:00 - 23:59");
        EXPECT_FALSE(Checked(dialog, IDC_PREFS_UPDATE_CHECK));
        EXPECT_FALSE(Enabled(dialog, IDC_PREFS_UPDATE_TIME));
        Click(dialog, IDC_PREFS_UPDATE_CHECK);
        EXPECT_TRUE(Enabled(dialog, IDC_PREFS_UPDATE_TIME));
        Click(dialog, IDC_PREFS_UPDATE_CHECK);
        EXPECT_FALSE(Enabled(dialog, IDC_PREFS_UPDATE_TIME));
      },
      ShowPreferencesDialog);
}

// Every control changed, then OK: each setting stored, written and applied.
TEST_F(PrefsDialogTest, OkAppliesEveryChoice) {
  ASSERT_TRUE(Topmost());
  Drive(
      "Preferences",
      [](HWND dialog) {
        Click(dialog, IDC_PREFS_LAUNCH);
        Choose(dialog, IDC_PREFS_DATE_FORMAT, "y-m-d");
        Click(dialog, IDC_PREFS_UPDATE_CHECK);
        Choose(dialog, IDC_PREFS_UPDATE_TIME, "19:00 - 19:59");
        Choose(dialog, IDC_PREFS_FONT_SIZE, "2 - Bigger");
        Choose(dialog, IDC_PREFS_TIMESTAMP, "hh:mm:ssTZD");
        Click(dialog, IDC_PREFS_TRAY);
        Click(dialog, IDC_PREFS_ON_TOP);
        Click(dialog, IDOK);
      },
      ShowPreferencesDialog);
  EXPECT_EQ(Settings.LaunchAtStartup, 1);
  EXPECT_EQ(Settings.DateFormat, 2);
  EXPECT_EQ(Settings.UpdateCheck, 1);
  EXPECT_EQ(Settings.UpdateTime, 19);
  EXPECT_EQ(Settings.FontSize, 2);
  EXPECT_EQ(Settings.TimeStampFmt, 1);
  EXPECT_EQ(Settings.ShowIconInTray, 1);
  EXPECT_EQ(Settings.TurnOffOnTop, 1);
  const std::pair<const char*, int32_t> written[] = {
      {"DateFormat", 2}, {"UpdateCheck", 1},    {"UpdateTime", 19},  {"FontSize", 2},
      {"TimeStampFmt", 1}, {"ShowIconInTray", 1}, {"TurnOffOnTop", 1},
  };
  for (const auto& [name, value] : written) {
    int32_t stored = -1;
    EXPECT_TRUE(StoredDword(name, &stored)) << name;
    EXPECT_EQ(stored, value) << name;
  }
  char path[MAX_PATH] = "";
  char run[MAX_PATH + 1] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  uint32_t type = 0;
  uint32_t size = sizeof run - 1;
  EXPECT_EQ(RegistryRead(kRunKey, kRunValue, &type, run, &size), 0);
  EXPECT_STREQ(run, path);
  EXPECT_EQ(Strip.fontChanged, 1);
  EXPECT_NE(Tray.icon, nullptr);
  EXPECT_FALSE(Topmost());
}

TEST_F(PrefsDialogTest, CancelAppliesNothing) {
  const bool wasTopmost = Topmost();
  Drive(
      "Preferences",
      [](HWND dialog) {
        Click(dialog, IDC_PREFS_LAUNCH);
        Choose(dialog, IDC_PREFS_DATE_FORMAT, "y-m-d");
        Click(dialog, IDC_PREFS_UPDATE_CHECK);
        Choose(dialog, IDC_PREFS_UPDATE_TIME, "19:00 - 19:59");
        Choose(dialog, IDC_PREFS_FONT_SIZE, "2 - Bigger");
        Choose(dialog, IDC_PREFS_TIMESTAMP, "hh:mm:ssTZD");
        Click(dialog, IDC_PREFS_TRAY);
        Click(dialog, IDC_PREFS_ON_TOP);
        Click(dialog, IDCANCEL);
      },
      ShowPreferencesDialog);
  const SettingsRecord defaults = DefaultSettings();
  EXPECT_EQ(Settings.LaunchAtStartup, 0);
  EXPECT_EQ(Settings.DateFormat, defaults.DateFormat);
  EXPECT_EQ(Settings.UpdateCheck, 0);
  EXPECT_EQ(Settings.FontSize, 0);
  EXPECT_EQ(Settings.TimeStampFmt, defaults.TimeStampFmt);
  EXPECT_EQ(Settings.ShowIconInTray, 0);
  EXPECT_EQ(Settings.TurnOffOnTop, 0);
  for (const char* name : {"DateFormat", "UpdateCheck", "UpdateTime", "FontSize", "TimeStampFmt",
                           "ShowIconInTray", "TurnOffOnTop"}) {
    int32_t stored = 0;
    EXPECT_FALSE(StoredDword(name, &stored)) << name;
  }
  char run[MAX_PATH + 1] = "";
  uint32_t type = 0;
  uint32_t size = sizeof run - 1;
  EXPECT_NE(RegistryRead(kRunKey, kRunValue, &type, run, &size), 0);
  EXPECT_EQ(Strip.fontChanged, 0);
  EXPECT_EQ(Tray.icon, nullptr);
  EXPECT_EQ(Topmost(), wasTopmost);
}

}  // namespace
