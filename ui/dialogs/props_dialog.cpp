#include "ui/dialogs/dialogs.h"

void ShowPropertiesDialog(HWND) {}
