#include "engine/file_system_class.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/test_support.h"

namespace mendwell {
namespace {

FileSystemClass ClassifyFile(const std::string& name) {
  std::vector<uint8_t> bytes = test::ReadFile(test::FixturePath(name));
  bytes.resize(kClassifyBytes);
  return ClassifyFileSystem(ByteView(bytes.data(), bytes.size()));
}

TEST(FileSystemClass, RealVolumesMadeByTheFormattingTools) {
  struct Case {
    const char* image;
    FileSystemClass expected;
  } cases[] = {
      {"fat12.img", FileSystemClass::kFat},  {"fat16.img", FileSystemClass::kFat},
      {"fat32.img", FileSystemClass::kFat},  {"ntfs.img", FileSystemClass::kNtfs},
      {"ext4.img", FileSystemClass::kExt},   {"blank.img", FileSystemClass::kOther},
      {"disk_mbr_fat.img", FileSystemClass::kOther},  // an MBR is no boot sector
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyFile(c.image), c.expected) << c.image;
}

// A FAT16 boot sector: 512-byte sectors, given cluster size and count.
std::vector<uint8_t> FatSector(uint8_t sectorsPerCluster, uint32_t totalSectors, uint16_t fatSize16,
                               uint32_t fatSize32, bool fat32Layout) {
  std::vector<uint8_t> s(kClassifyBytes, 0);
  s[0] = 0xEB;
  s[1] = 0x3C;
  s[2] = 0x90;
  std::memcpy(&s[3], "MSDOS5.0", 8);
  s[11] = 0x00;
  s[12] = 0x02;  // 512 bytes per sector
  s[13] = sectorsPerCluster;
  s[14] = 32;  // reserved sectors
  s[16] = 2;   // FATs
  s[22] = static_cast<uint8_t>(fatSize16);
  s[23] = static_cast<uint8_t>(fatSize16 >> 8);
  for (int i = 0; i < 4; ++i) s[32 + i] = static_cast<uint8_t>(totalSectors >> (8 * i));
  for (int i = 0; i < 4; ++i) s[36 + i] = static_cast<uint8_t>(fatSize32 >> (8 * i));
  if (fat32Layout) std::memcpy(&s[82], "FAT32   ", 8);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

TEST(FileSystemClass, HandBuiltBootSectorsDecideTheEdgeCases) {
  // 4084 clusters described with the FAT32 layout: either check suffices.
  std::vector<uint8_t> small32 = FatSector(1, 32 + 2 * 40 + 4084, 0, 40, true);
  EXPECT_TRUE(IsFatBootSector(ByteView(small32.data(), 512)));

  // The encrypted-volume signature at offset 480 makes a FAT sector non-FAT.
  std::vector<uint8_t> encrypted = FatSector(4, 65536, 64, 0, false);
  EXPECT_TRUE(IsFatBootSector(ByteView(encrypted.data(), 512)));
  std::memset(&encrypted[480], 'x', 8);
  std::memset(&encrypted[488], 0xFF, 19);
  encrypted[507] = 0x00;
  encrypted[508] = 0x1F;
  encrypted[509] = 0x2C;
  EXPECT_FALSE(IsFatBootSector(ByteView(encrypted.data(), 512)));
  std::vector<uint8_t> fve = FatSector(4, 65536, 64, 0, false);
  std::memcpy(&fve[3], "-FVE-FS-", 8);
  EXPECT_FALSE(IsFatBootSector(ByteView(fve.data(), 512)));

  // Areas larger than the volume wrap the unsigned cluster count: refused.
  std::vector<uint8_t> wrapped = FatSector(1, 10, 64, 0, false);
  EXPECT_FALSE(IsFatBootSector(ByteView(wrapped.data(), 512)));
  std::vector<uint8_t> noSignature = FatSector(4, 65536, 64, 0, false);
  noSignature[510] = 0;
  EXPECT_FALSE(IsFatBootSector(ByteView(noSignature.data(), 512)));

  // An NTFS sector with 128 sectors per cluster.
  std::vector<uint8_t> ntfs = test::ReadFile(test::FixturePath("ntfs.img"));
  ntfs.resize(kClassifyBytes);
  ntfs[13] = 128;
  EXPECT_EQ(ClassifyFileSystem(ByteView(ntfs.data(), ntfs.size())), FileSystemClass::kNtfs);
  ntfs[13] = 3;
  EXPECT_FALSE(IsNtfsBootSector(ByteView(ntfs.data(), 512)));

  // No sector passes both boot-sector tests (NTFS needs the FAT count
  // zero, FAT needs it non-zero), so the order shows with an ext
  // superblock behind each: the boot-sector tests come first.
  std::vector<uint8_t> ext = test::ReadFile(test::FixturePath("ext4.img"));
  ext.resize(kClassifyBytes);
  std::vector<uint8_t> ntfsAndExt = test::ReadFile(test::FixturePath("ntfs.img"));
  ntfsAndExt.resize(kClassifyBytes);
  std::memcpy(ntfsAndExt.data() + 1024, ext.data() + 1024, 1024);
  EXPECT_EQ(ClassifyFileSystem(ByteView(ntfsAndExt.data(), ntfsAndExt.size())), FileSystemClass::kNtfs);
  std::vector<uint8_t> fatAndExt = FatSector(4, 65536, 64, 0, false);
  std::memcpy(fatAndExt.data() + 1024, ext.data() + 1024, 1024);
  EXPECT_EQ(ClassifyFileSystem(ByteView(fatAndExt.data(), fatAndExt.size())), FileSystemClass::kFat);
}

TEST(FileSystemClass, ExtSuperblockFieldsMustAgree) {
  std::vector<uint8_t> img = test::ReadFile(test::FixturePath("ext4.img"));
  img.resize(kClassifyBytes);
  ByteView sb(img.data() + 1024, 1024);
  ASSERT_TRUE(IsExtSuperblock(sb));
  std::vector<uint8_t> broken = img;
  broken[1024 + 84] = 2;  // first non-reserved inode must exceed 2
  broken[1024 + 85] = broken[1024 + 86] = broken[1024 + 87] = 0;
  EXPECT_FALSE(IsExtSuperblock(ByteView(broken.data() + 1024, 1024)));
  broken = img;
  broken[1024 + 40] = 1;  // inodes per group no longer gives the same group count
  broken[1024 + 41] = broken[1024 + 42] = broken[1024 + 43] = 0;
  EXPECT_FALSE(IsExtSuperblock(ByteView(broken.data() + 1024, 1024)));
  broken = img;
  // The first data block must be 1 exactly for 1 KiB blocks.
  uint32_t firstDataBlock = sb.le32(20);
  broken[1024 + 24] = sb.le32(24) == 0 ? 2 : 0;
  EXPECT_FALSE(IsExtSuperblock(ByteView(broken.data() + 1024, 1024))) << firstDataBlock;
}

}  // namespace
}  // namespace mendwell
