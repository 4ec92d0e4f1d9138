#include "updater/updater.h"

#include <cstdlib>
#include <cstring>

#include "bignum/block_digest.h"
#include "bignum/signature.h"
#include "updater/info_file.h"
#include "updater/secure_connection.h"

namespace {

constexpr size_t kPathChars = 260;

void* Allocate(const UpdaterPlatform& p, size_t size) {
  return p.allocate != nullptr ? p.allocate(size) : std::malloc(size);
}

void Release(const UpdaterPlatform& p, void* block) {
  if (p.release != nullptr) {
    p.release(block);
  } else {
    std::free(block);
  }
}

int Cancel(const UpdaterPlatform& p, const char* reason) {
  std::fprintf(p.err, "\nERROR: %s: upgrade cancelled.\n", reason);
  std::fprintf(p.out, "Press any key to close this window...");
  std::fflush(p.out);
  p.waitForKey();
  return 1;
}

void PrintSystemError(const UpdaterPlatform& p, int32_t code) {
  char text[512];
  text[0] = '\0';
  p.errorText(code, text, sizeof text);
  // Not every system has texts for WinINet's certificate errors.
  const char* problem = SecureConnectionProblem(code);
  if (text[0] == '\0' && problem != nullptr) std::snprintf(text, sizeof text, "%s", problem);
  const size_t size = std::strlen(text) + 40;
  char* line = static_cast<char*>(Allocate(p, size));
  if (line == nullptr) return;
  std::snprintf(line, size, "Failed with error %d: %s", static_cast<int>(code), text);
  std::fprintf(p.err, "\n%s\n", line);
  Release(p, line);
}

void Say(const UpdaterPlatform& p, const char* text) {
  std::fputs(text, p.out);
  std::fflush(p.out);
}

// The output path, or a reason to cancel.
const char* ChooseOutputPath(int argc, const char* const* argv, const UpdaterPlatform& p,
                             char* path) {
  if (argc < 2) {
    char folder[kPathChars];
    if (!p.tempFolder(folder, sizeof folder)) return "Failed to get a temp path name";
    std::snprintf(path, kPathChars, "%s%s", folder, "horlixquicki.exe");
    return nullptr;
  }
  std::snprintf(path, kPathChars, "%s", argv[1]);
  if (std::strpbrk(path, "<>|?*\"") != nullptr) return "Illegal character in filename";
  return nullptr;
}

}  // namespace

int RunUpdater(int argc, const char* const* argv, const char* webSite,
               const UpdaterPlatform& p) {
  char path[kPathChars];
  if (const char* reason = ChooseOutputPath(argc, argv, p, path)) return Cancel(p, reason);
  p.deleteFile(path);

  Say(p, "Downloading installation info...");
  char infoUrl[kPathChars + 64];
  std::snprintf(infoUrl, sizeof infoUrl, "%s%s", webSite, kInfoFilePath);
  char text[kInfoTextMax + 1];
  std::memset(text, 0, sizeof text);
  uint32_t received = kInfoTextMax;
  if (const int32_t rc = p.fetch(infoUrl, reinterpret_cast<unsigned char*>(text), &received)) {
    PrintSystemError(p, rc);
    return Cancel(p, "Failed to download installation info");
  }
  text[received < kInfoTextMax ? received : kInfoTextMax] = '\0';
  Say(p, " OK\n");
  Say(p, "Verifying download info...");

  InstallerInfo info;
  if (const char* reason = ReadInstallerInfo(text, &info)) return Cancel(p, reason);
  unsigned char signedDigest[16];
  BlockDigest(signedDigest, reinterpret_cast<const unsigned char*>(text), info.signedLength);
  if (VerifySignature(info.sig, signedDigest) != 0) return Cancel(p, "Signature is invalid");
  Say(p, " OK\n");

  Say(p, "Downloading installation file...");
  const uint32_t size = static_cast<uint32_t>(info.size);
  auto* installer = static_cast<unsigned char*>(Allocate(p, size > 0 ? size : 1));
  if (installer == nullptr) return Cancel(p, "Failed to download installation file");
  received = size;
  if (const int32_t rc = p.fetch(info.url, installer, &received)) {
    Release(p, installer);
    PrintSystemError(p, rc);
    return Cancel(p, "Failed to download installation file");
  }
  Say(p, " OK\n");
  Say(p, "Verifying installation file...");
  unsigned char digest[16];
  BlockDigest(digest, installer, received);
  unsigned char differ = 0;
  for (int i = 0; i < 16; ++i) differ |= static_cast<unsigned char>(digest[i] ^ info.digest[i]);
  if (differ != 0) {
    Release(p, installer);
    return Cancel(p, "Download is invalid");
  }
  const bool written = p.writeFile(path, installer, received);
  Release(p, installer);
  if (!written) {
    p.deleteFile(path);
    return Cancel(p, "Failed to create a new temp file. Update aborted.");
  }
  Say(p, " OK\n");
  return 0;
}
