// Operations on the clock list. Every record in use owns its zone state:
// copies move the reference, never the state, so each state has one owner.
#include "clocks/clock_list.h"

#include <cstring>

ClockList Clocks = {{}, 0, -1};

namespace {

TitleButtonDiscarder gDiscardTitleButton = nullptr;

constexpr ClockRecord MakeDefault(int32_t type, int32_t color, int32_t format, const char* tz,
                                  const char* id, const char* title) {
  ClockRecord r{};
  r.Type = type;
  r.Color = color;
  r.Format = format;
  for (int i = 0; tz[i] != '\0'; ++i) r.Tz[i] = tz[i];
  for (int i = 0; id[i] != '\0'; ++i) r.Id[i] = id[i];
  for (int i = 0; title[i] != '\0'; ++i) r.Title[i] = title[i];
  const char* initial = "00:00:00";
  for (int i = 0; initial[i] != '\0'; ++i) r.TimeText[i] = initial[i];
  r.Width = 80;
  return r;
}

// The default set is the run of leading slots whose Width is not 0.
const ClockRecord kDefaultTemplate[kMaxClocks] = {
    MakeDefault(kClockLocal, kColorLightBlue, 0, "", "Local", "Local"),
    MakeDefault(kClockZone, kColorGreen, 1, "AWST-8", "Australia/Perth", "Perth"),
    MakeDefault(kClockUtc, kColorYellow, 2, "GMT0", "UTC", "UTC"),
};

bool IsSelectedInUse() { return Clocks.SelectedClock >= 0 && Clocks.SelectedClock < Clocks.N; }

void Forget(ClockRecord& record) {
  record.zone = nullptr;
  record.titleButton = nullptr;
}

}  // namespace

void CopyBounded(char* dest, size_t destSize, const char* src, size_t maxLen) {
  if (destSize == 0) return;
  if (maxLen > destSize - 1) maxLen = destSize - 1;
  size_t n = 0;
  if (src != nullptr) {
    while (n < maxLen && src[n] != '\0') ++n;
    std::memmove(dest, src, n);
  }
  dest[n] = '\0';
}

bool ValidWorkTime(int32_t minutes) { return minutes >= 0 && minutes < kMinutesPerDay; }
bool ValidWorkDays(int32_t days) { return days >= 0 && days <= 0x7F; }

void SetWorkHours(ClockRecord* clock, int32_t start, int32_t end, int32_t days) {
  clock->WorkStart = ValidWorkTime(start) ? start : kDefaultWorkStart;
  clock->WorkEnd = ValidWorkTime(end) ? end : kDefaultWorkEnd;
  clock->WorkDays = ValidWorkDays(days) ? days : kDefaultWorkDays;
}

const ClockRecord* DefaultClocks(int* count) {
  int n = 0;
  while (n < kMaxClocks && kDefaultTemplate[n].Width != 0) ++n;
  *count = n;
  return kDefaultTemplate;
}

int LoadDefaultClocks() {
  int n = 0;
  const ClockRecord* defaults = DefaultClocks(&n);
  for (int i = 0; i < n; ++i) {
    Clocks.clocks[i] = defaults[i];
    Forget(Clocks.clocks[i]);
  }
  Clocks.N = n;
  return n;
}

void CopyClock(int source, int dest) {
  if (source == dest) return;
  Clocks.clocks[dest] = Clocks.clocks[source];
}

int AddClock(const ClockRecord* templ) {
  if (Clocks.N >= kMaxClocks || Clocks.N < 1) return 0;
  const int slot = Clocks.N;
  CopyClock(slot - 1, slot);
  ClockRecord& added = Clocks.clocks[slot];
  added.zone = CreateZoneState();
  added.titleButton = nullptr;
  if (templ != nullptr) {
    added.Type = templ->Type;
    added.Color = templ->Color;
    added.Wd = templ->Wd;
    added.Format = templ->Format;
    CopyBounded(added.Title, sizeof added.Title, templ->Title, kTitleMaxLen);
    CopyBounded(added.Tz, sizeof added.Tz, templ->Tz, kZoneTextMaxLen);
    CopyBounded(added.Id, sizeof added.Id, templ->Id, kZoneTextMaxLen);
    SetWorkHours(&added, templ->WorkStart, templ->WorkEnd, templ->WorkDays);
  }
  ++Clocks.N;
  return 1;
}

int DuplicateClock() {
  if (Clocks.N >= kMaxClocks || !IsSelectedInUse()) return 0;
  const int slot = Clocks.N;
  CopyClock(Clocks.SelectedClock, slot);
  Clocks.clocks[slot].zone = CreateZoneState();
  Clocks.clocks[slot].titleButton = nullptr;
  ++Clocks.N;
  return 1;
}

int RemoveClock() {
  if (Clocks.N < 2 || !IsSelectedInUse()) return 0;
  ClockRecord& removed = Clocks.clocks[Clocks.SelectedClock];
  DestroyZoneState(&removed.zone);
  if (removed.titleButton != nullptr && gDiscardTitleButton != nullptr) {
    gDiscardTitleButton(removed.titleButton);
  }
  removed.titleButton = nullptr;
  --Clocks.N;
  for (int i = Clocks.SelectedClock; i < Clocks.N; ++i) CopyClock(i + 1, i);
  // The vacated slot still names the last clock's state and button.
  Forget(Clocks.clocks[Clocks.N]);
  return 1;
}

int MoveClock(int direction) {
  const int sel = Clocks.SelectedClock;
  int other;
  if (direction == 0) {
    if (sel < 1 || sel > Clocks.N - 1) return 0;
    other = sel - 1;
  } else {
    if (sel < 0 || sel >= Clocks.N - 1) return 0;
    other = sel + 1;
  }
  const ClockRecord temp = Clocks.clocks[sel];
  CopyClock(other, sel);
  Clocks.clocks[other] = temp;
  return 1;
}

int ClockAtPoint(int32_t x, int32_t y) {
  for (int i = 0; i < Clocks.N; ++i) {
    const ClockRect& r = Clocks.clocks[i].cellRect;
    if (r.left <= x && x <= r.right && r.top <= y && y <= r.bottom) return i;
  }
  return -1;
}

int32_t TotalWidth() {
  int32_t total = 0;
  for (int i = 0; i < Clocks.N; ++i) total += Clocks.clocks[i].Width;
  return total;
}

void CreateClockZoneStates() {
  for (int i = 0; i < Clocks.N; ++i) {
    if (Clocks.clocks[i].zone == nullptr) Clocks.clocks[i].zone = CreateZoneState();
  }
}

void DestroyClockZoneStates() {
  for (int i = 0; i < Clocks.N; ++i) DestroyZoneState(&Clocks.clocks[i].zone);
}

void SetTitleButtonDiscarder(TitleButtonDiscarder discarder) { gDiscardTitleButton = discarder; }
