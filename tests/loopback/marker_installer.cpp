// A stand-in installer for the upgrade scenarios: it only proves that it was
// started, by writing "<its own path>.ran" holding its command line.
#include <windows.h>

#include <cstdio>

int main() {
  char path[MAX_PATH + 8];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  std::snprintf(path + n, sizeof path - n, ".ran");
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return 1;
  std::fputs(GetCommandLineA(), f);
  return std::fclose(f) == 0 ? 0 : 1;
}
