#include "carving/file_type_recovery.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <new>
#include <vector>

#include "carving/file_classification.h"
#include "carving/size_rules.h"
#include "engine/recovery_paths.h"
#include "engine/scan_log_store.h"
#include "engine/store_queries.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/time.h"

namespace mendwell {

namespace {

// Preview targets of Windows' path limit; longer ones go to memory.
constexpr size_t kMaxTargetPath = 260;
// Internal stop of a buffer extraction once the buffer is full.
constexpr Status kBufferFull = kErrMoreData;

std::string CarvedName(uint64_t firstSector, std::string_view extension) {
  char text[64];
  std::snprintf(text, sizeof text, "%" PRId64 ".%.*s", static_cast<int64_t>(firstSector),
                static_cast<int>(extension.size()), extension.data());
  return text;
}

// The folder part of a path ("" when it has none).
std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

CFileTypeRecovery::CFileTypeRecovery(CarveContext* context) : context_(context ? context : &ownContext_) {
  context_->AllocateScratch();
  // One range per carved transport stream; reserved so that measuring
  // rarely grows the list.
  context_->tsRanges.reserve(256);
}

CFileTypeRecovery::~CFileTypeRecovery() {
  store_.reset();
  CloseDevice(device_);
}

Status CFileTypeRecovery::NewStore(uint64_t startSector) {
  store_ = std::make_unique<ResultStore>();
  store_->SetListCallback(listFn_, listUser_);
  return store_->OpenStore(MakeLogName("File_Type_", startSector, LocalNow()));
}

Status CFileTypeRecovery::ReopenStore(const std::string& logPath) {
  store_ = std::make_unique<ResultStore>();
  store_->SetListCallback(listFn_, listUser_);
  std::string folder = ParentOf(logPath);
  return store_->OpenStoreIn(folder.empty() ? "." : folder, BaseName(logPath));
}

Status CFileTypeRecovery::OpenImage(const std::string& path, uint16_t tag) {
  tag_ = tag;
  startSector_ = 0;
  Status st = OpenImageDevice(device_, path);
  sectorCount_ = device_.sectorCount;
  Status storeSt = NewStore(0);
  return st != kOk ? st : storeSt;
}

Status CFileTypeRecovery::OpenPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, uint16_t tag) {
  tag_ = tag;
  startSector_ = startSector;
  sectorCount_ = sectorCount;
  Status st = OpenDiskDevice(device_, diskIndex);
  Status storeSt = NewStore(startSector);
  return st != kOk ? st : storeSt;
}

Status CFileTypeRecovery::OpenPartitionWithLog(uint32_t sectorSize, int32_t diskIndex, const std::string& logPath,
                                               uint16_t tag) {
  tag_ = tag;
  sectorSize_ = sectorSize ? sectorSize : 512;
  Status st = OpenDiskDevice(device_, diskIndex);
  Status storeSt = ReopenStore(logPath);
  return st != kOk ? st : storeSt;
}

Status CFileTypeRecovery::OpenImageWithLog(uint32_t sectorSize, const std::string& logPath, uint16_t tag,
                                           const std::string& imagePath) {
  tag_ = tag;
  sectorSize_ = sectorSize ? sectorSize : 512;
  Status st = OpenImageDevice(device_, imagePath);
  Status storeSt = ReopenStore(logPath);
  return st != kOk ? st : storeSt;
}

Status CFileTypeRecovery::SetCallbacks(ScanProgressFn scanProgress, CopyProgressFn copyProgress, void* user,
                                       int32_t scale) {
  scanProgress_ = scanProgress;
  copyProgress_ = copyProgress;
  user_ = user;
  scale_ = scale;
  context_->progress = scanProgress;
  context_->progressUser = user;
  context_->progressScale = scale;
  return kOk;
}

// Carved files have no folders: only the top level lists anything.
Status CFileTypeRecovery::ListChildren(const FileRecord* folder, int32_t depth, std::vector<FileRecord>& out) {
  return folder || depth != 0 ? kOk : QueryChildren(store_.get(), 0, out);
}

Status CFileTypeRecovery::CountFiles(const FileRecord* folder, int32_t depth, uint32_t* count) {
  if (folder || depth != 0) {
    if (count) *count = 0;
    return kOk;
  }
  return QueryCount(store_.get(), 0, count);
}

uint64_t CFileTypeRecovery::GetFoundCount() { return store_ ? store_->AppendedCount() : 0; }

Status CFileTypeRecovery::SetListCallback(ListProgressFn fn, void* user) {
  listFn_ = fn;
  listUser_ = user;
  if (!store_) return kErrInvalidParameter;
  store_->SetListCallback(fn, user);
  return kOk;
}

int32_t CFileTypeRecovery::ListByType(const std::string& filter, std::vector<FileRecord>& out) {
  return QueryByType(store_.get(), listFn_, listUser_, filter, out);
}

Status CFileTypeRecovery::IdentifyFile(uint32_t sectorSize, SectorDevice* reader, ByteView sector,
                                       uint64_t firstSector, uint64_t progressBase, uint64_t progressTotal,
                                       int32_t secondsLeft, uint64_t filesFound, CarvedFile* found) {
  CarveContext& c = *context_;
  c.sectorSize = sectorSize;
  c.reader = reader;
  c.startSector = firstSector;
  c.currentSector = firstSector;
  c.progressBase = progressBase;
  c.progressTotal = progressTotal ? progressTotal : 1;
  c.secondsLeft = secondsLeft;
  c.filesFound = filesFound;

  const FileTypeCode code = MayStartFile(sector) ? DetectFileType(sector, c) : FileTypeCode::kNone;
  c.tsFlag = true;
  c.mtsFlag = false;
  if (code == FileTypeCode::kNone || SizeRuleOf(code) == SizeRule::kNone) return kErrInvalidParameter;
  if (code != FileTypeCode::kTs) c.tsFlag = false;
  if (code == FileTypeCode::kMts) c.mtsFlag = true;

  found->code = code;
  found->name = CarvedName(firstSector, ExtensionOf(code));
  c.cancelResult = kOk;
  found->size = MeasureFile(c, code, sector);
  return c.cancelResult == RESULT_CANCELLED ? RESULT_CANCELLED : kOk;
}

Status CFileTypeRecovery::ExamineSector(uint32_t sectorSize, ByteView sector, uint64_t firstSector,
                                        uint64_t progressBase, uint64_t progressTotal, int32_t secondsLeft,
                                        SectorDevice* reader, uint64_t* skip, uint64_t* filesFound) {
  if (sectorSize == 0) return kErrInvalidParameter;
  sectorSize_ = sectorSize;
  CarvedFile found;
  Status st = IdentifyFile(sectorSize, reader, sector, firstSector, progressBase, progressTotal, secondsLeft,
                           filesFound ? *filesFound : 0, &found);
  if (st != kOk) return st;

  if (store_) {
    FileRecord& record = store_->AppendRecord();
    record.driveLetter = tag_;
    record.sourceEngine = kSourceCarving;
    record.isFolder = 0;
    record.intact = 1;
    record.nodeId = 0;
    record.clusterSize = -1;
    record.size = found.size;
    record.dataStart = 0;
    record.location = firstSector;
    record.SetName(found.name);
    store_->AddRelation(0, record.recordId, 0, nullptr);
  }
  if (skip) {
    if (ResumeRuleOf(found.code) == ResumeRule::kNextSector)
      *skip = 1;
    else
      *skip = std::max<uint64_t>(1, found.size / sectorSize + (found.size % sectorSize ? 1 : 0));
  }
  if (filesFound) ++*filesFound;
  lastCarved_ = std::move(found);
  return kOk;
}

template <class Sink>
Status CFileTypeRecovery::ReadRun(const FileRecord& record, Sink&& sink) {
  const uint32_t s = sectorSize_;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kIoChunkBytes]);
  if (!buffer) return kErrNotEnoughMemory;
  uint64_t remaining = (record.size + s - 1) / s * s;
  uint64_t sector = record.location;
  uint64_t done = 0;
  while (remaining != 0) {
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kIoChunkBytes, remaining) / s);
    uint32_t got = 0;
    Status st = ReadSectors(device_, buffer.get(), sector, count, s, &got);
    if (got == 0) return st != kOk ? st : kErrReadFault;
    const uint64_t bytes = std::min<uint64_t>(static_cast<uint64_t>(got) * s, record.size - done);
    done += bytes;
    if (Status sinkSt = sink(buffer.get(), bytes, done); sinkSt != kOk) return sinkSt;
    if (st != kOk) return st;
    sector += got;
    remaining -= static_cast<uint64_t>(got) * s;
  }
  return kOk;
}

