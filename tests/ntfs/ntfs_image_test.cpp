// The decoders on real volumes made by mkntfs and filled through ntfs-3g
// (tests/fixtures/ntfs): every deleted file of each image's manifest is
// found, named and copied byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/file_system_class.h"
#include "ntfs/attribute_runs.h"
#include "ntfs/mft_record.h"
#include "ntfs/ntfs_attributes.h"
#include "ntfs/ntfs_entry.h"
#include "ntfs/ntfs_file_copy.h"
#include "ntfs_manifest.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using Expected = test::NtfsExpected;

// Opens an image as the fast engine does: boot sector, geometry, MFT runs.
class NtfsImage {
 public:
  explicit NtfsImage(const std::string& name) {
    EXPECT_EQ(OpenImageDevice(device_, test::FixturePath("ntfs/" + name)), kOk) << name;
    std::vector<uint8_t> boot(4096);
    uint32_t got = 0;
    EXPECT_EQ(ReadSectors(device_, boot.data(), 0, 8, 512, &got), kOk);
    EXPECT_EQ(OpenNtfsVolume(device_, ByteView(boot.data(), boot.size()), 0, device_.sectorCount, &volume, &mftStart,
                             &mftResult),
              kOk);
  }

  // Reads record `number` fixed up; false when it is no FILE record.
  bool Record(uint32_t number, MftRecordBuffer& buffer) {
    return ReadFixedRecord(device_, volume.RecordSector(number), volume.geometry, buffer) == kOk;
  }
  ByteView View(const MftRecordBuffer& buffer) const { return ByteView(buffer.data(), volume.geometry.recordSize); }

  NtfsVolume volume;
  uint64_t mftStart = 0;
  Status mftResult = 0;

 private:
  SectorDevice device_;
};

TEST(NtfsImage, BootSectorAndSystemRecords) {
  for (const char* name : {"ntfs_mixed.img", "ntfs_4k.img"}) {
    NtfsImage image(name);
    ASSERT_EQ(image.mftResult, kOk) << name;
    ASSERT_FALSE(image.volume.mftRuns.empty());
    EXPECT_EQ(image.volume.RecordSector(0), image.mftStart);
    MftRecordBuffer buffer;
    ASSERT_TRUE(image.Record(0, buffer));
    AttributeWalk walk = RecordWalk(image.View(buffer), kStopAtZeroType | kStopFromFreeFill);
    NtfsAttribute a;
    std::string mftName;
    while (walk.Next(&a))
      if (a.type == kAttrFileName) mftName = ParseFileName(a).name;
    EXPECT_EQ(mftName, "$MFT") << name;
    ASSERT_TRUE(image.Record(5, buffer));
    EXPECT_TRUE(ReadMftRecordHeader(image.View(buffer)).flags & kRecordDirectory);
    FileRecord entry;
    EXPECT_FALSE(FillEntryFromRecord(image.View(buffer), 0, kEntryModeFolders, image.volume, &entry, nullptr));
  }
  EXPECT_EQ(NtfsImage("ntfs_4k.img").volume.geometry.recordSize, 4096u);
}

// Copies an entry to a file and returns the file's sha256 ("" when the copy
// failed); *result gets the copy's result.
std::string CopiedSha(NtfsVolume& volume, const FileRecord& entry, const std::string& path, Status* result,
                      bool* resident) {
  FileHandle file;
  if (file.CreateTruncate(path) != kOk) return "";
  FileCopySink sink(file);
  *result = CopyFileContent(volume, entry, sink, {}, resident);
  file.Close();
  return test::Sha256OfFile(path);
}

TEST(NtfsImage, DeletedFilesAreFoundAndCopiedByteForByte) {
  test::TempDir dir;
  int checked = 0;
  for (const char* name : {"ntfs_mixed.img", "ntfs_attrlist.img", "ntfs_4k.img"}) {
    NtfsImage image(name);
    for (const Expected& e : test::ReadNtfsManifest(name)) {
      SCOPED_TRACE(std::string(name) + " " + e.path);
      MftRecordBuffer buffer;
      ASSERT_TRUE(image.Record(e.record, buffer));
      ByteView record = image.View(buffer);
      EXPECT_EQ(ReadMftRecordHeader(record).flags & kRecordInUse, 0);
      uint64_t sector = image.volume.RecordSector(e.record);
      FileRecord entry;
      NtfsEntryLinks links;
      bool made = FillEntryFromRecord(record, sector, kEntryModeFiles, image.volume, &entry, &links);
      if (e.Has("name-lost")) {
        // Nothing names the record any more; its content is still reachable.
        EXPECT_FALSE(made);
        entry.location = sector;
        entry.size = e.size;
        entry.clusterSize = static_cast<int32_t>(image.volume.geometry.ClusterBytes());
        entry.origin = image.volume.geometry.volumeOrigin;
      } else {
        ASSERT_TRUE(made);
        EXPECT_EQ(entry.Name(), e.name);
        EXPECT_EQ(entry.size, e.size);
        EXPECT_EQ(entry.nodeId, e.record);
        EXPECT_EQ(entry.deleted, 1u);
      }
      Status result = -1;
      bool resident = false;
      std::string sha = CopiedSha(image.volume, entry, dir.File(std::to_string(checked++)), &result, &resident);
      if (e.Has("runs-truncated")) {
        EXPECT_EQ(result, kErrHandleEof);
        continue;
      }
      EXPECT_EQ(result, kOk);
      EXPECT_EQ(sha, e.sha256);
      if (e.note == "resident") {
        EXPECT_TRUE(resident);
      }
      if (e.Has("nonresident") || e.Has("sparse")) {
        EXPECT_FALSE(resident);
      }
    }
  }
  EXPECT_EQ(checked, 12);
}

