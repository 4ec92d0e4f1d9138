#include "update/file_ops.h"

#include "clocks/clock_list.h"
#include "clocks/desktop.h"

namespace {

struct FileOpsSeams {
  int failures[kFileOpCount];
  int calls[kFileOpCount];
  bool tempOverride;
  char tempFolder[kPathChars];
};

FileOpsSeams gSeams;

// Counts the call; true when it is to fail.
bool Fails(FileOp op) {
  ++gSeams.calls[op];
  if (gSeams.failures[op] <= 0) return false;
  --gSeams.failures[op];
  return true;
}

}  // namespace

void FileOpsFailNext(FileOp op, int times) { gSeams.failures[op] += times; }

void FileOpsReset() {
  for (int i = 0; i < kFileOpCount; ++i) {
    gSeams.failures[i] = 0;
    gSeams.calls[i] = 0;
  }
}

int FileOpsCalls(FileOp op) { return gSeams.calls[op]; }

void FileOpsOverrideTempFolder(const char* folder) {
  gSeams.tempOverride = folder != nullptr;
  CopyBounded(gSeams.tempFolder, kPathChars, folder, kPathChars - 1);
}

bool FileTempFolder(char* out, uint32_t size) {
  if (Fails(kFileTempFolder)) return false;
  if (!gSeams.tempOverride) return PlatformTempFolder(out, size);
  CopyBounded(out, size, gSeams.tempFolder, size - 1);
  return true;
}

bool FileTempName(const char* folder, const char* prefix, char* out) {
  return !Fails(kFileTempName) && PlatformTempName(folder, prefix, out);
}

FILE* FileOpen(const char* path, const char* mode) {
  return Fails(kFileOpen) ? nullptr : PlatformFileOpen(path, mode);
}

bool FileIsDirectory(const char* path) {
  return !Fails(kFileIsDirectory) && PlatformIsDirectory(path);
}

bool FileMakeDirectory(const char* path) {
  return !Fails(kFileMakeDirectory) && PlatformMakeDirectory(path);
}

bool FileRename(const char* from, const char* to) {
  return !Fails(kFileRename) && PlatformRename(from, to);
}

bool FileCopy(const char* from, const char* to) {
  return !Fails(kFileCopy) && PlatformCopy(from, to);
}

bool FileDelete(const char* path) { return !Fails(kFileDelete) && PlatformDelete(path); }
