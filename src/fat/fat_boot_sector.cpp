#include "fat/fat_boot_sector.h"

namespace mendwell {

namespace {

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

uint64_t ClusterToSector(const FatLayout& layout, uint32_t cluster) {
  int64_t offset = (static_cast<int64_t>(cluster) - 2) * layout.sectorsPerCluster;
  return layout.volumeStart + layout.dataStart + static_cast<uint64_t>(offset);
}

uint64_t FolderStartSector(const FatLayout& layout, uint32_t cluster) {
  if (cluster == 0 && layout.rootSectors != 0)
    return layout.volumeStart + layout.dataStart - layout.rootSectors;
  return ClusterToSector(layout, cluster);
}

FatBootSector DecodeFatBootSector(ByteView s) {
  FatBootSector b;
  b.bytesPerSector = s.le16(11);
  b.sectorsPerCluster = s.u8(13);
  b.reservedSectors = s.le16(14);
  b.fatCount = s.u8(16);
  b.rootEntryCount = s.le16(17);
  b.totalSectors16 = s.le16(19);
  b.sectorsPerFat16 = s.le16(22);
  b.totalSectors32 = s.le32(32);
  b.sectorsPerFat32 = s.le32(36);
  b.rootCluster = s.le32(44);
  b.fat32TypeText = s.Equals(82, "FAT32   ");
  return b;
}

bool FatGeometryFromBootSector(ByteView sector, uint64_t volumeStart, FatGeometry* out) {
  FatBootSector b = DecodeFatBootSector(sector);
  if (!IsPowerOfTwo(b.bytesPerSector) || b.bytesPerSector < 512 || b.bytesPerSector > 4096) return false;
  if (!IsPowerOfTwo(b.sectorsPerCluster) || b.fatCount == 0) return false;

  FatGeometry g;
  g.bytesPerSector = b.bytesPerSector;
  g.sectorsPerCluster = b.sectorsPerCluster;
  g.reservedSectors = b.reservedSectors;
  g.fatCount = b.fatCount;
  g.volumeStart = volumeStart;
  g.totalSectors = b.totalSectors16 != 0 ? b.totalSectors16 : b.totalSectors32;
  bool fat32 = b.fat32TypeText || b.sectorsPerFat16 == 0;
  uint64_t dataStart;
  if (fat32) {
    g.type = FatType::kFat32;
    g.sectorsPerFat = b.sectorsPerFat32;
    g.rootCluster = b.rootCluster;
    g.rootSectors = 0;
    dataStart = static_cast<uint64_t>(b.fatCount) * b.sectorsPerFat32 + b.reservedSectors;
  } else {
    g.sectorsPerFat = b.sectorsPerFat16;
    // The root region holds the boot sector's number of 32-byte entries,
    // rounded up to whole sectors (224 entries on a 1.44 MB floppy = 14).
    g.rootSectors = (static_cast<uint32_t>(b.rootEntryCount) * 32 + g.bytesPerSector - 1) / g.bytesPerSector;
    dataStart = static_cast<uint64_t>(b.reservedSectors) + static_cast<uint64_t>(b.sectorsPerFat16) * b.fatCount +
                g.rootSectors;
  }
  if (g.sectorsPerFat == 0 || dataStart > UINT32_MAX) return false;
  g.dataStart = static_cast<uint32_t>(dataStart);
  g.clusterCount = g.totalSectors > g.dataStart ? (g.totalSectors - g.dataStart) / g.sectorsPerCluster : 0;
  if (!fat32) g.type = g.clusterCount < kMinFat16Clusters ? FatType::kFat12 : FatType::kFat16;
  *out = g;
  return true;
}

}  // namespace mendwell
