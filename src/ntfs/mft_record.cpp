#include "ntfs/mft_record.h"

#include <algorithm>

namespace mendwell {

bool IsFileRecord(ByteView record) {
  return record.Equals(0, "FILE");
}

MftRecordHeader ReadMftRecordHeader(ByteView record) {
  MftRecordHeader h;
  h.firstAttribute = record.le16(0x14);
  h.flags = record.le16(0x16);
  h.bytesInUse = record.le32(0x18);
  h.bytesAllocated = record.le32(0x1C);
  h.recordNumber = record.le32(0x2C);
  h.updateSequence = record.le16(0x30);
  return h;
}

void ApplyFixups(uint8_t* record, size_t size, const FixupParams& fixups) {
  if (!record || fixups.stride < 2) return;
  for (uint64_t i = 0; i < fixups.sectorCount; ++i) {
    uint64_t target = static_cast<uint64_t>(fixups.stride) * (i + 1) - 2;
    uint64_t saved = kUpdateSequenceArray + 2 * i;
    if (target + 2 > size || saved + 2 > size) break;
    record[target] = record[saved];
    record[target + 1] = record[saved + 1];
  }
}

Status ReadMftRecord(SectorDevice& device, uint64_t sector, const NtfsGeometry& geometry, MftRecordBuffer& buffer) {
  uint32_t bps = geometry.bytesPerSector;
  if (bps == 0 || bps > kMftRecordRead) return kErrInvalidParameter;
  uint32_t count = kMftRecordRead / bps;
  uint32_t got = 0;
  Status st = ReadSectors(device, buffer.data(), sector, count, bps, &got);
  if (st == kErrInvalidParameter && geometry.sectorsPerRecord < count) {
    // The last records of a device: read only the record itself.
    got = 0;
    st = ReadSectors(device, buffer.data(), sector, geometry.sectorsPerRecord, bps, &got);
  }
  // A read cut short by the end of the medium still holds the record.
  if (st != kOk && got >= geometry.sectorsPerRecord && got <= count) st = kOk;
  if (st == kOk) std::fill(buffer.begin() + static_cast<long>(std::min<size_t>(size_t{got} * bps, buffer.size())),
                           buffer.end(), uint8_t{0});
  return st;
}

Status ReadFixedRecord(SectorDevice& device, uint64_t sector, const NtfsGeometry& geometry, MftRecordBuffer& buffer) {
  Status st = ReadMftRecord(device, sector, geometry, buffer);
  if (st != kOk) return st;
  if (!IsFileRecord(ByteView(buffer.data(), buffer.size()))) return -1;
  size_t recordBytes = std::min<size_t>(geometry.recordSize, buffer.size());
  ApplyFixups(buffer.data(), recordBytes, geometry.Fixups());
  return kOk;
}

}  // namespace mendwell
