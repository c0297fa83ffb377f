#include "fat/fat_recovery_reads.h"

#include <gtest/gtest.h>

#include "carving/signature_catalogue.h"
#include "fat_test_bytes.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::Append;
using test::Bytes;
using test::Entry;

Bytes FolderStartBytes(uint32_t self, uint32_t parent) {
  Bytes b;
  Append(b, Entry(".", 0x10, self));
  Append(b, Entry("..", 0x10, parent));
  b.resize(512, 0);
  return b;
}

// Root region at sectors 8-9, cluster 2 at sector 10, one sector per cluster.
class FolderLevelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string path = dir_.File("tree.img");
    Bytes label;
    Append(label, Entry("VOLUME     ", 0x08));
    label.resize(512, 0);
    test::WriteAt(path, 8 * 512, label);
    auto folder = [&](uint32_t cluster, uint32_t parent) {
      test::WriteAt(path, ClusterToSector(layout_, cluster) * 512, FolderStartBytes(cluster, parent));
    };
    folder(2, 0);  // /a
    folder(3, 2);  // /a/b
    folder(4, 3);  // /a/b/c
    folder(5, 6);  // 5 and 6 name each other as parent
    folder(6, 5);
    test::WriteAt(path, ClusterToSector(layout_, 7) * 512, Bytes(512, 'x'));  // not a folder
    folder(8, 7);
    test::Resize(path, 40 * 512);
    ASSERT_EQ(OpenImageDevice(device_, path), kOk);
    medium_ = {&device_, 512, 40};
  }

  uint32_t Level(uint32_t cluster, FolderLevelMode mode, Status expected = kOk) {
    uint32_t level = 99;
    EXPECT_EQ(FolderLevel(medium_, layout_, 0, cluster, mode, &level), expected) << cluster;
    return level;
  }

  test::TempDir dir_;
  SectorDevice device_;
  FatLayout layout_{1, 10, 0, 2};
  FatMedium medium_;
};

TEST_F(FolderLevelTest, CountsDotDotLinksUpToTheRoot) {
  struct Case {
    uint32_t cluster, fast, professional;
  } cases[] = {{0, 0, 0}, {2, 1, 1}, {3, 2, 2}, {4, 3, 3}, {5, 2, 2}, {7, 0, 1}, {8, 1, 2}};
  for (const Case& c : cases) {
    EXPECT_EQ(Level(c.cluster, FolderLevelMode::kFast), c.fast) << c.cluster;
    EXPECT_EQ(Level(c.cluster, FolderLevelMode::kProfessional), c.professional) << c.cluster;
  }
  // A FAT32-style root cluster ends the walk there.
  uint32_t level = 99;
  EXPECT_EQ(FolderLevel(medium_, layout_, 3, 4, FolderLevelMode::kFast, &level), kOk);
  EXPECT_EQ(level, 1u);
  // A folder beyond the medium: the read error is returned.
  EXPECT_EQ(Level(1000, FolderLevelMode::kFast, kErrInvalidParameter), 0u);
}

class HighWordTest : public ::testing::Test {
 protected:
  static constexpr uint16_t kFolderLow = 5;
  static constexpr uint16_t kFileLow = 7;
  uint64_t SectorOf(uint32_t high, uint16_t low) { return ClusterToSector(layout_, (high << 16) | low); }

  void SetUp() override {
    std::string path = dir_.File("hw.img");
    Bytes notDotDot;
    Append(notDotDot, Entry(".", 0x10, 5));
    Append(notDotDot, Entry("X.", 0x10, 0));
    notDotDot.resize(512, 0);
    test::WriteAt(path, SectorOf(1, kFolderLow) * 512, notDotDot);
    test::WriteAt(path, SectorOf(2, kFolderLow) * 512, Bytes(512, '.'));
    test::WriteAt(path, SectorOf(3, kFolderLow) * 512, FolderStartBytes((3 << 16) | kFolderLow, 0));
    jpeg_ = Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01};
    jpeg_.resize(512, 0x20);
    test::WriteAt(path, SectorOf(1, kFileLow) * 512, jpeg_);
    end_ = SectorOf(3, kFolderLow) + 1;
    test::Resize(path, end_ * 512);
    ASSERT_EQ(OpenImageDevice(device_, path), kOk);
  }

  FatMedium Medium(uint64_t endSector) { return {&device_, 512, endSector}; }

  test::TempDir dir_;
  SectorDevice device_;
  FatLayout layout_{1, 10, 0, 0};
  uint64_t end_ = 0;
  Bytes jpeg_;
};

TEST_F(HighWordTest, FolderIsFoundAtTheFirstFittingHighWord) {
  EXPECT_EQ(FindFolderHighWord(Medium(end_), layout_, kFolderLow), 3);
  // A sector exactly at the end of the area is still read ...
  EXPECT_EQ(FindFolderHighWord(Medium(SectorOf(3, kFolderLow)), layout_, kFolderLow), 3);
  // ... one beyond it ends the search.
  EXPECT_EQ(FindFolderHighWord(Medium(SectorOf(3, kFolderLow) - 1), layout_, kFolderLow), 0);
  // Nothing fits: no high word.
  EXPECT_EQ(FindFolderHighWord(Medium(end_), layout_, 9), 0);
}

TEST_F(HighWordTest, FileIsFoundByItsSignature) {
  Bytes zeros(512, 0);
  bool zerosPass = ContentMatchesExtension(ByteView(zeros.data(), zeros.size()), 512, "jpg", nullptr, 0);
  EXPECT_EQ(FindFileHighWord(Medium(end_), layout_, kFileLow, "photo.jpg"), zerosPass ? 0 : 1);
  EXPECT_EQ(FindFileHighWord(Medium(end_), layout_, kFileLow, "README"), 0);
  EXPECT_EQ(NameExtension("archive.tar.gz"), "gz");
  EXPECT_EQ(NameExtension("README"), "");
}

TEST_F(HighWordTest, FirstSectorCheck) {
  Bytes zeros(512, 0);
  bool zerosPass = ContentMatchesExtension(ByteView(zeros.data(), zeros.size()), 512, "jpg", nullptr, 0);
  FileRecord record;
  record.SetName("photo.jpg");
  record.dataStart = 10;
  record.nodeId = (1 << 16) | kFileLow;
  EXPECT_EQ(CheckFirstSector(Medium(end_), record, 1), 1u);
  record.nodeId = kFileLow;  // zeros there
  EXPECT_EQ(CheckFirstSector(Medium(end_), record, 1), zerosPass ? 1u : 0u);
  record.nodeId = 1;
  EXPECT_EQ(CheckFirstSector(Medium(end_), record, 1), 1u);
  record.nodeId = 0x0FFFFFF0;  // unreadable
  EXPECT_EQ(CheckFirstSector(Medium(end_), record, 1), 1u);
  record.nodeId = kFileLow;
  record.SetName("photo");
  EXPECT_EQ(CheckFirstSector(Medium(end_), record, 1), 1u);
}

}  // namespace
}  // namespace mendwell
