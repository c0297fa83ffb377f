#include "ntfs/attribute_runs.h"

#include <gtest/gtest.h>

#include "ntfs/mft_record.h"
#include "ntfs/ntfs_entry.h"
#include "ntfs/ntfs_file_copy.h"
#include "record_builder.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::ListEntry;
using test::RecordBuilder;

// A 2 MiB image with 512-byte sectors and clusters whose MFT starts at
// sector 100 (record N at sector 100 + 2N) and whose clusters hold a
// pattern that names their number.
class RecordImage : public ::testing::Test {
 protected:
  static constexpr uint64_t kMftCluster = 100;
  static constexpr uint64_t kSectors = 4096;

  RecordImage() : image_(kSectors * 512, 0) {
    for (uint64_t s = 1000; s < kSectors; ++s)
      for (size_t i = 0; i < 512; i += 8) PutLe64(image_.data() + s * 512 + i, s);
    volume_.geometry = MakeNtfsGeometry(512, 1, 0, kSectors);
    volume_.mftRuns = {{128, static_cast<int64_t>(kMftCluster), false}};
  }

  void Put(uint32_t number, const std::vector<uint8_t>& record) {
    std::copy(record.begin(), record.end(), image_.begin() + static_cast<long>(Sector(number) * 512));
  }
  uint64_t Sector(uint32_t number) const { return kMftCluster + 2 * number; }

  NtfsVolume& Open() {
    test::WriteFile(dir_.File("image"), image_);
    EXPECT_EQ(OpenImageDevice(device_, dir_.File("image")), kOk);
    volume_.device = &device_;
    return volume_;
  }

  Status Runs(uint32_t number, NtfsRunlist* runs) {
    return FindAttributeRuns(Open(), Sector(number), kAttrData, *runs);
  }

  test::TempDir dir_;
  std::vector<uint8_t> image_;
  SectorDevice device_;
  NtfsVolume volume_;
};

TEST_F(RecordImage, PlainRecord) {
  Put(30, RecordBuilder(30).FileName(5, u"a.bin").NonResident(0x80, {0x11, 0x04, 0x40, 0x00}, 2048).Build());
  // The device's last record cannot be read as a whole 8 KiB.
  std::vector<uint8_t> last = RecordBuilder(60).FileName(5, u"z").Resident(0x80, {1, 2, 3}).Build();
  std::copy(last.begin(), last.end(), image_.end() - 1024);
  Put(31, RecordBuilder(31).FileName(5, u"b").Build());
  NtfsRunlist runs;
  EXPECT_EQ(Runs(30, &runs), kOk);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].offset, 0x40);
  runs.clear();
  EXPECT_EQ(FindAttributeRuns(volume_, Sector(31), kAttrData, runs), kNtfsAttributeNotFound);
  EXPECT_EQ(FindAttributeRuns(volume_, 5, kAttrData, runs), kNtfsNotFileRecord);
  EXPECT_EQ(FindAttributeRuns(volume_, kSectors + 5, kAttrData, runs), kErrInvalidParameter);
  std::vector<uint8_t> value;
  EXPECT_EQ(ReadResidentData(volume_, kSectors - 2, &value), kOk);
  EXPECT_EQ(value, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(RecordImage, ResidentListNamesAnExtensionRecord) {
  Put(30, RecordBuilder(30).FileName(5, u"a.bin").List({{0x30, 30}, {0x80, 31}}).Build());
  Put(31, RecordBuilder(31).BaseRecord(30).NonResident(0x80, {0x11, 0x04, 0x40, 0x00}, 2048).Build());
  NtfsRunlist runs;
  EXPECT_EQ(Runs(30, &runs), kOk);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].length, 4u);
  EXPECT_EQ(runs[0].offset, 0x40);
}

TEST_F(RecordImage, RunlistSplitOverBaseAndExtensionComesBackWhole) {
  Put(30, RecordBuilder(30)
              .FileName(5, u"a.bin")
              .List({{0x80, 30, 0}, {0x80, 32, 4}, {0x80, 31, 6}})
              .NonResident(0x80, {0x11, 0x04, 0x40, 0x00}, 5000, 0)
              .Build());
  Put(31, RecordBuilder(31).BaseRecord(30).NonResident(0x80, {0x11, 0x03, 0x20, 0x00}, 0, 6).Build());
  Put(32, RecordBuilder(32).BaseRecord(30).NonResident(0x80, {0x11, 0x02, 0x10, 0x00}, 0, 4).Build());
  NtfsRunlist runs;
  EXPECT_EQ(Runs(30, &runs), kOk);
  // Each extent encodes its runs from cluster 0 (here at 0x40, 0x10, 0x20):
  // the deltas continue one runlist.
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].offset, 0x40);
  EXPECT_EQ(runs[1].offset, -0x30);
  EXPECT_EQ(runs[2].offset, 0x10);
}

