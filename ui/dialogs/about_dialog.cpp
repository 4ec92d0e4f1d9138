// "ABOUTBOX" with its link buttons, the browser opener and the program's
// restart.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "resources/resource.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/links.h"
#include "update/sites.h"
#include "ui/strip/strip.h"
#include "clocks/settings.h"
#include "update/update_status.h"

namespace {

// What the About box keeps while it is open.
struct AboutState {
  HWND window;  // the open box: a second command brings it to the front
  LinkMetrics metrics;
  HFONT linkFont;
  char webCaption[kLinkCaptionChars];
  char updateCaption[kLinkCaptionChars];
};

AboutState gAbout;

#ifdef HORLIX_DEVELOPMENT_KEY
constexpr char kDevelopmentBuildNotice[] =
    "This is a development build: its updates are signed with a published key.";
#endif

// The address without its scheme, the web link's caption.
const char* WithoutScheme(const char* address) {
  const char* rest = std::strstr(address, "://");
  return rest != nullptr ? rest + 3 : address;
}

void OnAboutInit(HWND dialog) {
  gAbout.window = dialog;
#ifdef HORLIX_DEVELOPMENT_KEY
  // Anyone can sign an update that this build takes: say so in place of
  // the maker's notice.
  SetDlgItemTextA(dialog, IDC_ABOUT_NOTICE, kDevelopmentBuildNotice);
#endif
  char build[64];
  std::snprintf(build, sizeof build, "[%s %s] ", __DATE__, __TIME__);
  SetDlgItemTextA(dialog, IDC_ABOUT_BUILD, build);
  const int32_t status = ShownUpdateStatus(Settings.UpdateStatus);
  SetDlgItemTextA(dialog, IDC_ABOUT_STATUS, status != 0 ? UpdateStatusText(status) : "");

  char page[256];
  UpdateWebAddress(kProgramPagePath, page, sizeof page);
  SetDlgItemTextA(dialog, IDC_ABOUT_WEB_LINK, WithoutScheme(page));
  gAbout.linkFont = MakeLinkFont(dialog, IDC_ABOUT_WEB_LINK, &gAbout.metrics);
  GetDlgItemTextA(dialog, IDC_ABOUT_WEB_LINK, gAbout.webCaption, sizeof gAbout.webCaption);
  FitLink(dialog, IDC_ABOUT_WEB_LINK, gAbout.webCaption, gAbout.metrics, gAbout.linkFont);
  GetDlgItemTextA(dialog, IDC_ABOUT_UPDATE_NOW, gAbout.updateCaption,
                  sizeof gAbout.updateCaption);
  FitLink(dialog, IDC_ABOUT_UPDATE_NOW, gAbout.updateCaption, gAbout.metrics, gAbout.linkFont);
}

void OnAboutDrawItem(HWND dialog, const DRAWITEMSTRUCT* item) {
  if (item->CtlID == IDC_ABOUT_UPDATE_NOW) {
    if (ShownUpdateStatus(Settings.UpdateStatus) > 1) {
      DrawLink(dialog, IDC_ABOUT_UPDATE_NOW, item, gAbout.updateCaption, gAbout.metrics);
    }
  } else if (item->CtlID == IDC_ABOUT_WEB_LINK) {
    DrawLink(dialog, IDC_ABOUT_WEB_LINK, item, gAbout.webCaption, gAbout.metrics);
  }
}

INT_PTR OnAboutColor(HDC dc, HWND control) {
  if (GetDlgCtrlID(control) != IDC_ABOUT_STATUS) return FALSE;
  SetTextColor(dc, RGB(255, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
}

void OnAboutCommand(HWND dialog, int id) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, id);
      break;
    case IDC_ABOUT_UPDATE_NOW:
      OpenInBrowser(dialog, kDownloadWebPath);
      break;
    case IDC_ABOUT_WEB_LINK:
      OpenInBrowser(dialog, kProgramPagePath);
      break;
    default:
      break;
  }
}

