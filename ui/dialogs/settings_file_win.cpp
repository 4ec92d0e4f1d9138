#include "ui/dialogs/dialogs.h"

void ExportSettings(HWND) {}
void ImportSettings(HWND) {}
