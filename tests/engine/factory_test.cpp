#include "factory/engine_factory.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/fast_ext_recovery.h"
#include "fat/fast_fat_engine.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::FixturePath;

TEST(Factory, ClassifiesImagesAndPartitionsOfMendwellDisks) {
  FileSystemClass c;
  ASSERT_EQ(ClassifyImage(FixturePath("fat32.img"), &c), kOk);
  EXPECT_EQ(c, FileSystemClass::kFat);
  EXPECT_EQ(ClassifyImage(FixturePath("short.img"), &c), kErrReadFault);
  EXPECT_EQ(ClassifyImage(FixturePath("no-such.img"), &c), kErrFileNotFound);

  std::string disks = FixturePath("disk_mbr_fat.img") + ":" + FixturePath("ext4.img");
  ::setenv("MENDWELL_DISKS", disks.c_str(), 1);
  ASSERT_EQ(ClassifyPartition(0, 2048, &c), kOk);
  EXPECT_EQ(c, FileSystemClass::kFat);
  ASSERT_EQ(ClassifyPartition(0, 0, &c), kOk);
  EXPECT_EQ(c, FileSystemClass::kOther);
  EXPECT_NE(ClassifyPartition(0, 40950, &c), kOk);  // fewer than 16 KiB left on the disk
  EXPECT_NE(ClassifyPartition(5, 0, &c), kOk);

  // The FAT partition at sector 2048 gets the fast FAT engine, bound to it.
  auto fat = CreatePartitionEngine(0, 2048, 36864, 1, kModeDeletedFiles);
  ASSERT_NE(fat, nullptr);
  auto* fastFat = dynamic_cast<CFastFatRecovery*>(fat.get());
  ASSERT_NE(fastFat, nullptr);
  EXPECT_EQ(fastFat->geometry().volumeStart, 2048u);
  EXPECT_EQ(CreatePartitionEngine(0, 0, 40960, 1, kModeDeletedFiles), nullptr);  // the MBR: no file system

  // An ext volume gets the placeholder, which finds nothing and leaves the
  // whole partition to the carver.
  auto ext = CreatePartitionEngine(1, 0, 16384, 2, kModeDeletedFiles);
  ASSERT_NE(ext, nullptr);
  auto* placeholder = dynamic_cast<CFastExtRecovery*>(ext.get());
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->sectorCount(), 16384u);
  EXPECT_EQ(ext->Scan(nullptr), kOk);
  EXPECT_EQ(ext->GetFoundCount(), 0u);
  EXPECT_EQ(ext->PrepareFreeMap(), 1);
  uint64_t pos = 7, len = 9;
  EXPECT_EQ(ext->NextFreeExtent(&pos, &len), 0);
  EXPECT_EQ(pos, 7u);
  EXPECT_EQ(len, 9u);
  std::vector<FileRecord> found;
  EXPECT_EQ(ext->ListByType("*.jpg|.other", found), 0);
  EXPECT_TRUE(found.empty());
  ::unsetenv("MENDWELL_DISKS");
}

TEST(Factory, NoEngineForShortOrUnknownMedia) {
  EXPECT_EQ(CreateImageEngine(FixturePath("short.img"), 1, kModeDeletedFiles), nullptr);
  EXPECT_EQ(CreateImageEngine(FixturePath("short.img"), 1, kModeProfessional), nullptr);
  EXPECT_EQ(CreateImageEngine(FixturePath("blank.img"), 1, kModeDeletedFiles), nullptr);
  EXPECT_NE(CreateImageEngine(FixturePath("ext4.img"), 1, kModeDeletedFiles), nullptr);
}

}  // namespace
}  // namespace mendwell
