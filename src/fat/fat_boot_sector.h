// FAT boot sector: the fields the recovery engines use, the volume geometry
// derived from them, and the data-area layout that turns cluster numbers
// into sector numbers.
#pragma once

#include <cstdint>

#include "platform/byte_view.h"

namespace mendwell {

// Sectors of the fixed root folder region assumed when a layout is not taken
// from a boot sector (512 entries of 32 bytes at 512 bytes per sector).
inline constexpr uint32_t kAssumedRootSectors = 32;

// Fewest clusters of a FAT16 and of a FAT32 volume; fewer make FAT12 or
// FAT16 respectively.
inline constexpr uint32_t kMinFat16Clusters = 4085;
inline constexpr uint32_t kMinFat32Clusters = 65525;

// The geometry of one data area, as taken from a boot sector or inferred from
// folders found on a medium.
struct FatLayout {
  uint32_t sectorsPerCluster = 0;
  uint32_t dataStart = 0;    // sector of cluster 2, counted from the volume start
  uint64_t volumeStart = 0;  // absolute sector of the volume's first sector
  // Sectors of the fixed root folder region that ends at dataStart (FAT12 and
  // FAT16); 0 when the root folder is a cluster chain (FAT32).
  uint32_t rootSectors = kAssumedRootSectors;

  bool operator==(const FatLayout&) const = default;
};

// Absolute sector of a cluster: volume start + data start + (cluster - 2) x
// sectors per cluster, in 64-bit arithmetic (clusters 0 and 1 lie before the
// data area; the value wraps when that passes sector 0, and reads of it fail).
uint64_t ClusterToSector(const FatLayout& layout, uint32_t cluster);

// First sector of a folder: cluster 0 is the fixed root region when the
// layout has one (volume start + data start - root sectors), otherwise as
// ClusterToSector.
uint64_t FolderStartSector(const FatLayout& layout, uint32_t cluster);

enum class FatType : uint8_t { kFat12, kFat16, kFat32 };

// The boot-sector fields, as stored (offsets into the volume's first sector).
struct FatBootSector {
  uint16_t bytesPerSector = 0;     // @11
  uint8_t sectorsPerCluster = 0;   // @13
  uint16_t reservedSectors = 0;    // @14 sectors before the first FAT
  uint8_t fatCount = 0;            // @16
  uint16_t rootEntryCount = 0;     // @17 entries of the fixed root region
  uint16_t totalSectors16 = 0;     // @19
  uint16_t sectorsPerFat16 = 0;    // @22
  uint32_t totalSectors32 = 0;     // @32
  uint32_t sectorsPerFat32 = 0;    // @36
  uint32_t rootCluster = 0;        // @44 (FAT32)
  bool fat32TypeText = false;      // @82 is "FAT32   "
};

// Reads the fields; missing bytes read as 0.
FatBootSector DecodeFatBootSector(ByteView sector);

// The geometry of a FAT volume.
struct FatGeometry {
  FatType type = FatType::kFat16;
  uint32_t bytesPerSector = 0;
  uint32_t sectorsPerCluster = 0;
  uint32_t reservedSectors = 0;
  uint32_t fatCount = 0;
  uint32_t sectorsPerFat = 0;
  uint32_t rootSectors = 0;   // fixed root region (FAT12/16), 0 on FAT32
  uint32_t rootCluster = 0;   // FAT32 root folder cluster, 0 on FAT12/16
  uint32_t dataStart = 0;     // sector of cluster 2, from the volume start
  uint32_t totalSectors = 0;  // the 16-bit field, or the 32-bit one when that is 0
  uint32_t clusterCount = 0;  // data clusters: numbers 2 .. clusterCount + 1
  uint64_t volumeStart = 0;

  bool IsFat32() const { return type == FatType::kFat32; }
  // Absolute sector of the first FAT; only this copy is ever read.
  uint64_t FatStart() const { return volumeStart + reservedSectors; }
  uint32_t ClusterBytes() const { return sectorsPerCluster * bytesPerSector; }
  FatLayout Layout() const { return {sectorsPerCluster, dataStart, volumeStart, rootSectors}; }
  // Sectors to read for one cluster of a folder: the whole fixed root region
  // for cluster 0 on FAT12/16, otherwise one cluster.
  uint32_t FolderReadSectors(uint32_t cluster) const {
    return cluster == 0 && rootSectors != 0 ? rootSectors : sectorsPerCluster;
  }
  // First cluster named by a directory entry's two cluster words: the high
  // word only counts on FAT32.
  uint32_t EntryCluster(uint16_t high, uint16_t low) const {
    return IsFat32() ? (static_cast<uint32_t>(high) << 16) | low : low;
  }
};

// Geometry of the volume whose boot sector is given, starting at absolute
// sector volumeStart. A volume is FAT32 when the type text at 82 is
// "FAT32   " or the 16-bit sectors-per-FAT field is 0; otherwise its fixed
// root region is sized from the root-entry count, and it is FAT12 when it
// has fewer than 4085 clusters. False (out untouched) when the fields
// cannot describe a volume: bytes per sector not a power of two from 512
// to 4096, sectors per cluster not a power of two up to 128, no FAT or a
// FAT of 0 sectors, or a data start beyond 32 bits.
bool FatGeometryFromBootSector(ByteView sector, uint64_t volumeStart, FatGeometry* out);

}  // namespace mendwell
