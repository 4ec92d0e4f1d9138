// The zone data file's one-pass reader against the profile functions it
// replaces. The table holds what the functions give for awkward files, as
// measured under Wine; there every row, the shipped file and the fuzz seeds
// go through the real functions too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "clocks/profile.h"
#include "clocks/zone_ini.h"
#include "test_files.h"

namespace {

constexpr char kDeclined[] = "(left to the profile functions)";

void Collect(const char* name, const char* tz, void* context) {
  *static_cast<std::string*>(context) += std::string(name) + "=" + tz + "|";
}

// "name=tz|" for every listed section, as the reader gives them.
std::string ReaderSays(std::string bytes) {
  std::string out;
  bytes.push_back('\0');
  if (!ReadZoneText(bytes.data(), bytes.size() - 1, Collect, &out)) return kDeclined;
  return out;
}

#ifdef _WIN32
// The same through the profile functions, as the start-up called them (the
// buffer for the names zeroed: a file of one bare header fills it but for
// the last byte).
std::string FunctionsSay(const std::string& file, size_t size) {
  std::vector<char> names(size + 1, '\0');
  ProfileSectionNames(file.c_str(), names.data(), static_cast<uint32_t>(size));
  std::string out;
  for (const char* name = names.data(); *name != '\0'; name += std::strlen(name) + 1) {
    char tz[256];
    ProfileString(file.c_str(), name, "TZ", "", tz, sizeof tz);
    out += std::string(name) + "=" + tz + "|";
  }
  return out;
}
#endif

struct Row {
  const char* what;
  std::string bytes;
  std::string expected;
};

std::vector<Row> Rows() {
  using namespace std::string_literals;
  const std::string v300(300, 'v'), w254(254, 'w'), w255(255, 'w'), w256(256, 'w');
  return {
      {"line ends: CR, LF, both, none at the end",
       "[A]\rTZ=a\r\r[B]\n\rTZ=b\r\n[C]\nTZ=c", "A=a|B=b|C=c|"},
      {"blanks are space, tab, VT, FF and Ctrl-Z; 0x1F is not",
       "\t[ A\v]\x1a\r\n\fTZ\t=\x1a a \r\n[B]\r\nTZ=\x1f" "b\r\n", "A=a|B=\x1f" "b|"},
      {"headers: to the last ']'; a bare '[' is a key; '[]' is not listed but takes the keys",
       "TZ=before\r\n[a]b]\r\nTZ=x\r\n[c]]d\r\n[B\r\nTZ=y\r\n[D]\r\n[ ]\r\nTZ=e\r\n",
       "a]b=x|c]=y|D=|"},
      {"first section and first key of a name, without case",
       "[A]\r\nX=1\r\n[a]\r\nTZ=2\r\n[B]\r\nTZ\r\nTZ=3\r\n[C]\r\ntz=4\r\nTZ=5\r\n",
       "A=|a=|B=|C=4|"},
      {"keys: ';' starts no comment, the first '=' splits, an empty value",
       "[A]\r\n;TZ=c\r\nT Z=1\r\n TZ = =2\r\n[B]\r\nTZ=  \r\n", "A==2|B=|"},
      {"quotes", "[A]\nTZ=\" x \"\n[B]\nTZ=\"\n[C]\nTZ=''\n[D]\nTZ='a\"\n[F]\nTZ=\"\"\"\n[G]\nTZ='\"'\n",
       "A= x |B=\"|C=|D='a\"|F=\"|G=\"|"},
      {"values cut at 255, quoted ones one shorter when they fit",
       "[A]\nTZ=" + v300 + "\n[B]\nTZ=\"" + w254 + "\"\n[C]\nTZ=\"" + w255 + "\"\n[D]\nTZ=\"" +
           w256 + "\"\n[E]\nTZ=\"" + w256 + "\n",
       "A=" + v300.substr(0, 255) + "|B=" + w254 + "|C=" + w254 + "|D=" + w255 + "|E=\"" + w254 +
           "|"},
      {"NUL ends a name or value, not its line; the name asked for is trimmed",
       "[A\0B]\r\nTZ=a\0b\r\n[C]\r\nT\0Z=c\r\nTZ\0=d\r\n[ D \0 ]\r\nTZ=1\r\n[d]\r\nTZ=2\r\n"
       "[E]\r\nTZ=\"e\"\0x\r\n\0[F]\r\nTZ=f\r\n"s,
       "A=a|C=d|D =2|d=2|E=e|"},
      {"over-long lines", "[A]\r\nX=" + std::string(70000, 'x') + "\r\n[" + std::string(5000, 'n') +
           "]\r\nTZ=a\r\n", "A=|" + std::string(5000, 'n') + "=a|"},
      {"one bare header fills the names", "[x]", "x=|"},
      {"bytes above ASCII", "\xef\xbb\xbf[A]\r\nTZ=a\r\n", kDeclined},
  };
}

TEST(ZoneIniTest, AwkwardFiles) {
  for (const Row& row : Rows()) {
    EXPECT_EQ(ReaderSays(row.bytes), row.expected) << row.what;
#ifdef _WIN32
    static const std::string folder = testfiles::FreshFolder("zoneini");
    if (row.expected == kDeclined) continue;
    const std::string file = folder + "\\row.ini";
    testfiles::WriteBytes(file, row.bytes);
    EXPECT_EQ(FunctionsSay(file, row.bytes.size()), row.expected) << row.what;
#endif
  }
}

#ifdef _WIN32
// The shipped file and every fuzz seed of the zone data file: the reader
// gives what the functions give wherever it does not leave a file to them.
TEST(ZoneIniTest, ShippedFileAndSeeds) {
  const char* source = std::getenv("HORLIX_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const std::filesystem::path root = std::string("Z:") + source;
  std::vector<std::filesystem::path> files = {root / "resources" / "horlixtz.ini"};
  for (const char* target : {"zone_file", "zone_ini"}) {
    for (const auto& entry : std::filesystem::directory_iterator(root / "tests/fuzz/corpus" / target)) {
      files.push_back(entry.path());
    }
  }
  const std::string folder = testfiles::FreshFolder("zoneini-seeds");
  int compared = 0;
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A zone_file seed starts with a byte that picks the folder.
    if (path.parent_path().filename() == "zone_file" && !bytes.empty()) bytes.erase(0, 1);
    if (bytes.empty()) continue;
    const std::string reader = ReaderSays(bytes);
    if (reader == kDeclined) continue;
    const std::string file = folder + "\\seed.ini";
    testfiles::WriteBytes(file, bytes);
    EXPECT_EQ(reader, FunctionsSay(file, bytes.size())) << path.string();
    ++compared;
  }
  EXPECT_GT(compared, 5);
}
#endif

}  // namespace
