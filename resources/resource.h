// Resource and command ids, shared by horlix.rc and the code.
#pragma once

// Icons (named resources).
#define IDI_HORLIX "AAHORLIX"
#define IDI_ATTENTION "ATTENTION"
#define IDI_ALARM "ALARMICON"

// Menus.
#define IDM_POPUP "POPUPMENU"
#define IDM_TASKBAR "TASKBARMENU"

// Menu commands of the strip and the tray icon.
#define IDM_EXIT 100
#define IDM_ABOUT 102
#define IDM_PROPERTIES 103
#define IDM_ADD_CLOCK 104
#define IDM_REMOVE_CLOCK 105
#define IDM_MOVE_LEFT 106
#define IDM_MOVE_RIGHT 107
#define IDM_SAVE_SETTINGS 108
#define IDM_DUPLICATE_CLOCK 109
#define IDM_HELP 110
#define IDM_ALL_ZONES 111
#define IDM_PREFERENCES 112
#define IDM_CHECK_UPDATES 113
#define IDM_WEB 114
#define IDM_CALENDAR 115
#define IDM_REFRESH 116
#define IDM_COUNTDOWN 117
#define IDM_HIDE_CLOCKS 118
#define IDM_RESET_POSITION 120
#define IDM_CAPTURE_TIMESTAMP 121
#define IDM_PREVIEW 122
#define IDM_PLAN_MEETING 130

// Dialog and control ids.
#include "ids_props.h"
#include "ids_misc.h"
#include "ids_update.h"
#include "ids_planner.h"
