// The context the NTFS decoders work in: the device reader (whole device,
// absolute sectors), the volume geometry and the MFT runlist.
#pragma once

#include <cstdint>

#include "device/sector_device.h"
#include "engine/file_record.h"
#include "ntfs/ntfs_boot_sector.h"
#include "ntfs/runlist.h"

namespace mendwell {

// Results of the record operations besides 0 and the reader's errors.
inline constexpr Status kNtfsNotFileRecord = -1;       // the sector holds no "FILE" record
inline constexpr Status kNtfsAttributeNotFound = -100;  // or a read failed without an error code
inline constexpr Status kNtfsNotResident = -101;        // no resident $DATA value: take the runs

struct NtfsVolume {
  SectorDevice* device = nullptr;  // not owned
  NtfsGeometry geometry;
  NtfsRunlist mftRuns;  // runlist of the MFT's $DATA
  ZeroLengthRun zeroLengthRuns = ZeroLengthRun::kCoversNothing;
  // Written into every entry made from a record.
  uint16_t driveLetter = 0;
  uint32_t sourceEngine = kSourceFastNtfs;

  // Absolute sector of MFT record `number` in this volume.
  uint64_t RecordSector(uint64_t number) const {
    return RecordToSector(number, mftRuns, geometry.sectorsPerCluster, geometry.sectorsPerRecord,
                          geometry.volumeOrigin, zeroLengthRuns);
  }
};

}  // namespace mendwell
