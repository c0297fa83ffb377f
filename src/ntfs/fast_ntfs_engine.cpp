#include "ntfs/fast_ntfs_engine.h"

#include <algorithm>
#include <deque>
#include <set>

#include "carving/file_classification.h"
#include "engine/recovery_paths.h"
#include "engine/store_queries.h"
#include "engine/scan_log_store.h"
#include "ntfs/attribute_runs.h"
#include "ntfs/mft_record.h"
#include "ntfs/ntfs_attributes.h"
#include "ntfs/ntfs_entry.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/time.h"

namespace mendwell {

namespace {

constexpr uint64_t kEstimateIntervalMs = 5000;
constexpr uint32_t kNotDirectory = 0xFFFFFFFEu;

// The parent record of a record's first $FILE_NAME.
bool FirstFileNameParent(ByteView record, uint32_t* parent) {
  AttributeWalk walk = RecordWalk(record, kStopAtZeroType | kStopAtFreeFill);
  NtfsAttribute a;
  while (walk.Next(&a)) {
    if (a.type != kAttrFileName) continue;
    *parent = ParseFileName(a).parentRecord;
    return true;
  }
  return false;
}

// Chunk reports of a file copy stay below 100 %: the copy's single 100 %
// report carries the file's outcome.
struct ChunkReport {
  CopyProgressFn fn;
  void* user;
};
int32_t ReportChunk(void* user, int32_t percent, int32_t scale, int32_t error, const char* path) {
  auto* chunk = static_cast<ChunkReport*>(user);
  return chunk->fn(chunk->user, std::min(percent, 99), scale, error, path);
}

// Statuses below 0 that the record lookups give (-1 no FILE record, -100
// no $DATA) mean the file's content is gone; callers that count failures by
// a positive code see that as "not found".
Status FileOutcome(Status st) { return st < 0 && st != RESULT_CANCELLED ? kErrFileNotFound : st; }

}  // namespace

CFastNtfsRecovery::CFastNtfsRecovery() = default;

CFastNtfsRecovery::~CFastNtfsRecovery() {
  if (store_) store_->CloseStore();
  CloseDevice(device_);
}

Status CFastNtfsRecovery::OpenPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, uint16_t tag) {
  if (opened_) return kOk;
  Status st = OpenDiskDevice(device_, diskIndex);
  if (st != kOk) return st;
  return OpenBoot(startSector, sectorCount, tag);
}

Status CFastNtfsRecovery::OpenImage(const std::string& path, uint16_t tag) {
  if (opened_) return kOk;
  Status st = OpenImageDevice(device_, path);
  if (st != kOk) return st;
  return OpenBoot(0, device_.sectorCount, tag);
}

Status CFastNtfsRecovery::OpenBoot(uint64_t startSector, uint64_t sectorCount, uint16_t tag) {
  const uint32_t deviceSector = DeviceSectorSize(device_);
  std::vector<uint8_t> boot(4096);
  Status st = ReadVolumeStart(device_, startSector, boot.data(), boot.size());
  if (st != kOk) return st;
  NtfsBootSector bs;
  if (ParseNtfsBootSector(ByteView(boot.data(), boot.size()), &bs) != kOk) return kErrInvalidParameter;
  // Device and image sizes come in the device's sectors (512 bytes for an
  // image); the volume counts in its own, which may be larger.
  logStart_ = startSector;
  volumeStart_ = startSector * deviceSector / bs.bytesPerSector;
  sectorCount_ = sectorCount * deviceSector / bs.bytesPerSector;
  st = OpenNtfsVolume(device_, ByteView(boot.data(), boot.size()), volumeStart_, sectorCount_, &volume_, &mftStart_);
  if (st != kOk) return st;
  volume_.driveLetter = tag;
  volume_.sourceEngine = kSourceFastNtfs;
  tag_ = tag;
  opened_ = true;
  return kOk;
}

Status CFastNtfsRecovery::SetCallbacks(ScanProgressFn scanProgress, CopyProgressFn copyProgress, void* user,
                                       int32_t scale) {
  scanFn_ = scanProgress;
  copyFn_ = copyProgress;
  user_ = user;
  scale_ = scale;
  return kOk;
}

