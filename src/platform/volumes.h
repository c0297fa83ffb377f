// Volumes: mount points, free space and file-system probing.
//
// Linux volumes have no drive letters; a volume is known by its partition
// device node or by its mount point. A "volume" argument below may be
// either.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace mendwell {

struct MountInfo {
  std::string source;      // device node as mounted ("/dev/sdb1")
  std::string mountPoint;  // "/media/usb"
  std::string fsType;      // kernel file-system type ("vfat")
  uint64_t device = 0;     // st_dev of the mounted file system (major:minor)
};

// Every mount of /proc/self/mountinfo, in file order.
std::vector<MountInfo> ListMounts();

// The first mount point of a device node ("" when not mounted).
std::string MountPointOfDevice(const std::string& deviceNode);

// The mount point a volume argument stands for: a directory is taken as it
// is, a device node is looked up in the mount table.
std::string ResolveMountPoint(const std::string& volume);

// Total and free bytes of the file system mounted at a folder (statvfs).
Status VolumeSpace(const std::string& mountPoint, uint64_t* totalBytes, uint64_t* freeBytes);

// The file system found at a byte range of a device or image file, named as
// users know it: "NTFS", "FAT32", "FAT" (FAT12/16), "exFAT", "ext4", ...
// *type is empty when nothing is recognised.
Status ProbeFileSystem(const std::string& path, uint64_t offsetBytes, uint64_t sizeBytes, std::string* type,
                       std::string* label);

// The device number (st_dev) of the file system holding a path, and the
// device number (st_rdev) a device node stands for.
Status FileSystemDeviceOf(const std::string& path, uint64_t* device);
Status DeviceNumberOfNode(const std::string& node, uint64_t* device);

}  // namespace mendwell