TEST(NtfsImage, AttributeListFilesAreFoundAndCopiedWhole) {
  test::TempDir dir;
  NtfsImage image("ntfs_attrlist.img");
  std::vector<Expected> live = test::ReadNtfsManifest("ntfs_attrlist.img", ".live");
  ASSERT_EQ(live.size(), 2u);
  for (const Expected& e : live) {
    SCOPED_TRACE(e.path);
    uint64_t sector = image.volume.RecordSector(e.record);
    MftRecordBuffer buffer;
    ASSERT_TRUE(image.Record(e.record, buffer));
    // The name sits in an extension record named by the list.
    FileRecord entry;
    NtfsEntryLinks links;
    ASSERT_TRUE(FillEntryFromRecord(image.View(buffer), sector, kEntryModeFiles, image.volume, &entry, &links));
    EXPECT_EQ(entry.Name(), e.name);
    EXPECT_EQ(entry.size, e.size);
    EXPECT_EQ(entry.deleted, 0u);
    // The runs that the base record holds are only the first part.
    NtfsRunlist inBase, all;
    ASSERT_EQ(FindAttributeRunsInRecord(image.View(buffer), kAttrData, inBase), kOk);
    ASSERT_EQ(FindAttributeRuns(image.volume, sector, kAttrData, all), kOk);
    EXPECT_EQ(RunlistClusters(all) * image.volume.geometry.ClusterBytes(), (e.size + 511) / 512 * 512);
    if (e.Has("runs-in-extensions")) {
      EXPECT_GT(all.size(), inBase.size());
    }
    Status result = -1;
    bool resident = true;
    EXPECT_EQ(CopiedSha(image.volume, entry, dir.File(e.name), &result, &resident), e.sha256);
    EXPECT_EQ(result, kOk);
  }
}

TEST(NtfsImage, VolumeBitmapMatchesTheAllocatedClusters) {
  // The $DATA of record 6 is the cluster bitmap: the boot sector's and the
  // MFT's first clusters are in use.
  NtfsImage image("ntfs_mixed.img");
  NtfsRunlist runs;
  ASSERT_EQ(FindAttributeRuns(image.volume, image.volume.RecordSector(6), kAttrData, runs), kOk);
  std::vector<uint8_t> bitmap;
  ASSERT_EQ(ReadRunlistBytes(image.volume, runs, 1u << 20, &bitmap), kOk);
  uint64_t clusters = image.volume.geometry.partitionSectors / image.volume.geometry.sectorsPerCluster;
  ASSERT_GE(bitmap.size() * 8, clusters);
  uint64_t mftCluster = image.mftStart / image.volume.geometry.sectorsPerCluster;
  EXPECT_TRUE(bitmap[mftCluster / 8] & (1u << (mftCluster % 8)));
  EXPECT_TRUE(bitmap[0] & 1u);  // the boot sector's cluster
}

TEST(NtfsImage, ReusedParentRecordIsNoLongerItsFolder) {
  NtfsImage image("ntfs_mixed.img");
  for (const Expected& e : test::ReadNtfsManifest("ntfs_mixed.img")) {
    if (e.note.rfind("parent-reused:", 0) != 0) continue;
    uint32_t parent = static_cast<uint32_t>(std::stoul(e.note.substr(14)));
    MftRecordBuffer buffer;
    ASSERT_TRUE(image.Record(e.record, buffer));
    FileRecord entry;
    NtfsEntryLinks links;
    ASSERT_TRUE(FillEntryFromRecord(image.View(buffer), 0, kEntryModeFiles, image.volume, &entry, &links));
    EXPECT_EQ(links.parentRecord, parent);
    ASSERT_TRUE(image.Record(parent, buffer));
    EXPECT_FALSE(ReadMftRecordHeader(image.View(buffer)).flags & kRecordDirectory);
    return;
  }
  FAIL() << "no reused-parent entry in the manifest";
}

}  // namespace
}  // namespace mendwell
