// The calendar, countdown, alarm and About dialogs driven through their
// controls under Wine. Each dialog is modal, so a thread timer started before
// it opens runs the steps inside the dialog's own message loop, then closes it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "clocks/settings.h"
#include "resources/resource.h"
#include "tz/wall_clock.h"
#include "ui/dialogs/calendar.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/misc_logic.h"

namespace {

constexpr UtcInstant kStart = 1796000000;

// A visible top-level window of this thread with the given title (other
// programs under the same Wine server may show the same dialogs).
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
  char text[256] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

void Press(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Runs `steps` once the dialog titled `title` is open, then closes it.
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
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

void Drive(const char* title, Steps steps, void (*show)(HWND)) {
  gTitle = title;
  gSteps = steps;
  gRan = false;
  SetTimer(nullptr, 0, 20, RunSteps);
  show(nullptr);
  EXPECT_TRUE(gRan) << title << " did not open";
}

SYSTEMTIME Date(int year, int month, int day, int hour = 0) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  return t;
}

TEST(DaysBetween, CountsWholeDaysOfWin32Dates) {
  const SYSTEMTIME today = Date(2028, 2, 28);
  EXPECT_EQ(DaysBetween(today, Date(2028, 2, 28)), 0);
  EXPECT_EQ(DaysBetween(today, Date(2028, 2, 29)), 1);
  EXPECT_EQ(DaysBetween(today, Date(2028, 3, 1)), 2);
  EXPECT_EQ(DaysBetween(today, Date(2028, 2, 27)), -1);
  EXPECT_EQ(DaysBetween(today, Date(2029, 2, 28)), 366);
  EXPECT_EQ(DaysBetween(Date(2029, 2, 28), Date(2030, 2, 28)), 365);
  EXPECT_EQ(DaysBetween(today, Date(2028, 2, 29, 12)), 1) << "36 hours ahead";
  EXPECT_EQ(DaysBetween(today, Date(2028, 2, 26, 12)), -1) << "36 hours back";
  EXPECT_EQ(DaysBetween(today, Date(2100, 2, 28)), 26298) << "72 years: more seconds than 32 bits";
}

// Selects a date in the calendar the way a click does: the control's
// selection notification reaches the dialog.
void Select(HWND dialog, const SYSTEMTIME& date, UINT_PTR from = 1036) {
  HWND calendar = GetDlgItem(dialog, 1036);
  SendMessageA(calendar, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&date));
  NMSELCHANGE change{};
  change.nmhdr.hwndFrom = calendar;
  change.nmhdr.idFrom = from;
  change.nmhdr.code = MCN_SELECT;
  change.stSelStart = date;
  change.stSelEnd = date;
  SendMessageA(dialog, WM_NOTIFY, from, reinterpret_cast<LPARAM>(&change));
}

SYSTEMTIME Today(HWND dialog) {
  SYSTEMTIME today{};
  SendDlgItemMessageA(dialog, 1036, MCM_GETTODAY, 0, reinterpret_cast<LPARAM>(&today));
  today.wHour = today.wMinute = today.wSecond = today.wMilliseconds = 0;
  return today;
}

// The same date `days` away, through the tick count of the platform.
SYSTEMTIME AddDays(SYSTEMTIME t, int days) {
  FILETIME f;
  SystemTimeToFileTime(&t, &f);
  ULARGE_INTEGER v;
  v.LowPart = f.dwLowDateTime;
  v.HighPart = f.dwHighDateTime;
  v.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(days) * 864000000000LL);
  f.dwLowDateTime = v.LowPart;
  f.dwHighDateTime = v.HighPart;
  FileTimeToSystemTime(&f, &t);
  return t;
}

TEST(CalendarDialog, ShowsTheDaysFromToday) {
  Drive(
      "Horlix Calendar (Local time)",
      [](HWND dialog) {
        EXPECT_EQ(Text(dialog, 1037), " ") << "one space until the first selection";
        const SYSTEMTIME today = Today(dialog);
        Select(dialog, AddDays(today, 1));
        EXPECT_EQ(Text(dialog, 1037), "1 day");
        Select(dialog, today);
        EXPECT_EQ(Text(dialog, 1037), "0 days");
        Select(dialog, AddDays(today, -1));
        EXPECT_EQ(Text(dialog, 1037), "-1 days");
        Select(dialog, AddDays(today, 2));
        EXPECT_EQ(Text(dialog, 1037), "2 days");
        Select(dialog, AddDays(today, 30), 1037);
        EXPECT_EQ(Text(dialog, 1037), "2 days") << "a notice from another control is ignored";
      },
      ShowCalendarDialog);
}

class CountdownDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Countdown = CountdownState{};
    FixWallClock(kStart, nullptr);
  }
  void TearDown() override {
    Countdown = CountdownState{};
    ReleaseWallClock();
    // No alarm window may outlive its test.
    while (HWND alarm = FindOwnWindow("Horlix Alarm")) DestroyWindow(alarm);
  }
};

TEST_F(CountdownDialogTest, StartWithAllZeroDoesNothing) {
  Drive(
      "Countdown Timer",
      [](HWND dialog) {
        for (int id : {1038, 1040, 1042}) EXPECT_EQ(Text(dialog, id), "0") << id;
        Press(dialog, 1044);
        EXPECT_EQ(Text(dialog, 1044), "Start");
        EXPECT_FALSE(Countdown.running);
        for (int id : {1038, 1039, 1040, 1041, 1042, 1043, 1045}) EXPECT_TRUE(Enabled(dialog, id)) << id;
      },
      ShowCountdownDialog);
}

TEST_F(CountdownDialogTest, TwoSecondsRaiseTheAlarmOnTheFirstTickAfterTheEnd) {
  Drive(
      "Countdown Timer",
      [](HWND dialog) {
        SetDlgItemTextA(dialog, 1042, "2");
        Press(dialog, 1044);
        ASSERT_TRUE(Countdown.running);
        EXPECT_EQ(Countdown.endTime, kStart + 2);
        EXPECT_EQ(Text(dialog, 1044), "Stop");
        for (int id : {1038, 1039, 1040, 1041, 1042, 1043, 1045}) {
          EXPECT_FALSE(Enabled(dialog, id)) << id;
        }
        FixWallClock(kStart + 1, nullptr);
        SendMessageA(dialog, WM_TIMER, 3, 0);
        EXPECT_EQ(Text(dialog, 1042), "1");

        FixWallClock(kStart + 2, nullptr);
        CheckCountdown(nullptr);
        EXPECT_EQ(FindOwnWindow("Horlix Alarm"), nullptr) << "not in the second that reaches 0";
        FixWallClock(kStart + 3, nullptr);
        CheckCountdown(nullptr);
        HWND alarm = FindOwnWindow("Horlix Alarm");
        ASSERT_NE(alarm, nullptr);
        EXPECT_FALSE(Countdown.running);
        EXPECT_EQ(Text(alarm, IDOK), "OFF");

        // The dialog's next tick returns it to the stopped state.
        SendMessageA(dialog, WM_TIMER, 3, 0);
        EXPECT_EQ(Text(dialog, 1044), "Start");
        EXPECT_TRUE(Enabled(dialog, 1042));

        Press(alarm, IDOK);
        EXPECT_FALSE(IsWindow(alarm)) << "OFF closes the alarm";
      },
      ShowCountdownDialog);
}

