#include <windows.h>

#include <cstdio>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"

namespace {

constexpr int kCsidlAppData = 26;
using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
using HelpEntryFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

struct HelpViewer {
  HMODULE library;
  HelpEntryFn entry;
  bool failed;
};

HelpViewer gHelp;

// The registered location of the viewer, expanded when stored as REG_EXPAND_SZ.
bool RegisteredViewerPath(char* path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT,
                    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  char value[kPathChars];
  DWORD type = 0;
  DWORD size = sizeof value - 1;
  const LONG rc = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value),
                                   &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return false;
  value[size < sizeof value ? size : sizeof value - 1] = '\0';
  if (type == REG_EXPAND_SZ) {
    const DWORD n = ExpandEnvironmentStringsA(value, path, kPathChars);
    return n > 0 && n <= kPathChars;
  }
  if (lstrlenA(value) >= kPathChars) return false;
  CopyBounded(path, kPathChars, value, kPathChars - 1);
  return true;
}

}  // namespace

uint32_t PlatformProgramFilePath(char* out, uint32_t size) {
  const DWORD n = GetModuleFileNameA(nullptr, out, size);
  if (n >= size) out[size - 1] = '\0';
  return n;
}

int32_t PlatformAppDataFolder(char* out) {
  static HMODULE library = nullptr;  // stays loaded for the run
  if (library == nullptr) library = LoadLibraryA("SHFOLDER.DLL");
  if (library == nullptr) return -1;
  auto fn = reinterpret_cast<GetFolderPathFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathA")));
  if (fn == nullptr) return -2;
  return fn(nullptr, kCsidlAppData, nullptr, 0, out);
}

void PlatformScreenSize(int32_t* width, int32_t* height) {
  RECT desktop{};
  GetClientRect(GetDesktopWindow(), &desktop);
  const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  *width = desktop.right > vw ? desktop.right : vw;
  *height = desktop.bottom > vh ? desktop.bottom : vh;
}

int32_t PlatformScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int PlatformShowMessage(const char* text, const char* caption, MessageKind kind) {
  UINT flags = MB_OK | MB_ICONINFORMATION;
  if (kind == kMessageWarning) flags = MB_OK | MB_ICONWARNING;
  if (kind == kMessageError) flags = MB_OK | MB_ICONERROR;
  if (kind == kMessageQuestion) flags = MB_YESNO | MB_ICONQUESTION;
  const int button = MessageBoxA(nullptr, text, caption, flags);
  return (button == IDOK || button == IDYES) ? 1 : 0;
}

bool UsableFileSize(const char* path, long* size) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  const bool ok = std::fseek(f, 0, SEEK_END) == 0 && (*size = std::ftell(f)) > 0;
  std::fclose(f);
  return ok;
}

size_t ReadFileStart(const char* path, char* buffer, size_t size) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return 0;
  const size_t read = std::fread(buffer, 1, size, f);
  std::fclose(f);
  return read;
}

void* CallHelpViewer(void* owner, const char* file, uint32_t command, uintptr_t data) {
  if (gHelp.failed) return nullptr;
  if (gHelp.library == nullptr) {
    char path[kPathChars];
    if (RegisteredViewerPath(path)) gHelp.library = LoadLibraryA(path);
    if (gHelp.library == nullptr) gHelp.library = LoadLibraryA("hhctrl.ocx");
    if (gHelp.library == nullptr) {
      gHelp.failed = true;
      return nullptr;
    }
  }
  if (gHelp.entry == nullptr) {
    gHelp.entry = reinterpret_cast<HelpEntryFn>(
        reinterpret_cast<void*>(GetProcAddress(gHelp.library, MAKEINTRESOURCEA(14))));
    if (gHelp.entry == nullptr) {
      gHelp.failed = true;
      return nullptr;
    }
  }
  return gHelp.entry(static_cast<HWND>(owner), file, command, data);
}
