// The update dialog's progress list as the update logic sees it: lines are
// cleared and added through two calls. The Windows side is a list box
// repainted after every line (progress_list_win.cpp); a null list drops
// every line (the daily check has none).
#pragma once

#include <cstddef>

constexpr size_t kProgressLineChars = 255;

struct ProgressList {
  void (*clear)(ProgressList* self);
  void (*add)(ProgressList* self, const char* line);  // at most 255 characters
  void* context;
};

void ProgressClear(ProgressList* list);
// Adds the text cut at 255 characters.
void ProgressAdd(ProgressList* list, const char* text);
// Formats into a 256-byte line and adds it.
void ProgressAddFormat(ProgressList* list, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// A list box (HWND): each line is added at the end and shown at once.
ProgressList ListBoxProgress(void* listBox);
