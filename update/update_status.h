// The update status (0 up to date, 1 a newer zone data file, 2 a newer
// program version) and its texts, as the dialogs, the strip and the tray
// show them.
#pragma once

#include <cstdint>

// Version 1.6.5.0, its four digits written together.
constexpr uint32_t kProgramVersion = 1650;

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