int32_t CFastNtfsRecovery::Report(int32_t percent, int32_t secondsLeft) {
  return scanFn_ ? scanFn_(user_, percent, scale_, secondsLeft, 0, 0, 0, 0) : 0;
}

Status CFastNtfsRecovery::Scan(const char* logName) {
  pendingFiles_.clear();
  directories_.clear();
  reusedFolders_.clear();
  lookedUp_.clear();
  cycleBreaks_.clear();
  folderList_.clear();
  inFolderList_.clear();
  passRecords_ = 0;
  store_ = std::make_unique<ResultStore>();
  if (logName) {
    logName_ = logName;
    return store_->OpenStore(logName_);
  }
  if (!opened_) return kErrInvalidParameter;
  logName_ = MakeLogName("Fast_", logStart_, LocalNow());
  Status st = store_->OpenStore(logName_);
  if (st != kOk) return st;

  st = MftPass();
  // Parent links that run in a circle are cut first, each at the folder
  // whose parent closes the circle: that folder is then shown at the root,
  // and every walk ends, giving each folder one depth whatever file its
  // walk started from.
  for (const PendingFile& file : pendingFiles_) {
    uint32_t cycleAt = kNoParent;
    ParentWalk(file.parent, false, &cycleAt);
    if (cycleAt != kNoParent) cycleBreaks_.insert(cycleAt);
  }
  // Files found before a failure still get their place in the tree.
  for (const PendingFile& file : pendingFiles_) {
    if (!ParentStillHolds(file.parent, file.parentSequence)) {
      // The folder is gone and its record holds another folder now: the
      // file goes to a lost folder, not under that other folder.
      reusedFolders_.insert(file.parent);
      store_->AddRelation(FolderKey(file.parent | kReusedFolderBit, 1), file.recordId, file.number, nullptr);
      continue;
    }
    uint32_t depth = ParentWalk(file.parent, true, nullptr);
    store_->AddRelation(FolderKey(file.parent, depth), file.recordId, file.number, nullptr);
  }
  pendingFiles_.clear();
  if (st != kOk) return st;
  FolderPass();
  for (uint32_t number : reusedFolders_) AddLostFolder(number, number | kReusedFolderBit);
  return Report(100, 0);
}

Status CFastNtfsRecovery::MftPass() {
  const NtfsGeometry& g = volume_.geometry;
  const uint32_t bps = g.bytesPerSector;
  const uint32_t spc = g.sectorsPerCluster;
  const uint32_t spr = g.sectorsPerRecord;
  scanBuffer_.resize(static_cast<size_t>(g.recordSize) * kMftChunkRecords);

  const uint64_t start = TickMs();
  uint64_t lastEstimate = start;
  int32_t secondsLeft = -1;
  const uint64_t total = RunlistClusters(volume_.mftRuns) * spc;
  uint64_t done = 0;
  uint64_t mftSector = 0;  // sectors of the MFT before the current chunk
  uint64_t cluster = 0;
  for (const NtfsRun& run : volume_.mftRuns) {
    cluster += static_cast<uint64_t>(run.offset);
    const uint64_t runSector = volumeStart_ + cluster * spc;
    uint64_t remaining = run.length * spc * bps;
    uint64_t readInRun = 0;  // sectors
    while (remaining > 0) {
      const uint64_t chunk = std::min<uint64_t>(remaining, scanBuffer_.size());
      const uint32_t sectors = static_cast<uint32_t>(chunk / bps);
      if (!run.sparse) {
        uint32_t got = 0;
        Status st = ReadSectors(device_, scanBuffer_.data(), runSector + readInRun, sectors, bps, &got);
        if (st != kOk) return st;
        // Records at whole multiples of the record size from the MFT's
        // start; one split between two runs cannot be read whole.
        uint64_t number = (mftSector + spr - 1) / spr;
        for (; (number + 1) * spr <= mftSector + sectors; ++number) {
          uint64_t at = number * spr - mftSector;
          FilterRecord(scanBuffer_.data() + at * bps, number, runSector + readInRun + at);
        }
      }
      readInRun += sectors;
      mftSector += sectors;
      passRecords_ = mftSector / spr;
      done += sectors;
      remaining -= chunk;

      uint64_t now = TickMs();
      if (now - lastEstimate >= kEstimateIntervalMs && scale_ == 100) {
        lastEstimate = now;
        uint64_t seconds = (now - start) / 1000;
        uint64_t rate = seconds ? done * bps / seconds : 0;
        if (rate == 0) rate = 1;
        secondsLeft = static_cast<int32_t>(std::min<uint64_t>((total - std::min(done, total)) * bps / rate, INT32_MAX));
      }
      if (scanFn_) {
        int32_t percent = total ? static_cast<int32_t>(std::min<uint64_t>(done * 100 / total, 100)) : 100;
        if (int32_t r = Report(percent, secondsLeft)) return r;
      }
    }
  }
  return kOk;
}

