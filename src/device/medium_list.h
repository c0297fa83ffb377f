// The media list: every disk of the machine (platform/disks.h numbering)
// with its partitions, the stretches of each disk that no partition covers,
// and disks without partitions as one whole-disk record.
//
// Linux volumes have no drive letters: every record is numbered by its
// 1-based position in the whole list (`rowNumber`), partitions, stretches
// and whole disks alike, so numbers change when records before them appear
// or vanish. Every partition is listed, formatted or not. A disk this user
// may not read is listed from sysfs and the mount table (no labels, file
// systems only when mounted); one that sysfs does not know either (a
// missing image file) is left out and reported by Problems().
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/status.h"

namespace mendwell {

enum class MediumKind { kPartition, kUnallocated, kWholeDisk };

struct MediumRecord {
  // Always 0 on Linux (no drive letters); kept so that code written for
  // lettered volumes tests for a letter and falls back to rowNumber.
  char16_t driveLetter = 0;
  // MBR type byte (GPT: the byte of the same content kind), replaced by 7
  // for NTFS, 11 for FAT32 and 6 for FAT; 0 for stretches and whole disks.
  uint8_t partitionType = 0;
  int32_t diskIndex = -1;
  // Number in the partition table; 0 for stretches and whole disks.
  int32_t partitionNumber = -1;
  uint64_t totalBytes = 0;  // file system's size when mounted, else the length
  uint64_t usedBytes = 0;   // totalBytes - freeBytes
  uint64_t freeBytes = 0;   // 0 when unknown; totalBytes for stretches and whole disks
  uint64_t startSector = 0;  // in the disk's own sectors
  uint64_t sectorCount = 0;
  std::string fileSystem;   // "NTFS", "FAT32", "FAT", "exFAT", "ext4", ... or ""
  std::string volumePath;   // partition device node ("/dev/sdb1"), "" when none
  std::string volumeLabel;

  // Added for Linux.
  int32_t rowNumber = 0;       // 1-based position in the whole list
  MediumKind kind = MediumKind::kPartition;
  uint32_t bytesPerSector = 512;
  std::string mountPoint;      // "" when not mounted
  bool spaceKnown = false;     // totalBytes/freeBytes came from the mounted file system
};

// A disk that could not be examined and is therefore left out of the list.
struct MediumProblem {
  int32_t diskIndex = -1;
  std::string node;
  Status status = kOk;
};

class MediumList {
 public:
  // Rebuilds the list from the machine's disks (or MENDWELL_DISKS). Always
  // true on Linux (there is no mount manager that could be missing).
  bool Refresh();

  // Every record: disks in ascending index, each disk's records by start.
  void ListAll(std::vector<MediumRecord>* out) const;

  // Refreshes, then gives the records of `old` whose (diskIndex,
  // startSector) no longer occurs.
  void FindRemoved(const std::vector<MediumRecord>& old, std::vector<MediumRecord>* out);

  // The next record in ListAll order; false when all were given.
  bool NextRecord(MediumRecord* record);

  const std::vector<MediumProblem>& Problems() const { return problems_; }

 private:
  uint32_t bytesPerSector_ = 512;
  std::map<int32_t, std::vector<MediumRecord>> disks_;
  std::map<int32_t, std::vector<MediumRecord>>::const_iterator cursorDisk_;
  size_t cursorPos_ = 0;
  bool cursorValid_ = false;
  std::vector<MediumProblem> problems_;
};

// The whole-disk facts the media list shows on a disk row.
struct DiskSummary {
  int32_t diskIndex = -1;
  std::string node;
  std::string model;
  uint64_t lengthBytes = 0;
  bool removable = false;
};

// Summary of disk N; false when the disk does not exist.
bool DescribeDisk(int32_t diskIndex, DiskSummary* summary);

}  // namespace mendwell
