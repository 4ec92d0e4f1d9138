// Figures for the parts of horlixupdater's work, printed, not judged, for
// the release a web site publishes:
// - fetch: the installer through WinINet, as the updater reads it;
// - digest: BlockDigest of the installer;
// - signature: BlockDigest of the signed text and VerifySignature.
// Each is run ROUNDS times; the median and the fastest are printed.
// Usage: bench_updater_parts.exe SITE [ROUNDS]   (SITE as http://127.0.0.1:PORT)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bignum/block_digest.h"
#include "bignum/signature.h"
#include "updater/fetch.h"
#include "updater/info_file.h"
#include "updater/updater.h"

namespace {

constexpr int kMaxRounds = 101;

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

void Report(const char* name, double* seconds, int rounds, double bytes) {
  std::sort(seconds, seconds + rounds);
  const double median = seconds[rounds / 2];
  std::printf("%-10s median %10.3f ms   fastest %10.3f ms", name, median * 1e3, seconds[0] * 1e3);
  if (bytes > 0) std::printf("   %8.1f MB/s", bytes / median / 1e6);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_updater_parts.exe SITE [ROUNDS]\n");
    return 2;
  }
  int rounds = argc > 2 ? std::atoi(argv[2]) : 11;
  if (rounds < 1) rounds = 1;
  if (rounds > kMaxRounds) rounds = kMaxRounds;

  char infoUrl[600];
  std::snprintf(infoUrl, sizeof infoUrl, "%s%s", argv[1], kInfoFilePath);
  char text[kInfoTextMax + 1];
  std::memset(text, 0, sizeof text);
  uint32_t count = kInfoTextMax;
  if (FetchUrl(reinterpret_cast<unsigned char*>(text), &count, infoUrl, "Horlixupdater") != 0) {
    std::fprintf(stderr, "cannot fetch %s\n", infoUrl);
    return 1;
  }
  text[count] = '\0';
  static InstallerInfo info;
  if (const char* reason = ReadInstallerInfo(text, &info)) {
    std::fprintf(stderr, "info file refused: %s\n", reason);
    return 1;
  }
  const uint32_t size = static_cast<uint32_t>(info.size);
  auto* installer = static_cast<unsigned char*>(std::malloc(size > 0 ? size : 1));
  if (installer == nullptr) return 1;
  std::printf("installer %s, %u bytes; %d rounds\n", info.url, size, rounds);

  double times[kMaxRounds];
  for (int i = 0; i < rounds; ++i) {
    uint32_t got = size;
    const double t0 = Now();
    const int32_t rc = FetchUrl(installer, &got, info.url, "Horlixupdater");
    times[i] = Now() - t0;
    if (rc != 0 || got != size) {
      std::fprintf(stderr, "fetch failed: %d, %u bytes\n", static_cast<int>(rc), got);
      return 1;
    }
  }
  Report("fetch", times, rounds, size);

  unsigned char digest[16];
  for (int i = 0; i < rounds; ++i) {
    const double t0 = Now();
    BlockDigest(digest, installer, size);
    times[i] = Now() - t0;
  }
  if (std::memcmp(digest, info.digest, 16) != 0) std::printf("(digest differs from dig=)\n");
  Report("digest", times, rounds, size);

  int32_t verdict = 0;
  for (int i = 0; i < rounds; ++i) {
    const double t0 = Now();
    unsigned char signedDigest[16];
    BlockDigest(signedDigest, reinterpret_cast<const unsigned char*>(text), info.signedLength);
    verdict |= VerifySignature(info.sig, signedDigest);
    times[i] = Now() - t0;
  }
  Report("signature", times, rounds, 0);
  if (verdict != 0) std::printf("(signature is invalid)\n");
  std::free(installer);
  return 0;
}
