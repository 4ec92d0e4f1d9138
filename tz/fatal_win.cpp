#include <windows.h>

#include <cstdlib>

#include "tz/fatal.h"

void FatalOutOfMemory(const char* text) {
  MessageBoxA(nullptr, text, "Out of memory!", MB_OK | MB_ICONERROR);
  std::exit(1);
}
