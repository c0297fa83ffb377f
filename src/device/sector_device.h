// Sector device access: opening disks and image files, bounded reads of
// sector runs at 64-bit sector numbers, and the chunked read and write loops
// used on ordinary files.
//
// Every operation returns 0 or a status code (platform/status.h) and never
// throws. Data moves in chunks of at most 64 KiB; the layer has no cache, no
// retry and no alignment handling. Sources are opened read-only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/status.h"

namespace mendwell {

inline constexpr uint32_t kIoChunkBytes = 0x10000;

// One opened medium. For a disk, sectorCount is in the disk's own sectors;
// for an image file it is always in 512-byte sectors, whatever sector size
// the caller later reads with. The sector size travels with every read,
// because it belongs to the file system being decoded, not to the handle.
struct SectorDevice {
  FileHandle handle;
  uint64_t sectorCount = 0;
};

// Opens disk N (platform/disks.h numbering) and fills sectorCount from its
// length, or from the geometry product when the length is 0.
Status OpenDiskDevice(SectorDevice& device, int diskIndex);

// Opens an image file; sectorCount = size / 512. A folder is refused (267).
Status OpenImageDevice(SectorDevice& device, const std::string& path);

// Reads count sectors from firstSector into buffer. 87 when the run passes
// sectorCount (nothing read, sectorsRead untouched) or when its byte length
// does not fit a signed 32-bit value; 30 when a read fails or returns 0
// bytes, with *sectorsRead set to the whole sectors that arrived.
Status ReadSectors(SectorDevice& device, void* buffer, uint64_t firstSector, uint32_t count, uint32_t bytesPerSector,
                   uint32_t* sectorsRead);

// Closes the device; a second call does nothing.
void CloseDevice(SectorDevice& device);

// The read loop of ReadSectors at the handle's current position, without
// bound check or seek. 0 or 30.
Status ReadRun(FileHandle& handle, void* buffer, uint32_t count, uint32_t bytesPerSector, uint32_t* sectorsRead);

// Writes count sectors at the current position. A failed or empty write
// returns its status; *sectorsWritten is set on every path.
Status WriteRun(FileHandle& handle, const void* buffer, uint32_t count, uint32_t bytesPerSector,
                uint32_t* sectorsWritten);

// Reads byteCount bytes at the current position. 0 when all arrived, 30
// after a failed or empty read; *bytesRead is set on both paths.
Status ReadWholeFile(FileHandle& handle, void* buffer, uint64_t byteCount, uint64_t* bytesRead);

// Free bytes of a volume, given as its partition device node or its mount
// point (Linux volumes have no drive letters).
Status VolumeFreeBytes(const std::string& volume, uint64_t* bytes);

// File-system name of a volume ("NTFS", "FAT32", "FAT", ...), at most 32
// characters.
Status VolumeFileSystemName(const std::string& volume, std::string* name);

// Length in bytes of disk N.
Status DiskLengthBytes(int diskIndex, uint64_t* bytes);

// Logical sector size of an opened device; 512 for image files or when the
// geometry cannot be read.
uint32_t DeviceSectorSize(const SectorDevice& device);

// Reads the first `length` bytes of a volume that starts at startSector
// (in the device's own sectors). 30 when fewer bytes are there.
Status ReadVolumeStart(SectorDevice& device, uint64_t startSector, uint8_t* buffer, size_t length);

// Flushes cached writes of the mounted volume that starts at startSector of
// disk N, so that raw reads see them. Failures are ignored: an unmounted or
// unknown volume has nothing to flush.
void FlushVolumeAt(int diskIndex, uint64_t startSector);

// Whether disk N is removable or on a USB or SD bus; false when it cannot be
// opened.
bool IsRemovableDisk(int diskIndex);

}  // namespace mendwell
