#include "update/progress_list.h"

#include <cstdarg>
#include <cstdio>

#include "clocks/clock_list.h"

void ProgressClear(ProgressList* list) {
  if (list != nullptr && list->clear != nullptr) list->clear(list);
}

void ProgressAdd(ProgressList* list, const char* text) {
  if (list == nullptr || list->add == nullptr) return;
  char line[kProgressLineChars + 1];
  CopyBounded(line, sizeof line, text, kProgressLineChars);
  list->add(list, line);
}

void ProgressAddFormat(ProgressList* list, const char* format, ...) {
  char line[kProgressLineChars + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  ProgressAdd(list, line);
}
