// The zone search box of the properties and all-zones dialogs: its keys.
#pragma once

#include <windows.h>

#include "tz/zone_search.h"

// The text typed, cut to what the search compares (and a little more, so a
// longer text still finds nothing rather than a shorter one's zones).
constexpr size_t kZoneFindChars = 2 * kZoneQueryChars;
// The notification code of WM_COMMAND from the box when Enter is pressed in
// it (rather than the dialog's default button taking the key).
constexpr WORD kZoneFindEnter = 0x7F01;

// Makes Down in the search box move the focus into the dialog's control
// listId, so the arrow keys go on in the list, and Enter send kZoneFindEnter.
void AttachZoneFind(HWND box, int listId);
