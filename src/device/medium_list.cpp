#include "device/medium_list.h"

#include <algorithm>

#include "device/sector_device.h"
#include "platform/disks.h"
#include "platform/file.h"
#include "platform/partition_table.h"
#include "platform/volumes.h"

namespace mendwell {

namespace {

// The highest disk number the program looks at (disk indexes 0 to 127).
constexpr size_t kMaxDisks = 128;

uint8_t TypeForFileSystem(const std::string& fileSystem, uint8_t tableType) {
  if (fileSystem == "NTFS") return 7;
  if (fileSystem == "FAT32") return 11;
  if (fileSystem == "FAT") return 6;
  return tableType;
}

// Names of kernel file-system types as users know them, for volumes whose
// disk cannot be read and so cannot be probed.
std::string KernelTypeName(const std::string& kernelType) {
  if (kernelType == "vfat" || kernelType == "msdos") return "FAT";
  if (kernelType == "ntfs" || kernelType == "ntfs3") return "NTFS";
  if (kernelType == "exfat") return "exFAT";
  return kernelType;
}

// Where a partition is mounted and its kernel file-system type.
std::string MountOf(const std::string& node, std::string* kernelType) {
  std::string mountPoint = MountPointOfDevice(node);
  if (kernelType && !mountPoint.empty())
    for (const MountInfo& m : ListMounts())
      if (m.mountPoint == mountPoint) *kernelType = m.fsType;
  return mountPoint;
}

// One partition of a disk: where it lies (still in bytes), what it holds,
// and its sizes, from the mounted file system when there is one. `node` is
// the partition's device node when known. With `probe` the file system and
// label are read from the disk; without, they come from the mount table.
MediumRecord ExamineVolume(int32_t diskIndex, const std::string& diskNode, const std::string& node, bool probe,
                           uint32_t bytesPerSector, uint64_t startBytes, uint64_t lengthBytes, int32_t number,
                           uint8_t typeByte) {
  MediumRecord r;
  r.kind = MediumKind::kPartition;
  r.diskIndex = diskIndex;
  r.partitionNumber = number;
  r.bytesPerSector = bytesPerSector;
  r.startSector = startBytes;
  r.sectorCount = lengthBytes;
  r.volumePath = node;
  std::string kernelType;
  if (!r.volumePath.empty()) r.mountPoint = MountOf(r.volumePath, &kernelType);
  std::string fileSystem, label;
  if (probe && ProbeFileSystem(diskNode, startBytes, lengthBytes, &fileSystem, &label) == kOk) {
    r.fileSystem = fileSystem.substr(0, 32);
    r.volumeLabel = label;
  } else if (!probe) {
    r.fileSystem = KernelTypeName(kernelType).substr(0, 32);
  }
  r.partitionType = TypeForFileSystem(r.fileSystem, typeByte);
  uint64_t total = 0, free = 0;
  if (!r.mountPoint.empty() && VolumeSpace(r.mountPoint, &total, &free) == kOk) {
    r.totalBytes = total;
    r.freeBytes = std::min(free, total);
    r.spaceKnown = true;
  } else {
    r.totalBytes = lengthBytes;
    r.freeBytes = 0;
  }
  r.usedBytes = r.totalBytes - r.freeBytes;
  return r;
}

MediumRecord FreeRecord(MediumKind kind, int32_t diskIndex, uint64_t start, uint64_t count, uint32_t bytesPerSector) {
  MediumRecord r;
  r.kind = kind;
  r.partitionType = 0;
  r.diskIndex = diskIndex;
  r.partitionNumber = 0;
  r.bytesPerSector = bytesPerSector;
  r.startSector = start;
  r.sectorCount = count;
  r.totalBytes = r.freeBytes = count * bytesPerSector;
  r.usedBytes = 0;
  r.spaceKnown = true;
  return r;
}

bool ByStart(const MediumRecord& a, const MediumRecord& b) { return a.startSector < b.startSector; }

}  // namespace

bool MediumList::Refresh() {
  disks_.clear();
  problems_.clear();
  cursorValid_ = false;
  cursorPos_ = 0;
  std::vector<std::string> nodes = ListDiskNodes();
  for (size_t i = 0; i < nodes.size() && i < kMaxDisks; ++i) {
    const int32_t index = static_cast<int32_t>(i);
    const std::string& node = nodes[i];
    FileHandle handle;
    Status st = handle.OpenReadOnly(node);
    if (st == kOk && handle.IsDirectory()) st = kErrDirectory;
    DiskGeometry geometry;
    if (st == kOk) st = QueryGeometry(handle, &geometry);
    uint64_t lengthBytes = 0;
    if (st == kOk) st = QueryLengthBytes(handle, &lengthBytes);
    handle.Close();
    std::vector<MediumRecord> records;
    uint32_t bps = 512;
    if (st == kOk) {
      bps = geometry.bytesPerSector ? geometry.bytesPerSector : 512;
      std::vector<PartitionEntry> entries;
      std::string tableType;
      if (ReadPartitionTable(node, &entries, &tableType) == kOk) {
        for (const PartitionEntry& e : entries) {
          if (e.startBytes >= lengthBytes) continue;  // a hostile table pointing past the disk
          uint64_t length = std::min(e.lengthBytes, lengthBytes - e.startBytes);
          records.push_back(ExamineVolume(index, node, PartitionNodeAt(index, e.startBytes / bps), true, bps,
                                          e.startBytes, length, e.number, e.typeByte));
        }
        if (tableType.empty()) {
          // No table: a file system may fill the whole disk (a "superfloppy").
          MediumRecord whole = ExamineVolume(index, node, IsBlockDevicePath(node) ? node : std::string(), true, bps,
                                             0, lengthBytes, 0, 0);
          if (!whole.fileSystem.empty()) records.push_back(whole);
        }
      }
    } else {
      // A disk this user may not read: list what sysfs and the mount table
      // tell, so that it is not missing from the list.
      std::vector<SysfsPartition> parts;
      if (!SysfsDiskLayout(index, &lengthBytes, &bps, &parts)) {
        problems_.push_back({index, node, st});
        continue;
      }
      geometry = DiskGeometry();
      geometry.bytesPerSector = bps;
      geometry.tracksPerCylinder = 255;
      geometry.sectorsPerTrack = 63;
      geometry.cylinders = lengthBytes / (255ULL * 63 * bps);
      for (const SysfsPartition& p : parts)
        if (p.startBytes < lengthBytes)
          records.push_back(ExamineVolume(index, node, p.node, false, bps, p.startBytes,
                                          std::min(p.lengthBytes, lengthBytes - p.startBytes), p.number, 0));
      if (parts.empty()) {
        MediumRecord whole = ExamineVolume(index, node, node, false, bps, 0, lengthBytes, 0, 0);
        if (!whole.mountPoint.empty()) records.push_back(whole);
      }
    }
    bytesPerSector_ = bps;
    const uint64_t sectorsPerCylinder = static_cast<uint64_t>(geometry.tracksPerCylinder) * geometry.sectorsPerTrack;
    // The geometry product drops the last partial cylinder (a small stick
    // would have none at all), so the length decides where the disk ends.
    uint64_t totalSectors = lengthBytes / bps;
    if (totalSectors == 0) totalSectors = geometry.cylinders * sectorsPerCylinder;

    if (records.empty()) {
      disks_[index].push_back(FreeRecord(MediumKind::kWholeDisk, index, 0, totalSectors, bps));
      continue;
    }
    std::stable_sort(records.begin(), records.end(), ByStart);
    std::vector<MediumRecord> stretches;
    uint64_t previousEnd = geometry.sectorsPerTrack;
    for (MediumRecord& r : records) {
      r.startSector /= bps;
      r.sectorCount /= bps;
      if (r.startSector > previousEnd && r.startSector - previousEnd > sectorsPerCylinder)
        stretches.push_back(FreeRecord(MediumKind::kUnallocated, index, previousEnd, r.startSector - previousEnd, bps));
      // A partition nested in an earlier one must not pull the end back.
      previousEnd = std::max(previousEnd, r.startSector + r.sectorCount);
    }
    if (totalSectors > previousEnd && totalSectors - previousEnd > sectorsPerCylinder)
      stretches.push_back(FreeRecord(MediumKind::kUnallocated, index, previousEnd, totalSectors - previousEnd, bps));
    records.insert(records.end(), stretches.begin(), stretches.end());
    std::stable_sort(records.begin(), records.end(), ByStart);
    disks_[index] = std::move(records);
  }
  int32_t counter = 1;
  for (auto& [index, records] : disks_)
    for (MediumRecord& r : records) r.rowNumber = counter++;
  return true;
}

void MediumList::ListAll(std::vector<MediumRecord>* out) const {
  out->clear();
  for (const auto& [index, records] : disks_) out->insert(out->end(), records.begin(), records.end());
}

void MediumList::FindRemoved(const std::vector<MediumRecord>& old, std::vector<MediumRecord>* out) {
  Refresh();
  for (const MediumRecord& r : old) {
    bool present = false;
    auto it = disks_.find(r.diskIndex);
    if (it != disks_.end())
      for (const MediumRecord& now : it->second)
        if (now.startSector == r.startSector) present = true;
    if (!present) out->push_back(r);
  }
}

bool MediumList::NextRecord(MediumRecord* record) {
  if (!cursorValid_) {
    cursorDisk_ = disks_.begin();
    cursorPos_ = 0;
    cursorValid_ = true;
  }
  while (cursorDisk_ != disks_.end() && cursorPos_ >= cursorDisk_->second.size()) {
    ++cursorDisk_;
    cursorPos_ = 0;
  }
  if (cursorDisk_ == disks_.end()) return false;
  *record = cursorDisk_->second[cursorPos_++];
  return true;
}

bool DescribeDisk(int32_t diskIndex, DiskSummary* summary) {
  DiskSummary s;
  s.diskIndex = diskIndex;
  if (DiskNodePath(diskIndex, &s.node) != kOk) return false;
  s.model = DiskModel(diskIndex);
  s.removable = DiskIsRemovable(diskIndex);
  if (DiskLengthBytes(diskIndex, &s.lengthBytes) != kOk) {
    uint32_t sectorSize = 0;
    std::vector<SysfsPartition> parts;
    if (!SysfsDiskLayout(diskIndex, &s.lengthBytes, &sectorSize, &parts)) s.lengthBytes = 0;
  }
  *summary = s;
  return true;
}

}  // namespace mendwell
