// Turning a FILE record into a file record (engine/file_record.h) of the
// result store, and the content check of a found file.
#pragma once

#include <cstdint>
#include <string>

#include "engine/file_record.h"
#include "ntfs/ntfs_volume.h"
#include "platform/byte_view.h"

namespace mendwell {

inline constexpr int32_t kEntryModeFiles = 0;    // pass over file records
inline constexpr int32_t kEntryModeFolders = 1;  // pass over folder records

// What the engine needs besides the entry to place it in the tree.
struct NtfsEntryLinks {
  uint32_t parentRecord = 0;  // of the first $FILE_NAME (low 32 bits)
  uint16_t parentSequence = 0;  // the sequence number that reference carries
  std::string relationName;   // the name of the first $FILE_NAME (folders keep it in their relation)
};

// Fills *entry from a FILE record already fixed up (`record` spans exactly
// the record size) that was read at `recordSector`. Returns false when the
// record makes no entry: no $FILE_NAME, a system record (number 11 or
// lower), or an extension record (its base reference at 0x20 is not 0; its
// attributes belong to the base record's entry).
//
// Filled: folder flag = mode; times, size and name of the first $FILE_NAME
// (a later Win32 name replaces the name); the size of the last unnamed
// $DATA after it (resident: value length; non-resident: data size); the
// drive letter and source engine of the volume, cluster size BPS x SPC, own
// record number, record sector, volume origin; deleted = the record is not
// in use. A base record whose $FILE_NAME or $DATA lives in extension
// records is completed through its $ATTRIBUTE_LIST. The intact flag is 1 for
// folders; for files it is the content check when checkContent is set (and
// 1 otherwise). The entry id is left 0: the store assigns it.
bool FillEntryFromRecord(ByteView record, uint64_t recordSector, int32_t mode, NtfsVolume& volume, FileRecord* entry,
                         NtfsEntryLinks* links, bool checkContent = true);

// Whether a file's first bytes still match its extension in the signature
// catalogue: the resident value, or the first sector of the first run of
// its $DATA. 1 for a name without "." and whenever nothing can be read; 0
// for an empty resident value.
uint32_t CheckEntryContent(NtfsVolume& volume, const FileRecord& entry);

// The same on the entry's record already in memory (fixed up): only the
// first data sector is read, or the record again when its $DATA may live in
// extension records.
uint32_t CheckEntryContentInRecord(NtfsVolume& volume, const FileRecord& entry, ByteView record);

}  // namespace mendwell
