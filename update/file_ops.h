// The file operations of the zone data update and the program upgrade. The
// platform halves are file_ops_win.cpp (Win32) and file_ops_posix.cpp
// (natively, Windows-style paths with "/" for "\"). Every operation can be
// made to fail on purpose for tests: FileOpsFailNext(kFileCopy) makes the
// next copy fail without touching anything.
#pragma once

#include <cstdint>
#include <cstdio>

enum FileOp {
  kFileTempFolder,     // the user's temporary folder
  kFileTempName,       // a unique, newly created empty file in it
  kFileOpen,           // fopen
  kFileIsDirectory,    // a failed test answers "not a directory"
  kFileMakeDirectory,
  kFileRename,
  kFileCopy,           // overwrites the target
  kFileDelete,
  kFileOpCount
};

// The temporary folder, ending in a path separator; false on failure.
bool FileTempFolder(char* out, uint32_t size);
// A new empty file in folder named prefix + hex digits + ".tmp" (at most 260
// bytes with the NUL, into out); false on failure.
bool FileTempName(const char* folder, const char* prefix, char* out);
FILE* FileOpen(const char* path, const char* mode);
bool FileIsDirectory(const char* path);
bool FileMakeDirectory(const char* path);
bool FileRename(const char* from, const char* to);
bool FileCopy(const char* from, const char* to);
bool FileDelete(const char* path);

// Failure switches: the next `times` calls of op fail. Cleared all at once by
// FileOpsReset, which also zeroes the call counts.
void FileOpsFailNext(FileOp op, int times = 1);
void FileOpsReset();
int FileOpsCalls(FileOp op);  // calls since the last reset, failed ones included
// Test seam: the temporary folder (null = the platform's).
void FileOpsOverrideTempFolder(const char* folder);

// The platform halves.
bool PlatformTempFolder(char* out, uint32_t size);
bool PlatformTempName(const char* folder, const char* prefix, char* out);
FILE* PlatformFileOpen(const char* path, const char* mode);
bool PlatformIsDirectory(const char* path);
bool PlatformMakeDirectory(const char* path);
bool PlatformRename(const char* from, const char* to);
bool PlatformCopy(const char* from, const char* to);
bool PlatformDelete(const char* path);
