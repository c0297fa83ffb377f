// The media list built from partitioned image files given as disks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "device/medium_list.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::FixturePath;

void UseDisks(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& p : paths) list += (list.empty() ? "" : ":") + p;
  ::setenv("MENDWELL_DISKS", list.c_str(), 1);
}

std::vector<MediumRecord> Refreshed(MediumList* list) {
  EXPECT_TRUE(list->Refresh());
  std::vector<MediumRecord> records;
  list->ListAll(&records);
  return records;
}

TEST(MediumList, PartitionsStretchesAndWholeDisksNumberedByPosition) {
  UseDisks({FixturePath("disk_mbr.img"), FixturePath("disk_gpt.img"), FixturePath("disk_blank.img")});
  MediumList list;
  std::vector<MediumRecord> records = Refreshed(&list);
  const struct {
    int row;
    MediumKind kind;
    int disk;
    uint64_t start, count;
    const char* fileSystem;
    const char* label;
    int type;
    int number;
  } expected[] = {
      // The 1985 sectors before sector 2048 are less than a cylinder (16065).
      {1, MediumKind::kPartition, 0, 2048, 73728, "FAT32", "MBRFAT32", 11, 1},
      {2, MediumKind::kUnallocated, 0, 75776, 20480, "", "", 0, 0},
      {3, MediumKind::kPartition, 0, 96256, 16384, "NTFS", "MBRNTFS", 7, 2},
      {4, MediumKind::kUnallocated, 0, 112640, 51200, "", "", 0, 0},
      {5, MediumKind::kPartition, 1, 2048, 32768, "FAT", "GPTFAT", 6, 1},
      // Unformatted GPT Linux partition: listed, with the Linux type byte.
      {6, MediumKind::kPartition, 1, 34816, 16384, "", "", 0x83, 2},
      {7, MediumKind::kUnallocated, 1, 51200, 30720, "", "", 0, 0},
      {8, MediumKind::kWholeDisk, 2, 0, 32768, "", "", 0, 0},
  };
  ASSERT_EQ(records.size(), std::size(expected));
  for (size_t i = 0; i < records.size(); ++i) {
    const MediumRecord& r = records[i];
    const auto& e = expected[i];
    SCOPED_TRACE("row " + std::to_string(e.row));
    EXPECT_EQ(r.rowNumber, e.row);
    EXPECT_EQ(r.kind, e.kind);
    EXPECT_EQ(r.diskIndex, e.disk);
    EXPECT_EQ(r.startSector, e.start);
    EXPECT_EQ(r.sectorCount, e.count);
    EXPECT_EQ(r.fileSystem, e.fileSystem);
    EXPECT_EQ(r.volumeLabel, e.label);
    EXPECT_EQ(r.partitionType, e.type);
    EXPECT_EQ(r.partitionNumber, e.number);
    EXPECT_EQ(r.driveLetter, 0);
    if (r.kind == MediumKind::kPartition) {
      // Image files are never mounted: the length stands in, free unknown.
      EXPECT_EQ(r.totalBytes, e.count * 512);
      EXPECT_EQ(r.freeBytes, 0u);
      EXPECT_FALSE(r.spaceKnown);
    } else {
      EXPECT_EQ(r.totalBytes, e.count * 512);
      EXPECT_EQ(r.freeBytes, r.totalBytes);
      EXPECT_EQ(r.usedBytes, 0u);
    }
  }
  MediumRecord next;
  for (const MediumRecord& r : records) {
    ASSERT_TRUE(list.NextRecord(&next));
    EXPECT_EQ(next.rowNumber, r.rowNumber);
  }
  EXPECT_FALSE(list.NextRecord(&next));
}

TEST(MediumList, UnopenableDiskIsLeftOutAndReported) {
  test::TempDir dir;
  UseDisks({FixturePath("disk_blank.img"), dir.File("missing.img"), dir.path(), FixturePath("disk_gpt.img")});
  MediumList list;
  std::vector<MediumRecord> records = Refreshed(&list);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].diskIndex, 0);
  EXPECT_EQ(records[1].diskIndex, 3);
  EXPECT_EQ(records[1].rowNumber, 2);
  ASSERT_EQ(list.Problems().size(), 2u);
  EXPECT_EQ(list.Problems()[0].diskIndex, 1);
  EXPECT_EQ(list.Problems()[0].status, kErrFileNotFound);
  EXPECT_EQ(list.Problems()[1].status, kErrDirectory);
}

TEST(MediumList, FindRemovedGivesRecordsThatVanished) {
  UseDisks({FixturePath("disk_gpt.img"), FixturePath("disk_blank.img")});
  MediumList list;
  std::vector<MediumRecord> old = Refreshed(&list);
  UseDisks({FixturePath("disk_gpt.img")});
  std::vector<MediumRecord> removed;
  list.FindRemoved(old, &removed);
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(removed[0].diskIndex, 1);
  EXPECT_EQ(removed[0].kind, MediumKind::kWholeDisk);
}

// A table whose entries point past the disk or nest inside each other
// gives records inside the disk and stretches that overlap no partition.
TEST(MediumList, HostilePartitionTableStaysInsideTheDisk) {
  test::TempDir dir;
  std::vector<uint8_t> disk(40000 * 512, 0);
  auto entry = [&](int slot, uint32_t start, uint32_t count) {
    uint8_t* e = &disk[0x1BE + slot * 16];
    e[4] = 0x83;
    for (int k = 0; k < 4; ++k) {
      e[8 + k] = static_cast<uint8_t>(start >> (8 * k));
      e[12 + k] = static_cast<uint8_t>(count >> (8 * k));
    }
  };
  entry(0, 2048, 39000);       // runs past the end of the 40000-sector disk
  entry(1, 4096, 100);         // nested in the first
  entry(2, 0xFFFFFF00u, 1000);  // starts far beyond the end
  disk[510] = 0x55;
  disk[511] = 0xAA;
  test::WriteFile(dir.File("hostile.img"), disk);
  UseDisks({dir.File("hostile.img")});
  MediumList list;
  for (const MediumRecord& r : Refreshed(&list)) {
    EXPECT_LE(r.startSector + r.sectorCount, 40000u) << r.rowNumber;
    EXPECT_NE(r.kind, MediumKind::kUnallocated) << r.rowNumber;
  }
}

}  // namespace
}  // namespace mendwell
