// The zone data file's CRC-32 against zlib's crc32, the checksum the web
// site's file information is made with: random buffers of every awkward
// length, fed whole and in pieces, and files read back from disk.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "../clocks/test_files.h"
#include "update/zone_update.h"

namespace {

uint32_t Reference(const std::vector<unsigned char>& bytes) {
  return static_cast<uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

std::vector<unsigned char> RandomBytes(std::mt19937* rng, size_t size) {
  std::vector<unsigned char> bytes(size);
  for (auto& b : bytes) b = static_cast<unsigned char>((*rng)() & 0xFF);
  return bytes;
}

TEST(Crc32AgainstZlib, RandomBuffersWholeAndInPieces) {
  std::mt19937 rng(20261208);
  const size_t sizes[] = {0, 1, 2, 3, 4, 7, 8, 15, 16, 31, 255, 256, 257, 4095, 4096, 65537};
  for (size_t size : sizes) {
    const auto bytes = RandomBytes(&rng, size);
    const uint32_t expected = Reference(bytes);
    EXPECT_EQ(Crc32Update(0, bytes.data(), bytes.size()), expected) << size << " bytes";
    // The same bytes in pieces of random lengths give the same CRC.
    uint32_t crc = 0;
    size_t at = 0;
    while (at < size) {
      const size_t piece = std::min<size_t>(size - at, 1 + rng() % 97);
      crc = Crc32Update(crc, bytes.data() + at, piece);
      at += piece;
    }
    EXPECT_EQ(crc, expected) << size << " bytes in pieces";
  }
}

TEST(Crc32AgainstZlib, BytesOfEveryValueAndLongRuns) {
  std::vector<unsigned char> all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<unsigned char>(i));
  EXPECT_EQ(Crc32Update(0, all.data(), all.size()), Reference(all));
  for (unsigned char fill : {0x00, 0xFF, 0x1A, 0x0D}) {
    const std::vector<unsigned char> run(100000, fill);
    EXPECT_EQ(Crc32Update(0, run.data(), run.size()), Reference(run)) << int(fill);
  }
}

TEST(Crc32AgainstZlib, FilesOnDiskIncludingTheShippedZoneData) {
  std::mt19937 rng(1650);
  const std::string folder = testfiles::FreshFolder("crc32-zlib");
  for (size_t size : {size_t{1}, size_t{1000}, size_t{300000}}) {
    const auto bytes = RandomBytes(&rng, size);
    const std::string path = folder + "\\random-" + std::to_string(size);
    testfiles::WriteBytes(path, std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(Crc32File(path.c_str()), Reference(bytes)) << path;
  }
  std::ifstream in(HORLIX_SHIPPED_ZONE_FILE, std::ios::binary);
  ASSERT_TRUE(in) << HORLIX_SHIPPED_ZONE_FILE;
  const std::vector<unsigned char> shipped((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
  ASSERT_GT(shipped.size(), 1000u);
  EXPECT_EQ(Crc32File(HORLIX_SHIPPED_ZONE_FILE), Reference(shipped));
}

}  // namespace
