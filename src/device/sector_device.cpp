#include "device/sector_device.h"

#include <algorithm>
#include <climits>

#include "platform/disks.h"
#include "platform/volumes.h"

namespace mendwell {

namespace {

// The read loop shared by ReadSectors and ReadRun: chunks of at most 64 KiB,
// the chunk lowered to what remains and never raised again. When `offset` is
// given the reads are positioned (pread), otherwise they use the current
// position.
Status ReadLoop(FileHandle& handle, const uint64_t* offset, uint8_t* buffer, uint64_t total, uint64_t* done) {
  uint64_t chunk = kIoChunkBytes;
  *done = 0;
  while (*done < total) {
    uint64_t remaining = total - *done;
    if (remaining < chunk) chunk = remaining;
    size_t got = 0;
    Status st = offset ? handle.ReadAtSome(*offset + *done, buffer + *done, chunk, &got)
                       : handle.ReadSome(buffer + *done, chunk, &got);
    if (st != kOk || got == 0) return kErrReadFault;
    *done += got;
  }
  return kOk;
}

bool RunLengthFits(uint32_t count, uint32_t bytesPerSector) {
  return static_cast<uint64_t>(count) * bytesPerSector <= static_cast<uint64_t>(INT32_MAX);
}

}  // namespace

Status OpenDiskDevice(SectorDevice& device, int diskIndex) {
  CloseDevice(device);
  std::string node;
  Status st = DiskNodePath(diskIndex, &node);
  if (st != kOk) return st;
  st = device.handle.OpenReadOnly(node);
  if (st != kOk) return st;
  DiskGeometry geometry;
  st = QueryGeometry(device.handle, &geometry);
  if (st != kOk) return st;
  uint64_t length = 0;
  if (QueryLengthBytes(device.handle, &length) == kOk) device.sectorCount = length / geometry.bytesPerSector;
  if (device.sectorCount == 0)
    device.sectorCount =
        geometry.cylinders * (static_cast<uint64_t>(geometry.tracksPerCylinder) * geometry.sectorsPerTrack);
  return kOk;
}

Status OpenImageDevice(SectorDevice& device, const std::string& path) {
  CloseDevice(device);
  Status st = device.handle.OpenReadOnly(path);
  if (st != kOk) return st;
  if (device.handle.IsDirectory()) {
    device.handle.Close();
    return kErrDirectory;
  }
  uint64_t size = 0;
  st = device.handle.Size(&size);
  if (st != kOk) return st;
  device.sectorCount = size / 512;
  return kOk;
}

Status ReadSectors(SectorDevice& device, void* buffer, uint64_t firstSector, uint32_t count, uint32_t bytesPerSector,
                   uint32_t* sectorsRead) {
  if (firstSector > device.sectorCount || count > device.sectorCount - firstSector) return kErrInvalidParameter;
  if (bytesPerSector == 0 || !RunLengthFits(count, bytesPerSector)) return kErrInvalidParameter;
  if (!device.handle.valid()) return kErrInvalidHandle;
  uint64_t offset = firstSector * bytesPerSector;
  if (firstSector != 0 && offset / bytesPerSector != firstSector) return kErrInvalidParameter;
  uint64_t done = 0;
  Status st = ReadLoop(device.handle, &offset, static_cast<uint8_t*>(buffer),
                       static_cast<uint64_t>(count) * bytesPerSector, &done);
  if (sectorsRead) *sectorsRead = static_cast<uint32_t>(done / bytesPerSector);
  return st;
}

void CloseDevice(SectorDevice& device) {
  device.handle.Close();
}

Status ReadRun(FileHandle& handle, void* buffer, uint32_t count, uint32_t bytesPerSector, uint32_t* sectorsRead) {
  if (bytesPerSector == 0 || !RunLengthFits(count, bytesPerSector)) return kErrInvalidParameter;
  uint64_t done = 0;
  Status st = ReadLoop(handle, nullptr, static_cast<uint8_t*>(buffer), static_cast<uint64_t>(count) * bytesPerSector,
                       &done);
  if (sectorsRead) *sectorsRead = static_cast<uint32_t>(done / bytesPerSector);
  return st;
}

Status WriteRun(FileHandle& handle, const void* buffer, uint32_t count, uint32_t bytesPerSector,
                uint32_t* sectorsWritten) {
  if (bytesPerSector == 0 || !RunLengthFits(count, bytesPerSector)) return kErrInvalidParameter;
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  uint64_t total = static_cast<uint64_t>(count) * bytesPerSector;
  uint64_t done = 0;
  Status result = kOk;
  while (done < total) {
    size_t wrote = 0;
    Status st = handle.WriteSome(bytes + done, total - done, &wrote);
    if (st != kOk) {
      result = st;
      break;
    }
    if (wrote == 0) {
      result = kErrDiskFull;
      break;
    }
    done += wrote;
  }
  if (sectorsWritten) *sectorsWritten = static_cast<uint32_t>(done / bytesPerSector);
  return result;
}

Status ReadWholeFile(FileHandle& handle, void* buffer, uint64_t byteCount, uint64_t* bytesRead) {
  Status st = ReadLoop(handle, nullptr, static_cast<uint8_t*>(buffer), byteCount, bytesRead);
  return st;
}

Status VolumeFreeBytes(const std::string& volume, uint64_t* bytes) {
  std::string mountPoint = ResolveMountPoint(volume);
  if (mountPoint.empty()) return kErrNotReady;
  return VolumeSpace(mountPoint, nullptr, bytes);
}

Status VolumeFileSystemName(const std::string& volume, std::string* name) {
  std::string source = volume;
  for (const MountInfo& m : ListMounts()) {
    if (m.mountPoint == volume) {
      source = m.source;
      break;
    }
  }
  std::string type;
  Status st = ProbeFileSystem(source, 0, 0, &type, nullptr);
  if (st != kOk) return st;
  if (type.empty()) return kErrNotSupported;
  *name = type.substr(0, 32);
  return kOk;
}

Status DiskLengthBytes(int diskIndex, uint64_t* bytes) {
  std::string node;
  Status st = DiskNodePath(diskIndex, &node);
  if (st != kOk) return st;
  FileHandle handle;
  st = handle.OpenReadOnly(node);
  if (st != kOk) return st;
  return QueryLengthBytes(handle, bytes);
}

uint32_t DeviceSectorSize(const SectorDevice& device) {
  DiskGeometry geometry;
  if (!device.handle.valid() || QueryGeometry(device.handle, &geometry) != kOk || geometry.bytesPerSector == 0)
    return 512;
  return geometry.bytesPerSector;
}

Status ReadVolumeStart(SectorDevice& device, uint64_t startSector, uint8_t* buffer, size_t length) {
  return device.handle.ReadAll(startSector * DeviceSectorSize(device), buffer, length);
}

void FlushVolumeAt(int diskIndex, uint64_t startSector) {
  std::string node = PartitionNodeAt(diskIndex, startSector);
  if (node.empty()) return;
  FileHandle volume;
  if (volume.OpenReadOnly(node) == kOk) volume.Sync();
}

bool IsRemovableDisk(int diskIndex) {
  std::string node;
  if (DiskNodePath(diskIndex, &node) != kOk) return false;
  FileHandle handle;
  if (handle.OpenReadOnly(node) != kOk) return false;
  return DiskIsRemovable(diskIndex);
}

}  // namespace mendwell
