// Helpers shared by the fuzz targets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Stops the run with a message: the fuzzer records the input as a crash.
#define FUZZ_CHECK(cond)                                                        \
  do {                                                                          \
    if (!(cond)) {                                                              \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                             \
    }                                                                           \
  } while (0)

// Days from 1970-01-01 to the civil date (proleptic Gregorian), for any year.
inline __int128 DaysFromCivil(__int128 y, int m, int d) {
  y -= m <= 2;
  const __int128 era = (y >= 0 ? y : y - 399) / 400;
  const __int128 yoe = y - era * 400;
  const __int128 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const __int128 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

#include <filesystem>
#include <string>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

// A folder of this process for the files a target reads, created once; in
// memory when the system has /dev/shm, since the profile reader opens the
// file once per key.
inline const std::string& FuzzFolder(const char* name) {
  static std::string folder;
  if (folder.empty()) {
    struct stat st;
    const char* base = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    folder = std::string(base) + "/horlix-fuzz-" + name + "-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    });
  }
  return folder;
}

inline void FuzzWriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  if (size > 0) FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  FUZZ_CHECK(std::fclose(f) == 0);
}

// The Windows-style spelling of a path, as the code under test expects it.
inline std::string WinPath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}
