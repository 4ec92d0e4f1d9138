#include "update/update_check.h"

#include <cstdio>
#include <cstring>

#include "clocks/clock_list.h"
#include "clocks/profile.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "update/fetch.h"
#include "update/replies.h"
#include "update/sites.h"
#include "update/update_status.h"

UpdateCheckState UpdateCheckRun = {false, 0};

namespace {

constexpr size_t kQueryChars = 512;
constexpr uint32_t kReplyBytes = 255;
constexpr size_t kAgeChars = 31;

void (*gShowBalloon)(const char*) = nullptr;

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

constexpr const char* kErrorPrefix = "ERROR: ";

// A check that failed: its line, and its error kept for the dialog.
void CheckFailed(ProgressList* list, const char* line) {
  ProgressAdd(list, line);
  const size_t prefix = std::strlen(kErrorPrefix);
  WriteLastCheckError(std::strncmp(line, kErrorPrefix, prefix) == 0 ? line + prefix : line);
}

uint32_t DateNumber(const WallClock& t) {
  return static_cast<uint32_t>(t.year * 10000 + t.month * 100 + t.day);
}

}  // namespace

void SetUpdateBalloon(void (*show)(const char* text)) { gShowBalloon = show; }

uint64_t LocalFileTime(const WallClock& local) {
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
  const int64_t seconds = DaysFromCivil(local.year, local.month, local.day) * 86400 +
                          local.hour * 3600 + local.minute * 60 + local.second;
  return static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * 10000000u;
}

void FileTimeBytes(uint64_t fileTime, uint8_t out[8]) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(fileTime >> (8 * i));
}

uint64_t FileTimeFromBytes(const uint8_t bytes[8]) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | bytes[i];
  return v;
}

void CheckForUpdates(bool manual, ProgressList* list) {
  UpdateCheckRun.automaticCheck = !manual;
  ProgressClear(list);

  char zoneDate[32];
  ProfileString(Paths.zoneFile, "Version", "Date", kDefaultZoneDate, zoneDate, sizeof zoneDate);
  char cgi[kQueryChars];
  UpdateCgiAddress(cgi, sizeof cgi);
  char query[kQueryChars];
  std::snprintf(query, sizeof query, "%s?xv=%u&zd=%s", cgi, kProgramVersion, zoneDate);
  ProgressAdd(list, "Getting latest info from web site...");

  WallClock now{};
  ReadLocalWallClock(&now);
  const uint32_t today = DateNumber(now);
  if (!manual && (today <= UpdateCheckRun.lastCheckDate || now.hour < Settings.UpdateTime)) {
    return;
  }
  ProgressAddFormat(list, "Checking for updates at %02d:%02d:%02d", now.hour, now.minute,
                    now.second);

  unsigned char reply[kReplyBytes + 1] = {};
  uint32_t count = kReplyBytes;
  const int32_t code = FetchUrl(reply, &count, query);
  char failure[kProgressLineChars + 1];
  if (code != 0) {
    char note[96];
    std::snprintf(failure, sizeof failure, "ERROR: Failed to connect with web site: code %d%s.", code,
                  FetchProblemNote(code, note, sizeof note));
    CheckFailed(list, failure);
    return;
  }
  reply[count <= kReplyBytes ? count : kReplyBytes] = '\0';
  ProgressAdd(list, "...done.");

  const char* text = reinterpret_cast<const char*>(reply);
  uint32_t status = 0;
  if (ParseStatusReply(text, &status) != 0) {
    std::snprintf(failure, sizeof failure, "ERROR: An error occurred on our web site: %s", text);
    CheckFailed(list, failure);
    return;
  }
  if (status > 2) {
    std::snprintf(failure, sizeof failure, "ERROR: An invalid status code was returned: %d",
                  static_cast<int>(status));
    CheckFailed(list, failure);
    return;
  }

  Settings.UpdateStatus = static_cast<int32_t>(status);
  ProgressAdd(list, "Update check is complete.");
  UpdateCheckRun.lastCheckDate = today;
  WriteDword(static_cast<int32_t>(status), kMainKey, "UpdateStatus");
  uint8_t lastCheck[8];
  FileTimeBytes(LocalFileTime(now), lastCheck);
  WriteLastCheck(lastCheck);
  WriteLastCheckError(nullptr);

  if (status != 0 && gShowBalloon != nullptr) gShowBalloon(UpdateStatusText(static_cast<int32_t>(status)));
}

void UpdateStatusLine(int32_t status, char* out, size_t size) {
  uint8_t bytes[8];
  uint32_t type = 0;
  uint32_t length = sizeof bytes;
  const bool checked = RegistryRead(kMainKey, "UpdateLastCheck", &type, bytes, &length) == 0 &&
                       length > 0;
  char error[kProgressLineChars + 1] = "";
  length = sizeof error - 1;
  const bool failed = RegistryRead(kMainKey, "UpdateLastError", &type, error, &length) == 0 &&
                      type == kRegSz && error[0] != '\0';
  error[sizeof error - 1] = '\0';
  if (failed) {
    std::snprintf(out, size, "The last check failed: %s", error);
  } else if (!checked) {
    std::snprintf(out, size, "%s", "Not checked yet");
  } else {
    std::snprintf(out, size, "%s", UpdateStatusText(status));
  }
}

void AgeText(uint64_t lastCheck, const char* suffix, char* out, size_t size) {
  WallClock now{};
  ReadLocalWallClock(&now);
  const int64_t ticks = static_cast<int64_t>(LocalFileTime(now) - lastCheck);
  const int32_t s = static_cast<int32_t>(ticks / 10000000);
  char text[kAgeChars + 1];
  if (s > 172800) {
    std::snprintf(text, sizeof text, "%d days ago", s / 86400);
  } else if (s > 7200) {
    std::snprintf(text, sizeof text, "%d hours ago", s / 3600);
  } else if (s > 120) {
    std::snprintf(text, sizeof text, "%d minutes ago", s / 60);
  } else {
    std::snprintf(text, sizeof text, "%d seconds ago", s);
  }
  const size_t used = std::strlen(text);
  CopyBounded(text + used, sizeof text - used, suffix, kAgeChars - used);
  CopyBounded(out, size, text, kAgeChars);
}
