// The updater's whole flow against an in-memory web site: what it prints,
// what it writes, and how it ends, for a genuine release and for each way a
// download can be forged, damaged or fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "bignum/block_digest.h"
#include "horlix_version.h"
#include "tools/sign/info_file.h"
#include "tools/sign/sign_key.h"
#include "updater/updater.h"

namespace {

#include "dev_key.inc"

const char kSite[] = "http://site.test";
const char kInfoUrl[] = "http://site.test/horlix/upd/horlixquicki-sig.txt";
const char kInstallerUrl[] = "http://site.test/horlix/horlix-1651-setup.exe";

struct FakeSite {
  std::map<std::string, std::string> pages;
  std::map<std::string, int32_t> failures;
  std::map<std::string, std::string> files;
  int fetches = 0;
  int keys = 0;
  bool failWrites = false;
};
FakeSite* gSite = nullptr;

int32_t FakeFetch(const char* url, unsigned char* buffer, uint32_t* count) {
  ++gSite->fetches;
  auto failure = gSite->failures.find(url);
  if (failure != gSite->failures.end()) return failure->second;
  auto page = gSite->pages.find(url);
  const std::string body = page != gSite->pages.end() ? page->second : "404 Not Found";
  const uint32_t n = body.size() < *count ? static_cast<uint32_t>(body.size()) : *count;
  std::memcpy(buffer, body.data(), n);
  *count = n;
  return 0;
}
bool FakeTemp(char* out, size_t size) {
  std::snprintf(out, size, "C:\\Temp\\");
  return true;
}
void FakeDelete(const char* path) { gSite->files.erase(path); }
bool FakeWrite(const char* path, const unsigned char* data, uint32_t size) {
  gSite->files[path] = std::string(reinterpret_cast<const char*>(data), gSite->failWrites ? size / 2 : size);
  return !gSite->failWrites;
}
void FakeErrorText(int32_t code, char* out, size_t size) {
  std::snprintf(out, size, code == 12029 ? "Cannot connect." : "");
}
void FakeKey() { ++gSite->keys; }

std::string ReadAll(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char chunk[512];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) s.append(chunk, n);
  return s;
}

class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gSite = &site_;
    char err[128];
    ASSERT_EQ(ParseSignKeyPem(kDevKeyPem, std::strlen(kDevKeyPem), &key_, err, sizeof err), 0) << err;
    installer_ = std::string("MZ installer bytes ");
    for (int i = 0; i < 3000; ++i) installer_ += static_cast<char>('a' + i % 26);
    site_.pages[kInstallerUrl] = installer_;
    site_.pages[kInfoUrl] = Genuine();
    site_.files["C:\\Out\\setup.exe"] = "an old file";
  }
  std::string Genuine() {
    char text[1024];
    char err[128];
    const auto* bytes = reinterpret_cast<const unsigned char*>(installer_.data());
    EXPECT_GT(MakeInfoFile(text, sizeof text, &key_, 1651, kInstallerUrl, bytes,
                           static_cast<uint32_t>(installer_.size()), err, sizeof err),
              0)
        << err;
    return text;
  }
  // The signed text followed by "#" and its signature under key.
  std::string Sign(const std::string& signedText, const SignKey& key) {
    unsigned char digest[16];
    BlockDigest(digest, reinterpret_cast<const unsigned char*>(signedText.data()),
                static_cast<uint32_t>(signedText.size()));
    char sig[257];
    SignDigest(&key, digest, sig);
    return signedText + "#\nsig=" + sig + "\n";
  }
  std::string DigestHex(const std::string& bytes) {
    unsigned char d[16];
    BlockDigest(d, reinterpret_cast<const unsigned char*>(bytes.data()),
                static_cast<uint32_t>(bytes.size()));
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    return hex;
  }
  int Run(const char* outputPath = "C:\\Out\\setup.exe") {
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    const UpdaterPlatform platform = {FakeFetch, FakeTemp, FakeDelete, FakeWrite,
                                      FakeErrorText, FakeKey, out, err, nullptr, nullptr};
    const char* argv[] = {"horlixupdater", outputPath};
    const int rc = RunUpdater(outputPath ? 2 : 1, argv, kSite, platform);
    out_ = ReadAll(out);
    err_ = ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    return rc;
  }
  void ExpectCancelled(const char* reason) {
    // An old file at the output path, also after a case has reset the site:
    // a refused release must remove it and write nothing in its place.
    site_.files["C:\\Out\\setup.exe"] = "an old file";
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find(std::string("\nERROR: ") + reason + ": upgrade cancelled.\n"),
              std::string::npos)
        << err_;
    EXPECT_NE(out_.find("Press any key to close this window..."), std::string::npos);
    EXPECT_EQ(site_.keys, 1);
    EXPECT_EQ(site_.files.count("C:\\Out\\setup.exe"), 0u) << "no output file after a failure";
  }
  FakeSite site_;
  SignKey key_{};
  std::string installer_, out_, err_;
};

