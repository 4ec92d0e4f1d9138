// Keys of the zone search box.
#include "ui/dialogs/zone_find_win.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR kZoneFindSubclass = 1;

bool IsEnter(const MSG* message) {
  return message != nullptr && message->message == WM_KEYDOWN && message->wParam == VK_RETURN;
}

LRESULT CALLBACK ZoneFindKeysProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR listId) {
  HWND dialog = GetParent(box);
  switch (message) {
    case WM_GETDLGCODE:
      // Enter comes to the box, not to the dialog's default button.
      if (IsEnter(reinterpret_cast<const MSG*>(lParam))) {
        return DLGC_WANTMESSAGE | DefSubclassProc(box, message, wParam, lParam);
      }
      break;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), kZoneFindEnter),
                     reinterpret_cast<LPARAM>(box));
        return 0;
      }
      if (wParam == VK_DOWN) {
        SendMessageA(dialog, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(dialog, static_cast<int>(listId))), TRUE);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == '\r') return 0;  // no beep for the Enter taken above
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(box, ZoneFindKeysProc, kZoneFindSubclass);
      break;
    default:
      break;
  }
  return DefSubclassProc(box, message, wParam, lParam);
}

}  // namespace

void AttachZoneFind(HWND box, int listId) {
  if (box == nullptr) return;
  SendMessageA(box, EM_LIMITTEXT, kZoneFindChars - 1, 0);
  SetWindowSubclass(box, ZoneFindKeysProc, kZoneFindSubclass, static_cast<DWORD_PTR>(listId));
}
