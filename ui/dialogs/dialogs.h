// One entry function per dialog of the clock program; each dialog's
// procedure and data stay private to its own file.
#pragma once

#include <windows.h>

// "DLGPROPS" for Clocks.SelectedClock (-1 = a new clock).
void ShowPropertiesDialog(HWND owner);
// "DLGZONES".
void ShowZonesDialog(HWND owner);
// "DLGPREFS".
void ShowPreferencesDialog(HWND owner);
// "DLGCALENDAR".
void ShowCalendarDialog(HWND owner);
// "DLGCOUNTDOWN".
void ShowCountdownDialog(HWND owner);
// Timer 3: raises the alarm when a running countdown has expired.
void CheckCountdown(HWND owner);
// "DLGUPDATE": the update status, checks, the zone data update and the upgrade.
void ShowUpdateDialog(HWND owner);
// "DLGPLANNER", modeless: opens the meeting planner or brings it forward.
void ShowPlannerWindow(HWND owner);
// For the message loop: the planner's keys and dialog navigation; true when
// the message was handled.
bool PlannerHandlesMessage(MSG* msg);
// "ABOUTBOX".
void ShowAboutDialog(HWND owner);
// Moves a dialog of the strip beside it (called as the dialog initialises):
// centred on the strip's monitor and clear of the strip where there is room.
void PlaceBesideStrip(HWND dialog);
// Opens a page of the maker's web site (path such as "/horlix/") in the browser.
void OpenInBrowser(HWND owner, const char* path);
// Ends this instance and starts the program again.
void RestartProgram(HWND window);
// Writes the clock list and settings to a file the user picks.
void ExportSettings(HWND owner);
// Reads them back from a file the user picks, saves them and restarts.
void ImportSettings(HWND owner);
