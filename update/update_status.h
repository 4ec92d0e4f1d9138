// The update status (0 up to date, 1 a newer zone data file, 2 a newer
// program version) and its texts, as the dialogs, the strip and the tray
// show them.
#pragma once

#include <cstdint>

#include "horlix_version.h"

// The version's four parts written together (1650 for 1.6.5.0).
constexpr uint32_t kProgramVersion = HORLIX_VERSION_NUMBER;

constexpr const char* kUpdateStatusTexts[3] = {
    "Horlix is up to date",
    "ATTENTION: an updated time zone file is available.",
    "ATTENTION: a newer version of Horlix is available.",
};

// The status as it is shown: a stored value outside 0..2 (edited by hand)
// counts as up to date, so it never indexes the texts.
inline int32_t ShownUpdateStatus(int32_t status) {
  return status >= 0 && status <= 2 ? status : 0;
}
inline const char* UpdateStatusText(int32_t status) {
  return kUpdateStatusTexts[ShownUpdateStatus(status)];
}
