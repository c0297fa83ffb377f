#include "fat/fast_fat_engine.h"

#include <algorithm>
#include <cstring>

#include "carving/file_classification.h"
#include "engine/recovery_paths.h"
#include "engine/store_queries.h"
#include "engine/scan_log_store.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/time.h"

namespace mendwell {

namespace {

constexpr uint64_t kReportIntervalMs = 5000;

}  // namespace

// A copy's destination: a file opened for writing, or a memory buffer that
// takes at most its capacity.
struct CFastFatRecovery::CopySink {
  FileHandle* file = nullptr;
  uint64_t fileOffset = 0;
  uint8_t* memory = nullptr;
  uint64_t capacity = 0;
  uint64_t written = 0;

  Status Write(const uint8_t* data, uint64_t length) {
    if (file) {
      Status st = file->WriteAll(fileOffset, data, static_cast<size_t>(length));
      if (st != kOk) return st;
      fileOffset += length;
    } else {
      uint64_t room = capacity - written;
      std::memcpy(memory + written, data, static_cast<size_t>(std::min(room, length)));
    }
    written += length;
    return kOk;
  }
};

CFastFatRecovery::CFastFatRecovery() = default;

CFastFatRecovery::~CFastFatRecovery() {
  if (store_) store_->CloseStore();
  window_.Close();
  CloseDevice(device_);
}

Status CFastFatRecovery::OpenPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, uint16_t tag) {
  if (opened_) return kOk;
  Status st = OpenDiskDevice(device_, diskIndex);
  if (st != kOk) return st;
  return OpenBoot(startSector, sectorCount, tag);
}

Status CFastFatRecovery::OpenImage(const std::string& path, uint16_t tag) {
  if (opened_) return kOk;
  Status st = OpenImageDevice(device_, path);
  if (st != kOk) return st;
  return OpenBoot(0, device_.sectorCount, tag);
}

Status CFastFatRecovery::OpenBoot(uint64_t startSector, uint64_t sectorCount, uint16_t tag) {
  uint32_t deviceSector = DeviceSectorSize(device_);
  std::vector<uint8_t> boot(4096);
  Status st = ReadVolumeStart(device_, startSector, boot.data(), boot.size());
  if (st != kOk) return st;
  if (!FatGeometryFromBootSector(ByteView(boot.data(), boot.size()), startSector, &geometry_))
    return kErrInvalidParameter;
  volumeStart_ = startSector;
  // Image sizes are counted in 512-byte sectors; the volume's own sectors
  // may be larger.
  sectorCount_ = sectorCount * deviceSector / geometry_.bytesPerSector;
  tag_ = tag;
  window_.Open(&device_, geometry_);
  opened_ = true;
  return kOk;
}

Status CFastFatRecovery::SetCallbacks(ScanProgressFn scanProgress, CopyProgressFn copyProgress, void* user,
                                      int32_t scale) {
  scanFn_ = scanProgress;
  copyFn_ = copyProgress;
  user_ = user;
  scale_ = scale;
  return kOk;
}

int32_t CFastFatRecovery::Report(int32_t percent, int32_t secondsLeft) {
  return scanFn_ ? scanFn_(user_, percent, scale_, secondsLeft, 0, 0, 0, 0) : 0;
}

Status CFastFatRecovery::Scan(const char* logName) {
  store_ = std::make_unique<ResultStore>();
  if (logName) {
    logName_ = logName;
    return store_->OpenStore(logName_);
  }
  if (!opened_) return kErrInvalidParameter;
  scanQueue_.clear();
  visited_.clear();
  folderMap_.clear();
  emitList_.clear();
  emitted_.clear();
  levels_.clear();
  logName_ = MakeLogName("Fast_", volumeStart_, LocalNow());
  Status st = store_->OpenStore(logName_);
  if (st != kOk) return st;

  scanQueue_.push_back(geometry_.IsFat32() ? geometry_.rootCluster : 0);
  uint64_t lastReport = TickMs();
  int32_t step = 0;
  if (int32_t r = Report(1, -1)) return r;
  while (!scanQueue_.empty()) {
    uint32_t cluster = scanQueue_.front();
    scanQueue_.pop_front();
    if (!visited_.insert(cluster).second) continue;
    ReadFolder(cluster);
    if (TickMs() - lastReport >= kReportIntervalMs) {
      lastReport = TickMs();
      ++step;
      int32_t r = 0;
      if (scale_ == 100)
        r = Report(1 + step, 100 - step);
      else if (scale_ == 9)
        r = Report(20 + step, -1);
      if (r) return r;
    }
  }
  if (int32_t r = Report(80, 10)) return r;

  // The folders that lead to the files found, each once.
  for (uint32_t cluster : emitList_) {
    auto it = folderMap_.find(cluster);
    if (it == folderMap_.end()) continue;  // the root has no record
    FileRecord record = it->second;
    uint32_t parent = record.recordId;
    FileRecord& slot = store_->AppendRecord();
    uint32_t id = slot.recordId;
    slot = record;
    slot.recordId = id;
    std::string name(record.Name());
    store_->AddRelation(FolderKey(parent, LevelOf(parent)), id, record.nodeId, name.c_str());
  }
  return Report(100, 0);
}

