// The FAT structures on volumes made by mkfs.fat and mtools
// (tests/fixtures/make_fat_images.sh).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "carving/signature_catalogue.h"
#include "fat/fat_boot_sector.h"
#include "fat/fat_directory.h"
#include "fat/fat_recovery_reads.h"
#include "fat/fat_window.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

struct Found {
  std::string name;
  FatDirEntry entry;
};

class FatImage {
 public:
  explicit FatImage(const std::string& name) {
    EXPECT_EQ(OpenImageDevice(device_, test::FixturePath(name)), kOk) << name;
    std::vector<uint8_t> boot(512);
    uint32_t got = 0;
    EXPECT_EQ(ReadSectors(device_, boot.data(), 0, 1, 512, &got), kOk);
    EXPECT_TRUE(FatGeometryFromBootSector(ByteView(boot.data(), boot.size()), 0, &geometry_));
    EXPECT_EQ(window_.Open(&device_, geometry_), kOk);
  }

  const FatGeometry& geometry() const { return geometry_; }
  FatWindow& window() { return window_; }
  FatMedium medium() { return {&device_, geometry_.bytesPerSector, device_.sectorCount}; }

  std::vector<uint8_t> ReadFolderStart(uint32_t cluster, uint32_t sectors) {
    std::vector<uint8_t> bytes(static_cast<size_t>(sectors) * geometry_.bytesPerSector);
    uint32_t got = 0;
    EXPECT_EQ(ReadSectors(device_, bytes.data(), FolderStartSector(geometry_.Layout(), cluster), sectors,
                          geometry_.bytesPerSector, &got),
              kOk);
    return bytes;
  }

  // Every named entry of a live folder, following its cluster chain (the
  // fixed root region for cluster 0 on FAT12/16).
  std::vector<Found> ReadFolder(uint32_t cluster) {
    std::vector<Found> found;
    FatLongNamePieces pieces;
    bool root = cluster == 0 && !geometry_.IsFat32();
    for (uint32_t steps = 0; steps <= window_.MaxChainLength(); ++steps) {
      std::vector<uint8_t> bytes = ReadFolderStart(cluster, root ? geometry_.rootSectors : geometry_.sectorsPerCluster);
      ByteView view(bytes.data(), bytes.size());
      for (size_t at = 0; at + kFatDirEntrySize <= bytes.size(); at += kFatDirEntrySize) {
        ByteView e = view.Sub(at);
        FatDirEntry d = DecodeFatDirEntry(e);
        if (d.IsEnd()) return found;
        if (!IsPlausibleEntry(e)) {
          pieces.Clear();
        } else if (d.IsLongName()) {
          pieces.Add(e);
        } else {
          if (!d.IsVolumeLabel() && !d.IsDotEntry())
            found.push_back({pieces.empty() ? ShortNameText(d, d.IsFolder()) : LongNameText(pieces), d});
          pieces.Clear();
        }
      }
      if (root) return found;
      cluster = window_.NextCluster(cluster);
      if (cluster == 0) return found;
    }
    return found;
  }

  const Found* Find(const std::vector<Found>& list, const std::string& name) {
    for (const Found& f : list)
      if (f.name == name) return &f;
    ADD_FAILURE() << "no entry " << name;
    return nullptr;
  }

  uint32_t ChainLength(uint32_t first) {
    uint32_t n = 0;
    for (uint32_t c = first; c != 0 && n <= window_.MaxChainLength(); c = window_.NextCluster(c)) ++n;
    return n;
  }

 private:
  SectorDevice device_;
  FatGeometry geometry_;
  FatWindow window_;
};

TEST(FatImages, BootSectorsOfTheThreeTypes) {
  struct Case {
    const char* image;
    FatType type;
    uint32_t rootSectors, dataStart, rootCluster;
  } cases[] = {
      {"fat12_deleted.img", FatType::kFat12, 14, 33, 0},
      {"fat16_deleted.img", FatType::kFat16, 32, 0, 0},
      {"fat32_deleted.img", FatType::kFat32, 0, 0, 2},
  };
  for (const Case& c : cases) {
    FatImage img(c.image);
    const FatGeometry& g = img.geometry();
    EXPECT_EQ(g.type, c.type) << c.image;
    EXPECT_EQ(g.rootSectors, c.rootSectors) << c.image;
    if (c.dataStart) {
      EXPECT_EQ(g.dataStart, c.dataStart) << c.image;
    }
    EXPECT_EQ(g.rootCluster, c.rootCluster) << c.image;
    EXPECT_EQ(g.dataStart, g.reservedSectors + g.fatCount * g.sectorsPerFat + g.rootSectors) << c.image;
    // The root folder's entries are where the geometry says: the live file
    // and the deleted short name are there.
    std::vector<Found> root = img.ReadFolder(g.rootCluster);
    img.Find(root, "keep.txt");
    img.Find(root, "!elroot.txt");
    img.Find(root, "exactly13.txt");
    img.Find(root, "a much longer file name over 26 chars.txt");
  }
}

