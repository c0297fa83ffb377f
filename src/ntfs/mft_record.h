// FILE records of the MFT: the header fields, fixups and the 8 KiB record
// read.
//
// Header fields read (little-endian):
//   0x00 "FILE"  0x14 u16 first-attribute offset  0x16 u16 flags (1 in use,
//   2 directory)  0x18 u32 bytes in use  0x1C u32 bytes allocated
//   0x2C u32 own record number  0x30 u16 update sequence number
//   0x32 u16 x n update sequence array (always taken at 0x32)
#pragma once

#include <array>
#include <cstdint>

#include "device/sector_device.h"
#include "ntfs/ntfs_boot_sector.h"
#include "platform/byte_view.h"
#include "platform/status.h"

namespace mendwell {

inline constexpr uint32_t kMftRecordRead = 8192;  // one record read, whatever the record size
inline constexpr uint16_t kRecordInUse = 0x0001;
inline constexpr uint16_t kRecordDirectory = 0x0002;
inline constexpr uint32_t kUpdateSequenceArray = 0x32;

// Attribute types the engines act on, and the walk's end markers.
inline constexpr uint32_t kAttrAttributeList = 0x20;
inline constexpr uint32_t kAttrFileName = 0x30;
inline constexpr uint32_t kAttrData = 0x80;
inline constexpr uint32_t kAttrIndexAllocation = 0xA0;
inline constexpr uint32_t kAttrEnd = 0xFFFFFFFF;
inline constexpr uint32_t kAttrFreeFill = 0xFDFDFDFD;

// The last system record: records 0 to 11 never produce entries.
inline constexpr uint32_t kLastSystemRecord = 11;
inline constexpr uint32_t kRootFolderRecord = 5;

struct MftRecordHeader {
  uint16_t firstAttribute = 0;
  uint16_t flags = 0;
  uint32_t bytesInUse = 0;
  uint32_t bytesAllocated = 0;
  uint32_t recordNumber = 0;
  uint16_t updateSequence = 0;
};

// True when the bytes start with "FILE".
bool IsFileRecord(ByteView record);

MftRecordHeader ReadMftRecordHeader(ByteView record);

// Replaces the last two bytes of each of the record's sectors (i = 0 to
// n - 1, at stride x (i + 1) - 2) by the saved value at 0x32 + 2i. The values
// replaced are not compared with the sequence number: a torn record is used
// as it is. Positions outside `size` are left alone.
void ApplyFixups(uint8_t* record, size_t size, const FixupParams& fixups);

// An 8 KiB record buffer as the engines read it.
using MftRecordBuffer = std::array<uint8_t, kMftRecordRead>;

// Reads 8 KiB (8192 / BPS sectors) at an absolute sector into buffer. Near
// the end of the device, where the full read passes the last sector, only
// the record's own sectors are read; a read that brought at least the
// record's sectors counts as done. Bytes not read are zeroed. 0 or the
// reader's error (87 past the device, 30 read fault).
Status ReadMftRecord(SectorDevice& device, uint64_t sector, const NtfsGeometry& geometry, MftRecordBuffer& buffer);

// ReadMftRecord, then the "FILE" test (-1 when it fails; the buffer is left
// unfixed) and the fixups.
Status ReadFixedRecord(SectorDevice& device, uint64_t sector, const NtfsGeometry& geometry, MftRecordBuffer& buffer);

}  // namespace mendwell
