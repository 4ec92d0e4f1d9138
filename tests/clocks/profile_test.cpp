// The INI reading the zone data file and the settings import rely on. The
// same cases run against the Windows profile functions under Wine and
// against the native reader, so both answer alike on awkward files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clocks/profile.h"
#include "test_files.h"

namespace {

const char kAwkward[] =
    "; a comment before any section\r\n"
    "[A]\r\n"
    "k = value with spaces  \r\n"
    ";c=commented\r\n"
    "  spaced  =  x  \r\n"
    "q=\"quoted\"\r\n"
    "q1='single'\r\n"
    "q2=\"half\r\n"
    "empty=\r\n"
    "noeq\r\n"
    "ab=b=c\r\n"
    "\tt\t=\ttab\t\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "n=  -12abc\r\n"
    "h=0x1F\r\n"
    "big=99999999999\r\n"
    "[ B ]\r\n"
    "TZ=b1\r\n"
    "[a]\r\n"
    "TZ=in the duplicate\r\n"
    "k=second\r\n"
    "\r\n"
    "   \r\n"
    "[C]\n"
    "TZ=lf only\n"
    "[E]x\r\n"
    "TZ=e\r\n"
    "[Last]\r\n"
    "TZ=final";  // no final newline

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testfiles::FreshFolder("profile");
    file_ = folder_ + "\\awkward.ini";
    testfiles::WriteBytes(file_, kAwkward);
  }
  std::string Get(const char* section, const char* key, const char* fallback = "DEF") {
    char buffer[256];
    const uint32_t n = ProfileString(file_.c_str(), section, key, fallback, buffer, sizeof buffer);
    EXPECT_EQ(n, std::string(buffer).size());
    return buffer;
  }
  std::string folder_, file_;
};

TEST_F(ProfileTest, SectionNamesInFileOrderWithDuplicates) {
  char names[512];
  const uint32_t n = ProfileSectionNames(file_.c_str(), names, sizeof names);
  std::vector<std::string> got;
  for (const char* p = names; *p != '\0'; p += std::string(p).size() + 1) got.push_back(p);
  EXPECT_EQ(got, (std::vector<std::string>{"A", "B", "a", "C", "E", "Last"}));
  EXPECT_EQ(n, 2u + 2 + 2 + 2 + 2 + 5);
}

TEST_F(ProfileTest, ValuesAreTrimmedAndUnquoted) {
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"A", "k", "value with spaces"},
      {"a", "K", "value with spaces"},  // names compare without case
      {"A", ";c", "commented"},         // ";" starts no comment
      {"A", "c", "DEF"},
      {"A", "spaced", "x"},
      {"A", "q", "quoted"},
      {"A", "q1", "single"},
      {"A", "q2", "\"half"},
      {"A", "empty", ""},     // present but empty: not the default
      {"A", "noeq", "DEF"},   // a line without "=" has no value
      {"A", "ab", "b=c"},
      {"A", "t", "tab"},
      {"A", "dup", "first"},  // the first of duplicate keys
      {"A", "missing", "DEF"},
      {"B", "TZ", "b1"},      // "[ B ]" is section "B"
      {"A", "TZ", "DEF"},     // the duplicate section "[a]" is never searched
      {"C", "TZ", "lf only"},
      {"E", "TZ", "e"},
      {"Last", "TZ", "final"},
      {"Nowhere", "TZ", "DEF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Get(c.section, c.key), c.expected) << "[" << c.section << "] " << c.key;
  }
}

TEST_F(ProfileTest, BoundedCopies) {
  const std::string longValue(300, 'v');
  testfiles::WriteBytes(file_, "[Z]\r\nTZ=" + longValue + "\r\n");
  char buffer[256];
  EXPECT_EQ(ProfileString(file_.c_str(), "Z", "TZ", "", buffer, sizeof buffer), 255u);
  EXPECT_EQ(std::string(buffer), longValue.substr(0, 255));
  char small[5];
  EXPECT_EQ(ProfileString(file_.c_str(), "Z", "TZ", "", small, sizeof small), 4u);
  EXPECT_EQ(std::string(small), "vvvv");
  // A buffer too small for the names: the start of the first, cut and
  // terminated inside the buffer, and size - 2.
  char names[4] = {'x', 'x', 'x', 'x'};
  testfiles::WriteBytes(file_, "[Alpha]\r\n[Beta]\r\n");
  EXPECT_EQ(ProfileSectionNames(file_.c_str(), names, sizeof names), 2u);
  EXPECT_EQ(names[0], 'A');
  EXPECT_TRUE(names[1] == '\0' || names[2] == '\0');
}

