// "Capture Timestamp": the selected clock's present moment (or the previewed
// one), offered for the clipboard.
#include <cstdio>
#include <cstring>

#include "clocks/settings.h"
#include "ui/strip/strip.h"
#include "ui/strip/timestamp.h"

void CaptureTimestamp(HWND window) {
  if (Clocks.SelectedClock < 0 || Clocks.SelectedClock >= Clocks.N) return;
  char stamp[kTimestampChars];
  ClockTimestamp(Clocks.clocks[Clocks.SelectedClock], StripInstant(), Settings.TimeStampFmt,
                 stamp, sizeof stamp);
  char question[128];
  std::snprintf(question, sizeof question, "Save timestamp '%s' to clipboard?", stamp);
  if (MessageBoxA(window, question, "Save Timestamp to Clipboard?",
                  MB_OKCANCEL | MB_DEFBUTTON2) == IDOK) {
    CopyTextToClipboard(window, stamp);
  }
}

int PutClipboardText(UINT format, const char* text) {
  const size_t length = std::strlen(text);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
  if (block == nullptr) return 0;
  char* copy = static_cast<char*>(GlobalLock(block));
  if (copy == nullptr) {
    GlobalFree(block);
    return 0;
  }
  std::memcpy(copy, text, length + 1);
  GlobalUnlock(block);
  if (SetClipboardData(format, block) == nullptr) GlobalFree(block);
  return 1;
}

int CopyTextToClipboard(HWND owner, const char* text) {
  if (!OpenClipboard(owner)) return 0;
  EmptyClipboard();
  const int done = PutClipboardText(CF_TEXT, text);
  CloseClipboard();
  return done;
}