void CFastNtfsRecovery::FilterRecord(uint8_t* bytes, uint64_t number, uint64_t sector) {
  const uint32_t size = volume_.geometry.recordSize;
  ByteView record(bytes, size);
  if (number > UINT32_MAX || !IsFileRecord(record)) return;
  const uint16_t flags = record.le16(0x16);
  if (flags & kRecordDirectory) {
    // Directories (live or deleted) are what the parent walk reads: keep
    // the parent of each so that the walk needs no reads of its own.
    ApplyFixups(bytes, size, volume_.geometry.Fixups());
    uint32_t parent = kNoParent;
    FirstFileNameParent(record, &parent);
    directories_[static_cast<uint32_t>(number)] = DirectoryInfo{parent, record.le16(0x10), (flags & kRecordInUse) != 0};
    return;
  }
  if (flags != 0 || number <= kLastSystemRecord) return;
  ApplyFixups(bytes, size, volume_.geometry.Fixups());
  FileRecord entry;
  NtfsEntryLinks links;
  if (!FillEntryFromRecord(record, sector, kEntryModeFiles, volume_, &entry, &links)) return;
  // The record's place in the MFT names it; the number in its header may
  // be damaged.
  entry.nodeId = static_cast<uint32_t>(number);
  FileRecord& slot = store_->AppendRecord();
  uint32_t id = slot.recordId;
  slot = entry;
  slot.recordId = id;
  pendingFiles_.push_back({id, static_cast<uint32_t>(number), links.parentRecord, links.parentSequence});
}

bool CFastNtfsRecovery::ParentStillHolds(uint32_t parent, uint16_t sequence) const {
  auto known = directories_.find(parent);
  // Without a sequence, or for records that are no directory of the pass,
  // the walk decides as before (a non-directory makes a lost folder).
  if (sequence == 0 || known == directories_.end() || parent == kRootFolderRecord) return true;
  // Freeing a record raises its sequence number by one; a deleted folder
  // therefore carries the reference's number or the next one.
  const DirectoryInfo& d = known->second;
  if (d.inUse) return d.sequence == sequence;
  return d.sequence == sequence || d.sequence == static_cast<uint16_t>(sequence + 1);
}

bool CFastNtfsRecovery::DirectoryParent(uint32_t number, uint32_t* parent) {
  if (cycleBreaks_.count(number)) return false;
  auto known = directories_.find(number);
  if (known != directories_.end()) {
    *parent = known->second.parent;
    return true;
  }
  // Every record the pass read whole is known; others are read once.
  if (number < passRecords_) return false;
  auto cached = lookedUp_.find(number);
  if (cached == lookedUp_.end()) {
    uint32_t value = kNotDirectory;
    MftRecordBuffer buffer;
    if (ReadFixedRecord(device_, volume_.RecordSector(number), volume_.geometry, buffer) == kOk) {
      ByteView record(buffer.data(), volume_.geometry.recordSize);
      if (record.le16(0x16) & kRecordDirectory) {
        value = kNoParent;
        FirstFileNameParent(record, &value);
      }
    }
    cached = lookedUp_.emplace(number, value).first;
  }
  if (cached->second == kNotDirectory) return false;
  *parent = cached->second;
  return true;
}

