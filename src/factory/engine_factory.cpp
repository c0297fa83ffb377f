#include "factory/engine_factory.h"

#include <vector>

#include "device/sector_device.h"
#include "engine/fast_ext_recovery.h"
#include "fat/fast_fat_engine.h"
#include "ntfs/fast_ntfs_engine.h"

namespace mendwell {

namespace {

// Classifies the first 16 KiB of the volume at startSector of a device.
Status ClassifyVolumeStart(SectorDevice& device, uint64_t startSector, FileSystemClass* result) {
  std::vector<uint8_t> first(kClassifyBytes);
  Status st = ReadVolumeStart(device, startSector, first.data(), first.size());
  if (st == kOk) *result = ClassifyFileSystem(ByteView(first.data(), first.size()));
  return st;
}

// The engine for a file-system class and mode, not yet opened; null when
// there is none.
std::unique_ptr<IFileRecoveryParse> BuildEngine(FileSystemClass fsClass, int32_t professional) {
  if (professional != 0) {
    // The combined professional engine is not built yet.
    return nullptr;
  }
  switch (fsClass) {
    case FileSystemClass::kExt:
      return std::make_unique<CFastExtRecovery>();
    case FileSystemClass::kFat:
      return std::make_unique<CFastFatRecovery>();
    case FileSystemClass::kNtfs:
      return std::make_unique<CFastNtfsRecovery>();
    case FileSystemClass::kOther:
      return nullptr;
  }
  return nullptr;
}

}  // namespace

Status ClassifyPartition(int32_t diskIndex, uint64_t startSector, FileSystemClass* result) {
  SectorDevice disk;
  Status st = OpenDiskDevice(disk, diskIndex);
  if (st != kOk) return st;
  FlushVolumeAt(diskIndex, startSector);
  return ClassifyVolumeStart(disk, startSector, result);
}

Status ClassifyImage(const std::string& path, FileSystemClass* result) {
  SectorDevice image;
  Status st = OpenImageDevice(image, path);
  if (st != kOk) return st;
  return ClassifyVolumeStart(image, 0, result);
}

std::unique_ptr<IFileRecoveryParse> CreatePartitionEngine(int32_t diskIndex, uint64_t startSector,
                                                          uint64_t sectorCount, uint16_t tag, int32_t professional) {
  FileSystemClass fsClass;
  if (ClassifyPartition(diskIndex, startSector, &fsClass) != kOk) return nullptr;
  std::unique_ptr<IFileRecoveryParse> engine = BuildEngine(fsClass, professional);
  // A failed open shows up later as read errors, as with any unreadable
  // medium.
  if (engine) engine->OpenPartition(diskIndex, startSector, sectorCount, tag);
  return engine;
}

std::unique_ptr<IFileRecoveryParse> CreateImageEngine(const std::string& path, uint16_t tag, int32_t professional) {
  FileSystemClass fsClass;
  if (ClassifyImage(path, &fsClass) != kOk) return nullptr;
  std::unique_ptr<IFileRecoveryParse> engine = BuildEngine(fsClass, professional);
  if (engine) engine->OpenImage(path, tag);
  return engine;
}

std::unique_ptr<IFileRecoveryParse> CreateRowEngine(const MediumRow& row, int32_t professional) {
  if (row.kind == MediumRow::Kind::kImage) return CreateImageEngine(row.imagePath, row.tag, professional);
  return CreatePartitionEngine(row.diskIndex, row.startSector, row.sectorCount, row.tag, professional);
}

}  // namespace mendwell