TEST_F(ProfileTest, Integers) {
  EXPECT_EQ(ProfileInt(file_.c_str(), "A", "n", 77), -12);
  EXPECT_EQ(ProfileInt(file_.c_str(), "A", "h", 77), 31);
  EXPECT_EQ(ProfileInt(file_.c_str(), "A", "k", 77), 0);
  EXPECT_EQ(ProfileInt(file_.c_str(), "A", "empty", 77), 77);
  EXPECT_EQ(ProfileInt(file_.c_str(), "A", "missing", 77), 77);
  EXPECT_EQ(ProfileInt(file_.c_str(), "A", "big", 77), 1215752191);  // wraps at 32 bits
}

TEST_F(ProfileTest, MissingFileGivesDefaults) {
  const std::string missing = folder_ + "\\none.ini";
  char buffer[16];
  EXPECT_EQ(ProfileString(missing.c_str(), "A", "k", "dflt", buffer, sizeof buffer), 4u);
  EXPECT_STREQ(buffer, "dflt");
  char names[16];
  EXPECT_EQ(ProfileSectionNames(missing.c_str(), names, sizeof names), 0u);
  EXPECT_EQ(names[0], '\0');
  EXPECT_EQ(ProfileInt(missing.c_str(), "A", "k", 5), 5);
}

TEST_F(ProfileTest, WritingKeepsCommentsAndOtherLines) {
  const std::string out = folder_ + "\\kept.ini";
  testfiles::WriteBytes(out, "; exported settings\r\n\r\n[Horlix]\r\nA=1\r\n\r\n[Other]\r\nB=2\r\n");
  ASSERT_TRUE(ProfileWriteString(out.c_str(), "Horlix", "C", "3"));
  ASSERT_TRUE(ProfileWriteString(out.c_str(), "horlix", "a", "9"));
  ASSERT_TRUE(ProfileWriteString(out.c_str(), "New", "D", "4"));
  FILE* f = std::fopen(testfiles::Native(out).c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buffer[512] = {};
  std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  const std::string text = buffer;
  EXPECT_EQ(text.find("; exported settings"), 0u) << text;
  EXPECT_NE(text.find("B=2"), std::string::npos) << text;
  EXPECT_EQ(ProfileInt(out.c_str(), "Horlix", "A", 0), 9);
  EXPECT_EQ(ProfileInt(out.c_str(), "Horlix", "C", 0), 3);
  EXPECT_EQ(ProfileInt(out.c_str(), "Other", "B", 0), 2);
  EXPECT_EQ(ProfileInt(out.c_str(), "New", "D", 0), 4);
  // C went into [Horlix], not after [Other].
  EXPECT_LT(text.find("C=3"), text.find("[Other]")) << text;
}

TEST_F(ProfileTest, WriteThenRead) {
  const std::string out = folder_ + "\\written.ini";
  ASSERT_TRUE(ProfileWriteString(out.c_str(), "Horlix", "DateFormat", "2"));
  ASSERT_TRUE(ProfileWriteString(out.c_str(), "Horlix", "Title", "Perth"));
  ASSERT_TRUE(ProfileWriteString(out.c_str(), "0", "Tz", "AWST-8"));
  ASSERT_TRUE(ProfileWriteString(out.c_str(), "Horlix", "DateFormat", "0"));
  EXPECT_EQ(ProfileInt(out.c_str(), "Horlix", "DateFormat", 9), 0);
  char buffer[32];
  ProfileString(out.c_str(), "0", "Tz", "", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "AWST-8");
  char names[64];
  ProfileSectionNames(out.c_str(), names, sizeof names);
  EXPECT_STREQ(names, "Horlix");
  EXPECT_STREQ(names + 7, "0");
}

}  // namespace