TEST_F(UpdaterTest, GenuineReleaseIsWritten) {
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(out_,
            "Downloading installation info... OK\nVerifying download info... OK\n"
            "Downloading installation file... OK\nVerifying installation file... OK\n");
  EXPECT_EQ(err_, "");
  EXPECT_EQ(site_.files["C:\\Out\\setup.exe"], installer_);
  EXPECT_EQ(site_.keys, 0);
}

TEST_F(UpdaterTest, DefaultOutputIsInTheTemporaryFolder) {
  EXPECT_EQ(Run(nullptr), 0);
  EXPECT_EQ(site_.files["C:\\Temp\\horlixquicki.exe"], installer_);
}

TEST_F(UpdaterTest, ForgedSignatureIsRefused) {
  std::string info = Genuine();
  const size_t at = info.find("sig=") + 10;
  info[at] = info[at] == '0' ? '1' : '0';
  site_.pages[kInfoUrl] = info;
  ExpectCancelled("Signature is invalid");
  EXPECT_EQ(site_.fetches, 1) << "the installer is not fetched";
}

TEST_F(UpdaterTest, SignatureByAnotherKeyIsRefused) {
  SignKey other = key_;
  for (int i = 40; i < 128; ++i) other.privateExponent[i] ^= 0x5A;
  const std::string info = Genuine();
  site_.pages[kInfoUrl] = Sign(info.substr(0, info.find('#')), other);
  ExpectCancelled("Signature is invalid");
}

TEST_F(UpdaterTest, TamperedInstallerIsRefused) {
  site_.pages[kInstallerUrl][100] ^= 1;
  ExpectCancelled("Download is invalid");
}

TEST_F(UpdaterTest, ShortInstallerIsRefused) {
  site_.pages[kInstallerUrl].resize(installer_.size() - 1);
  ExpectCancelled("Download is invalid");
}

TEST_F(UpdaterTest, OldVersionsAndBadStartsAreRefused) {
  const std::string body = "size=1\nurl=x\ndig=00\n";
  // Genuinely signed, but not newer than the program itself.
  for (const int version : {HORLIX_VERSION_NUMBER, HORLIX_VERSION_NUMBER - 1, 1600}) {
    site_ = FakeSite{};
    site_.pages[kInfoUrl] = Sign("exever=" + std::to_string(version) + "\n" + body, key_);
    ExpectCancelled("New version is older than current version");
    EXPECT_EQ(site_.fetches, 1) << version;
  }
  site_ = FakeSite{};
  site_.pages[kInfoUrl] = Sign(" exever=1651\n" + body, key_);
  ExpectCancelled("Invalid download");
  site_ = FakeSite{};
  site_.pages[kInfoUrl] = "";
  ExpectCancelled("Invalid download");
  // The next version passes the version test and stops at the (missing) signature.
  site_ = FakeSite{};
  site_.pages[kInfoUrl] = "exever=" + std::to_string(HORLIX_VERSION_NUMBER + 1) + "\n" + body;
  ExpectCancelled("Signature is invalid");
}

