#include "ui/dialogs/value_lists_win.h"

#include <cstdlib>

#include "clocks/clock_list.h"
#include "tz/fatal.h"

void SelectValue(HWND list, const ValueEntry* table, int32_t value) {
  const char* label = LabelOfValue(table, value);
  LRESULT index = CB_ERR;
  if (label != nullptr) {
    index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(label));
  }
  SendMessageA(list, CB_SETCURSEL, index == CB_ERR ? static_cast<WPARAM>(-1) : index, 0);
}

void FillValueList(HWND list, const ValueEntry* table, int32_t value) {
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  const int n = CountValues(table);
  for (int i = 0; i < n; ++i) {
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(table[i].label));
  }
  SelectValue(list, table, value);
}

bool ReadListSelection(HWND list, char* out, size_t size, size_t maxLen) {
  if (size == 0) return false;
  out[0] = '\0';
  const LRESULT index = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return false;
  const LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length < 0) return false;
  // The entry may be longer than the caller's bound, so read it whole first.
  char* text = static_cast<char*>(std::calloc(static_cast<size_t>(length) + 1, 1));
  if (text == nullptr) FatalOutOfMemory("calloc failed to allocate memory.");
  SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  text[length] = '\0';
  CopyBounded(out, size, text, maxLen);
  std::free(text);
  return true;
}

int32_t ReadValueList(HWND list, const ValueEntry* table) {
  char label[128];
  if (!ReadListSelection(list, label, sizeof label, sizeof label - 1)) return kNoValue;
  return ValueOfLabel(table, label);
}