TEST_F(CountdownDialogTest, EveryAlarmHasItsOwnWindowAndEscapeClosesOne) {
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(StartCountdown(0, 0, 1, CurrentInstant()));
    FixWallClock(CurrentInstant() + 2, nullptr);
    CheckCountdown(nullptr);
  }
  int alarms = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        char text[64] = "";
        GetWindowTextA(window, text, sizeof text);
        if (std::strcmp(text, "Horlix Alarm") == 0) ++*reinterpret_cast<int*>(data);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&alarms));
  EXPECT_EQ(alarms, 2);
  HWND alarm = FindOwnWindow("Horlix Alarm");
  ASSERT_NE(alarm, nullptr);
  // Escape reaches the focused button, as the program's own loop delivers it.
  SendMessageA(GetDlgItem(alarm, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_FALSE(IsWindow(alarm));
  Press(alarm = FindOwnWindow("Horlix Alarm"), 12345);
  EXPECT_TRUE(IsWindow(alarm)) << "other commands have no effect";
}

TEST_F(CountdownDialogTest, ReopeningShowsTheRemainingTime) {
  ASSERT_TRUE(StartCountdown(0, 90, 0, kStart));
  FixWallClock(kStart + 1, nullptr);
  Drive(
      "Countdown Timer",
      [](HWND dialog) {
        EXPECT_EQ(Text(dialog, 1038), "1");
        EXPECT_EQ(Text(dialog, 1040), "29");
        EXPECT_EQ(Text(dialog, 1042), "59");
        EXPECT_EQ(Text(dialog, 1044), "Stop");
        EXPECT_FALSE(Enabled(dialog, 1045));
        EXPECT_FALSE(Enabled(dialog, 1040));
      },
      ShowCountdownDialog);
  EXPECT_TRUE(Countdown.running) << "hiding the dialog leaves the countdown running";
}

int CountOwnWindows(const char* title) {
  struct Count {
    const char* title;
    int n;
  } count = {title, 0};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* c = reinterpret_cast<Count*>(data);
        char text[128] = "";
        GetWindowTextA(window, text, sizeof text);
        if (std::strcmp(text, c->title) == 0 && IsWindowVisible(window)) ++c->n;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.n;
}

// Closes every countdown dialog, so that a second one opened by mistake
// makes the test fail instead of waiting for ever.
void CALLBACK CloseAllCountdowns(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  while (HWND d = FindOwnWindow("Countdown Timer")) {
    SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
    ShowWindow(d, SW_HIDE);
  }
}

TEST_F(CountdownDialogTest, ASecondCommandDoesNotOpenASecondDialog) {
  Drive(
      "Countdown Timer",
      [](HWND dialog) {
        SetTimer(nullptr, 0, 3000, CloseAllCountdowns);
        ShowCountdownDialog(nullptr);
        EXPECT_EQ(CountOwnWindows("Countdown Timer"), 1);
        EXPECT_TRUE(IsWindowVisible(dialog));
      },
      ShowCountdownDialog);
}

TEST_F(CountdownDialogTest, StopAndReset) {
  Drive(
      "Countdown Timer",
      [](HWND dialog) {
        SetDlgItemTextA(dialog, 1038, "3");
        SetDlgItemTextA(dialog, 1040, "abc");
        Press(dialog, 1044);
        EXPECT_EQ(Countdown.endTime, kStart + 3 * 3600) << "text that is no number reads as 0";
        Press(dialog, 1044);
        EXPECT_FALSE(Countdown.running);
        EXPECT_EQ(Text(dialog, 1044), "Start");
        Press(dialog, 1045);
        for (int id : {1038, 1040, 1042}) EXPECT_EQ(Text(dialog, id), "0") << id;
      },
      ShowCountdownDialog);
}

void CheckAboutStatus(HWND dialog) {
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK)) << "the focus starts on OK";
  const char* expected[] = {"", "ATTENTION: an updated time zone file is available.",
                            "ATTENTION: a newer version of Horlix is available."};
  EXPECT_EQ(Text(dialog, 1154), expected[Settings.UpdateStatus]);
  const std::string build = Text(dialog, 1153);
  ASSERT_GE(build.size(), 4u);
  EXPECT_EQ(build.front(), '[');
  EXPECT_EQ(build.substr(build.size() - 2), "] ");
  EXPECT_EQ(Text(dialog, 1156), "horlix.example/horlix/");
  // The link is sized to its caption plus the edges, not left at its template size.
  HWND link = GetDlgItem(dialog, 1156);
  RECT r;
  GetWindowRect(link, &r);
  HDC dc = GetDC(link);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)));
  SIZE size;
  GetTextExtentPoint32A(dc, "horlix.example/horlix/", 22, &size);
  SelectObject(dc, old);
  ReleaseDC(link, dc);
  EXPECT_EQ(r.right - r.left, size.cx + 2 * GetSystemMetrics(SM_CXEDGE));
  EXPECT_EQ(r.bottom - r.top, size.cy + 2 * GetSystemMetrics(SM_CYEDGE));
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_TRUE(font.lfUnderline);
}

TEST(AboutDialog, StatusTextFollowsTheUpdateStatus) {
  for (int32_t status : {0, 1, 2}) {
    Settings.UpdateStatus = status;
    Drive("About Horlix", CheckAboutStatus, ShowAboutDialog);
  }
  Settings.UpdateStatus = 0;
}

}  // namespace
