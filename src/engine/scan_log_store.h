// The scan-log store: numbered log folders under the per-user data folder,
// and the index file "config" that remembers, for each medium scanned in
// professional mode, where its log is and how far the scan got, so that a
// scan of the same unchanged medium can be resumed or reopened later.
//
// Index file (little-endian): an 8-byte log-folder counter, then 1120-byte
// entries (see EncodeScanLogEntry). It is rewritten through "config.tmp"
// so that an interrupted save never loses the index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_view.h"
#include "platform/status.h"
#include "platform/time.h"

namespace mendwell {

inline constexpr size_t kScanLogEntrySize = 1120;
inline constexpr size_t kScanLogHeaderSize = 8;
// Disk index written for image files.
inline constexpr int32_t kImageDiskIndex = 128;

// Where an interrupted professional scan stands; written and read by the
// combined engine, kept here.
struct ResumePosition {
  uint64_t extentStart = 0;   // start of the extent being scanned, relative to the medium
  uint64_t extentLength = 0;  // its length in sectors
  uint64_t extentOffset = 0;  // sectors of it already scanned
  uint64_t sectorsDone = 0;
  uint64_t filesFound = 0;
};

struct ScanLogEntry {
  int32_t diskIndex = 0;  // @0 (4 reserved bytes follow)
  uint64_t startSector = 0;   // @8
  uint64_t sectorCount = 0;   // @16
  ResumePosition resume;      // @24..63
  uint64_t freeBytes = 0;     // @64 volume free bytes when written (0 unmounted/image)
  uint64_t imageTime = 0;     // @72 image last-write FILETIME (0 for partitions)
  std::string imagePath;      // @80 520 bytes UTF-16, NUL-terminated
  std::string logFolder;      // @600 520 bytes UTF-16, ends with "/"
};

void EncodeScanLogEntry(const ScanLogEntry& entry, uint8_t out[kScanLogEntrySize]);
ScanLogEntry DecodeScanLogEntry(ByteView bytes);

// A log name: prefix + start sector + local year, month, day, hour and
// minute, "%lld_%d%d%d%d%2d" (no separators, minute padded with a blank).
std::string MakeLogName(const char* prefix, uint64_t startSector, const CalendarTime& localTime);

class ScanLogStore {
 public:
  // root: the folder holding "config" and the numbered log folders.
  explicit ScanLogStore(std::string root);

  const std::string& root() const { return root_; }
  uint64_t counter() const { return counter_; }
  const std::vector<ScanLogEntry>& entries() const { return entries_; }

  // Loads "config" (renaming a leftover "config.tmp" first when "config" is
  // missing). Only complete entries are loaded.
  void LoadIndex();
  // Writes "config.tmp" completely, then puts it in place of "config".
  Status SaveIndex();

  // The found entry's log folder, else root/<counter>/.
  std::string CurrentLogFolder() const;
  // Next folder number; a leftover folder with that number is emptied.
  void NewScanFolder();

  // Looks a partition up by disk index, start, count and its volume's
  // current free bytes (0 when not mounted). Found: sets the "found" mark
  // (CurrentLogFolder becomes the entry's folder) and copies the entry.
  // An entry whose free bytes differ is deleted with its folder.
  bool LookupPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, ScanLogEntry* out);
  // The same for an image file, by path and last-write time.
  bool LookupImage(const std::string& imagePath, ScanLogEntry* out);

  // Updates the medium's entry (or appends one) with the resume values, then
  // saves the index. imagePath empty means a partition.
  Status SaveEntry(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, const ResumePosition& position,
                   const std::string& logFolder, const std::string& imagePath);

  // Removes the folder's index entry (the file is rewritten at the next
  // save) and deletes the folder with its content. Only folders inside the
  // root are ever deleted.
  void DeleteLogFolder(const std::string& folder);

  // The first name in folder (not starting with ".") containing prefix.
  static bool FindLogByPrefix(const std::string& prefix, const std::string& folder, std::string* name);

  // The matching rules behind the lookups; a changed medium's entry and
  // folder are deleted and nullptr is returned.
  const ScanLogEntry* FindPartitionEntry(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount,
                                         uint64_t freeBytes);
  const ScanLogEntry* FindImageEntry(const std::string& imagePath, uint64_t imageTime);

 private:
  std::string ConfigPath() const { return root_ + "/config"; }
  std::string TempConfigPath() const { return root_ + "/config.tmp"; }
  bool IsInsideRoot(const std::string& folder) const;

  std::string root_;
  uint64_t counter_ = 0;
  std::vector<ScanLogEntry> entries_;
  bool found_ = false;
  std::string foundFolder_;
};

// "<per-user data folder>/Quarvel Mendwell/ScanLog".
std::string DefaultScanLogRoot();

// The process-wide store, built (and its index loaded) on first use.
ScanLogStore& GetScanLogStore();

// Free bytes of the mounted volume at a partition of disk N; 0 when the
// partition is not mounted (or is part of an image file).
uint64_t PartitionVolumeFreeBytes(int32_t diskIndex, uint64_t startSector);

}  // namespace mendwell
