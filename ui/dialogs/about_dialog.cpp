#include "ui/dialogs/dialogs.h"

void ShowAboutDialog(HWND) {}
void OpenInBrowser(HWND, const char*) {}
void RestartProgram(HWND) {}
