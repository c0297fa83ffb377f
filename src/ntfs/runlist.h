// Runlists (mapping pairs) of non-resident attributes, and the mapping of
// an MFT record number to its sector through the MFT's runlist.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/byte_view.h"

namespace mendwell {

// One decoded mapping pair. Absolute positions are never stored: users add
// the deltas up while walking the vector.
struct NtfsRun {
  uint64_t length = 0;  // clusters; only the low 32 bits of the encoded length
  int64_t offset = 0;   // signed cluster delta from the previous run's start (cluster 0 first)
  bool sparse = false;  // no offset field: the run has no clusters on disk (reads as zeros)
};
using NtfsRunlist = std::vector<NtfsRun>;

// Appends the runs of a non-resident attribute (the view starts at the
// attribute header; its length field and the view bound the decoder). The
// cursor starts at the mapping-pairs offset (u16 at 0x20); decoding stops at
// a 0 header byte, at a size nibble of 8 or more, at the attribute's end, or
// at a pair that would pass the attribute. A pair without an offset field is
// a sparse run with delta 0. Returns the number of runs appended.
size_t DecodeRunlist(ByteView attribute, NtfsRunlist& out);

// How RecordToSector treats a run of length 0.
enum class ZeroLengthRun {
  kCoversNothing,  // live MFT: such a run maps no record
  kContiguousMft,  // an MFT assumed contiguous from the run's cluster
};

// Absolute sector of MFT record `recordNumber`: V = number x sectors per
// record is looked up in the MFT runlist, and the result is origin +
// cluster x SPC + the sector within the run. When no run holds V the origin
// itself comes back (the boot sector, which then fails the FILE test).
uint64_t RecordToSector(uint64_t recordNumber, const NtfsRunlist& mftRuns, uint32_t sectorsPerCluster,
                        uint32_t sectorsPerRecord, uint64_t volumeOrigin,
                        ZeroLengthRun zeroLength = ZeroLengthRun::kCoversNothing);

// Sum of the run lengths in clusters.
uint64_t RunlistClusters(const NtfsRunlist& runs);

}  // namespace mendwell
