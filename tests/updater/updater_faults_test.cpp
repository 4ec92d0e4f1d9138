// Fault injection into the updater: each step of its platform table failing
// (no temporary folder, each fetch refused or cut short, the file write
// failing, the old file that cannot be deleted, the flow's own memory) and
// each memory request of the big-number library failing during a genuine run. For each: the exact
// progress and error text, the exit code, the key press, and no installer
// left at the output path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "bignum/kalbrum.h"
#include "tools/sign/info_file.h"
#include "tools/sign/sign_key.h"
#include "updater/updater.h"

namespace {

#include "dev_key.inc"

const char kSite[] = "http://site.test";
const char kInfoUrl[] = "http://site.test/horlix/upd/horlixquicki-sig.txt";
const char kInstallerUrl[] = "http://site.test/horlix/horlix-1651-setup.exe";
const char kOutput[] = "C:\\Out\\setup.exe";

struct Faults {
  bool noTempFolder = false;
  int failFetch = -1;       // index of the fetch that fails (0 = info file)
  int32_t fetchError = 0;
  int emptyFetch = -1;      // index of the fetch that brings 0 bytes
  int shortFetch = -1;      // index of the fetch that brings its last 10 bytes less
  bool failWrite = false;   // the file is written in part only
  bool failDelete = false;  // deleting leaves the file
};

struct World {
  std::string info, installer;
  std::map<std::string, std::string> files;
  Faults faults;
  int fetches = 0;
  int keys = 0;
};
World* gWorld = nullptr;

int32_t Fetch(const char* url, unsigned char* buffer, uint32_t* count) {
  const int index = gWorld->fetches++;
  if (index == gWorld->faults.failFetch) return gWorld->faults.fetchError;
  std::string body = std::strcmp(url, kInfoUrl) == 0 ? gWorld->info
                     : std::strcmp(url, kInstallerUrl) == 0 ? gWorld->installer
                                                            : "404";
  if (index == gWorld->faults.emptyFetch) body.clear();
  if (index == gWorld->faults.shortFetch) body.resize(body.size() > 10 ? body.size() - 10 : 0);
  const uint32_t n = body.size() < *count ? static_cast<uint32_t>(body.size()) : *count;
  std::memcpy(buffer, body.data(), n);
  *count = n;
  return 0;
}
bool TempFolder(char* out, size_t size) {
  if (gWorld->faults.noTempFolder) return false;
  std::snprintf(out, size, "C:\\Temp\\");
  return true;
}
void DeleteFile(const char* path) {
  if (!gWorld->faults.failDelete) gWorld->files.erase(path);
}
bool WriteFile(const char* path, const unsigned char* data, uint32_t size) {
  const bool fail = gWorld->faults.failWrite;
  gWorld->files[path] = std::string(reinterpret_cast<const char*>(data), fail ? size / 3 : size);
  return !fail;
}
void ErrorText(int32_t code, char* out, size_t size) {
  std::snprintf(out, size, "%s",
                code == 12029   ? "A connection with the server could not be established"
                : code == 12007 ? "The server name or address could not be resolved"
                                : "");
}
void WaitForKey() { ++gWorld->keys; }

std::string ReadAll(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char chunk[512];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) s.append(chunk, n);
  return s;
}

FILE* gOut = nullptr;  // the run's progress, for the fatal report

// The flow's own memory (the installer's buffer, the error line).
size_t gBlocks = 0;
size_t gBlocksReleased = 0;
size_t gBlockFailAt = 0;  // 1-based; 0 = none fails
void* FlowAllocate(size_t size) {
  if (++gBlocks == gBlockFailAt) return nullptr;
  return std::malloc(size);
}
void FlowRelease(void* block) {
  ++gBlocksReleased;
  std::free(block);
}

class UpdaterFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    gWorld = &world_;
    SignKey key{};
    char err[128];
    ASSERT_EQ(ParseSignKeyPem(kDevKeyPem, std::strlen(kDevKeyPem), &key, err, sizeof err), 0) << err;
    for (int i = 0; i < 5000; ++i) world_.installer += static_cast<char>(i * 7 % 251);
    char text[1024];
    ASSERT_GT(MakeInfoFile(text, sizeof text, &key, 1651, kInstallerUrl,
                           reinterpret_cast<const unsigned char*>(world_.installer.data()),
                           static_cast<uint32_t>(world_.installer.size()), err, sizeof err),
              0)
        << err;
    world_.info = text;
    WipeSecret(&key, sizeof key);
  }
  void TearDown() override {
    kbSetAllocator(nullptr);
    kbSetFatalReporter(nullptr);
  }
  int Run(int argc = 2) {
    world_.files[kOutput] = "an old installer";
    world_.files["C:\\Temp\\horlixquicki.exe"] = "an old installer";
    world_.fetches = 0;
    world_.keys = 0;
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    gOut = out;
    const UpdaterPlatform platform = {Fetch, TempFolder, DeleteFile, WriteFile,
                                      ErrorText, WaitForKey, out, err,
                                      countBlocks_ ? FlowAllocate : nullptr,
                                      countBlocks_ ? FlowRelease : nullptr};
    const char* argv[] = {"horlixupdater", kOutput};
    const int rc = RunUpdater(argc, argv, kSite, platform);
    out_ = ReadAll(out);
    err_ = ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    gOut = nullptr;
    return rc;
  }
  World world_;
  std::string out_, err_;
  bool countBlocks_ = false;
};

