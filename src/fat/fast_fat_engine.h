// CFastFatRecovery: the deleted-files engine for FAT12/16/32 volumes whose
// boot sector and FAT are still in place.
//
// Its scan walks the folder tree from the root, breadth first, reading every
// folder it can reach (deleted ones too), and reports every deleted file and
// every file inside a deleted folder, then the folders that lead to them so
// they can be shown as a tree. Recovery follows each file's cluster chain
// and, where deletion erased it, takes the data to continue through free
// clusters. For the combined professional engine it also maps the clusters
// the FAT marks in use, so that carving looks at free space only.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/sector_device.h"
#include "engine/engine_interface.h"
#include "engine/result_store.h"
#include "fat/fat_boot_sector.h"
#include "fat/fat_directory.h"
#include "fat/fat_recovery_reads.h"
#include "fat/fat_window.h"

namespace mendwell {

// Clusters larger than this are refused when copying (status 29).
inline constexpr uint32_t kMaxCopyClusterBytes = 104857600;

class CFastFatRecovery : public IFileRecoveryParse {
 public:
  CFastFatRecovery();
  ~CFastFatRecovery() override;

  Status OpenImage(const std::string& path, uint16_t tag) override;
  Status OpenPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, uint16_t tag) override;
  Status SetCallbacks(ScanProgressFn scanProgress, CopyProgressFn copyProgress, void* user, int32_t scale) override;
  Status Scan(const char* logName) override;
  Status ListChildren(const FileRecord* folder, int32_t depth, std::vector<FileRecord>& out) override;
  Status CountFiles(const FileRecord* folder, int32_t depth, uint32_t* count) override;
  uint64_t GetFoundCount() override;
  Status GetPath(const FileRecord* record, std::string* path) override;
  Status Recover(const FileRecord* record, const std::string& destinationPath, int32_t depthBase) override;
  int32_t NextFreeExtent(uint64_t* position, uint64_t* length) override;
  Status SetListCallback(ListProgressFn fn, void* user) override;
  int32_t ListByType(const std::string& filter, std::vector<FileRecord>& out) override;
  Status PrepareFreeMap() override;
  Status Extract(const FileRecord* record, std::string* pathOut, uint8_t* buffer, uint32_t* size,
                 ExtractProgressFn progress, void* user) override;

  const FatGeometry& geometry() const { return geometry_; }
  const std::string& logName() const { return logName_; }

 private:
  // Where a copy goes: a file, or the caller's memory.
  struct CopySink;

  Status OpenBoot(uint64_t startSector, uint64_t sectorCount, uint16_t tag);
  int32_t Report(int32_t percent, int32_t secondsLeft);
  void ReadFolder(uint32_t cluster);
  // The fields folder and file records share, from a directory entry.
  void FillFromEntry(const FatDirEntry& entry, const std::string& name, uint32_t firstCluster,
                     FileRecord* record) const;
  uint32_t LevelOf(uint32_t cluster);
  void AddToEmitList(uint32_t folderCluster);
  uint64_t ClusterSector(uint64_t dataStart, uint64_t origin, uint32_t cluster) const;
  uint32_t NextDataCluster(uint32_t cluster);
  Status CopyClusters(const FileRecord& record, CopySink& sink, const std::string& reportPath);
  Status CopyFile(const FileRecord& record, const std::string& path);
  uint64_t RootKey(int32_t depth) const;
  FatMedium Medium() { return FatMedium{&device_, geometry_.bytesPerSector, volumeStart_ + sectorCount_}; }

  bool opened_ = false;
  uint64_t volumeStart_ = 0;
  uint64_t sectorCount_ = 0;
  uint16_t tag_ = 0;
  FatGeometry geometry_;
  SectorDevice device_;
  FatWindow window_;
  std::unique_ptr<ResultStore> store_;
  std::string logName_;

  std::deque<uint32_t> scanQueue_;
  std::set<uint32_t> visited_;
  std::map<uint32_t, FileRecord> folderMap_;  // recordId holds the parent cluster while waiting
  std::vector<uint32_t> emitList_;
  std::set<uint32_t> emitted_;
  std::unordered_map<uint32_t, uint32_t> levels_;
  std::vector<uint8_t> usedBitmap_;

  ScanProgressFn scanFn_ = nullptr;
  CopyProgressFn copyFn_ = nullptr;
  void* user_ = nullptr;
  int32_t scale_ = 100;
  ListProgressFn listFn_ = nullptr;
  void* listUser_ = nullptr;
  ExtractProgressFn extractFn_ = nullptr;
  void* extractUser_ = nullptr;
};

}  // namespace mendwell
