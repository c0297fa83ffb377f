// Cheap tests of whether a sector holds file-system metadata rather than
// file content. A carved file that reads ahead stops in front of such a
// sector: contiguous file data never contains a boot sector, an NTFS record
// or a FAT directory block.
//
// The FAT directory test here is the carving scan's own copy of the
// directory-block plausibility rules; the FAT engines keep theirs with the
// FAT structures.
#pragma once

#include <cstdint>

#include "platform/byte_view.h"

namespace mendwell {

// Whether the sector begins an NTFS file record ("FILE").
bool LooksLikeNtfsFileRecord(ByteView sector);

// Whether a whole sector (or cluster) reads as FAT directory entries: every
// entry up to the first free one (first byte 0, followed only by zeros) is
// a plausible short or long-name entry. A block whose first entry is free
// is not a directory block; a block shorter than 32 bytes is.
bool LooksLikeFatDirectoryBlock(ByteView block);

// NTFS file record, log restart page or index block, "$STA" (UTF-16), a
// FAT, NTFS or exFAT boot sector, or a FAT directory block. False for
// sectors shorter than 32 bytes.
bool IsFileSystemStructure(ByteView sector);

}  // namespace mendwell