constexpr const char kInfoStep[] = "Downloading installation info...";
constexpr const char kVerifyStep[] = " OK\nVerifying download info...";
constexpr const char kFileStep[] = " OK\nDownloading installation file...";
constexpr const char kCheckStep[] = " OK\nVerifying installation file...";
constexpr const char kPressKey[] = "Press any key to close this window...";

TEST_F(UpdaterFaults, EachStepFailing) {
  struct Row {
    const char* label;
    Faults faults;
    int argc;
    std::string out;  // everything printed to standard output
    std::string err;  // everything printed to standard error
  };
  auto cancel = [](const char* reason) {
    return std::string("\nERROR: ") + reason + ": upgrade cancelled.\n";
  };
  const std::string s1 = kInfoStep, s2 = s1 + kVerifyStep, s3 = s2 + kFileStep,
                    s4 = s3 + kCheckStep;
  Row rows[] = {
      {"no temporary folder", {.noTempFolder = true}, 1, kPressKey,
       cancel("Failed to get a temp path name")},
      {"info fetch refused", {.failFetch = 0, .fetchError = 12029}, 2, s1 + kPressKey,
       "\nFailed with error 12029: A connection with the server could not be established\n" +
           cancel("Failed to download installation info")},
      {"info fetch: name not resolved", {.failFetch = 0, .fetchError = 12007}, 2, s1 + kPressKey,
       "\nFailed with error 12007: The server name or address could not be resolved\n" +
           cancel("Failed to download installation info")},
      {"info fetch: time-out without a text", {.failFetch = 0, .fetchError = 12002}, 2,
       s1 + kPressKey, "\nFailed with error 12002: \n" + cancel("Failed to download installation info")},
      {"info file empty", {.emptyFetch = 0}, 2, s2 + kPressKey, cancel("Invalid download")},
      {"info file cut short", {.shortFetch = 0}, 2, s2 + kPressKey, cancel("Signature is invalid")},
      {"installer fetch refused", {.failFetch = 1, .fetchError = 12029}, 2, s3 + kPressKey,
       "\nFailed with error 12029: A connection with the server could not be established\n" +
           cancel("Failed to download installation file")},
      {"installer empty", {.emptyFetch = 1}, 2, s4 + kPressKey, cancel("Download is invalid")},
      {"installer cut short", {.shortFetch = 1}, 2, s4 + kPressKey, cancel("Download is invalid")},
      {"file write fails", {.failWrite = true}, 2, s4 + kPressKey,
       cancel("Failed to create a new temp file. Update aborted.")},
      {"file write fails, default path", {.failWrite = true}, 1, s4 + kPressKey,
       cancel("Failed to create a new temp file. Update aborted.")},
  };
  for (const Row& r : rows) {
    world_.faults = r.faults;
    EXPECT_EQ(Run(r.argc), 1) << r.label;
    EXPECT_EQ(out_, r.out) << r.label;
    EXPECT_EQ(err_, r.err) << r.label;
    EXPECT_EQ(world_.keys, 1) << r.label;
    const char* path = r.argc == 1 ? "C:\\Temp\\horlixquicki.exe" : kOutput;
    if (r.faults.noTempFolder) {
      EXPECT_EQ(world_.files[path], "an old installer") << "nothing is touched before the path is known";
    } else {
      EXPECT_EQ(world_.files.count(path), 0u) << r.label << ": no installer is left";
    }
  }
  // Without faults the same world succeeds.
  world_.faults = Faults{};
  EXPECT_EQ(Run(), 0) << err_;
  EXPECT_EQ(out_, s4 + " OK\n");
  EXPECT_EQ(world_.files[kOutput], world_.installer);
}

