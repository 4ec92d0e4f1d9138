// Drop-down lists filled from and read back through the value tables.
#pragma once

#include <windows.h>

#include "ui/dialogs/value_lists.h"

// Clears the list, adds every label of the table in table order (a sorted
// list orders them itself) and selects the entry holding value; nothing is
// selected when no entry holds it.
void FillValueList(HWND list, const ValueEntry* table, int32_t value);
// Selects the entry holding value, or nothing when no entry holds it.
void SelectValue(HWND list, const ValueEntry* table, int32_t value);
// The value of the selected label; kNoValue when nothing is selected or the
// label is not in the table.
int32_t ReadValueList(HWND list, const ValueEntry* table);
// The selected entry's text cut at maxLen characters into out; false when
// nothing is selected.
bool ReadListSelection(HWND list, char* out, size_t size, size_t maxLen);
