#include "ui/dialogs/dialogs.h"

void ShowCalendarDialog(HWND) {}
