// Recovery routines that read single sectors of the medium: the high-word
// search for deleted FAT32 entries, the first-sector check that gives a
// found file its `intact` flag, and the folder level under which the result
// store files a folder's children.
#pragma once

#include <cstdint>
#include <string_view>

#include "device/sector_device.h"
#include "engine/file_record.h"
#include "fat/fat_boot_sector.h"
#include "platform/status.h"

namespace mendwell {

// Where the recovery reads go.
struct FatMedium {
  SectorDevice* device = nullptr;
  uint32_t bytesPerSector = 512;
  // End of the area the engine was opened on (volume start + sector count);
  // the high-word search reads nothing beyond it.
  uint64_t endSector = 0;
};

// High words tried by the high-word search: 0, 1, ... 256.
inline constexpr uint32_t kHighWordCandidates = 257;

// Walks of ".." links stop after this many levels.
inline constexpr uint32_t kMaxFolderLevel = 1024;

// The extension of a name: the text after its last '.', empty without one.
std::string_view NameExtension(std::string_view name);

// FAT32 may clear the high word of a deleted entry's first cluster, so the
// likely high words are tried in order, reading the first sector of cluster
// (h << 16 | lowWord) under layout. A folder fits when that sector begins
// with '.', a space, and ".." at byte 32. The search stops at the first fit,
// at a sector beyond medium.endSector (a sector exactly there is still
// read) and at a failed read. Returns the high word found, 0 without one.
uint16_t FindFolderHighWord(const FatMedium& medium, const FatLayout& layout, uint16_t lowWord);

// The same for a file named `name`: a candidate fits when its first sector
// passes ContentMatchesExtension for the name's extension. A name without
// an extension is not searched (0).
uint16_t FindFileHighWord(const FatMedium& medium, const FatLayout& layout, uint16_t lowWord, std::string_view name);

// The `intact` flag of a found file: 0 only when its name has an extension,
// the first sector of its first cluster (origin + dataStart + (nodeId - 2) x
// sectorsPerCluster, the record's fields) can be read, and it does not carry
// the signature of that extension; otherwise 1 (also for a first cluster
// below 2).
uint32_t CheckFirstSector(const FatMedium& medium, const FileRecord& record, uint32_t sectorsPerCluster);

enum class FolderLevelMode {
  // Fast engine: a folder whose data does not begin with "." and ".." ends
  // the walk with the level unchanged; cluster 0 is the fixed root region
  // of the layout.
  kFast,
  // Professional engine: such a folder adds one level; cluster 0 is level 0
  // at once. (The caller answers 0 itself when it has no layout.)
  kProfessional,
};

// The depth of a folder below the root (the root 0, a folder right under it
// 1), found by following ".." entries from the folder's first 4096 bytes
// under layout. The walk ends at rootCluster, at a first entry that is a
// volume label (a root folder), at a cluster seen before, at a ".." of 0
// (the root) and after kMaxFolderLevel levels. A read error ends the walk
// and is returned, *level holding the depth counted so far.
Status FolderLevel(const FatMedium& medium, const FatLayout& layout, uint32_t rootCluster, uint32_t cluster,
                   FolderLevelMode mode, uint32_t* level);

}  // namespace mendwell
