// Partition tables of disks and image files (libblkid), and the few file
// identity questions the media list and the image copier ask.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace mendwell {

struct PartitionEntry {
  int number = 0;            // the partition's number in its table (1-based)
  uint64_t startBytes = 0;   // offset from the start of the disk
  uint64_t lengthBytes = 0;
  uint8_t typeByte = 0;      // MBR type byte; for GPT, the byte of the same content kind
  std::string typeString;    // GPT type GUID, or "0x07" for MBR
};

// Reads the partition table of a disk or image file. Extended (container)
// MBR partitions are left out; their logical partitions are listed. A
// medium without a recognised table gives an empty list and *tableType "".
// *tableType is "dos" or "gpt" otherwise. Errors: 5 when the medium cannot
// be opened.
Status ReadPartitionTable(const std::string& path, std::vector<PartitionEntry>* entries, std::string* tableType);

// Whether a path names a block device.
bool IsBlockDevicePath(const std::string& path);

// Whether two paths name the same file or the same block device.
bool SameFileOrDevice(const std::string& a, const std::string& b);

// Whether `path` is the block device or file `source`, or, both being block
// devices, a partition of it or the disk it belongs to.
bool OverlapsDevice(const std::string& path, const std::string& source);

// Whether the file system holding `path` (its folder when the file does
// not exist yet) lives on the block device `node`: the device itself, or,
// when `node` is a whole disk, one of its partitions.
bool PathIsOnDevice(const std::string& path, const std::string& node);

// The device node of the file system holding a path (from the mount
// table; "" when unknown), with its mount point and kernel type.
bool MountOfPath(const std::string& path, std::string* source, std::string* mountPoint, std::string* kernelType);

}  // namespace mendwell
