// Ids of the clock properties, all zones and preferences dialogs.
#pragma once

// "DLGPROPS": clock properties.
#define IDD_PROPS "DLGPROPS"
#define IDC_PROPS_HELP 110
#define IDC_PROPS_TYPE_ZONE 800
#define IDC_PROPS_TYPE_LOCAL 801
#define IDC_PROPS_TYPE_UTC 802
#define IDC_PROPS_TITLE 1004
#define IDC_PROPS_ZONE 1005
#define IDC_PROPS_FORMAT 1006
#define IDC_PROPS_COLOR 1007
#define IDC_PROPS_WIDTH 1009
#define IDC_PROPS_TZ 1010
#define IDC_PROPS_WORK_START 1040
#define IDC_PROPS_WORK_END 1041
// Seven working-day boxes, IDC_PROPS_WORK_DAY + 0 (Sunday) .. + 6 (Saturday).
#define IDC_PROPS_WORK_DAY 1042

// "DLGZONES": all time zones.
#define IDD_ZONES "DLGZONES"
#define IDC_ZONES_LIST 1011
#define IDC_ZONES_REFRESH 1012

// "DLGPREFS": preferences.
#define IDD_PREFS "DLGPREFS"
#define IDC_PREFS_LAUNCH 1101
#define IDC_PREFS_DATE_FORMAT 1102
#define IDC_PREFS_UPDATE_CHECK 1103
#define IDC_PREFS_UPDATE_TIME 1104
#define IDC_PREFS_FONT_SIZE 1105
#define IDC_PREFS_TIMESTAMP 1106
#define IDC_PREFS_TRAY 1107
#define IDC_PREFS_ON_TOP 1108
#define IDC_PREFS_EXPORT 1109
#define IDC_PREFS_IMPORT 1110