// The flow's own allocations: the installer's buffer in a genuine run, and
// the error line after a refused fetch.
TEST_F(UpdaterFaults, EachAllocationOfTheFlowFailing) {
  auto cancel = [](const char* reason) {
    return std::string("\nERROR: ") + reason + ": upgrade cancelled.\n";
  };
  const std::string s3 = std::string(kInfoStep) + kVerifyStep + kFileStep;
  countBlocks_ = true;
  gBlocks = gBlocksReleased = gBlockFailAt = 0;
  ASSERT_EQ(Run(), 0) << err_;
  EXPECT_EQ(gBlocks, 1u) << "the installer's buffer";
  EXPECT_EQ(gBlocksReleased, 1u);

  // No buffer for the installer: cancelled before fetching it.
  gBlocks = gBlocksReleased = 0;
  gBlockFailAt = 1;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, s3 + kPressKey);
  EXPECT_EQ(err_, cancel("Failed to download installation file"));
  EXPECT_EQ(world_.fetches, 1) << "the installer is not fetched";
  EXPECT_EQ(world_.keys, 1);
  EXPECT_EQ(world_.files.count(kOutput), 0u);

  // No memory for the error line: the line is left out, the reason is not.
  world_.faults = Faults{.failFetch = 0, .fetchError = 12029};
  gBlocks = gBlocksReleased = 0;
  gBlockFailAt = 1;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(err_, cancel("Failed to download installation info"));
  world_.faults = Faults{.failFetch = 1, .fetchError = 12029};
  gBlocks = gBlocksReleased = 0;
  gBlockFailAt = 2;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(err_, cancel("Failed to download installation file"));
  EXPECT_EQ(gBlocksReleased, 1u) << "the installer's buffer is released";
  EXPECT_EQ(world_.files.count(kOutput), 0u);
}

// Deleting the old file is allowed to fail: a verified run still replaces
// it, and a failing run leaves it as it was, never a part of a new one.
TEST_F(UpdaterFaults, OldFileThatCannotBeDeleted) {
  world_.faults = Faults{.failDelete = true};
  EXPECT_EQ(Run(), 0) << err_;
  EXPECT_EQ(world_.files[kOutput], world_.installer);
  world_.faults = Faults{.failFetch = 1, .fetchError = 12029, .failDelete = true};
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(world_.files[kOutput], "an old installer");
  world_.faults = Faults{.shortFetch = 1, .failDelete = true};
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(world_.files[kOutput], "an old installer");
}

// ---------------------------------------------------------------------------
// Every memory request of the big-number library during a genuine run.

size_t gAllocations = 0;
size_t gFailAt = 0;  // 1-based; 0 = none fails
void* CountingAllocate(size_t bytes) {
  ++gAllocations;
  if (gAllocations == gFailAt) return nullptr;
  return std::malloc(bytes);
}
void PlainRelease(void* block, size_t) { std::free(block); }
const KbAllocator kCounting = {CountingAllocate, PlainRelease};

bool gEndingOnPurpose = false;

// The library's fatal end, with what the run had printed and written by then.
void ReportState(const char* text) {
  std::string progress = gOut != nullptr ? ReadAll(gOut) : "?";
  for (char& c : progress) {
    if (c == '\n') c = '/';
  }
  std::fprintf(stderr, "Kalbrum Error: %s progress=%s installer=%d\n", text, progress.c_str(),
               static_cast<int>(gWorld->files.count(kOutput)));
  std::fflush(stderr);
}

TEST_F(UpdaterFaults, EveryLibraryAllocationFailingEndsWithTheLibraryError) {
  gAllocations = 0;
  gFailAt = 0;
  kbSetAllocator(&kCounting);
  ASSERT_EQ(Run(), 0) << err_;
  const size_t total = gAllocations;
  kbSetAllocator(nullptr);
  ASSERT_GT(total, 4u);
  RecordProperty("allocations", static_cast<int>(total));
  for (size_t k = 1; k <= total; ++k) {
    EXPECT_EXIT(
        {
          gEndingOnPurpose = true;
          gAllocations = 0;
          gFailAt = k;
          kbSetAllocator(&kCounting);
          kbSetFatalReporter(ReportState);
          Run();
          std::fprintf(stderr, "returned normally\n");
          std::exit(0);
        },
        ::testing::ExitedWithCode(1),
        "Kalbrum Error: \\w+: .* memory\\. "
        "progress=Downloading installation info\\.\\.\\. OK/Verifying download info\\.\\.\\. "
        "installer=0")
        << "allocation " << k << " of " << total;
  }
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// A death test's child ends through the library's fatal exit with blocks
// still held: no leaks to report there.
extern "C" int __lsan_is_turned_off() { return gEndingOnPurpose ? 1 : 0; }
#endif