TEST_F(UpdaterTest, ValuesAfterTheSignatureAreNotUsed) {
  // The signed part names no digest; one appended after the signature
  // must not be taken for it.
  const std::string signedText = "exever=1651\nsize=" + std::to_string(installer_.size()) +
                                 "\nurl=" + kInstallerUrl + "\n";
  site_.pages[kInfoUrl] = Sign(signedText, key_) + "dig=" + DigestHex(installer_) + "\n";
  ExpectCancelled("Download is invalid");
  // Likewise a second url after the "#" does not redirect the download.
  site_ = FakeSite{};
  site_.pages[kInstallerUrl] = installer_;
  site_.pages["http://evil.test/x.exe"] = "evil";
  site_.pages[kInfoUrl] = Genuine() + "url=http://evil.test/x.exe\n";
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(site_.files["C:\\Out\\setup.exe"], installer_);
}

TEST_F(UpdaterTest, InfoFileWithoutHashSignsItselfAndFails) {
  std::string info = Genuine();
  info.erase(info.find('#'), 2);
  site_.pages[kInfoUrl] = info;
  ExpectCancelled("Signature is invalid");
}

TEST_F(UpdaterTest, MissingSizeDownloadsNothing) {
  const std::string signedText =
      std::string("exever=1651\nurl=") + kInstallerUrl + "\ndig=" + DigestHex(installer_) + "\n";
  site_.pages[kInfoUrl] = Sign(signedText, key_);
  ExpectCancelled("Download is invalid");
}

TEST_F(UpdaterTest, UrlEndsAtCarriageReturn) {
  const std::string signedText = "exever=1651\r\nsize=" + std::to_string(installer_.size()) +
                                 "\r\nurl=" + kInstallerUrl + "\r\ndig=" + DigestHex(installer_) +
                                 "\r\n";
  site_.pages[kInfoUrl] = Sign(signedText, key_);
  EXPECT_EQ(Run(), 0) << err_;
  EXPECT_EQ(site_.files["C:\\Out\\setup.exe"], installer_);
}

TEST_F(UpdaterTest, IllegalOutputNamesAreRefusedBeforeFetching) {
  for (const char* name : {"C:\\Out\\a\"b.exe", "C:\\Out\\a<b", "a>b", "a|b", "a?b", "a*b"}) {
    site_.keys = 0;
    EXPECT_EQ(Run(name), 1) << name;
    EXPECT_NE(err_.find("ERROR: Illegal character in filename: upgrade cancelled."),
              std::string::npos);
  }
  EXPECT_EQ(site_.fetches, 0);
  EXPECT_EQ(Run("C:\\Out\\setup.exe"), 0);  // colon and backslash are fine
}

TEST_F(UpdaterTest, FetchFailuresPrintTheSystemError) {
  site_.failures[kInfoUrl] = 12029;
  ExpectCancelled("Failed to download installation info");
  EXPECT_NE(err_.find("\nFailed with error 12029: Cannot connect.\n"), std::string::npos) << err_;
  site_ = FakeSite{};
  site_.pages[kInfoUrl] = Genuine();
  site_.failures[kInstallerUrl] = 12002;
  ExpectCancelled("Failed to download installation file");
  EXPECT_NE(err_.find("\nFailed with error 12002: \n"), std::string::npos) << err_;
  EXPECT_EQ(out_.find("Downloading installation file... OK"), std::string::npos);
  // A certificate error without a system text is named all the same.
  site_ = FakeSite{};
  site_.failures[kInfoUrl] = 12037;
  ExpectCancelled("Failed to download installation info");
  EXPECT_NE(err_.find("\nFailed with error 12037: the site's certificate has expired or is not yet "
                      "valid\n"), std::string::npos) << err_;
}

TEST_F(UpdaterTest, IncompleteWriteLeavesNoFile) {
  site_.failWrites = true;
  ExpectCancelled("Failed to create a new temp file. Update aborted.");
}

}  // namespace