TEST_F(RecordImage, HostileListsEndWithoutRunsOrLoops) {
  // Names itself only, with no $DATA anywhere.
  Put(30, RecordBuilder(30).FileName(5, u"a").List({{0x80, 30}}).Build());
  // Names a record that names it back.
  Put(33, RecordBuilder(33).FileName(5, u"b").List({{0x80, 34}}).Build());
  Put(34, RecordBuilder(34).List({{0x80, 33}}).Build());
  // Names a record past the MFT and a sector that holds no record.
  Put(35, RecordBuilder(35).FileName(5, u"c").List({{0x80, 0xFFFFFFFFFFFFull}, {0x80, 50}}).Build());
  for (uint32_t number : {30u, 33u, 35u}) {
    NtfsRunlist runs;
    EXPECT_EQ(Runs(number, &runs), kNtfsAttributeNotFound) << number;
    EXPECT_TRUE(runs.empty());
  }
  // An entry whose length would pass the list ends the list.
  std::vector<uint8_t> r = RecordBuilder(36).FileName(5, u"d").List({{0x80, 37}, {0x80, 38}}).Build();
  size_t list = 0x38 + 0x60;
  PutLe16(r.data() + list + 0x18 + 0x24, 0x7FFF);
  Put(36, r);
  Put(37, RecordBuilder(37).BaseRecord(36).NonResident(0x80, {0x11, 0x01, 0x05, 0x00}, 512).Build());
  Put(38, RecordBuilder(38).BaseRecord(36).NonResident(0x80, {0x11, 0x01, 0x06, 0x00}, 512).Build());
  NtfsRunlist runs;
  EXPECT_EQ(Runs(36, &runs), kOk);
  EXPECT_EQ(runs.size(), 1u);
}

TEST_F(RecordImage, NonResidentListIsReadFromItsClusters) {
  // The list's entries sit in cluster 1500; they name records 31 and 32.
  std::vector<uint8_t> entries;
  for (ListEntry e : {ListEntry{0x80, 31, 0}, ListEntry{0x80, 32, 2}}) {
    std::vector<uint8_t> b(0x20, 0);
    PutLe32(b.data(), e.type);
    PutLe16(b.data() + 4, 0x20);
    PutLe64(b.data() + 8, e.vcn);
    PutLe32(b.data() + 0x10, static_cast<uint32_t>(e.record));
    entries.insert(entries.end(), b.begin(), b.end());
  }
  std::copy(entries.begin(), entries.end(), image_.begin() + 1500 * 512);
  Put(30, RecordBuilder(30).FileName(5, u"a").NonResident(0x20, {0x21, 0x01, 0xDC, 0x05, 0x00}, entries.size()).Build());
  Put(31, RecordBuilder(31).BaseRecord(30).NonResident(0x80, {0x11, 0x02, 0x40, 0x00}, 0, 0).Build());
  Put(32, RecordBuilder(32).BaseRecord(30).NonResident(0x80, {0x11, 0x02, 0x50, 0x00}, 0, 2).Build());
  NtfsRunlist runs;
  EXPECT_EQ(Runs(30, &runs), kOk);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].offset, 0x10);
}

int32_t CountCalls(void* user, int32_t, int32_t) {
  ++*static_cast<int*>(user);
  return 0;
}
int32_t CancelAtOnce(void*, int32_t, int32_t) { return RESULT_CANCELLED; }

