#include "fat/fat_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "fat_test_bytes.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::Bytes;

// A volume with one FAT at sector 1 whose entries are given per cluster.
struct FatImage {
  test::TempDir dir;
  SectorDevice device;
  FatGeometry geometry;
  FatWindow window;

  FatImage(FatType type, const std::map<uint32_t, uint32_t>& entries, uint32_t clusterCount = 100,
           uint32_t fatSectors = 2) {
    Bytes fat(static_cast<size_t>(fatSectors) * 512, 0);
    for (auto [cluster, value] : entries) {
      if (type == FatType::kFat12) {
        size_t at = cluster * 3 / 2;
        uint16_t pair = static_cast<uint16_t>(fat[at] | (fat[at + 1] << 8));
        pair = (cluster & 1) ? static_cast<uint16_t>((pair & 0x000F) | (value << 4))
                             : static_cast<uint16_t>((pair & 0xF000) | (value & 0x0FFF));
        PutLe16(&fat[at], pair);
      } else if (type == FatType::kFat16) {
        PutLe16(&fat[cluster * 2], static_cast<uint16_t>(value));
      } else {
        PutLe32(&fat[cluster * 4], value);
      }
    }
    Bytes image(512 + fat.size() + 4096, 0);
    std::copy(fat.begin(), fat.end(), image.begin() + 512);
    test::WriteFile(dir.File("fat.img"), image);
    EXPECT_EQ(OpenImageDevice(device, dir.File("fat.img")), kOk);
    geometry.type = type;
    geometry.bytesPerSector = 512;
    geometry.sectorsPerCluster = 1;
    geometry.reservedSectors = 1;
    geometry.fatCount = 1;
    geometry.sectorsPerFat = fatSectors;
    geometry.clusterCount = clusterCount;
    EXPECT_EQ(window.Open(&device, geometry), kOk);
  }

  std::vector<uint32_t> Walk(uint32_t first) {
    std::vector<uint32_t> chain;
    for (uint32_t c = first, steps = 0; c != 0 && steps <= window.MaxChainLength(); c = window.NextCluster(c), ++steps)
      chain.push_back(c);
    return chain;
  }
};

TEST(FatWindow, DecodesTwelveBitEntriesAtEvenAndOddClusters) {
  FatImage img(FatType::kFat12, {{0, 0xFF0}, {1, 0xFFF}, {2, 3}, {3, 0xABC}, {4, 0x123}, {5, 0xFFF}, {341, 0x456}});
  struct Case {
    uint32_t cluster, value;
  } cases[] = {{0, 0xFF0}, {2, 3}, {3, 0xABC}, {4, 0x123}, {5, 0xFFF}, {6, 0}, {341, 0x456}};
  for (const Case& c : cases) {
    uint32_t v = 99;
    EXPECT_EQ(img.window.ReadFatEntry(c.cluster, &v), kOk) << c.cluster;
    EXPECT_EQ(v, c.value) << c.cluster;
  }
  // A 16-bit reading of the same FAT would follow 0x3003 / 0x1ABC: garbage.
  EXPECT_EQ(img.Walk(2), (std::vector<uint32_t>{2, 3}));  // 3 -> 0xABC lies outside the volume
  EXPECT_EQ(img.Walk(4), (std::vector<uint32_t>{4}));     // 4 -> 0x123 = 291, outside 100 clusters
  EXPECT_TRUE(img.window.IsEndOfChain(0xFF8));
  EXPECT_FALSE(img.window.IsEndOfChain(0xFF7));
}

TEST(FatWindow, FollowsChainsAndFreeSpace) {
  // File A: 2 -> 5 -> 6 -> end. Cluster 10 is free and 11 is free; 12 is used.
  FatImage img(FatType::kFat16, {{2, 5}, {5, 6}, {6, 0xFFFF}, {12, 0xFFF8}, {20, 0xFFF7}});
  EXPECT_EQ(img.Walk(2), (std::vector<uint32_t>{2, 5, 6}));
  // An erased chain runs on through free clusters and stops before a used one.
  EXPECT_EQ(img.Walk(9), (std::vector<uint32_t>{9, 10, 11}));
  // Bad-cluster marks lie beyond every FAT16 cluster number: the chain ends.
  EXPECT_EQ(img.window.NextCluster(20), 0u);
  EXPECT_EQ(img.window.NextCluster(0), 0u);
  EXPECT_EQ(img.window.NextCluster(1), 0u);
}

TEST(FatWindow, LoopingChainIsBoundedByTheClusterCount) {
  FatImage img(FatType::kFat32, {{2, 3}, {3, 4}, {4, 2}});
  EXPECT_EQ(img.window.MaxChainLength(), 100u);
  std::vector<uint32_t> walk = img.Walk(2);
  EXPECT_EQ(walk.size(), 101u);  // the walk helper stops after MaxChainLength steps
}

TEST(FatWindow, Fat32ValuesKeepTheirTopBitsButChainsMaskThem) {
  FatImage img(FatType::kFat32, {{2, 0x10000003}, {3, 0xFFFFFFF8}, {4, 0x0FFFFFF7}});
  uint32_t v = 0;
  ASSERT_EQ(img.window.ReadFatEntry(2, &v), kOk);
  EXPECT_EQ(v, 0x10000003u);
  EXPECT_EQ(img.window.NextCluster(2), 3u);
  EXPECT_EQ(img.window.NextCluster(3), 0u);
  EXPECT_EQ(img.window.NextCluster(4), 0u);  // a bad-cluster mark is beyond the volume
}

TEST(FatWindow, EntriesBeyondTheFatFailAndAClosedWindowIsContiguous) {
  FatImage img(FatType::kFat16, {}, 100, 1);
  uint32_t v = 7;
  EXPECT_EQ(img.window.ReadFatEntry(256, &v), kErrInvalidParameter);
  EXPECT_EQ(img.window.ClusterLimit(), 102u);
  FatWindow closed;
  EXPECT_EQ(closed.ReadFatEntry(41, &v), kOk);
  EXPECT_EQ(v, 42u);
  EXPECT_EQ(closed.NextCluster(41), 42u);
}

TEST(FatWindow, ReloadsWhenAnEntryLiesBeyondSixteenMebibytes) {
  test::TempDir dir;
  std::string path = dir.File("big.img");
  const uint32_t fatSectors = 40000;  // 20 MB of FAT32 entries
  const uint32_t far = 5000000;       // entry at byte 20,000,000
  Bytes entry(4);
  PutLe32(entry.data(), 0x0FFFFFFF);
  test::WriteAt(path, 512 + static_cast<uint64_t>(far) * 4, entry);
  PutLe32(entry.data(), 9);
  test::WriteAt(path, 512 + 8 * 4, entry);
  test::Resize(path, 512 + static_cast<uint64_t>(fatSectors) * 512);
  SectorDevice device;
  ASSERT_EQ(OpenImageDevice(device, path), kOk);
  FatGeometry g;
  g.type = FatType::kFat32;
  g.bytesPerSector = 512;
  g.sectorsPerCluster = 1;
  g.reservedSectors = 1;
  g.fatCount = 1;
  g.sectorsPerFat = fatSectors;
  g.clusterCount = 5000000;
  FatWindow window;
  ASSERT_EQ(window.Open(&device, g), kOk);
  uint32_t v = 0;
  ASSERT_EQ(window.ReadFatEntry(far, &v), kOk);
  EXPECT_EQ(v, 0x0FFFFFFFu);
  ASSERT_EQ(window.ReadFatEntry(8, &v), kOk);  // and back to the start
  EXPECT_EQ(v, 9u);
}

}  // namespace
}  // namespace mendwell
