#include <windows.h>

#include "clocks/registry.h"

int32_t RegistryRead(const char* keyPath, const char* name, uint32_t* type, void* data,
                     uint32_t* size) {
  HKEY key;
  LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD t = 0;
  DWORD n = *size;
  rc = RegQueryValueExA(key, name, nullptr, &t, static_cast<BYTE*>(data), &n);
  RegCloseKey(key);
  if (rc == ERROR_SUCCESS) {
    *type = t;
    *size = n;
  }
  return rc;
}

int32_t RegistryWrite(const char* keyPath, const char* name, uint32_t type, const void* data,
                      uint32_t size) {
  HKEY key;
  DWORD disposition;
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return rc;
}

int32_t RegistryDeleteValue(const char* keyPath, const char* name) {
  HKEY key;
  LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &key);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return rc;
}

int32_t RegistryDeleteTree(const char* keyPath) {
  return RegDeleteTreeA(HKEY_CURRENT_USER, keyPath);
}

void MemoryRegistryClear() {}
void MemoryRegistryFailWrites(int32_t) {}
void MemoryRegistryFailChangeAt(int32_t, int32_t) {}
int32_t MemoryRegistryChangeCount() { return 0; }
