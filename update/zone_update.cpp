#include "update/zone_update.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/profile.h"
#include "clocks/zone_file.h"
#include "tz/fatal.h"
#include "tz/wall_clock.h"
#include "update/fetch.h"
#include "update/file_ops.h"
#include "update/replies.h"
#include "update/sites.h"
#include "update/zone_signature.h"

namespace {

constexpr uint32_t kInfoReplyBytes = 32;
constexpr uint32_t kLargestZoneFile = 2147483647;

char gFailure[kProgressLineChars + 1];

unsigned char* ZeroedOrDie(size_t size) {
  auto* p = static_cast<unsigned char*>(std::calloc(size, 1));
  if (p == nullptr) FatalOutOfMemory("calloc failed to allocate memory.");
  return p;
}

// Adds the message, releases the download and returns the message.
const char* Fail(ProgressList* list, unsigned char* download, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
const char* Fail(ProgressList* list, unsigned char* download, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(gFailure, sizeof gFailure, format, args);
  va_end(args);
  ProgressAdd(list, gFailure);
  std::free(download);
  return gFailure;
}

const char* FailToConnect(ProgressList* list, unsigned char* download, int32_t code) {
  char note[96];
  return Fail(list, download, "ERROR: Failed to connect with web site: error %d%s. Update aborted.",
              static_cast<int>(code), FetchProblemNote(code, note, sizeof note));
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t length) {
  crc = ~crc;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t Crc32File(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;
  FILE* f = FileOpen(path, "rb");
  if (f == nullptr) return 0;
  uint32_t crc = 0;
  for (int c; (c = std::getc(f)) != EOF;) {
    const unsigned char byte = static_cast<unsigned char>(c);
    crc = Crc32Update(crc, &byte, 1);
  }
  std::fclose(f);
  return crc;
}

void ZoneBackupPath(const char* appDataFolder, char* out, size_t size) {
  WallClock now{};
  ReadLocalWallClock(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02dT%02d%02d%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  std::snprintf(out, size, "%s\\Horlix\\_%s-%s.back", appDataFolder, kZoneFileName, stamp);
}

const char* UpdateZoneFile(ProgressList* list) {
  ProgressClear(list);
  char cgi[256];
  UpdateCgiAddress(cgi, sizeof cgi);
  char query[256];
  std::snprintf(query, sizeof query, "%s?req=tzinfo", cgi);
  ProgressAdd(list, "Getting latest file info from web site...");

  unsigned char* reply = ZeroedOrDie(kInfoReplyBytes + 1);
  uint32_t count = kInfoReplyBytes;
  int32_t code = FetchUrl(reply, &count, query);
  if (code != 0) {
    std::free(reply);
    return FailToConnect(list, nullptr, code);
  }
  reply[count <= kInfoReplyBytes ? count : kInfoReplyBytes] = '\0';
  uint32_t crc = 0;
  uint32_t size = 0;
  if (ParseZoneInfoReply(reinterpret_cast<const char*>(reply), &crc, &size) == 0) {
    ProgressAdd(list, "...done.");
  }
  std::free(reply);
  if (size == 0 || size > kLargestZoneFile) {
    return Fail(list, nullptr, "ERROR: Received invalid value from web site. Update aborted.");
  }

  ProgressAdd(list, "About to download file from web site...");
  unsigned char* download = ZeroedOrDie(static_cast<size_t>(size) + 1);
  char address[512];
  UpdateWebAddress(kZoneFileWebPath, address, sizeof address);
  count = size;
  code = FetchUrl(download, &count, address);
  if (code != 0) {
    return FailToConnect(list, download, code);
  }
  if (count != size) {
    return Fail(list, download,
                "ERROR: Failed to receive valid file from web site. Update aborted.");
  }
  // The maker's signature, published beside the file; read one byte past the
  // limit so that an overlong one shows.
  char signature[kZoneSignatureMax + 2];
  uint32_t signatureCount = kZoneSignatureMax + 1;
  UpdateWebAddress(kZoneSignatureWebPath, address, sizeof address);
  code = FetchUrl(reinterpret_cast<unsigned char*>(signature), &signatureCount, address);
  if (code != 0) {
    return FailToConnect(list, download, code);
  }

  char tempFolder[kPathChars];
  if (!FileTempFolder(tempFolder, sizeof tempFolder)) {
    return Fail(list, download, "ERROR: Failed to get a temp path name. Update aborted.");
  }
  char tempFile[kPathChars];
  if (!FileTempName(tempFolder, "HLX", tempFile)) {
    return Fail(list, download, "ERROR: Failed to create a temp file name. Update aborted.");
  }
  ProgressAdd(list, "Saving as a temp file...");
  FILE* out = FileOpen(tempFile, "wb");
  if (out == nullptr) {
    return Fail(list, download, "ERROR: Failed to create a new temp file. Update aborted.");
  }
  // Any short write shows in the checksum, which is taken from the disk.
  std::fwrite(download, 1, size, out);
  std::fclose(out);

  const uint32_t written = Crc32File(tempFile);
  ProgressAdd(list, "...done.");
  if (written != crc) return Fail(list, download, "ERROR: File checksum error. Update aborted.");
  // The date is read as the update check will read it from the installed copy.
  char date[32];
  ProfileString(tempFile, "Version", "Date", "", date, sizeof date);
  if (CheckZoneSignature(signature, signatureCount, date, download, size) != 0) {
    FileDelete(tempFile);
    return Fail(list, download,
                "ERROR: The zone data file is not signed by the maker. Update aborted.");
  }

  if (GetAppDataFolder() != 0) {
    return Fail(list, download, "ERROR: Failed to find APPDATA folder. Update aborted.");
  }
  char folder[kPathChars];
  std::snprintf(folder, sizeof folder, "%s\\Horlix", Paths.appDataFolder);
  if (!FileIsDirectory(folder)) {
    ProgressAddFormat(list, "Creating new subdir %s.", folder);
    FileMakeDirectory(folder);  // a failure shows when the copy fails
  }
  char target[kPathChars];
  std::snprintf(target, sizeof target, "%s\\Horlix\\%s", Paths.appDataFolder, kZoneFileName);
  char backup[kPathChars];
  ZoneBackupPath(Paths.appDataFolder, backup, sizeof backup);
  // Nothing to rename when there is no current copy yet.
  const bool backedUp = FileRename(target, backup);
  ProgressAddFormat(list, "Copying file to %s.", target);
  if (!FileCopy(tempFile, target)) {
    // Give the user back the zone data file they had.
    if (backedUp) FileRename(backup, target);
    return Fail(list, download, "ERROR: Failed to copy file to APPDATA folder. Update aborted.");
  }
  FileDelete(tempFile);
  std::free(download);
  ProgressAdd(list, "...SUCCESS.");
  return nullptr;
}
