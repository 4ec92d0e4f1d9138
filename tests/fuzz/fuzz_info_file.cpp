// The updater's info file: ReadInstallerInfo, BlockDigest of the signed text
// and VerifySignature, then the whole RunUpdater flow against a fake web
// site. The first byte picks how the file is made:
//   0: the input is the file as the site sends it (almost never genuine);
//   1: the input is the signed text, which is signed here with the
//      development key (the key the fuzz tree builds in) so that the flow
//      gets past the signature to the installer's size, address and digest;
//   2: as 1, with size and dig made to fit the installer, so that the flow
//      reaches the end.
// Checks: a file this target signed always passes; an installer is written
// only by a run that ends with 0, and only when its digest is the signed one.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

#include <cstring>
#include <map>
#include <string>

#include "bignum/block_digest.h"
#include "bignum/signature.h"
#include "fuzz_common.h"
#include "tools/sign/info_file.h"
#include "tools/sign/sign_key.h"
#include "updater/info_file.h"
#include "updater/updater.h"

namespace {

#include "dev_key.inc"

const char kSite[] = "http://site.test";
const char kInfoUrl[] = "http://site.test/horlix/upd/horlixquicki-sig.txt";

SignKey gKey;
std::string gInfo, gInstaller, gWrittenPath, gWritten;
bool gWrote = false;
int gFailAt = -1;  // the fetch (0 = info, 1 = installer) that fails, or -1
int gFetches = 0;

int32_t FakeFetch(const char* url, unsigned char* buffer, uint32_t* count) {
  const int index = gFetches++;
  if (index == gFailAt) return 12029;
  const std::string& body = std::strcmp(url, kInfoUrl) == 0 ? gInfo : gInstaller;
  const uint32_t n = body.size() < *count ? static_cast<uint32_t>(body.size()) : *count;
  if (n > 0) std::memcpy(buffer, body.data(), n);
  *count = n;
  return 0;
}
bool FakeTemp(char* out, size_t size) {
  std::snprintf(out, size, "C:\\Temp\\");
  return true;
}
void FakeDelete(const char*) { gWrote = false; }
bool FakeWrite(const char* path, const unsigned char* data, uint32_t size) {
  gWrittenPath = path;
  gWritten.assign(reinterpret_cast<const char*>(data), size);
  gWrote = true;
  return true;
}
void FakeErrorText(int32_t, char* out, size_t size) { std::snprintf(out, size, "Cannot connect."); }
void FakeKey() {}

// Signs text (which must hold no '#' and no NUL) the way the maker does.
// Signing is slow, and mutations often keep the signed text, so signatures
// are kept by digest.
std::string Sign(const std::string& text) {
  static std::map<std::string, std::string> signatures;
  unsigned char digest[16];
  BlockDigest(digest, reinterpret_cast<const unsigned char*>(text.data()),
              static_cast<uint32_t>(text.size()));
  const std::string key(reinterpret_cast<const char*>(digest), sizeof digest);
  auto known = signatures.find(key);
  if (known == signatures.end()) {
    char sig[257];
    FUZZ_CHECK(SignDigest(&gKey, digest, sig) == 0);
    if (signatures.size() > 20000) signatures.clear();
    known = signatures.emplace(key, sig).first;
  }
  return text + "#\nsig=" + known->second + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char err[128];
  FUZZ_CHECK(ParseSignKeyPem(kDevKeyPem, std::strlen(kDevKeyPem), &gKey, err, sizeof err) == 0);
  FUZZ_CHECK(std::memcmp(gKey.publicKey, HorlixPublicKey, sizeof HorlixPublicKey) == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int mode = in.ConsumeIntegralInRange<int>(0, 2);
  gFailAt = in.ConsumeIntegralInRange<int>(-1, 3);
  bool signedHere = false;
  if (mode == 2) {
    // A release whose items all fit the installer, with fuzzed neighbours.
    const int32_t version = in.ConsumeIntegral<int32_t>();
    const std::string url = in.ConsumeRandomLengthString(600);
    const std::string rest = in.ConsumeRandomLengthString(300);
    gInstaller = in.ConsumeRemainingBytesAsString();
    unsigned char d[16];
    BlockDigest(d, reinterpret_cast<const unsigned char*>(gInstaller.data()),
                static_cast<uint32_t>(gInstaller.size()));
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    std::string text = "exever=" + std::to_string(version) + "\nsize=" +
                       std::to_string(gInstaller.size()) + "\nurl=" + url + "\ndig=" + hex +
                       "\n" + rest;
    std::string clean;
    for (char c : text) {
      if (c != '#' && c != '\0') clean += c;
    }
    gInfo = Sign(clean);
    signedHere = gInfo.size() <= kInfoTextMax;
  } else if (mode == 1) {
    std::string text = in.ConsumeRandomLengthString(900);
    std::string clean;
    for (char c : text) {
      if (c != '#' && c != '\0') clean += c;
    }
    if (clean.compare(0, 7, "exever=") != 0) clean = "exever=" + clean;
    gInfo = Sign(clean);
    signedHere = gInfo.size() <= kInfoTextMax;
  } else {
    gInfo = in.ConsumeRandomLengthString(2048);
  }
  if (mode != 2) gInstaller = in.ConsumeRemainingBytesAsString();

  // The parsing and the signature check on their own, as the updater calls them.
  char text[kInfoTextMax + 1];
  const size_t n = gInfo.size() < kInfoTextMax ? gInfo.size() : kInfoTextMax;
  std::memcpy(text, gInfo.data(), n);
  text[n] = '\0';
  static InstallerInfo info;
  const char* reason = ReadInstallerInfo(text, &info);
  bool genuine = false;
  if (reason == nullptr) {
    FUZZ_CHECK(info.size >= 0);
    FUZZ_CHECK(info.signedLength <= std::strlen(text));
    FUZZ_CHECK(strnlen(info.url, sizeof info.url) < sizeof info.url);
    FUZZ_CHECK(strnlen(info.dig, sizeof info.dig) < sizeof info.dig);
    FUZZ_CHECK(strnlen(info.sig, sizeof info.sig) < sizeof info.sig);
    unsigned char digest[16];
    BlockDigest(digest, reinterpret_cast<const unsigned char*>(text), info.signedLength);
    genuine = VerifySignature(info.sig, digest) == 0;
    if (signedHere) FUZZ_CHECK(genuine);
  }

  // The whole flow. Sizes beyond what the fake site holds are not worth
  // allocating: the installer fetched is never longer than the input.
  if (reason == nullptr && info.size > (1 << 20)) return 0;
  gFetches = 0;
  gWrote = false;
  FILE* out = std::fopen("/dev/null", "w");
  FILE* err = std::fopen("/dev/null", "w");
  const UpdaterPlatform platform = {FakeFetch, FakeTemp, FakeDelete, FakeWrite,
                                    FakeErrorText, FakeKey, out, err, nullptr, nullptr};
  const char* argv[] = {"horlixupdater", "C:\\Out\\setup.exe"};
  const int rc = RunUpdater(2, argv, kSite, platform);
  std::fclose(out);
  std::fclose(err);
  FUZZ_CHECK(rc == 0 || rc == 1);
  FUZZ_CHECK(gWrote == (rc == 0));
  if (rc == 0) {
    FUZZ_CHECK(genuine);
    FUZZ_CHECK(gWrittenPath == "C:\\Out\\setup.exe");
    unsigned char digest[16];
    BlockDigest(digest, reinterpret_cast<const unsigned char*>(gWritten.data()),
                static_cast<uint32_t>(gWritten.size()));
    FUZZ_CHECK(std::memcmp(digest, info.digest, 16) == 0);
    FUZZ_CHECK(gWritten.size() <= static_cast<size_t>(info.size));
  }
  return 0;
}
