// Physical disks of the machine, as the rest of the program numbers them.
//
// Disk N is the N-th whole disk of /sys/block sorted by name (sd*, hd*, vd*,
// xvd*, nvme*n*, mmcblk*, and loop devices with a backing file). When the
// environment variable MENDWELL_DISKS is set (image files separated by ":"),
// it replaces the machine's list: disk i is the i-th file. Tests, demos and
// benchmarks use it with partitioned image files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/status.h"

namespace mendwell {

// Disk geometry as the program uses it. Cylinders, heads and sectors per
// track are synthesised (255 heads x 63 sectors) from the length, as a BIOS
// would report them for a large disk.
struct DiskGeometry {
  uint64_t cylinders = 0;
  uint32_t tracksPerCylinder = 0;
  uint32_t sectorsPerTrack = 0;
  uint32_t bytesPerSector = 512;
  bool removableMedia = false;
};

// Device nodes (or image paths) of the disks, in index order.
std::vector<std::string> ListDiskNodes();

// The device node of disk N; 2 (file not found) when there is no such disk.
Status DiskNodePath(int diskIndex, std::string* path);

// Geometry of an open disk or image file: logical sector size from
// BLKSSZGET (512 for files), CHS synthesised from the length.
Status QueryGeometry(const FileHandle& handle, DiskGeometry* geometry);

// Length in bytes of an open disk or image file.
Status QueryLengthBytes(const FileHandle& handle, uint64_t* bytes);

// Whether disk N is removable or sits on a USB or MMC/SD bus (sysfs). Image
// files given through MENDWELL_DISKS are not removable.
bool DiskIsRemovable(int diskIndex);

// The model text sysfs gives for disk N ("" when unknown).
std::string DiskModel(int diskIndex);

}  // namespace mendwell

namespace mendwell {

// The device node of the partition of disk N that starts at a sector (in
// the disk's sectors), found through /sys/class/block; "" when there is
// none (image files, unpartitioned space).
std::string PartitionNodeAt(int diskIndex, uint64_t startSector);

}  // namespace mendwell

namespace mendwell {

// A partition as sysfs describes it (offsets in bytes).
struct SysfsPartition {
  int number = 0;
  uint64_t startBytes = 0;
  uint64_t lengthBytes = 0;
  std::string node;  // "/dev/sdb1"
};

// What sysfs tells of disk N without opening it: its length, its logical
// sector size and its partitions in sysfs order. False for image files
// given through MENDWELL_DISKS and for disks sysfs does not know.
bool SysfsDiskLayout(int diskIndex, uint64_t* lengthBytes, uint32_t* sectorSize,
                     std::vector<SysfsPartition>* partitions);

}  // namespace mendwell
