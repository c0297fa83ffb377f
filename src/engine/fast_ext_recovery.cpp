#include "engine/fast_ext_recovery.h"

namespace mendwell {

Status CFastExtRecovery::OpenImage(const std::string& path, uint16_t) {
  Status st = OpenImageDevice(device_, path);
  startSector_ = 0;
  sectorCount_ = device_.sectorCount;
  return st;
}

Status CFastExtRecovery::OpenPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, uint16_t) {
  startSector_ = startSector;
  sectorCount_ = sectorCount;
  return OpenDiskDevice(device_, diskIndex);
}

Status CFastExtRecovery::CountFiles(const FileRecord*, int32_t, uint32_t* count) {
  if (count) *count = 0;
  return kOk;
}

}  // namespace mendwell
