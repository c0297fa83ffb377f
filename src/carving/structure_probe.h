// Cheap tests of whether a sector holds file-system metadata rather than
// file content. A carved file that reads ahead stops in front of such a
// sector: contiguous file data never contains a boot sector, an NTFS record
// or a FAT directory block.
#pragma once

#include <cstdint>

#include "platform/byte_view.h"

namespace mendwell {

// Whether the sector begins an NTFS file record ("FILE").
bool LooksLikeNtfsFileRecord(ByteView sector);

// NTFS file record, log restart page or index block, "$STA" (UTF-16), a
// FAT, NTFS or exFAT boot sector, or a FAT directory block (the FAT
// engines' own directory-block test). False for
// sectors shorter than 32 bytes.
bool IsFileSystemStructure(ByteView sector);

}  // namespace mendwell
