#include "ntfs/runlist.h"

namespace mendwell {

size_t DecodeRunlist(ByteView attribute, NtfsRunlist& out) {
  // The attribute's own length bounds the pairs; the view bounds a length
  // that lies.
  uint32_t attributeLength = attribute.le32(0x04);
  size_t end = attributeLength < attribute.size() ? attributeLength : attribute.size();
  uint16_t cursor = attribute.le16(0x20);
  size_t appended = 0;
  while (cursor < end) {
    uint8_t header = attribute.u8(cursor);
    if (header == 0) break;
    unsigned lengthBytes = header & 0x0F;
    unsigned offsetBytes = header >> 4;
    if (lengthBytes > 7 || offsetBytes > 7) break;
    if (static_cast<size_t>(cursor) + 1 + lengthBytes + offsetBytes > end) break;
    size_t p = static_cast<size_t>(cursor) + 1;
    uint64_t length = 0;
    for (unsigned i = 0; i < lengthBytes; ++i) length |= static_cast<uint64_t>(attribute.u8(p + i)) << (8 * i);
    p += lengthBytes;
    uint64_t delta = 0;
    for (unsigned i = 0; i < offsetBytes; ++i) delta |= static_cast<uint64_t>(attribute.u8(p + i)) << (8 * i);
    if (offsetBytes > 0 && (attribute.u8(p + offsetBytes - 1) & 0x80) != 0)
      delta |= ~uint64_t{0} << (8 * offsetBytes);  // sign-extend from the top byte
    NtfsRun run;
    run.length = length & 0xFFFFFFFFu;
    run.offset = static_cast<int64_t>(delta);
    run.sparse = offsetBytes == 0;
    out.push_back(run);
    ++appended;
    cursor = static_cast<uint16_t>(cursor + 1 + lengthBytes + offsetBytes);
  }
  return appended;
}

uint64_t RecordToSector(uint64_t recordNumber, const NtfsRunlist& mftRuns, uint32_t sectorsPerCluster,
                        uint32_t sectorsPerRecord, uint64_t volumeOrigin, ZeroLengthRun zeroLength) {
  // Unsigned arithmetic throughout: hostile deltas wrap to sectors that the
  // reader then refuses, never to undefined behaviour.
  uint64_t v = recordNumber * sectorsPerRecord;
  uint64_t covered = 0;
  uint64_t cluster = 0;
  for (const NtfsRun& run : mftRuns) {
    cluster += static_cast<uint64_t>(run.offset);
    if (run.length == 0 && zeroLength == ZeroLengthRun::kContiguousMft)
      return volumeOrigin + cluster * sectorsPerCluster + v;
    uint64_t sectors = run.length * sectorsPerCluster;
    if (v >= covered && v - covered < sectors) {
      if (run.sparse) return volumeOrigin;  // a hole holds no records
      return volumeOrigin + cluster * sectorsPerCluster + (v - covered);
    }
    covered += sectors;
  }
  return volumeOrigin;
}

uint64_t RunlistClusters(const NtfsRunlist& runs) {
  uint64_t total = 0;
  for (const NtfsRun& run : runs) total += run.length;
  return total;
}

}  // namespace mendwell
