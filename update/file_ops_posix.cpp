// Native twins of the Win32 file calls, on Windows-style paths.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "update/file_ops.h"

bool PlatformTempFolder(char* out, uint32_t size) {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp == nullptr || tmp[0] == '\0') tmp = "/tmp";
  const int n = std::snprintf(out, size, "%s\\", tmp);
  return n > 0 && static_cast<uint32_t>(n) < size;
}

// Like GetTempFileNameA: prefix (three characters used), a hex number, ".tmp";
// the file is created empty so the name stays taken.
bool PlatformTempName(const char* folder, const char* prefix, char* out) {
  static unsigned counter = static_cast<unsigned>(getpid());
  const size_t length = std::strlen(folder);
  const char* separator = length > 0 && (folder[length - 1] == '\\' || folder[length - 1] == '/')
                              ? "" : "\\";
  for (int attempt = 0; attempt < 65535; ++attempt) {
    counter = (counter + 1) & 0xFFFF;
    if (counter == 0) counter = 1;
    char name[kPathChars];
    const int n = std::snprintf(name, sizeof name, "%s%s%.3s%X.tmp", folder, separator, prefix,
                                counter);
    if (n <= 0 || n >= kPathChars) return false;
    char native[kPathChars];
    NativePath(name, native, sizeof native);
    const int fd = open(native, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
      close(fd);
      CopyBounded(out, kPathChars, name, kPathChars - 1);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

FILE* PlatformFileOpen(const char* path, const char* mode) {
  char native[kPathChars];
  NativePath(path, native, sizeof native);
  return std::fopen(native, mode);
}

bool PlatformIsDirectory(const char* path) {
  char native[kPathChars];
  NativePath(path, native, sizeof native);
  struct stat st;
  return stat(native, &st) == 0 && S_ISDIR(st.st_mode);
}

bool PlatformMakeDirectory(const char* path) {
  char native[kPathChars];
  NativePath(path, native, sizeof native);
  return mkdir(native, 0700) == 0;
}

// MoveFileA refuses to replace an existing file; so does this.
bool PlatformRename(const char* from, const char* to) {
  char a[kPathChars];
  char b[kPathChars];
  NativePath(from, a, sizeof a);
  NativePath(to, b, sizeof b);
  struct stat st;
  if (stat(b, &st) == 0) return false;
  return std::rename(a, b) == 0;
}

bool PlatformCopy(const char* from, const char* to) {
  FILE* in = PlatformFileOpen(from, "rb");
  if (in == nullptr) return false;
  FILE* out = PlatformFileOpen(to, "wb");
  if (out == nullptr) {
    std::fclose(in);
    return false;
  }
  char chunk[8192];
  bool ok = true;
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
    if (std::fwrite(chunk, 1, n, out) != n) {
      ok = false;
      break;
    }
  }
  ok = !std::ferror(in) && ok;
  std::fclose(in);
  ok = std::fclose(out) == 0 && ok;
  return ok;
}

bool PlatformDelete(const char* path) {
  char native[kPathChars];
  NativePath(path, native, sizeof native);
  return unlink(native) == 0;
}
