// Reading INI files the way the Windows profile functions read them. The
// Windows build calls the real functions; elsewhere profile_posix.cpp reads
// the file itself with the same results.
#pragma once

#include <cstdint>

// Fills buffer with the section names, each NUL-terminated, ended by an empty
// name; returns the bytes written without the final NUL.
uint32_t ProfileSectionNames(const char* file, char* buffer, uint32_t size);
// Copies the key's value (or the default) and returns its length; at most
// size - 1 characters.
uint32_t ProfileString(const char* file, const char* section, const char* key,
                       const char* fallback, char* buffer, uint32_t size);
// The key's value as an integer, or the default when missing or empty.
int32_t ProfileInt(const char* file, const char* section, const char* key, int32_t fallback);
// Writes one key (creates file and section as needed); false on failure.
bool ProfileWriteString(const char* file, const char* section, const char* key,
                        const char* value);