TEST(FatImages, RealChainsAndErasedChains) {
  for (const char* name : {"fat12_deleted.img", "fat16_deleted.img", "fat32_deleted.img"}) {
    FatImage img(name);
    std::vector<Found> root = img.ReadFolder(img.geometry().rootCluster);
    const Found* spacer = img.Find(root, "spacer.bin");
    // A deleted long name keeps its text; only short names show the mark.
    const Found* fragmented = img.Find(root, "fragmented.bin");
    const Found* keep = img.Find(root, "keep.txt");
    ASSERT_TRUE(spacer && fragmented && keep);
    uint32_t clusterBytes = img.geometry().ClusterBytes();
    EXPECT_EQ(img.ChainLength(spacer->entry.FirstCluster()), 2u) << name;
    EXPECT_EQ(img.ChainLength(keep->entry.FirstCluster()), (900 + clusterBytes - 1) / clusterBytes) << name;
    // fragmented.bin filled a 3-cluster hole before SPACER.BIN; with its
    // chain erased, the walk runs through the hole and stops at SPACER.BIN.
    EXPECT_EQ(fragmented->entry.FirstCluster() + 3, spacer->entry.FirstCluster()) << name;
    EXPECT_EQ(img.ChainLength(fragmented->entry.FirstCluster()), 3u) << name;
  }
}

TEST(FatImages, FoldersAndTheirLevels) {
  FatImage img("fat16_deleted.img");
  std::vector<Found> root = img.ReadFolder(0);
  const Found* live = img.Find(root, "live");
  ASSERT_TRUE(live);
  std::vector<Found> inLive = img.ReadFolder(live->entry.FirstCluster());
  img.Find(inLive, "inside.txt");
  img.Find(inLive, "deleted in live.txt");
  img.Find(inLive, "caf\xC3\xA9 r\xC3\xA9sum\xC3\xA9 \xCE\xA9mega.txt");
  const Found* sub = img.Find(inLive, "sub");
  ASSERT_TRUE(sub);
  std::vector<uint8_t> subStart = img.ReadFolderStart(sub->entry.FirstCluster(), 1);
  EXPECT_TRUE(IsFolderStart(ByteView(subStart.data(), subStart.size())));
  uint32_t level = 0;
  EXPECT_EQ(FolderLevel(img.medium(), img.geometry().Layout(), 0, sub->entry.FirstCluster(), FolderLevelMode::kFast,
                        &level),
            kOk);
  EXPECT_EQ(level, 2u);
  // The deleted tree /gone is still readable from its entry.
  const Found* gone = img.Find(root, "!one");
  ASSERT_TRUE(gone);
  EXPECT_TRUE(gone->entry.IsDeleted() && gone->entry.IsFolder());
  std::vector<uint8_t> goneStart = img.ReadFolderStart(gone->entry.FirstCluster(), 1);
  EXPECT_TRUE(IsFolderStart(ByteView(goneStart.data(), goneStart.size())));
}

TEST(FatImages, RootSectorIsADirectoryBlock) {
  // The FAT16 root: volume label, live and deleted short entries and
  // deleted long-name runs.
  FatImage img("fat16_deleted.img");
  std::vector<uint8_t> sector = img.ReadFolderStart(0, 1);
  EXPECT_TRUE(IsPlausibleDirectoryBlock(ByteView(sector.data(), sector.size())));
  // A sector of file data is not.
  std::vector<Found> root = img.ReadFolder(0);
  const Found* keep = img.Find(root, "keep.txt");
  ASSERT_TRUE(keep);
  std::vector<uint8_t> data = img.ReadFolderStart(keep->entry.FirstCluster(), 1);
  EXPECT_FALSE(IsPlausibleDirectoryBlock(ByteView(data.data(), data.size())));
}

TEST(FatImages, ClearedHighWordIsFoundAgain) {
  FatImage img("fat32_deleted.img");
  std::vector<Found> root = img.ReadFolder(2);
  const Found* jpg = img.Find(root, "!ighword.jpg");
  ASSERT_TRUE(jpg);
  EXPECT_EQ(jpg->entry.clusterHigh, 0);
  FatLayout layout = img.geometry().Layout();
  std::vector<uint8_t> real = img.ReadFolderStart((1u << 16) | jpg->entry.clusterLow, 1);
  EXPECT_EQ(real[0], 0xFF);
  EXPECT_EQ(real[1], 0xD8);
  std::vector<uint8_t> low = img.ReadFolderStart(jpg->entry.clusterLow, 1);
  bool lowPasses = ContentMatchesExtension(ByteView(low.data(), low.size()), 512, "jpg", nullptr, 0);
  EXPECT_EQ(FindFileHighWord(img.medium(), layout, jpg->entry.clusterLow, jpg->name), lowPasses ? 0 : 1);
}

}  // namespace
}  // namespace mendwell
