// The progress list box: the thread is blocked by the fetch that follows a
// line, so each line is painted at once.
#include <windows.h>

#include "update/progress_list.h"

namespace {

void ClearListBox(ProgressList* self) {
  HWND box = static_cast<HWND>(self->context);
  SendMessageA(box, LB_RESETCONTENT, 0, 0);
  UpdateWindow(box);
}

void AddToListBox(ProgressList* self, const char* line) {
  HWND box = static_cast<HWND>(self->context);
  SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  UpdateWindow(box);
}

}  // namespace

ProgressList ListBoxProgress(void* listBox) { return ProgressList{ClearListBox, AddToListBox, listBox}; }
