// CFastNtfsRecovery: the deleted-files engine for NTFS volumes whose MFT is
// still in place.
//
// Its scan reads the whole MFT in chunks of 1024 records and reports every
// FILE record that is neither in use nor a directory. Each such file is
// placed below the folders its $FILE_NAME parent references lead to; the
// folders met on the way are reported after the pass, and a folder whose
// record is gone or now holds a file becomes "LostFolder<record>" at the
// root, so its files stay reachable. Recovery copies a file's resident value
// or its clusters; for the combined professional engine it also maps the
// clusters $Bitmap marks in use.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "device/sector_device.h"
#include "engine/engine_interface.h"
#include "engine/result_store.h"
#include "ntfs/ntfs_file_copy.h"
#include "ntfs/ntfs_volume.h"

namespace mendwell {

// Records per MFT read of the scan.
inline constexpr uint32_t kMftChunkRecords = 1024;
// The parent walk gives up after this many folders: deeper chains exist only
// on damaged volumes, and each walk must stay short.
inline constexpr uint32_t kMaxFolderDepth = 1024;

class CFastNtfsRecovery : public IFileRecoveryParse {
 public:
  CFastNtfsRecovery();
  ~CFastNtfsRecovery() override;

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

  const NtfsVolume& volume() const { return volume_; }
  const std::string& logName() const { return logName_; }

 private:
  // What the parent walk needs of a directory record: the parent of its
  // first $FILE_NAME (kNoParent when it has none).
  static constexpr uint32_t kNoParent = 0xFFFFFFFFu;
  // A deleted file of the MFT pass waiting for its place in the tree.
  struct PendingFile {
    uint32_t recordId;
    uint32_t number;
    uint32_t parent;
    uint16_t parentSequence;
  };
  // A directory record of the MFT pass.
  struct DirectoryInfo {
    uint32_t parent;    // of its first $FILE_NAME, kNoParent without one
    uint16_t sequence;  // its sequence number now
    bool inUse;
  };
  // Lost folders for files whose folder record now holds another folder
  // are told apart from that folder by this bit in their node number.
  static constexpr uint32_t kReusedFolderBit = 0x80000000u;
  // Whether a file's parent reference still names the folder it was
  // written for: a record reused since carries another sequence number.
  bool ParentStillHolds(uint32_t parent, uint16_t sequence) const;

  Status OpenBoot(uint64_t startSector, uint64_t sectorCount, uint16_t tag);
  int32_t Report(int32_t percent, int32_t secondsLeft);
  Status MftPass();
  void FilterRecord(uint8_t* record, uint64_t number, uint64_t sector);
  bool DirectoryParent(uint32_t number, uint32_t* parent);
  // The parent walk from a $FILE_NAME's parent reference: the number of
  // folders met before the root, a record that is no readable directory, a
  // folder met twice or kMaxFolderDepth. listFolders adds the folders met
  // to the folder list; *cycleAt receives the folder whose parent was met
  // before.
  uint32_t ParentWalk(uint32_t parent, bool listFolders, uint32_t* cycleAt);
  void FolderPass();
  // "LostFolder<number>" at the root, its children filed under nodeId.
  void AddLostFolder(uint32_t number, uint32_t nodeId);
  uint64_t KeyOf(const FileRecord* folder, int32_t depth) const;
  uint32_t DepthOf(const FileRecord& folder);
  Status CopyFile(const FileRecord& record, const std::string& path);

  bool opened_ = false;
  uint64_t logStart_ = 0;       // start sector as given, for the log name
  uint64_t volumeStart_ = 0;    // in the volume's sectors
  uint64_t sectorCount_ = 0;    // in the volume's sectors
  uint64_t mftStart_ = 0;
  uint16_t tag_ = 0;
  SectorDevice device_;
  NtfsVolume volume_;
  std::unique_ptr<ResultStore> store_;
  std::string logName_;
  std::vector<uint8_t> scanBuffer_;

  // Scan state.
  std::vector<PendingFile> pendingFiles_;
  std::unordered_map<uint32_t, DirectoryInfo> directories_;
  std::set<uint32_t> reusedFolders_;  // parent records reused by another folder
  std::unordered_map<uint32_t, uint32_t> lookedUp_;      // records read outside the pass
  uint64_t passRecords_ = 0;                             // records the pass has read
  std::unordered_set<uint32_t> cycleBreaks_;             // folders whose parent link closes a circle
  std::vector<uint32_t> folderList_;
  std::unordered_set<uint32_t> inFolderList_;

  std::vector<uint8_t> bitmap_;
  uint64_t bitmapBytes_ = 0;

  ScanProgressFn scanFn_ = nullptr;
  CopyProgressFn copyFn_ = nullptr;
  void* user_ = nullptr;
  int32_t scale_ = 100;
  ListProgressFn listFn_ = nullptr;
  void* listUser_ = nullptr;
};

}  // namespace mendwell
