// The result store: everything an engine finds, one FileRecord per file or
// folder, kept on disk rather than in memory so that a scan with millions of
// findings can be browsed with little memory and reopened later.
//
// Three files in the scan's log folder, named after the log name:
//   <log>           the records, 346 bytes each, record n at (n - 1) x 346;
//   <log>_Relation  text " | <key> - [<id>,<id>...]" per folder key, keys
//                   ascending, no line breaks;
//   <log>_DirInfo   268-byte folder-name entries: nodeId u32, recordId u32,
//                   260-byte NUL-terminated name.
// A folder key is (depth << 32) | nodeId (FolderKey in file_record.h).
//
// Memory grows only with the relation index (one identifier per record) and
// the folder names; at most 200 records wait in the write buffer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/engine_interface.h"
#include "engine/file_record.h"
#include "platform/file.h"
#include "platform/status.h"

namespace mendwell {

inline constexpr size_t kRecordsPerBlock = 200;
inline constexpr size_t kRecordBlockBytes = kRecordsPerBlock * kFileRecordSize;  // 69200
inline constexpr size_t kFolderNameEntrySize = 268;
// From this records-file size on, type queries no longer offer "other" files.
inline constexpr uint64_t kOtherModeLimitBytes = 128ull << 20;

struct FolderNameEntry {
  uint32_t nodeId = 0;
  uint32_t recordId = 0;
  std::string name;
};

class ResultStore {
 public:
  using RelationIndex = std::map<uint64_t, std::vector<uint32_t>>;

  ResultStore() = default;
  ~ResultStore() { CloseStore(); }
  ResultStore(const ResultStore&) = delete;
  ResultStore& operator=(const ResultStore&) = delete;

  // Opens or creates the three files of logName in the current log folder of
  // the process-wide scan-log store (folder created with its parents).
  Status OpenStore(const std::string& logName);
  // The same in a given folder.
  Status OpenStoreIn(const std::string& folder, const std::string& logName);
  bool isOpen() const { return records_.valid(); }

  // A zero-filled record slot with its recordId set; the engine fills it
  // before the next store call.
  FileRecord& AppendRecord();
  // Files the identifier under key; a folder name (non-null) also goes into
  // the folder-name table.
  void AddRelation(uint64_t key, uint32_t recordId, uint32_t nodeId, const char* folderName);
  // Writes buffered records, then the relation and folder-name files.
  Status Flush();
  // Flushes and closes the three files.
  void CloseStore();

  // The records filed under key (key 0: the smallest key, the top level),
  // damaged pictures left out, in display order.
  Status Children(uint64_t key, std::vector<FileRecord>& out);
  // Files (not folders) under key at every level below it.
  Status Count(uint64_t key, uint32_t* count);
  // Ancestor folders, nearest first.
  Status Ancestors(const FileRecord& record, std::vector<FileRecord>* out);
  // Ancestor names from the farthest, each followed by "/".
  Status Path(const FileRecord& record, std::string* path);
  // Every file whose "." + extension occurs in the filter; with ".other" in
  // the filter also files of no known type. 1 when read to the end or
  // stopped by the listing callback, 0 when the records file cannot be
  // opened.
  int32_t ByType(const std::string& filter, std::vector<FileRecord>& out);

  uint64_t AppendedCount() const { return appended_; }
  void SetListCallback(ListProgressFn fn, void* user) {
    listFn_ = fn;
    listUser_ = user;
  }

  const RelationIndex& relations() const { return relations_; }
  const std::vector<FolderNameEntry>& folderNames() const { return folderNames_; }
  const std::string& recordsPath() const { return recordsPath_; }
  const std::string& relationPath() const { return relationPath_; }
  const std::string& folderNamePath() const { return folderNamePath_; }

 private:
  Status ReadRecord(uint32_t recordId, FileRecord* record);
  Status WritePending();
  void IndexRecordKeys();
  const std::vector<uint32_t>* ListOf(uint64_t key) const;

  FileHandle records_, relation_, folderFile_;
  std::string recordsPath_, relationPath_, folderNamePath_;
  RelationIndex relations_;
  std::vector<FolderNameEntry> folderNames_;
  std::vector<FileRecord> pending_;
  uint64_t idBase_ = 0;
  uint64_t appended_ = 0;
  uint64_t recordsBytes_ = 0;  // size of the records file on disk
  bool indexDirty_ = false;
  // Lazily built lookups for Ancestors: the smallest key holding each
  // identifier, and the first folder-name entry of each node.
  std::unordered_map<uint32_t, uint64_t> keyOfRecord_;
  std::unordered_map<uint32_t, size_t> folderNameOfNode_;
  bool lookupsBuilt_ = false;
  // The block of records read last (see ReadRecord).
  std::vector<uint8_t> cache_;
  uint64_t cacheStart_ = 0;
  bool cacheValid_ = false;
  ListProgressFn listFn_ = nullptr;
  void* listUser_ = nullptr;
};

// Display order: files before folders, then names compared without case;
// stable.
void SortDisplayOrder(std::vector<FileRecord>& records);

// The relation-file text of an index, and its parser. The parser keeps only
// complete entries of damaged text; a repeated key's list replaces the
// earlier one.
std::string FormatRelations(const ResultStore::RelationIndex& index);
ResultStore::RelationIndex ParseRelations(std::string_view text);

}  // namespace mendwell