void OnAboutDestroy() {
  if (gAbout.linkFont != nullptr) DeleteObject(gAbout.linkFont);
  gAbout.linkFont = nullptr;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceBesideStrip(dialog);
      OnAboutInit(dialog);
      SetDialogIcon(dialog, IDC_ABOUT_ICON, IDI_HORLIX);
      // OK, not the first link (which may be drawn blank), takes the focus.
      SetFocus(GetDlgItem(dialog, IDOK));
      return FALSE;
    case WM_DRAWITEM:
      OnAboutDrawItem(dialog, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return OnAboutColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
      OnAboutCommand(dialog, LOWORD(wParam));
      return TRUE;
    case WM_DESTROY:
      OnAboutDestroy();
      ReleaseDialogIcon(dialog, IDC_ABOUT_ICON);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

HFONT MakeLinkFont(HWND dialog, int control, LinkMetrics* metrics) {
  metrics->edgeWidth = GetSystemMetrics(SM_CXEDGE);
  metrics->edgeHeight = GetSystemMetrics(SM_CYEDGE);
  HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, control, WM_GETFONT, 0, 0));
  if (font == nullptr) return nullptr;
  LOGFONTA description;
  if (GetObjectA(font, sizeof description, &description) == 0) return nullptr;
  description.lfUnderline = TRUE;
  return CreateFontIndirectA(&description);
}

void FitLink(HWND dialog, int control, const char* caption, const LinkMetrics& metrics,
             HFONT font) {
  if (font == nullptr) return;
  HWND button = GetDlgItem(dialog, control);
  SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  HDC dc = GetDC(button);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, caption, static_cast<int>(std::strlen(caption)), &size);
  SelectObject(dc, old);
  ReleaseDC(button, dc);
  SetWindowPos(button, nullptr, 0, 0, size.cx + 2 * metrics.edgeWidth,
               size.cy + 2 * metrics.edgeHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(button, SW_SHOW);
}

void DrawLink(HWND dialog, int control, const DRAWITEMSTRUCT* item, const char* caption,
              const LinkMetrics& metrics) {
  HDC dc = item->hDC;
  SetTextColor(dc, kLinkColor);
  SetBkMode(dc, TRANSPARENT);
  ExtTextOutA(dc, item->rcItem.left + metrics.edgeWidth, item->rcItem.top + metrics.edgeHeight,
              ETO_OPAQUE, &item->rcItem, caption, static_cast<UINT>(std::strlen(caption)),
              nullptr);
  if (GetFocus() == GetDlgItem(dialog, control)) DrawFocusRect(dc, &item->rcItem);
}

void ShowAboutDialog(HWND owner) {
  if (gAbout.window != nullptr) {
    SetForegroundWindow(gAbout.window);
    return;
  }
  gAbout = AboutState{};
  DialogBoxParamA(GetModuleHandleA(nullptr), IDD_ABOUT, owner, AboutProc, 0);
  gAbout.window = nullptr;
}

void OpenInBrowser(HWND owner, const char* path) {
  char address[256];
  UpdateWebAddress(path, address, sizeof address);
  char quoted[256];
  std::snprintf(quoted, sizeof quoted, "\"%s\"", address);
  const INT_PTR result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(owner, nullptr, quoted, nullptr, nullptr, SW_SHOWNORMAL));
  if (result > 32) return;
  char text[96];
  std::snprintf(text, sizeof text, "Sorry, failed to open a browser: error code=%d",
                static_cast<int>(result));
  MessageBoxA(owner, text, "HORLIX", MB_OK | MB_ICONWARNING);
}

void RestartProgram(HWND window) {
  // A new instance must not find this one's mutex; the window's destruction
  // then sees it gone and leaves it alone.
  if (MainWindow.instanceMutex != nullptr) {
    ReleaseMutex(MainWindow.instanceMutex);
    CloseHandle(MainWindow.instanceMutex);
    MainWindow.instanceMutex = nullptr;
  }
  char program[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  program[length < sizeof program ? length : sizeof program - 1] = '\0';
  const INT_PTR started = reinterpret_cast<INT_PTR>(
      ShellExecuteA(GetDesktopWindow(), "OPEN", program, nullptr, nullptr, SW_SHOWDEFAULT));
  if (started <= 32) {
    // The settings are saved; say so rather than vanish without a word.
    char text[160];
    std::snprintf(text, sizeof text,
                  "Horlix could not start again (error code=%d). Please start it yourself.",
                  static_cast<int>(started));
    MessageBoxA(window, text, "HORLIX", MB_OK | MB_ICONWARNING);
  }
  SendMessageA(MainWindow.window != nullptr ? MainWindow.window : window, kPrivateCloseMessage, 0,
               0);
}
