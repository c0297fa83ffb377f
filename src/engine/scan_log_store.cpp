#include "engine/scan_log_store.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "device/sector_device.h"
#include "platform/disks.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace mendwell {

namespace {

constexpr size_t kPathField = 520;

void PutUtf16Field(uint8_t* out, const std::string& text) {
  std::memset(out, 0, kPathField);
  std::u16string wide = Utf8ToUtf16(text);
  size_t units = wide.size() < kPathField / 2 - 1 ? wide.size() : kPathField / 2 - 1;
  for (size_t i = 0; i < units; ++i) PutLe16(out + 2 * i, static_cast<uint16_t>(wide[i]));
}

std::string GetUtf16Field(ByteView field) {
  return Utf16LeBytesToUtf8(field.data(), field.size() / 2, true);
}

// Lexically normalised, with exactly one trailing "/".
std::string FolderForm(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p + "/";
}

}  // namespace

void EncodeScanLogEntry(const ScanLogEntry& e, uint8_t out[kScanLogEntrySize]) {
  std::memset(out, 0, kScanLogEntrySize);
  PutLe32(out + 0, static_cast<uint32_t>(e.diskIndex));
  PutLe64(out + 8, e.startSector);
  PutLe64(out + 16, e.sectorCount);
  PutLe64(out + 24, e.resume.extentStart);
  PutLe64(out + 32, e.resume.extentLength);
  PutLe64(out + 40, e.resume.extentOffset);
  PutLe64(out + 48, e.resume.sectorsDone);
  PutLe64(out + 56, e.resume.filesFound);
  PutLe64(out + 64, e.freeBytes);
  PutLe64(out + 72, e.imageTime);
  PutUtf16Field(out + 80, e.imagePath);
  PutUtf16Field(out + 600, e.logFolder);
}

ScanLogEntry DecodeScanLogEntry(ByteView b) {
  ScanLogEntry e;
  e.diskIndex = static_cast<int32_t>(b.le32(0));
  e.startSector = b.le64(8);
  e.sectorCount = b.le64(16);
  e.resume.extentStart = b.le64(24);
  e.resume.extentLength = b.le64(32);
  e.resume.extentOffset = b.le64(40);
  e.resume.sectorsDone = b.le64(48);
  e.resume.filesFound = b.le64(56);
  e.freeBytes = b.le64(64);
  e.imageTime = b.le64(72);
  e.imagePath = GetUtf16Field(b.Sub(80, kPathField));
  e.logFolder = GetUtf16Field(b.Sub(600, kPathField));
  return e;
}

std::string MakeLogName(const char* prefix, uint64_t startSector, const CalendarTime& t) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%s%lld_%d%d%d%d%2d", prefix, static_cast<long long>(startSector), t.year, t.month,
                t.day, t.hour, t.minute);
  return buf;
}

ScanLogStore::ScanLogStore(std::string root) : root_(std::move(root)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

void ScanLogStore::LoadIndex() {
  counter_ = 0;
  entries_.clear();
  if (!PathExists(ConfigPath()) && PathExists(TempConfigPath())) RenamePath(TempConfigPath(), ConfigPath());
  FileHandle file;
  if (file.OpenReadOnly(ConfigPath()) != kOk) return;
  uint64_t size = 0;
  if (file.Size(&size) != kOk || size < kScanLogHeaderSize) return;
  std::vector<uint8_t> data(size);
  uint64_t got = 0;
  ReadWholeFile(file, data.data(), size, &got);  // a failed read keeps what arrived
  if (got < kScanLogHeaderSize) return;
  ByteView view(data.data(), got);
  counter_ = view.le64(0);
  for (size_t off = kScanLogHeaderSize; view.Has(off, kScanLogEntrySize); off += kScanLogEntrySize)
    entries_.push_back(DecodeScanLogEntry(view.Sub(off, kScanLogEntrySize)));
}

Status ScanLogStore::SaveIndex() {
  Status st = CreateDirectories(root_);
  if (st != kOk) return st;
  std::vector<uint8_t> data(kScanLogHeaderSize + entries_.size() * kScanLogEntrySize);
  PutLe64(data.data(), counter_);
  for (size_t i = 0; i < entries_.size(); ++i)
    EncodeScanLogEntry(entries_[i], data.data() + kScanLogHeaderSize + i * kScanLogEntrySize);
  FileHandle tmp;
  st = tmp.CreateTruncate(TempConfigPath());
  if (st != kOk) return st;
  uint32_t written = 0;
  st = WriteRun(tmp, data.data(), static_cast<uint32_t>(data.size()), 1, &written);
  if (st == kOk && written != data.size()) st = kErrDiskFull;
  if (st == kOk) st = tmp.Sync();
  tmp.Close();
  if (st != kOk) return st;  // the old index stays as it was
  // rename() replaces "config" in one step; LoadIndex still recovers a
  // lone "config.tmp" left by an older writer that deleted first.
  return RenamePath(TempConfigPath(), ConfigPath());
}

std::string ScanLogStore::CurrentLogFolder() const {
  if (found_) return foundFolder_;
  return root_ + "/" + std::to_string(counter_) + "/";
}

void ScanLogStore::NewScanFolder() {
  ++counter_;
  found_ = false;
  foundFolder_.clear();
  DeleteLogFolder(CurrentLogFolder());
}

bool ScanLogStore::IsInsideRoot(const std::string& folder) const {
  // The folder comes from the index file: never delete anything outside the
  // scan-log root, whatever a damaged index says.
  std::string f = AbsolutePath(FolderForm(folder));
  std::string r = AbsolutePath(root_);
  return f.size() > r.size() + 1 && f.compare(0, r.size(), r) == 0 && f[r.size()] == '/' &&
         f.find("/../") == std::string::npos;
}

void ScanLogStore::DeleteLogFolder(const std::string& folder) {
  std::string wanted = FolderForm(folder);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (CompareNoCase(FolderForm(it->logFolder), wanted) == 0) {
      entries_.erase(it);
      break;
    }
  }
  if (IsDirectoryPath(wanted) && IsInsideRoot(wanted)) RemoveTree(wanted.substr(0, wanted.size() - 1));
}

