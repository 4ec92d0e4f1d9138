// Ids of the meeting planner window.
#pragma once

// "DLGPLANNER": Plan a Meeting.
#define IDD_PLANNER "DLGPLANNER"
#define IDC_PLANNER_GRID 1301
#define IDC_PLANNER_DATE 1302
#define IDC_PLANNER_STEP 1303
#define IDC_PLANNER_DURATION 1304
#define IDC_PLANNER_COPY 1305
#define IDC_PLANNER_SAVE 1306
#define IDC_PLANNER_SLOT 1307