uint32_t CFastFatRecovery::LevelOf(uint32_t cluster) {
  auto it = levels_.find(cluster);
  if (it != levels_.end()) return it->second;
  uint32_t level = 0;
  FolderLevel(Medium(), geometry_.Layout(), geometry_.rootCluster, cluster, FolderLevelMode::kFast, &level);
  levels_.emplace(cluster, level);
  return level;
}

void CFastFatRecovery::AddToEmitList(uint32_t folderCluster) {
  uint32_t c = folderCluster;
  // Each step adds a cluster not yet listed, so a damaged tree whose parent
  // links form a ring still ends.
  while (emitted_.insert(c).second) {
    emitList_.push_back(c);
    auto it = folderMap_.find(c);
    if (it == folderMap_.end()) break;
    uint32_t parent = it->second.recordId;
    if (parent == c || parent <= geometry_.rootCluster) break;
    c = parent;
  }
}

void CFastFatRecovery::FillFromEntry(const FatDirEntry& entry, const std::string& name, uint32_t firstCluster,
                                     FileRecord* record) const {
  record->driveLetter = tag_;
  record->sourceEngine = kSourceFastFat;
  record->nodeId = firstCluster;
  record->clusterSize = static_cast<int32_t>(geometry_.ClusterBytes());
  record->created = DecodeCreationTime(entry);
  record->accessed = DecodeAccessDate(entry);
  record->modified = DecodeModificationTime(entry);
  record->dataStart = geometry_.dataStart;
  record->SetName(name);
}

void CFastFatRecovery::ReadFolder(uint32_t startCluster) {
  const uint32_t bps = geometry_.bytesPerSector;
  const bool fixedRoot = startCluster == 0 && !geometry_.IsFat32();
  bool inDeletedFolder = false;
  bool viaMap = false;
  if (auto it = folderMap_.find(startCluster); it != folderMap_.end()) {
    inDeletedFolder = it->second.deleted != 0;
    viaMap = true;
  }
  uint32_t folderCluster = startCluster;  // f: the key its entries are filed under
  FatLongNamePieces pieces;
  std::vector<uint8_t> buffer;
  uint32_t cluster = startCluster;
  std::set<uint32_t> seen;
  for (uint32_t step = 0; step <= window_.MaxChainLength(); ++step) {
    if (!seen.insert(cluster).second) break;
    uint32_t sectors = fixedRoot ? geometry_.rootSectors : geometry_.sectorsPerCluster;
    uint64_t first = FolderStartSector(geometry_.Layout(), cluster);
    buffer.assign(static_cast<size_t>(sectors) * bps, 0);
    uint32_t got = 0;
    if (ReadSectors(device_, buffer.data(), first, sectors, bps, &got) != kOk) return;
    ByteView data(buffer.data(), buffer.size());
    // A folder reached through an entry must begin with "." and "..". Only
    // its first cluster is checked: later clusters hold plain entries.
    if (viaMap && step == 0 && !(geometry_.IsFat32() && cluster == geometry_.rootCluster)) {
      if (!(data.u8(0) == '.' && data.u8(1) == ' ' && (data.u8(11) & kFatAttrFolder) && data.u8(32) == '.' &&
            data.u8(33) == '.'))
        return;
    }
    for (size_t off = 0; off + kFatDirEntrySize <= data.size(); off += kFatDirEntrySize) {
      ByteView raw = data.Sub(off);
      if (raw.u8(0) == 0) return;  // end of the folder
      if (!IsPlausibleEntry(raw)) {
        pieces.Clear();
        continue;
      }
      FatDirEntry entry = DecodeFatDirEntry(raw);
      if (entry.IsLongName()) {
        if (!pieces.Add(raw)) return;  // a twentieth piece: not a folder after all
        continue;
      }
      uint32_t firstCluster = geometry_.IsFat32() ? entry.FirstCluster() : entry.clusterLow;
      if (entry.IsFolder()) {
        std::string name = pieces.empty() ? ShortNameText(entry, true) : LongNameText(pieces);
        pieces.Clear();
        if (entry.IsDotDotEntry()) continue;
        if (entry.IsDotEntry()) {
          folderCluster = firstCluster;
          continue;
        }
        if (geometry_.IsFat32() && entry.IsDeleted() && entry.clusterHigh == 0)
          firstCluster |= static_cast<uint32_t>(FindFolderHighWord(Medium(), geometry_.Layout(), entry.clusterLow))
                          << 16;
        FileRecord record;
        FillFromEntry(entry, name, firstCluster, &record);
        record.isFolder = 1;
        record.deleted = entry.IsDeleted() || inDeletedFolder;
        record.intact = 1;
        record.recordId = folderCluster;  // the parent cluster, until the record is written
        if (firstCluster != 0 && firstCluster != folderCluster) {
          scanQueue_.push_back(firstCluster);
          folderMap_[firstCluster] = record;
        }
        continue;
      }
      if (entry.IsFile() && (entry.IsDeleted() || inDeletedFolder)) {
        std::string name = pieces.empty() ? ShortNameText(entry, false) : LongNameText(pieces);
        if (geometry_.IsFat32() && entry.IsDeleted() && entry.clusterHigh == 0)
          firstCluster |=
              static_cast<uint32_t>(FindFileHighWord(Medium(), geometry_.Layout(), entry.clusterLow, name)) << 16;
        FileRecord& slot = store_->AppendRecord();
        uint32_t id = slot.recordId;
        FillFromEntry(entry, name, firstCluster, &slot);
        slot.recordId = id;
        slot.deleted = 1;
        slot.size = entry.size;
        slot.location = first + off / bps;
        slot.origin = volumeStart_;
        store_->AddRelation(FolderKey(folderCluster, LevelOf(folderCluster)), id, firstCluster, nullptr);
        // The slot stays valid until the next append: finish it first.
        slot.intact = CheckFirstSector(Medium(), slot, geometry_.sectorsPerCluster);
        AddToEmitList(folderCluster);
      }
      pieces.Clear();
    }
    if (fixedRoot) return;
    uint32_t next = window_.NextCluster(cluster);
    if (next == 0 || next == cluster) return;
    cluster = next;
  }
}

