#include <windows.h>

#include "clocks/profile.h"

uint32_t ProfileSectionNames(const char* file, char* buffer, uint32_t size) {
  return GetPrivateProfileSectionNamesA(buffer, size, file);
}

uint32_t ProfileString(const char* file, const char* section, const char* key,
                       const char* fallback, char* buffer, uint32_t size) {
  return GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
}

int32_t ProfileInt(const char* file, const char* section, const char* key, int32_t fallback) {
  return static_cast<int32_t>(GetPrivateProfileIntA(section, key, fallback, file));
}

bool ProfileWriteString(const char* file, const char* section, const char* key,
                        const char* value) {
  return WritePrivateProfileStringA(section, key, value, file) != 0;
}
