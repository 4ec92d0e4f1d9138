#include "ui/dialogs/dialogs.h"

void ShowZonesDialog(HWND) {}