uint32_t CFastNtfsRecovery::ParentWalk(uint32_t parent, bool listFolders, uint32_t* cycleAt) {
  uint32_t depth = 0;
  // Short chains are searched in place; long ones (damaged volumes) by set.
  std::vector<uint32_t> visited;
  std::unordered_set<uint32_t> visitedSet;
  auto seen = [&](uint32_t n) {
    return visitedSet.empty() ? std::find(visited.begin(), visited.end(), n) != visited.end()
                              : visitedSet.count(n) != 0;
  };
  uint32_t p = parent;
  while (p != kRootFolderRecord && depth < kMaxFolderDepth) {
    if (visited.size() < 32) {
      visited.push_back(p);
    } else {
      if (visitedSet.empty()) visitedSet.insert(visited.begin(), visited.end());
      visitedSet.insert(p);
    }
    if (listFolders && inFolderList_.insert(p).second) folderList_.push_back(p);
    ++depth;
    uint32_t q = kNoParent;
    if (!DirectoryParent(p, &q) || q == kNoParent) break;
    if (seen(q)) {
      if (cycleAt) *cycleAt = p;
      break;
    }
    p = q;
  }
  return depth;
}

void CFastNtfsRecovery::AddLostFolder(uint32_t number, uint32_t nodeId) {
  FileRecord& slot = store_->AppendRecord();
  uint32_t id = slot.recordId;
  slot.driveLetter = tag_;
  slot.sourceEngine = kSourceFastNtfs;
  slot.isFolder = 1;
  slot.intact = 1;
  slot.nodeId = nodeId;
  slot.clusterSize = -1;
  std::string name = "LostFolder" + std::to_string(number);
  slot.SetName(name);
  store_->AddRelation(FolderKey(kRootFolderRecord, 0), id, nodeId, name.c_str());
}

void CFastNtfsRecovery::FolderPass() {
  const NtfsGeometry& g = volume_.geometry;
  MftRecordBuffer buffer;
  // The list grows while it is read (a folder's own walk may meet folders
  // not yet listed); every number enters it once.
  for (size_t i = 0; i < folderList_.size(); ++i) {
    const uint32_t number = folderList_[i];
    const uint64_t sector = volume_.RecordSector(number);
    ReadMftRecord(device_, sector, g, buffer);
    ByteView record(buffer.data(), g.recordSize);
    if (!IsFileRecord(record)) {
      AddLostFolder(number, number);
      continue;
    }
    ApplyFixups(buffer.data(), g.recordSize, g.Fixups());
    FileRecord entry;
    NtfsEntryLinks links;
    // A record that now holds a file, or a directory record that makes no
    // entry (no name, a system or extension record), still has files below
    // it: they go under a lost folder named by its number.
    if (!(record.le16(0x16) & kRecordDirectory) ||
        !FillEntryFromRecord(record, sector, kEntryModeFolders, volume_, &entry, &links)) {
      AddLostFolder(number, number);
      continue;
    }
    entry.nodeId = number;
    uint32_t depth = ParentWalk(links.parentRecord, true, nullptr);
    uint64_t key = cycleBreaks_.count(number) ? FolderKey(kRootFolderRecord, 0) : FolderKey(links.parentRecord, depth);
    FileRecord& slot = store_->AppendRecord();
    uint32_t id = slot.recordId;
    slot = entry;
    slot.recordId = id;
    // The folder is shown under its displayed (Win32) name, also in paths.
    std::string name(entry.Name());
    store_->AddRelation(key, id, number, name.c_str());
  }
}

uint64_t CFastNtfsRecovery::KeyOf(const FileRecord* folder, int32_t depth) const {
  uint32_t node = folder && folder->nodeId != 0 ? folder->nodeId : kRootFolderRecord;
  return FolderKey(node, static_cast<uint32_t>(depth));
}

Status CFastNtfsRecovery::ListChildren(const FileRecord* folder, int32_t depth, std::vector<FileRecord>& out) {
  if (!folder && depth != 0) return kErrInvalidParameter;
  return QueryChildren(store_.get(), KeyOf(folder, depth), out);
}

Status CFastNtfsRecovery::CountFiles(const FileRecord* folder, int32_t depth, uint32_t* count) {
  if (!folder && depth != 0) return kErrInvalidParameter;
  return QueryCount(store_.get(), KeyOf(folder, depth), count);
}

