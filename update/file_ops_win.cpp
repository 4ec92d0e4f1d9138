#include <windows.h>

#include "update/file_ops.h"

bool PlatformTempFolder(char* out, uint32_t size) {
  const DWORD n = GetTempPathA(size, out);
  return n > 0 && n < size;
}

bool PlatformTempName(const char* folder, const char* prefix, char* out) {
  return GetTempFileNameA(folder, prefix, 0, out) != 0;
}

FILE* PlatformFileOpen(const char* path, const char* mode) { return std::fopen(path, mode); }

bool PlatformIsDirectory(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PlatformMakeDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool PlatformRename(const char* from, const char* to) { return MoveFileA(from, to) != FALSE; }

bool PlatformCopy(const char* from, const char* to) { return CopyFileA(from, to, FALSE) != FALSE; }

bool PlatformDelete(const char* path) { return DeleteFileA(path) != FALSE; }
