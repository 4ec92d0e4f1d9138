// The settings file reader of the import: ReadSettingsFile over arbitrary
// contents. A file it accepts goes on through the confirmation text (at
// several sizes) and the import into an in-memory registry, and the store is
// then loaded again: the clocks must come back as the file gave them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "clocks/clock_list.h"
#include "clocks/desktop.h"
#include "clocks/registry.h"
#include "clocks/settings.h"
#include "clocks/zone_file.h"
#include "fuzz_common.h"
#include "ui/dialogs/settings_file.h"

namespace {

int Quiet(const char*, const char*, MessageKind) { return 1; }

void CheckQuestion(const ImportedSettings& imported, size_t size) {
  static const char kQuestion[] = "\rDo you want to change your settings?";
  char* out = new char[size + 1];
  out[size] = '\x5a';  // one byte past the buffer, which must stay untouched
  ComposeImportQuestion(imported, out, size);
  FUZZ_CHECK(out[size] == '\x5a');
  if (size > 0) {
    const size_t len = strnlen(out, size);
    FUZZ_CHECK(len < size);
    if (size > sizeof kQuestion) {
      FUZZ_CHECK(len >= sizeof kQuestion - 1);
      FUZZ_CHECK(std::strcmp(out + len - (sizeof kQuestion - 1), kQuestion) == 0);
    }
  }
  delete[] out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& root = FuzzFolder("settings");
  static bool prepared = false;
  if (!prepared) {
    SetMessageHook(Quiet);
    OverrideProgramPaths(WinPath(root + "/horlix.exe").c_str(), "");
    prepared = true;
  }
  const std::string path = root + "/import.hrlx";
  FuzzWriteFile(path, data, size);

  static ImportedSettings imported;
  std::memset(&imported, 0, sizeof imported);
  if (ReadSettingsFile(WinPath(path).c_str(), &imported) != 0) return 0;
  FUZZ_CHECK(imported.N >= 1 && imported.N <= kMaxClocks);
  for (int i = 0; i < imported.N; ++i) {
    const ImportedClock& c = imported.clocks[i];
    FUZZ_CHECK(c.Id[0] != '\0');
    FUZZ_CHECK(strnlen(c.Id, sizeof c.Id) <= static_cast<size_t>(kZoneTextMaxLen));
    FUZZ_CHECK(strnlen(c.Tz, sizeof c.Tz) <= static_cast<size_t>(kZoneTextMaxLen));
    FUZZ_CHECK(strnlen(c.Title, sizeof c.Title) <= 20);
  }
  for (size_t s : {size_t{0}, size_t{1}, size_t{2}, size_t{37}, size_t{38}, size_t{39},
                   size_t{64}, kImportQuestionChars}) {
    CheckQuestion(imported, s);
  }

  // Import into a fresh store, with three clocks in memory before.
  MemoryRegistryClear();
  LoadDefaultClocks();
  ApplyImportedSettings(WinPath(path).c_str(), imported);
  FUZZ_CHECK(Clocks.N == imported.N);
  FreeZones();
  FUZZ_CHECK(LoadSettings() == 1);
  FUZZ_CHECK(Clocks.N == imported.N);
  for (int i = 0; i < imported.N; ++i) {
    const ImportedClock& from = imported.clocks[i];
    const ClockRecord& to = Clocks.clocks[i];
    FUZZ_CHECK(std::strcmp(to.Id, from.Id) == 0);
    FUZZ_CHECK(std::strcmp(to.Tz, from.Tz) == 0);
    if (std::strlen(from.Title) <= static_cast<size_t>(kTitleMaxLen)) {
      FUZZ_CHECK(std::strcmp(to.Title, from.Title) == 0);
    } else {
      FUZZ_CHECK(std::strcmp(to.Title, "???") == 0);
    }
    FUZZ_CHECK(to.Type == from.Type && to.Format == from.Format && to.Color == from.Color);
  }
  FreeZones();
  return 0;
}