uint64_t CFastNtfsRecovery::GetFoundCount() { return store_ ? store_->AppendedCount() : 0; }

Status CFastNtfsRecovery::GetPath(const FileRecord* record, std::string* path) {
  return QueryPath(store_.get(), record, path);
}

Status CFastNtfsRecovery::SetListCallback(ListProgressFn fn, void* user) {
  listFn_ = fn;
  listUser_ = user;
  return kOk;
}

int32_t CFastNtfsRecovery::ListByType(const std::string& filter, std::vector<FileRecord>& out) {
  return QueryByType(store_.get(), listFn_, listUser_, filter, out);
}

uint32_t CFastNtfsRecovery::DepthOf(const FileRecord& folder) {
  // A folder's depth is the depth part of the key it is filed under.
  for (const auto& [key, ids] : store_->relations())
    if (std::find(ids.begin(), ids.end(), folder.recordId) != ids.end()) return static_cast<uint32_t>(key >> 32);
  return 0;
}

Status CFastNtfsRecovery::CopyFile(const FileRecord& record, const std::string& path) {
  auto finish = [&](Status st) {
    // Every file ends with exactly one 100 % report carrying its outcome.
    if (copyFn_) {
      int32_t r = copyFn_(user_, 100, 100, st > 0 ? st : 0, path.c_str());
      if (r == RESULT_CANCELLED) return r;
    }
    return st;
  };
  FileHandle out;
  // A fresh file: writing over an existing one would keep a stale tail.
  Status st = out.CreateTruncate(path);
  if (st != kOk) return finish(st);
  FileCopySink sink(out);
  ChunkReport chunk{copyFn_, user_};
  CopyProgress progress;
  if (copyFn_) {
    progress.copy = ReportChunk;
    progress.user = &chunk;
    progress.destinationPath = path.c_str();
  }
  st = CopyFileContent(volume_, record, sink, progress);
  if (st == RESULT_CANCELLED) return st;
  return finish(FileOutcome(st));
}

Status CFastNtfsRecovery::Recover(const FileRecord* record, const std::string& destinationPath, int32_t) {
  if (!record || !opened_) return kErrInvalidParameter;
  if (!record->isFolder) {
    Status st = CreateParentFolder(destinationPath);
    if (st != kOk) return st;
    return CopyFile(*record, destinationPath);
  }
  Status st = CreateDirectories(destinationPath);
  if (st != kOk) return st;
  if (!store_) return kOk;
  store_->Flush();
  // Breadth first through the folder's tree: the children of a folder are
  // filed under its record number and its own depth + 1.
  struct Pending {
    FileRecord folder;
    std::string path;
    uint32_t depth;
  };
  std::deque<Pending> queue{{*record, destinationPath, DepthOf(*record) + 1}};
  std::set<uint64_t> walked;
  Status result = kOk;
  while (!queue.empty()) {
    Pending item = std::move(queue.front());
    queue.pop_front();
    uint64_t key = KeyOf(&item.folder, static_cast<int32_t>(item.depth));
    if (!walked.insert(key).second) continue;
    std::vector<FileRecord> children;
    if (store_->Children(key, children) != kOk) continue;
    for (const FileRecord& child : children) {
      std::string childPath = item.path + "/" + SafeFileName(child.Name());
      if (child.isFolder) {
        CreateDirectories(childPath);
        queue.push_back({child, childPath, item.depth + 1});
        continue;
      }
      Status fileResult = CopyFile(child, childPath);
      if (fileResult == RESULT_CANCELLED) return fileResult;
      if (fileResult != kOk) result = fileResult;
    }
  }
  return result;
}

