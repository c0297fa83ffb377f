#include "ntfs/ntfs_boot_sector.h"

#include "engine/file_system_class.h"

namespace mendwell {

FixupParams NtfsGeometry::Fixups() const {
  return FixupParams{recordSize / kFixupStride, kFixupStride};
}

Status ParseNtfsBootSector(ByteView sector, NtfsBootSector* out) {
  if (!out || !IsNtfsBootSector(sector)) return kErrInvalidParameter;
  uint32_t bytesPerSector = sector.le16(0x0B);
  if (bytesPerSector == 0) bytesPerSector = 512;
  if (bytesPerSector < 256 || bytesPerSector > 4096 || (bytesPerSector & (bytesPerSector - 1)) != 0)
    return kErrInvalidParameter;
  uint32_t sectorsPerCluster = sector.u8(0x0D);
  if (sectorsPerCluster == 0 || sectorsPerCluster > 128) return kErrInvalidParameter;
  out->bytesPerSector = bytesPerSector;
  out->sectorsPerCluster = sectorsPerCluster;
  out->mftCluster = sector.le64(0x30);
  return kOk;
}

uint32_t NtfsRecordSize(uint32_t bytesPerSector) {
  return bytesPerSector == 512 ? 1024 : bytesPerSector;
}

uint32_t NtfsSectorsPerRecord(uint32_t bytesPerSector) {
  return bytesPerSector == 512 ? 2 : 1;
}

NtfsGeometry MakeNtfsGeometry(uint32_t bytesPerSector, uint32_t sectorsPerCluster, uint64_t partitionStart,
                              uint64_t partitionSectors) {
  NtfsGeometry g;
  g.bytesPerSector = bytesPerSector;
  g.sectorsPerCluster = sectorsPerCluster;
  g.recordSize = NtfsRecordSize(bytesPerSector);
  g.sectorsPerRecord = NtfsSectorsPerRecord(bytesPerSector);
  g.partitionStart = partitionStart;
  g.partitionSectors = partitionSectors;
  g.volumeOrigin = partitionStart;
  return g;
}

uint64_t MftStartSector(const NtfsBootSector& boot, uint64_t partitionStart) {
  return partitionStart + boot.mftCluster * boot.sectorsPerCluster;
}

}  // namespace mendwell
