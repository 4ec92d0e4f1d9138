// The updater's flow: fetch the signed information file, check its
// signature, fetch the installer, check its digest, write it. The platform
// services come in as a table so the flow runs the same in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct UpdaterPlatform {
  // One GET of at most *count body bytes; *count becomes the bytes received.
  // 0, or the system error code.
  int32_t (*fetch)(const char* url, unsigned char* buffer, uint32_t* count);
  // The temporary folder, ending in a backslash; false when there is none.
  bool (*tempFolder)(char* out, size_t size);
  void (*deleteFile)(const char* path);
  // Writes the whole file; false when it could not be written completely.
  bool (*writeFile)(const char* path, const unsigned char* data, uint32_t size);
  // The system's message text for an error code ("" when it has none).
  void (*errorText)(int32_t code, char* out, size_t size);
  void (*waitForKey)();
  FILE* out;
  FILE* err;
  // The installer's buffer and the error line's; null for malloc and free.
  void* (*allocate)(size_t size);
  void (*release)(void* block);
};

constexpr const char* kInfoFilePath = "/horlix/upd/horlixquicki-sig.txt";

// Runs the updater for its command line; returns the exit code (0 or 1).
// webSite is the maker's site, such as "http://horlix.example".
int RunUpdater(int argc, const char* const* argv, const char* webSite,
               const UpdaterPlatform& platform);