Status CFastNtfsRecovery::Extract(const FileRecord* record, std::string* pathOut, uint8_t* buffer, uint32_t* size,
                                  ExtractProgressFn progress, void* user) {
  auto report = [&](int32_t percent, Status st) {
    if (progress) progress(user, percent, st);
  };
  if (!record || !opened_) {
    report(100, kErrInvalidParameter);
    return kErrInvalidParameter;
  }
  const std::string folder = DefaultScanLogRoot() + "/";
  const std::string ext = ExtensionOfName(record->Name());
  std::string target;
  if (ExtensionInList(ext, kAudioList) || ExtensionInList(ext, kVideoList))
    target = folder + "tmp.avi";
  else if (ExtensionInList(ext, kPictureList))
    target = folder + "tmp.jpg";
  else if (ExtensionInList(ext, kPreviewCopyList))
    target = folder + SafeFileName(record->Name());
  if (target.size() >= 260) target.clear();

  CopyProgress chunks;
  chunks.extract = progress;
  chunks.user = user;
  bool resident = false;
  Status st;
  if (!target.empty() && pathOut) {
    CreateDirectories(folder);
    RemoveFile(target);
    *pathOut = target;
    FileHandle out;
    st = out.CreateTruncate(target);
    if (st != kOk) {
      pathOut->clear();
      report(100, st);
      return st;
    }
    FileCopySink sink(out);
    st = CopyFileContent(volume_, *record, sink, chunks, &resident);
    out.Close();
    if (st != kOk) {
      RemoveFile(target);
      pathOut->clear();
    }
    if (size) *size = 0;
  } else {
    MemoryCopySink sink(buffer, size ? *size : 0);
    st = CopyFileContent(volume_, *record, sink, chunks, &resident);
    if (size) *size = static_cast<uint32_t>(sink.used());
  }
  if (resident || st > 0) report(100, st);
  return st;
}

Status CFastNtfsRecovery::PrepareFreeMap() {
  if (!opened_) return kErrInvalidParameter;
  constexpr uint32_t kBitmapRecord = 6;
  const uint64_t sector = volume_.RecordSector(kBitmapRecord);
  NtfsRunlist runs;
  Status st = FindAttributeRuns(volume_, sector, kAttrData, runs);
  if (st != kOk) return st;
  MftRecordBuffer buffer;
  st = ReadFixedRecord(device_, sector, volume_.geometry, buffer);
  if (st != kOk) return st;
  ByteView record(buffer.data(), volume_.geometry.recordSize);
  AttributeWalk walk = LookupWalk(record, kStopAtFreeFill);
  NtfsAttribute a;
  bool found = false;
  uint64_t dataSize = 0;
  while (walk.Next(&a)) {
    if (a.type != kAttrData) continue;
    dataSize = a.nonResident ? a.DataSize() : a.ResidentValueLength();
    found = true;
    break;
  }
  if (!found) return kErrInvalidParameter;
  // One bit per cluster of the volume is all the map can hold; a larger
  // size or runlist comes from a damaged record.
  const uint64_t clusters = sectorCount_ / std::max<uint32_t>(volume_.geometry.sectorsPerCluster, 1);
  const uint64_t limit = std::min<uint64_t>(dataSize, clusters / 8 + 1);
  ReadRunlistBytes(volume_, runs, limit, &bitmap_);  // unreadable runs stay zero
  bitmapBytes_ = std::min<uint64_t>(limit, bitmap_.size());
  return kOk;
}

int32_t CFastNtfsRecovery::NextFreeExtent(uint64_t* position, uint64_t* length) {
  *length = 0;
  if (*position > sectorCount_) {
    *position = sectorCount_;
    return 1;
  }
  const uint64_t spc = std::max<uint32_t>(volume_.geometry.sectorsPerCluster, 1);
  const uint64_t bits = bitmapBytes_ * 8;
  const uint64_t c = *position / spc;
  auto isSet = [&](uint64_t bit) { return (bitmap_[bit / 8] >> (bit % 8)) & 1; };
  if (c < bits) {
    uint64_t b = c;
    while (b < bits && isSet(b)) b += (b % 8 == 0 && bitmap_[b / 8] == 0xFF) ? 8 : 1;
    if (b < bits) {
      *position += (b - c) * spc;
      uint64_t e = b;
      while (e < bits && !isSet(e)) e += (e % 8 == 0 && bitmap_[e / 8] == 0) ? 8 : 1;
      *length = (std::min(e, bits) - b) * spc;
    }
  }
  if (*position + *length > sectorCount_) *length = *position < sectorCount_ ? sectorCount_ - *position : 0;
  return 1;
}

}  // namespace mendwell