TEST_F(RecordImage, CopiesResidentAndNonResidentContent) {
  std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
  Put(30, RecordBuilder(30).FileName(5, u"a.txt").Resident(0x80, text).Build());
  // Two clusters at 1200, a sparse cluster, one cluster at 1300 (delta +100).
  Put(31, RecordBuilder(31)
              .FileName(5, u"b.bin")
              .NonResident(0x80, {0x21, 0x02, 0xB0, 0x04, 0x01, 0x01, 0x11, 0x01, 0x64, 0x00}, 4 * 512 - 100)
              .Build());
  NtfsVolume& volume = Open();
  FileRecord entry;
  entry.clusterSize = 512;
  entry.location = Sector(30);
  entry.size = 5;
  std::vector<uint8_t> out(100, 0xEE);
  MemoryCopySink memory(out.data(), out.size());
  bool resident = false;
  EXPECT_EQ(CopyFileContent(volume, entry, memory, {}, &resident), kOk);
  EXPECT_TRUE(resident);
  EXPECT_EQ(memory.used(), 5u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 5), text);

  entry.location = Sector(31);
  entry.size = 4 * 512 - 100;
  std::vector<uint8_t> big(8192, 0xEE);
  MemoryCopySink whole(big.data(), big.size());
  int calls = 0;
  CopyProgress progress;
  progress.extract = CountCalls;
  progress.user = &calls;
  EXPECT_EQ(CopyFileContent(volume, entry, whole, progress, &resident), kOk);
  EXPECT_FALSE(resident);
  EXPECT_EQ(whole.used(), entry.size);
  EXPECT_EQ(calls, 3);
  ByteView got(big.data(), big.size());
  EXPECT_EQ(got.le64(0), 1200u);
  EXPECT_EQ(got.le64(512), 1201u);
  EXPECT_EQ(got.le64(1024), 0u);  // the hole reads as zeros
  EXPECT_EQ(got.le64(1536), 1300u);
  EXPECT_EQ(big[entry.size], 0xEE);  // nothing beyond the size

  // A small capacity takes only its bytes; a cancel stops the copy.
  std::vector<uint8_t> few(700, 0);
  MemoryCopySink part(few.data(), few.size());
  EXPECT_EQ(CopyFileContent(volume, entry, part, {}), kOk);
  EXPECT_EQ(part.used(), 700u);
  progress.extract = CancelAtOnce;
  MemoryCopySink again(big.data(), big.size());
  EXPECT_EQ(CopyFileContent(volume, entry, again, progress), RESULT_CANCELLED);
  EXPECT_EQ(again.used(), 1024u);
}

TEST_F(RecordImage, ContentCheckOfEmptyAndExtensionlessFiles) {
  Put(30, RecordBuilder(30).FileName(5, u"empty.jpg").Resident(0x80, {}).Build());
  Put(31, RecordBuilder(31).FileName(5, u"README").Resident(0x80, {}).Build());
  Put(32, RecordBuilder(32).FileName(5, u"lost.jpg").NonResident(0x80, {0x31, 0x01, 0x00, 0x00, 0x10}, 512).Build());
  NtfsVolume& volume = Open();
  uint32_t expected[] = {0, 1, 1};  // empty value; no extension; unreadable first sector
  for (uint32_t i = 0; i < 3; ++i) {
    std::vector<uint8_t> r(image_.begin() + static_cast<long>(Sector(30 + i) * 512),
                           image_.begin() + static_cast<long>(Sector(30 + i) * 512 + 1024));
    ApplyFixups(r.data(), r.size(), volume.geometry.Fixups());
    FileRecord entry;
    ASSERT_TRUE(FillEntryFromRecord(ByteView(r.data(), r.size()), Sector(30 + i), kEntryModeFiles, volume, &entry,
                                    nullptr));
    EXPECT_EQ(entry.intact, expected[i]) << i;
  }
}

TEST_F(RecordImage, RunsPastTheDeviceFailTheCopy) {
  Put(30, RecordBuilder(30).FileName(5, u"a.bin").NonResident(0x80, {0x31, 0x02, 0x00, 0x00, 0x10}, 1024).Build());
  Put(31, RecordBuilder(31).FileName(5, u"b.bin").NonResident(0x80, {0x11, 0x02, 0x80}, 1024).Build());
  NtfsVolume& volume = Open();
  FileRecord entry;
  entry.clusterSize = 512;
  entry.size = 1024;
  std::vector<uint8_t> out(2048);
  for (uint32_t number : {30u, 31u}) {
    entry.location = Sector(number);
    MemoryCopySink sink(out.data(), out.size());
    EXPECT_EQ(CopyFileContent(volume, entry, sink, {}), kErrInvalidParameter) << number;
    EXPECT_EQ(sink.used(), 0u);
  }
  entry.clusterSize = 0;
  MemoryCopySink sink(out.data(), out.size());
  EXPECT_EQ(CopyFileContent(volume, entry, sink, {}), kErrInvalidParameter);
}

}  // namespace
}  // namespace mendwell