uint64_t CFastFatRecovery::RootKey(int32_t depth) const {
  return FolderKey(geometry_.IsFat32() ? geometry_.rootCluster : 0, static_cast<uint32_t>(depth));
}

Status CFastFatRecovery::ListChildren(const FileRecord* folder, int32_t depth, std::vector<FileRecord>& out) {
  if (!folder && depth != 0) return kErrInvalidParameter;
  return QueryChildren(store_.get(), folder ? FolderKey(folder->nodeId, static_cast<uint32_t>(depth)) : RootKey(0), out);
}

Status CFastFatRecovery::CountFiles(const FileRecord* folder, int32_t depth, uint32_t* count) {
  if (!folder && depth != 0) return kErrInvalidParameter;
  return QueryCount(store_.get(), folder ? FolderKey(folder->nodeId, static_cast<uint32_t>(depth)) : RootKey(0), count);
}

uint64_t CFastFatRecovery::GetFoundCount() { return store_ ? store_->AppendedCount() : 0; }

Status CFastFatRecovery::GetPath(const FileRecord* record, std::string* path) {
  return QueryPath(store_.get(), record, path);
}

Status CFastFatRecovery::SetListCallback(ListProgressFn fn, void* user) {
  listFn_ = fn;
  listUser_ = user;
  return kOk;
}

int32_t CFastFatRecovery::ListByType(const std::string& filter, std::vector<FileRecord>& out) {
  return QueryByType(store_.get(), listFn_, listUser_, filter, out);
}

uint64_t CFastFatRecovery::ClusterSector(uint64_t dataStart, uint64_t origin, uint32_t cluster) const {
  return origin + dataStart + static_cast<uint64_t>(cluster - 2) * geometry_.sectorsPerCluster;
}

uint32_t CFastFatRecovery::NextDataCluster(uint32_t cluster) {
  uint32_t next = window_.NextCluster(cluster);
  if (next != 0) return next;
  // The chain ended before the file did: a deleted file's later clusters
  // were taken by another file, so its data most likely goes on in the
  // next free cluster.
  for (uint32_t c = cluster + 1; c < window_.ClusterLimit(); ++c) {
    uint32_t value = 1;
    if (window_.ReadFatEntry(c, &value) != kOk) return 0;
    if (value == 0) return c;
  }
  return 0;
}

