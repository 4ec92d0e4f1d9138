// Native twins: no desktop, so the program path and the application-data
// folder come from the environment, and messages go to standard error.
#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"

uint32_t PlatformProgramFilePath(char* out, uint32_t size) {
  CopyBounded(out, size, "C:\\Program Files\\Horlix\\horlix.exe", size - 1);
  uint32_t n = 0;
  while (out[n] != '\0') ++n;
  return n;
}

int32_t PlatformAppDataFolder(char* out) {
  const char* home = std::getenv("HOME");
  if (home == nullptr) return -1;
  std::snprintf(out, kPathChars, "%s/.config", home);
  return 0;
}

void PlatformScreenSize(int32_t* width, int32_t* height) {
  *width = 1280;
  *height = 800;
}

int32_t PlatformScreenDpi() { return 96; }

int PlatformShowMessage(const char* text, const char* caption, MessageKind) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  return 1;
}

bool UsableFileSize(const char* path, long* size) {
  char native[kPathChars];
  NativePath(path, native, sizeof native);
  // A folder opens for reading here, with a huge "size", but not on Windows.
  struct stat st;
  if (stat(native, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  FILE* f = std::fopen(native, "rb");
  if (f == nullptr) return false;
  const bool ok = std::fseek(f, 0, SEEK_END) == 0 && (*size = std::ftell(f)) > 0;
  std::fclose(f);
  return ok;
}

size_t ReadFileStart(const char* path, char* buffer, size_t size) {
  char native[kPathChars];
  NativePath(path, native, sizeof native);
  FILE* f = std::fopen(native, "rb");
  if (f == nullptr) return 0;
  const size_t read = std::fread(buffer, 1, size, f);
  std::fclose(f);
  return read;
}

void NativePath(const char* path, char* out, uint32_t size) {
  CopyBounded(out, size, path, size - 1);
  for (char* p = out; *p != '\0'; ++p) {
    if (*p == '\\') *p = '/';
  }
}

void* CallHelpViewer(void*, const char*, uint32_t, uintptr_t) { return nullptr; }
