#include "ui/dialogs/dialogs.h"

void ShowPreferencesDialog(HWND) {}
