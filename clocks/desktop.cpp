#include "clocks/desktop.h"

#include "clocks/clock_list.h"

namespace {

struct DesktopOverrides {
  MessageHook messageHook;
  bool paths;
  char programFile[kPathChars];
  bool appData;
  char appDataFolder[kPathChars];
  int32_t screenWidth, screenHeight;
  int32_t screenDpi;
};

DesktopOverrides gOverrides;

}  // namespace

void SetMessageHook(MessageHook hook) { gOverrides.messageHook = hook; }

void OverrideProgramPaths(const char* programFile, const char* appDataFolder) {
  gOverrides.paths = programFile != nullptr;
  CopyBounded(gOverrides.programFile, kPathChars, programFile, kPathChars - 1);
  gOverrides.appData = appDataFolder != nullptr;
  CopyBounded(gOverrides.appDataFolder, kPathChars, appDataFolder, kPathChars - 1);
}

void OverrideScreenSize(int32_t width, int32_t height) {
  gOverrides.screenWidth = width;
  gOverrides.screenHeight = height;
}

void OverrideScreenDpi(int32_t dpi) { gOverrides.screenDpi = dpi; }

uint32_t ProgramFilePath(char* out, uint32_t size) {
  if (!gOverrides.paths) return PlatformProgramFilePath(out, size);
  CopyBounded(out, size, gOverrides.programFile, size - 1);
  uint32_t n = 0;
  while (out[n] != '\0') ++n;
  return n;
}

int32_t LookUpAppDataFolder(char* out) {
  if (!gOverrides.appData) return PlatformAppDataFolder(out);
  if (gOverrides.appDataFolder[0] == '\0') return -1;
  CopyBounded(out, kPathChars, gOverrides.appDataFolder, kPathChars - 1);
  return 0;
}

void ScreenSize(int32_t* width, int32_t* height) {
  if (gOverrides.screenWidth > 0) {
    *width = gOverrides.screenWidth;
    *height = gOverrides.screenHeight;
    return;
  }
  PlatformScreenSize(width, height);
}

int32_t ScreenDpi() {
  return gOverrides.screenDpi > 0 ? gOverrides.screenDpi : PlatformScreenDpi();
}

int ShowMessage(const char* text, const char* caption, MessageKind kind) {
  if (gOverrides.messageHook != nullptr) return gOverrides.messageHook(text, caption, kind);
  return PlatformShowMessage(text, caption, kind);
}