Status CFileTypeRecovery::CopyCarvedFile(const FileRecord& record, const std::string& destinationPath) {
  FileHandle out;
  Status st = out.CreateTruncate(destinationPath);
  if (st == kOk) {
    uint64_t written = 0;
    st = ReadRun(record, [&](const uint8_t* bytes, uint64_t length, uint64_t done) -> Status {
      Status w = out.WriteAll(written, bytes, length);
      if (w != kOk) return w;
      written += length;
      if (!copyProgress_) return kOk;
      return copyProgress_(user_, static_cast<int32_t>(done * 100 / record.size), 100, 0, destinationPath.c_str());
    });
    // An empty file has no chunk to report: tell the caller it is done.
    if (st == kOk && record.size == 0 && copyProgress_)
      st = copyProgress_(user_, 100, 100, 0, destinationPath.c_str());
  }
  if (st > 0 && copyProgress_) copyProgress_(user_, 100, 100, st, destinationPath.c_str());
  return st;
}

Status CFileTypeRecovery::Recover(const FileRecord* record, const std::string& destinationPath, int32_t) {
  if (!record) return kErrInvalidParameter;
  std::string parent = ParentOf(destinationPath);
  if (!parent.empty()) {
    Status st = CreateDirectories(parent);
    if (st != kOk && st != kErrFileExists && st != kErrAlreadyExists) return st;
  }
  return CopyCarvedFile(*record, destinationPath);
}

