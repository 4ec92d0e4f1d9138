// Services of the desktop that the settings and the zone data need: the
// program's own path, the per-user application-data folder, the screen's
// size, message boxes and the help viewer. desktop_win.cpp has the real ones;
// desktop_posix.cpp the native twins for tests.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kPathChars = 260;

enum MessageKind { kMessageWarning, kMessageError, kMessageQuestion, kMessageInfo };

// Full path of the running program; the length copied (0 on failure).
uint32_t ProgramFilePath(char* out, uint32_t size);
// The application-data folder through SHFOLDER.DLL: 0 on success, -1 when
// the library does not load, -2 when it lacks SHGetFolderPathA, else the
// call's own result.
int32_t LookUpAppDataFolder(char* out);
// The larger of the desktop's client size and the virtual screen's size.
void ScreenSize(int32_t* width, int32_t* height);
// The desktop's display scale in dots per inch (96 is 100%).
int32_t ScreenDpi();
// A message box with no owner; returns the button pressed (1 = OK/Yes).
int ShowMessage(const char* text, const char* caption, MessageKind kind);
// True when the file opens for reading (binary) and holds more than 0 bytes;
// *size is its size. The file is closed again at once.
bool UsableFileSize(const char* path, long* size);
// Reads at most size bytes from the start of the file into buffer; the bytes
// read, 0 when it does not open.
size_t ReadFileStart(const char* path, char* buffer, size_t size);
// Calls the HTML Help viewer; 0 when it cannot be loaded.
void* CallHelpViewer(void* owner, const char* file, uint32_t command, uintptr_t data);

// Test seams: messages go to the hook instead of the screen, and the program
// path and application-data folder can be fixed (null returns to the real
// ones; an empty app-data text makes the lookup fail with -1).
using MessageHook = int (*)(const char* text, const char* caption, MessageKind kind);
void SetMessageHook(MessageHook hook);
void OverrideProgramPaths(const char* programFile, const char* appDataFolder);
void OverrideScreenSize(int32_t width, int32_t height);  // 0, 0 = the real one
void OverrideScreenDpi(int32_t dpi);                     // 0 = the real one

// Natively only: a Windows-style path with "/" for "\\".
void NativePath(const char* path, char* out, uint32_t size);

// The platform halves behind the seams.
uint32_t PlatformProgramFilePath(char* out, uint32_t size);
int32_t PlatformAppDataFolder(char* out);
void PlatformScreenSize(int32_t* width, int32_t* height);
int32_t PlatformScreenDpi();
int PlatformShowMessage(const char* text, const char* caption, MessageKind kind);
