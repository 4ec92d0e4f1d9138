#include "ui/dialogs/props_logic.h"

#include <cstdio>
#include <cstring>

#include "clocks/clock_list.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"

namespace {

void SetZone(ClockRecord& clock, const ZoneEntry& zone) {
  CopyBounded(clock.Id, sizeof clock.Id, zone.name, kZoneTextMaxLen);
  CopyBounded(clock.Tz, sizeof clock.Tz, zone.tz, kZoneTextMaxLen);
}

void MakeLocal(ClockRecord& clock) {
  CopyBounded(clock.Id, sizeof clock.Id, "Local", kZoneTextMaxLen);
  clock.Tz[0] = '\0';
}

// Working hours change neither the strip nor its layout: only what is saved.
void ApplyWorkHours(ClockRecord& clock, const PropsChoice& choice) {
  const int32_t start = ValidWorkTime(choice.workStart) ? choice.workStart : clock.WorkStart;
  const int32_t end = ValidWorkTime(choice.workEnd) ? choice.workEnd : clock.WorkEnd;
  const int32_t days = ValidWorkDays(choice.workDays) ? choice.workDays : clock.WorkDays;
  if (start == clock.WorkStart && end == clock.WorkEnd && days == clock.WorkDays) return;
  SetWorkHours(&clock, start, end, days);
  Settings.SettingsDirty = true;
}

int32_t ChosenType(int32_t type) {
  return (type == kClockLocal || type == kClockUtc) ? type : kClockZone;
}

}  // namespace

PropsOutcome ApplyClockEdit(int index, const PropsChoice& choice) {
  if (index < 0 || index >= Clocks.N) return kPropsClose;
  ClockRecord& clock = Clocks.clocks[index];
  bool changed = false;

  // A colour change needs no new layout: the next tick paints it.
  if (choice.color != -1 && choice.color != clock.Color) {
    clock.Color = choice.color;
    Settings.SettingsDirty = true;
  }
  if (choice.format != -1 && choice.format != clock.Format) {
    clock.Format = choice.format;
    changed = true;
    Settings.SettingsDirty = true;
  }
  if (choice.title[0] != '\0' && std::strcmp(choice.title, clock.Title) != 0) {
    CopyBounded(clock.Title, sizeof clock.Title, choice.title, kEditedTitleMaxLen);
    changed = true;
    Settings.SettingsDirty = true;
  }
  ApplyWorkHours(clock, choice);
  const int32_t type = ChosenType(choice.type);
  if (type != clock.Type) {
    changed = true;
    Settings.SettingsDirty = true;
  }
  clock.Type = type;

  if (choice.zone != nullptr && std::strcmp(choice.zone, clock.Id) != 0) {
    const ZoneEntry* zone = FindZone(choice.zone);
    if (zone != nullptr) {
      SetZone(clock, *zone);
      Settings.SettingsDirty = true;
      return kPropsCloseRelayout;
    }
  } else if (type == kClockLocal) {
    MakeLocal(clock);
  } else if (type == kClockZone && clock.Tz[0] == '\0') {
    return kPropsNeedZone;
  }
  return changed ? kPropsCloseRelayout : kPropsClose;
}

PropsOutcome AddClockFromChoice(const PropsChoice& choice) {
  ClockRecord templ{};
  // The dialog opens with a colour and a format selected; should either be
  // missing, the new clock takes the opening default rather than a value
  // that no colour or format stands for.
  templ.Color = choice.color != -1 ? choice.color : kColorGreen;
  templ.Wd = 0;
  templ.Format = choice.format != -1 ? choice.format : 0;
  templ.Type = ChosenType(choice.type);
  ApplyWorkHours(templ, choice);

  if (choice.zone != nullptr) {
    const ZoneEntry* zone = FindZone(choice.zone);
    if (zone != nullptr) SetZone(templ, *zone);
  } else if (templ.Type == kClockLocal) {
    MakeLocal(templ);
  } else if (templ.Type == kClockZone) {
    return kPropsNeedZone;
  }
  CopyBounded(templ.Title, sizeof templ.Title, choice.title, kNewTitleMaxLen);

  if (!AddClock(&templ)) return kPropsClose;
  Settings.SettingsDirty = true;
  return kPropsCloseRelayout;
}

bool ParseWorkTime(const char* text, int32_t* minutes) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  while (*text == ' ') ++text;
  int hour = 0;
  int n = 0;
  for (; n < 2 && digit(*text); ++n) hour = hour * 10 + (*text++ - '0');
  if (n == 0 || *text++ != ':' || !digit(text[0]) || !digit(text[1])) return false;
  const int minute = (text[0] - '0') * 10 + (text[1] - '0');
  text += 2;
  while (*text == ' ') ++text;
  if (*text != '\0' || hour > 23 || minute > 59) return false;
  *minutes = hour * 60 + minute;
  return true;
}

void WorkTimeText(int32_t minutes, char* out, size_t size) {
  std::snprintf(out, size, "%02d:%02d", minutes / 60, minutes % 60);
}

void ProposeTitle(const char* zoneName, char* out, size_t size) {
  const char* slash = std::strchr(zoneName, '/');
  const char* title = slash != nullptr ? slash + 1 : zoneName;
  CopyBounded(out, size, title, size > 0 ? size - 1 : 0);
}
