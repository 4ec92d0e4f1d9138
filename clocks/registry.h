// The per-user key-value store under HKEY_CURRENT_USER. The Windows build
// uses the registry itself (registry_win.cpp); native tests use an in-memory
// store with the same answers (registry_mem.cpp). Each call opens, reads or
// writes, and closes: no handle is kept. Results are system error codes,
// 0 = success.
#pragma once

#include <cstdint>

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

constexpr int32_t kRegErrorFileNotFound = 2;
constexpr int32_t kRegErrorMoreData = 234;

// Reads a value of at most *size bytes into data; on success *size is the
// stored length and *type its type. A value longer than *size fails with
// kRegErrorMoreData and leaves data unspecified.
int32_t RegistryRead(const char* keyPath, const char* name, uint32_t* type, void* data,
                     uint32_t* size);
// Creates the key as needed and sets the value.
int32_t RegistryWrite(const char* keyPath, const char* name, uint32_t type, const void* data,
                      uint32_t size);
int32_t RegistryDeleteValue(const char* keyPath, const char* name);

// Removes a key with all its subkeys and values (tests and the uninstaller).
int32_t RegistryDeleteTree(const char* keyPath);

// The in-memory store only: forget everything, and make writes fail.
void MemoryRegistryClear();
void MemoryRegistryFailWrites(int32_t error);
// Makes only one change fail: the one numbered index (0 = the next write or
// value deletion from now) fails with error; index -1 switches it off.
void MemoryRegistryFailChangeAt(int32_t index, int32_t error);
// Writes and value deletions tried since the store was last cleared.
int32_t MemoryRegistryChangeCount();
