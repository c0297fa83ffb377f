#include "fat/fat_boot_sector.h"

#include <gtest/gtest.h>

#include "fat_test_bytes.h"

namespace mendwell {
namespace {

using test::BootFields;
using test::BootSector;

FatGeometry Geometry(const BootFields& f, uint64_t volumeStart = 0) {
  test::Bytes b = BootSector(f);
  FatGeometry g;
  EXPECT_TRUE(FatGeometryFromBootSector(ByteView(b.data(), b.size()), volumeStart, &g));
  return g;
}

TEST(FatBootSector, FloppyRootRegionComesFromTheRootEntryCount) {
  // 1.44 MB floppy: 224 root entries = 14 sectors, so cluster 2 is at 33.
  BootFields f;
  f.rootEntries = 224;
  f.totalSectors16 = 2880;
  f.sectorsPerFat16 = 9;
  f.typeText = "FAT12   ";
  FatGeometry g = Geometry(f);
  EXPECT_EQ(g.type, FatType::kFat12);
  EXPECT_EQ(g.rootSectors, 14u);
  EXPECT_EQ(g.dataStart, 33u);
  EXPECT_EQ(g.totalSectors, 2880u);
  EXPECT_EQ(g.clusterCount, 2847u);
  EXPECT_EQ(g.rootCluster, 0u);
  EXPECT_EQ(FolderStartSector(g.Layout(), 0), 19u);
  EXPECT_EQ(FolderStartSector(g.Layout(), 2), 33u);
  EXPECT_EQ(g.FolderReadSectors(0), 14u);
  EXPECT_EQ(g.FolderReadSectors(2), 1u);
  EXPECT_EQ(g.EntryCluster(1, 5), 5u);  // no high word below FAT32
}

TEST(FatBootSector, TypeFollowsClusterCountAndFat32Layout) {
  BootFields fat16;
  fat16.sectorsPerCluster = 4;
  fat16.totalSectors16 = 32768;
  fat16.sectorsPerFat16 = 32;
  FatGeometry g16 = Geometry(fat16, 2048);
  EXPECT_EQ(g16.type, FatType::kFat16);
  EXPECT_EQ(g16.rootSectors, 32u);
  EXPECT_EQ(g16.dataStart, 1u + 64 + 32);
  EXPECT_EQ(g16.FatStart(), 2049u);
  EXPECT_EQ(g16.ClusterBytes(), 2048u);

  // Fewer than 4085 clusters make FAT12 whatever the type text says.
  BootFields small = fat16;
  small.totalSectors16 = 4000;
  EXPECT_EQ(Geometry(small).type, FatType::kFat12);

  BootFields fat32;
  fat32.reservedSectors = 32;
  fat32.rootEntries = 0;
  fat32.totalSectors32 = 81920;
  fat32.sectorsPerFat32 = 630;
  fat32.rootCluster = 2;
  fat32.typeText = "FAT32   ";
  FatGeometry g32 = Geometry(fat32, 100);
  EXPECT_EQ(g32.type, FatType::kFat32);
  EXPECT_EQ(g32.dataStart, 32u + 2 * 630);
  EXPECT_EQ(g32.rootSectors, 0u);
  EXPECT_EQ(g32.rootCluster, 2u);
  EXPECT_EQ(g32.Layout(), (FatLayout{1, 1292, 100, 0}));
  EXPECT_EQ(g32.FolderReadSectors(0), 1u);
  EXPECT_EQ(g32.EntryCluster(1, 5), 0x10005u);
  // Without the type text, a 16-bit FAT size of 0 still means FAT32.
  fat32.typeText = "        ";
  EXPECT_EQ(Geometry(fat32).type, FatType::kFat32);
}

TEST(FatBootSector, RefusesFieldsThatCannotDescribeAVolume) {
  BootFields good;
  good.totalSectors16 = 32768;
  good.sectorsPerFat16 = 32;
  struct Case {
    const char* what;
    void (*Break)(BootFields&);
  } cases[] = {
      {"bytes per sector 0", [](BootFields& f) { f.bytesPerSector = 0; }},
      {"bytes per sector 768", [](BootFields& f) { f.bytesPerSector = 768; }},
      {"bytes per sector 8192", [](BootFields& f) { f.bytesPerSector = 8192; }},
      {"sectors per cluster 0", [](BootFields& f) { f.sectorsPerCluster = 0; }},
      {"sectors per cluster 3", [](BootFields& f) { f.sectorsPerCluster = 3; }},
      {"no FAT", [](BootFields& f) { f.fatCount = 0; }},
      {"FAT32 with a FAT of 0 sectors", [](BootFields& f) { f.sectorsPerFat16 = 0; }},
  };
  for (const Case& c : cases) {
    BootFields f = good;
    c.Break(f);
    test::Bytes b = BootSector(f);
    FatGeometry g;
    EXPECT_FALSE(FatGeometryFromBootSector(ByteView(b.data(), b.size()), 0, &g)) << c.what;
  }
  FatGeometry g;
  EXPECT_FALSE(FatGeometryFromBootSector(ByteView(), 0, &g));
}

TEST(FatBootSector, ClusterToSectorUses64BitArithmetic) {
  FatLayout layout{128, 0xFFFFFF00u, 0x100000000ull, 0};
  EXPECT_EQ(ClusterToSector(layout, 2), 0x100000000ull + 0xFFFFFF00u);
  EXPECT_EQ(ClusterToSector(layout, 0x0FFFFFF5), 0x100000000ull + 0xFFFFFF00u + 0x0FFFFFF3ull * 128);
  // Cluster 0 on a FAT32 layout lies two clusters before the data area.
  EXPECT_EQ(FolderStartSector(FatLayout{8, 1000, 0, 0}, 0), 984u);
  // Layouts inferred without a boot sector assume a 32-sector root region.
  FatLayout inferred;
  inferred.sectorsPerCluster = 8;
  inferred.dataStart = 1000;
  EXPECT_EQ(FolderStartSector(inferred, 0), 968u);
}

}  // namespace
}  // namespace mendwell