bool ScanLogStore::FindLogByPrefix(const std::string& prefix, const std::string& folder, std::string* name) {
  std::vector<std::string> names;
  if (ListFolder(folder, &names) != kOk) return false;
  for (const std::string& n : names) {
    if (!n.empty() && n[0] == '.') continue;
    if (n.find(prefix) != std::string::npos) {
      *name = n;
      return true;
    }
  }
  return false;
}

const ScanLogEntry* ScanLogStore::FindPartitionEntry(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount,
                                                     uint64_t freeBytes) {
  for (const ScanLogEntry& e : entries_) {
    if (e.diskIndex != diskIndex || e.startSector != startSector || e.sectorCount != sectorCount) continue;
    if (e.freeBytes == freeBytes) return &e;
    DeleteLogFolder(e.logFolder);  // the volume was written since the scan
    return nullptr;
  }
  return nullptr;
}

const ScanLogEntry* ScanLogStore::FindImageEntry(const std::string& imagePath, uint64_t imageTime) {
  for (const ScanLogEntry& e : entries_) {
    if (e.imagePath != imagePath) continue;
    if (e.imageTime == imageTime) return &e;
    DeleteLogFolder(e.logFolder);
    return nullptr;
  }
  return nullptr;
}

bool ScanLogStore::LookupPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount,
                                   ScanLogEntry* out) {
  const ScanLogEntry* e =
      FindPartitionEntry(diskIndex, startSector, sectorCount, PartitionVolumeFreeBytes(diskIndex, startSector));
  found_ = e != nullptr;
  foundFolder_ = e ? e->logFolder : std::string();
  if (e && out) *out = *e;
  return found_;
}

bool ScanLogStore::LookupImage(const std::string& imagePath, ScanLogEntry* out) {
  uint64_t time = 0;
  LastWriteFileTime(imagePath, &time);
  const ScanLogEntry* e = FindImageEntry(imagePath, time);
  found_ = e != nullptr;
  foundFolder_ = e ? e->logFolder : std::string();
  if (e && out) *out = *e;
  return found_;
}

Status ScanLogStore::SaveEntry(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount,
                               const ResumePosition& position, const std::string& logFolder,
                               const std::string& imagePath) {
  ScanLogEntry* entry = nullptr;
  uint64_t imageTime = 0, freeBytes = 0;
  if (!imagePath.empty()) {
    LastWriteFileTime(imagePath, &imageTime);
    for (ScanLogEntry& e : entries_)
      if (e.imagePath == imagePath && e.imageTime == imageTime) {
        entry = &e;
        break;
      }
  } else {
    freeBytes = PartitionVolumeFreeBytes(diskIndex, startSector);
    for (ScanLogEntry& e : entries_)
      if (e.diskIndex == diskIndex && e.startSector == startSector && e.sectorCount == sectorCount &&
          e.freeBytes == freeBytes) {
        entry = &e;
        break;
      }
  }
  if (entry) {
    entry->resume = position;
  } else {
    ScanLogEntry e;
    e.diskIndex = imagePath.empty() ? diskIndex : kImageDiskIndex;
    e.startSector = startSector;
    e.sectorCount = sectorCount;
    e.resume = position;
    e.freeBytes = freeBytes;
    e.imageTime = imageTime;
    e.imagePath = imagePath;
    e.logFolder = logFolder;
    entries_.push_back(std::move(e));
  }
  return SaveIndex();
}

std::string DefaultScanLogRoot() { return AppDataFolder() + "/Quarvel Mendwell/ScanLog"; }

ScanLogStore& GetScanLogStore() {
  static ScanLogStore* store = [] {
    auto* s = new ScanLogStore(DefaultScanLogRoot());
    s->LoadIndex();
    return s;
  }();
  return *store;
}

uint64_t PartitionVolumeFreeBytes(int32_t diskIndex, uint64_t startSector) {
  std::string node = PartitionNodeAt(diskIndex, startSector);
  if (node.empty()) return 0;
  uint64_t bytes = 0;
  return VolumeFreeBytes(node, &bytes) == kOk ? bytes : 0;
}

}  // namespace mendwell
