// Installing a newer zone data file: ask the update server for its CRC-32
// and size, download it and the maker's signature of it from the maker's web
// site, check both, back up the current copy and put the new one into the
// application-data folder's "Horlix", where the next start finds it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "update/progress_list.h"

// Null on success, else the failure text (the last line added to the list),
// valid until the next call.
const char* UpdateZoneFile(ProgressList* list);

// The reflected CRC-32 of IEEE 802.3 and zip (0xEDB88320, initial value and
// final complement 0xFFFFFFFF), bit by bit.
uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t length);
// Of a whole file, read byte by byte; 0 when there is no path or the file
// does not open.
uint32_t Crc32File(const char* path);

// The backup name of the current copy: "%s\Horlix\_%s-%s.back" with the
// application-data folder, "horlixtz.ini" and the local time
// "%04d%02d%02dT%02d%02d%02d".
void ZoneBackupPath(const char* appDataFolder, char* out, size_t size);
