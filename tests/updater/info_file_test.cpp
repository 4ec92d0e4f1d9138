// Reading the installer information file: digest bytes and item limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "horlix_version.h"
#include "updater/info_file.h"

namespace {

TEST(InstallerInfo, DigestBytesFromHex) {
  unsigned char d[16];
  DigestFromHex("000102030405060708090a0b0c0d0eFF", d);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(d[i], i);
  EXPECT_EQ(d[15], 0xFF);
  DigestFromHex("0102030405060708090a0b0c0d0e0f", d);  // 30 digits
  EXPECT_EQ(d[14], 0x0F);
  EXPECT_EQ(d[15], 0);
  DigestFromHex("1g2h", d);  // partial pairs keep their valid part
  EXPECT_EQ(d[0], 1);
  EXPECT_EQ(d[1], 2);
  DigestFromHex("g1ab", d);
  EXPECT_EQ(d[0], 0);
  EXPECT_EQ(d[1], 0xAB);
  DigestFromHex("0102030405060708090a0b0c0d0e0f10111213", d);
  EXPECT_EQ(d[15], 0x10);
}

TEST(InstallerInfo, ItemsAndTheirLimits) {
  InstallerInfo info;
  const std::string longUrl(600, 'u');
  const std::string text = "exever= +1651;size=-5\nurl=" + longUrl + "\ndig=" + std::string(70, 'a') + "#sig=AB;CD";
  ASSERT_EQ(ReadInstallerInfo(text.c_str(), &info), nullptr);
  EXPECT_EQ(info.exever, 1651);
  EXPECT_EQ(info.size, 0);
  EXPECT_EQ(std::strlen(info.url), 511u);
  EXPECT_EQ(std::strlen(info.dig), 63u);
  EXPECT_STREQ(info.sig, "AB");
  EXPECT_EQ(info.signedLength, text.find('#'));
}

TEST(InstallerInfo, OnlyVersionsAboveTheProgramsOwnPass) {
  const struct {
    const char* what;
    int32_t exever;
    bool passes;
  } cases[] = {
      {"the next version", HORLIX_VERSION_NUMBER + 1, true},
      {"the program's own version", HORLIX_VERSION_NUMBER, false},
      {"one below it", HORLIX_VERSION_NUMBER - 1, false},
      {"an old release above 1600", 1601, false},
  };
  for (const auto& c : cases) {
    InstallerInfo info;
    const std::string text = "exever=" + std::to_string(c.exever) + "\nsize=1\n#sig=00";
    const char* reason = ReadInstallerInfo(text.c_str(), &info);
    if (c.passes) {
      EXPECT_EQ(reason, nullptr) << c.what;
    } else {
      EXPECT_STREQ(reason, "New version is older than current version") << c.what;
    }
  }
}

}  // namespace
