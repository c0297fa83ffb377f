// NTFS volume geometry: the few boot-sector fields the engines read, the
// record size and fixup parameters that follow from the sector size.
//
// The record size is derived from the bytes per sector (1024 bytes for
// 512-byte sectors, one sector otherwise); the boot sector's own record-size
// field is not consulted.
#pragma once

#include <cstdint>

#include "platform/byte_view.h"
#include "platform/status.h"

namespace mendwell {

// Boot-sector fields, little-endian:
//   0x0B u16 bytes per sector (0 read as 512)
//   0x0D u8  sectors per cluster, 1 to 128
//   0x30 u64 cluster number of the MFT (its record 0)
struct NtfsBootSector {
  uint32_t bytesPerSector = 512;
  uint32_t sectorsPerCluster = 0;
  uint64_t mftCluster = 0;
};

// How a multi-sector record is fixed up: sectorCount blocks of stride bytes.
// NTFS protects every 512-byte block of a record whatever the sector size
// (a 4096-byte record on a 4096-byte-sector volume has 8 array entries).
inline constexpr uint32_t kFixupStride = 512;
struct FixupParams {
  uint32_t sectorCount = 2;
  uint32_t stride = 512;
};

// Where and how big a volume is, in absolute sectors of the device.
struct NtfsGeometry {
  uint32_t bytesPerSector = 512;
  uint32_t sectorsPerCluster = 8;
  uint32_t recordSize = 1024;
  uint32_t sectorsPerRecord = 2;
  uint64_t partitionStart = 0;
  uint64_t partitionSectors = 0;
  uint64_t volumeOrigin = 0;  // absolute sector of cluster 0

  uint64_t ClusterBytes() const { return static_cast<uint64_t>(bytesPerSector) * sectorsPerCluster; }
  FixupParams Fixups() const;
};

// Decodes the boot sector. The sector must pass IsNtfsBootSector
// (engine/file_system_class.h); otherwise 87. Also 87 when the bytes per
// sector are not a power of two from 256 to 4096 or the sectors per cluster
// are outside 1..128: such a volume cannot be decoded soundly.
Status ParseNtfsBootSector(ByteView sector, NtfsBootSector* out);

// Record size and sectors per record for a sector size.
uint32_t NtfsRecordSize(uint32_t bytesPerSector);
uint32_t NtfsSectorsPerRecord(uint32_t bytesPerSector);

// Geometry of a volume from its boot-sector values; the origin is the
// partition start (a live volume's cluster 0).
NtfsGeometry MakeNtfsGeometry(uint32_t bytesPerSector, uint32_t sectorsPerCluster, uint64_t partitionStart,
                              uint64_t partitionSectors);

// Absolute sector of MFT record 0: partition start + MFT cluster x SPC.
uint64_t MftStartSector(const NtfsBootSector& boot, uint64_t partitionStart);

}  // namespace mendwell