Status CFileTypeRecovery::Extract(const FileRecord* record, std::string* pathOut, uint8_t* buffer, uint32_t* size,
                                  ExtractProgressFn progress, void* user) {
  if (!record) return kErrInvalidParameter;
  const std::string extension = ExtensionOfName(record->Name());
  const std::string folder = DefaultScanLogRoot();
  std::string target;
  if (ExtensionInList(extension, kAudioList) || ExtensionInList(extension, kVideoList))
    target = folder + "/tmp.avi";
  else if (ExtensionInList(extension, kPictureList))
    target = folder + "/tmp.jpg";
  else if (ExtensionInList(extension, kPreviewCopyList))
    target = folder + "/" + SafeFileName(record->Name());

  const bool toFile = !target.empty() && target.size() < kMaxTargetPath;
  FileHandle out;
  if (toFile) {
    if (pathOut) *pathOut = target;
    CreateDirectories(folder);
    RemoveFile(target);
    if (Status st = out.CreateTruncate(target); st != kOk) {
      if (progress) progress(user, 100, st);
      if (size) *size = 0;
      return st;
    }
  } else if (!buffer || !size) {
    return kErrInvalidParameter;
  }
  const uint64_t capacity = toFile ? 0 : *size;
  uint64_t placed = 0, written = 0;
  Status st = ReadRun(*record, [&](const uint8_t* bytes, uint64_t length, uint64_t done) -> Status {
    if (toFile) {
      if (Status w = out.WriteAll(written, bytes, length); w != kOk) return w;
      written += length;
    } else {
      const uint64_t room = std::min(length, capacity - placed);
      std::copy(bytes, bytes + room, buffer + placed);
      placed += room;
    }
    if (progress)
      if (Status p = progress(user, static_cast<int32_t>(done * 100 / record->size), 0); p != kOk) return p;
    // A full buffer ends the reading: nothing more could be delivered.
    return !toFile && placed == capacity && done < record->size ? kBufferFull : kOk;
  });
  if (st == kBufferFull) st = kOk;
  if (st > 0 && progress) progress(user, 100, st);
  if (toFile) {
    out.Close();
    if (st != kOk) RemoveFile(target);
  }
  if (size) *size = static_cast<uint32_t>(placed);
  return st;
}

}  // namespace mendwell