Status CFastFatRecovery::CopyClusters(const FileRecord& record, CopySink& sink, const std::string& reportPath) {
  const uint32_t bps = geometry_.bytesPerSector;
  if (record.clusterSize <= 0 || static_cast<uint32_t>(record.clusterSize) > kMaxCopyClusterBytes)
    return kErrClusterTooLarge;
  const uint32_t clusterBytes = static_cast<uint32_t>(record.clusterSize);
  const uint32_t sectors = clusterBytes / bps;
  if (sectors == 0 || record.nodeId < 2) return kErrReadFault;
  std::vector<uint8_t> buffer(clusterBytes);
  uint64_t left = record.size;
  uint32_t cluster = record.nodeId;
  std::set<uint32_t> used;
  while (left > 0) {
    if (cluster < 2 || !used.insert(cluster).second) return kErrReadFault;  // no more data, or a loop
    uint32_t got = 0;
    ReadSectors(device_, buffer.data(), ClusterSector(record.dataStart, record.origin, cluster), sectors, bps, &got);
    if (got == 0) return kErrReadFault;
    uint64_t take = std::min<uint64_t>(static_cast<uint64_t>(got) * bps, left);
    Status st = sink.Write(buffer.data(), take);
    if (st != kOk) return st;
    left -= take;
    int32_t percent = static_cast<int32_t>((record.size - left) * 100 / record.size);
    if (copyFn_ && !sink.memory) {
      // 100 % is reported once, with the file's outcome, by the caller.
      if (int32_t r = copyFn_(user_, std::min(percent, 99), 100, 0, reportPath.c_str())) return r;
    }
    if (extractFn_) {
      if (int32_t r = extractFn_(extractUser_, percent, 0)) return r;
    }
    if (left > 0) cluster = NextDataCluster(cluster);
  }
  return kOk;
}

Status CFastFatRecovery::CopyFile(const FileRecord& record, const std::string& path) {
  auto finish = [&](Status st) {
    // Every file ends with exactly one 100 % report carrying its outcome.
    if (copyFn_) {
      int32_t r = copyFn_(user_, 100, 100, st > 0 ? st : 0, path.c_str());
      if (r == RESULT_CANCELLED) return r;
    }
    return st;
  };
  FileHandle out;
  // A fresh file: an existing one (never chosen by the recovery driver) is
  // replaced rather than overwritten in place, which would keep a stale tail.
  Status st = out.CreateTruncate(path);
  if (st != kOk) return finish(st);
  if (record.size == 0) return finish(kOk);
  CopySink sink;
  sink.file = &out;
  st = CopyClusters(record, sink, path);
  if (st == RESULT_CANCELLED) {
    // A cancelled copy leaves no half-written file behind.
    out.Close();
    RemoveFile(path);
    return st;
  }
  return finish(st);
}

Status CFastFatRecovery::Recover(const FileRecord* record, const std::string& destinationPath, int32_t) {
  if (!record) return kErrInvalidParameter;
  if (!opened_) return kErrInvalidParameter;
  if (!record->isFolder) {
    Status st = CreateParentFolder(destinationPath);
    if (st != kOk) return st;
    return CopyFile(*record, destinationPath);
  }
  Status st = CreateDirectories(destinationPath);
  if (st != kOk) return st;
  // Breadth first through the folder's tree. The children of a folder are
  // filed under its level, which for the folder itself is its depth below
  // the root and grows by one per level down.
  struct Pending {
    FileRecord folder;
    std::string path;
    uint32_t depth;
  };
  std::deque<Pending> queue{{*record, destinationPath, LevelOf(record->nodeId)}};
  std::set<uint64_t> walked;
  Status result = kOk;
  while (!queue.empty()) {
    Pending item = std::move(queue.front());
    queue.pop_front();
    uint64_t key = FolderKey(item.folder.nodeId, item.depth);
    if (!walked.insert(key).second) continue;
    std::vector<FileRecord> children;
    store_->Flush();
    store_->Children(key, children);
    for (const FileRecord& child : children) {
      std::string childPath = item.path + "/" + SafeFileName(child.Name());
      if (child.isFolder) {
        CreateDirectories(childPath);
        queue.push_back({child, childPath, item.depth + 1});
        continue;
      }
      Status st2 = CopyFile(child, childPath);
      if (st2 == RESULT_CANCELLED) return st2;
      if (st2 != kOk) result = st2;
    }
  }
  return result;
}

