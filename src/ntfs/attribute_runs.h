// Finding an attribute's runs or resident value in a FILE record on disk,
// including attributes spread over extension records by an
// $ATTRIBUTE_LIST.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/ntfs_volume.h"
#include "platform/byte_view.h"

namespace mendwell {

// Reads the FILE record at `recordSector` and appends the runs of its
// attribute of `type` (the first one met; for $DATA whatever its name).
// When the record has an $ATTRIBUTE_LIST, every list entry of that type (for
// $DATA the unnamed stream only) contributes its extent in list order, from
// the base record or from the extension record it names, so a runlist that
// was split over several records comes back whole (each extent's deltas are
// rebased so the appended runs read as one runlist from cluster 0). Extension records are
// read with the signature test and fixups; the list is never followed
// recursively, so a list naming its own record or looping cannot recur.
// Results: 0; -1 no "FILE" record; -100 no such attribute (nothing found
// through the list either); or the reader's error.
Status FindAttributeRuns(NtfsVolume& volume, uint64_t recordSector, uint32_t type, NtfsRunlist& out);

// Copies of every attribute of `type` that the $ATTRIBUTE_LIST of a record
// (in memory, fixed up, read from recordSector) names, in list order, from
// the record itself or from its extension records; for $DATA the unnamed
// stream only. Empty when the record has no list. At most `limit` copies.
std::vector<std::vector<uint8_t>> ListedAttributes(NtfsVolume& volume, ByteView record, uint64_t recordSector,
                                                   uint32_t type, size_t limit = 64);

// The runs of `type` within one record already in memory (fixed up), without
// following an attribute list. -100 when the record has no such attribute.
Status FindAttributeRunsInRecord(ByteView record, uint32_t type, NtfsRunlist& out);

// Reads the clusters of a runlist in order (absolute sector = partition
// start + running cluster x SPC) into *out, at most maxBytes (the last run
// cut); sparse runs read as zeros. A run that cannot be read is left as
// zeros and the result is its error (the runs after it are still read), or
// 0 when every run was read; 87 without a device or cluster size.
Status ReadRunlistBytes(NtfsVolume& volume, const NtfsRunlist& runs, uint64_t maxBytes, std::vector<uint8_t>* out);

// Sets up a live volume from its boot sector (`boot`, at least 512 bytes):
// geometry with origin = partition start, MFT start sector, and the MFT
// runlist from the $DATA of record 0 (left empty when record 0 cannot be
// read). 87 when the boot sector is not usable; the MFT lookup's result is
// given in *mftResult.
Status OpenNtfsVolume(SectorDevice& device, ByteView boot, uint64_t partitionStart, uint64_t partitionSectors,
                      NtfsVolume* volume, uint64_t* mftStart, Status* mftResult = nullptr);

// Copies the resident value of the record's first $DATA attribute (whatever
// its name) into *value. Results: 0; -101 not a FILE record, no $DATA, or
// $DATA non-resident; 87 when the value does not lie inside the attribute
// or is not smaller than the record size; the reader's error.
Status ReadResidentData(NtfsVolume& volume, uint64_t recordSector, std::vector<uint8_t>* value);

// The same on a record already in memory (fixed up).
Status ResidentDataInRecord(ByteView record, std::vector<uint8_t>* value);

}  // namespace mendwell
