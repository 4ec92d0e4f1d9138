#include "ui/dialogs/dialogs.h"

void ShowCountdownDialog(HWND) {}
void CheckCountdown(HWND) {}
