// horlixupdater [OUTPUT-PATH]: downloads the new installer, proves it
// genuine and writes it to OUTPUT-PATH (default: the temporary folder's
// horlixquicki.exe). Exit code 0 after a verified write, 1 after a failure
// once the user has pressed a key.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "updater/fetch.h"
#include "updater/updater.h"

#ifndef HORLIX_WEB_SITE
#define HORLIX_WEB_SITE "http://horlix.example"
#endif

namespace {

int32_t Fetch(const char* url, unsigned char* buffer, uint32_t* count) {
  return FetchUrl(buffer, count, url, "Horlixupdater");
}

bool TempFolder(char* out, size_t size) {
  const DWORD n = GetTempPathA(static_cast<DWORD>(size), out);
  return n > 0 && n < size;
}

void DeleteOutput(const char* path) { DeleteFileA(path); }

bool WriteOutput(const char* path, const unsigned char* data, uint32_t size) {
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool wrote = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && wrote;
}

void ErrorText(int32_t code, char* out, size_t size) {
  out[0] = '\0';
  HMODULE wininet = GetModuleHandleA("wininet.dll");
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           out, static_cast<DWORD>(size), nullptr);
  if (n == 0 && wininet != nullptr) {
    // WinINet's own codes (12001..12175) have their texts in its module.
    n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wininet,
                       static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out,
                       static_cast<DWORD>(size), nullptr);
  }
  if (n == 0) out[0] = '\0';
}

void WaitForKey() { std::getchar(); }

// Started from a download folder: never load a DLL planted beside us.
// SetDefaultDllDirectories is missing on a Windows 7 without the DLL search
// update (KB2533623), where importing it would stop the program from
// loading at all; there, taking the current folder out of the search is the
// most that can be done.
void RestrictDllSearch() {
  using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  FARPROC found = kernel32 != nullptr ? GetProcAddress(kernel32, "SetDefaultDllDirectories")
                                      : nullptr;
  if (found != nullptr) {
    SetDirectoriesFn setDirectories;
    static_assert(sizeof setDirectories == sizeof found, "function pointers of one size");
    std::memcpy(&setDirectories, &found, sizeof setDirectories);
    if (setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  }
  SetDllDirectoryA("");
}

}  // namespace

int main(int argc, char** argv) {
  RestrictDllSearch();
  const UpdaterPlatform platform = {Fetch,       TempFolder, DeleteOutput, WriteOutput,
                                    ErrorText,   WaitForKey, stdout,       stderr,
                                    nullptr,     nullptr};
  return RunUpdater(argc, argv, HORLIX_WEB_SITE, platform);
}