Status CFastFatRecovery::Extract(const FileRecord* record, std::string* pathOut, uint8_t* buffer, uint32_t* size,
                                 ExtractProgressFn progress, void* user) {
  if (!record) return kErrInvalidParameter;
  if (!opened_) return kErrInvalidParameter;
  std::string folder = DefaultScanLogRoot() + "/";
  std::string ext = ExtensionOfName(record->Name());
  std::string target;
  if (ExtensionInList(ext, kPreviewCopyList)) target = folder + SafeFileName(record->Name());
  if (ExtensionInList(ext, kAudioList) || ExtensionInList(ext, kVideoList)) target = folder + "tmp.avi";
  if (ExtensionInList(ext, kPictureList)) target = folder + "tmp.jpg";
  extractFn_ = progress;
  extractUser_ = user;
  CopyProgressFn savedCopy = copyFn_;
  copyFn_ = nullptr;
  Status st;
  if (!target.empty() && pathOut) {
    CreateDirectories(folder);
    RemoveFile(target);
    *pathOut = target;
    FileHandle out;
    st = out.CreateTruncate(target);
    if (st == kOk && record->size > 0) {
      CopySink sink;
      sink.file = &out;
      st = CopyClusters(*record, sink, target);
    }
    out.Close();
    if (st != kOk) RemoveFile(target);
    if (size) *size = 0;
  } else {
    CopySink sink;
    sink.memory = buffer;
    sink.capacity = size ? *size : 0;
    FileRecord limited = *record;
    limited.size = std::min<uint64_t>(record->size, sink.capacity);
    st = limited.size > 0 ? CopyClusters(limited, sink, "") : kOk;
    if (size) *size = static_cast<uint32_t>(std::min<uint64_t>(sink.written, sink.capacity));
  }
  extractFn_ = nullptr;
  extractUser_ = nullptr;
  copyFn_ = savedCopy;
  return st;
}

Status CFastFatRecovery::PrepareFreeMap() {
  if (!opened_) return kErrInvalidParameter;
  // Whichever total-sector field the volume uses (small volumes leave the
  // 32-bit one 0).
  uint64_t total = geometry_.totalSectors;
  uint64_t spc = geometry_.sectorsPerCluster;
  uint64_t n = total > geometry_.dataStart ? (total - geometry_.dataStart + spc - 1) / spc : 0;
  usedBitmap_.assign(static_cast<size_t>((n + 7) / 8), 0);
  auto mark = [&](uint64_t bit) { usedBitmap_[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8)); };
  for (uint64_t i = 2; i < n; ++i) {
    uint32_t v = 0;
    if (window_.ReadFatEntry(static_cast<uint32_t>(i), &v) != kOk) continue;
    if (v == 0) continue;
    mark(i - 2);
    if (!window_.IsEndOfChain(v)) {
      uint32_t target = geometry_.IsFat32() ? (v & 0x0FFFFFFF) : v;
      if (target < 2 || target - 2 >= n) break;
      mark(target - 2);
    }
  }
  return kOk;
}

int32_t CFastFatRecovery::NextFreeExtent(uint64_t* position, uint64_t* length) {
  *length = 0;
  if (*position > sectorCount_) {
    *position = sectorCount_;
    return 1;
  }
  const uint64_t spc = geometry_.sectorsPerCluster ? geometry_.sectorsPerCluster : 1;
  const uint64_t dataStart = geometry_.dataStart;
  uint64_t p = *position == 0 ? 0 : (*position > dataStart ? *position - dataStart : 0);
  uint64_t q = p / spc;
  const uint64_t bits = usedBitmap_.size() * 8;
  auto isSet = [&](uint64_t bit) { return (usedBitmap_[bit / 8] >> (bit % 8)) & 1; };
  if (q < bits) {
    uint64_t b = q;
    while (b < bits && isSet(b)) {
      if (b % 8 == 0 && usedBitmap_[b / 8] == 0xFF) {
        b += 8;
        continue;
      }
      ++b;
    }
    if (b < bits) {
      p += (b - q) * spc;
      uint64_t e = b;
      while (e < bits && !isSet(e)) {
        if (e % 8 == 0 && usedBitmap_[e / 8] == 0) {
          e += 8;
          continue;
        }
        ++e;
      }
      e = std::min(e, bits);
      *length = (e - b) * spc;
    }
    uint64_t absolute = p + dataStart;
    if (absolute + *length > sectorCount_) *length = absolute < sectorCount_ ? sectorCount_ - absolute : 0;
  }
  *position = p + dataStart;
  return 1;
}

}  // namespace mendwell
