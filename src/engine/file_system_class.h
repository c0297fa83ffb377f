// Classification of a medium's first 16 KiB: which file system, and so
// which engine, a partition or image holds.
#pragma once

#include <cstdint>

#include "platform/byte_view.h"

namespace mendwell {

enum class FileSystemClass : int32_t {
  kFat = 2,
  kNtfs = 3,
  kExt = 4,
  kOther = 5,
};

inline constexpr uint32_t kClassifyBytes = 0x4000;

// NTFS boot-sector test on a 512-byte sector.
bool IsNtfsBootSector(ByteView sector);

// BitLocker-style encrypted-volume boot sector ("-FVE-FS-", or the
// signature at offset 480).
bool IsEncryptedVolumeBootSector(ByteView sector);

// FAT boot-sector test: not encrypted, a plausible cluster count, and
// either the FAT12/16 or the FAT32 layout check.
bool IsFatBootSector(ByteView sector);

// ext2/3/4 superblock test on the 1024 bytes of the superblock.
bool IsExtSuperblock(ByteView superblock);

// NTFS, then FAT on bytes 0..511, then ext on bytes 1024..2047; the first
// test that passes decides.
FileSystemClass ClassifyFileSystem(ByteView first16k);

}  // namespace mendwell
