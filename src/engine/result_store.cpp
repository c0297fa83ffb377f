#include "engine/result_store.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <set>

#include "carving/file_classification.h"
#include "engine/scan_log_store.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace mendwell {

namespace {

// Reads a whole small file (relation or folder-name file) from its start.
std::vector<uint8_t> ReadAllOf(const FileHandle& file) {
  uint64_t size = 0;
  if (file.Size(&size) != kOk) return {};
  std::vector<uint8_t> data(size);
  size_t done = 0;
  while (done < size) {
    size_t got = 0;
    if (file.ReadAtSome(done, data.data() + done, size - done, &got) != kOk || got == 0) break;
    done += got;
  }
  data.resize(done);
  return data;
}

// Replaces a file's content (writes from its start, then cuts it there).
Status Rewrite(FileHandle& file, const void* data, size_t size) {
  Status st = file.WriteAll(0, data, size);
  if (st == kOk) st = file.Truncate(size);
  return st;
}

// A decimal number at text[pos...] after optional blanks; false when no digit.
bool ParseNumber(std::string_view text, size_t pos, uint64_t* value) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  uint64_t v = 0;
  bool any = false;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    uint64_t digit = static_cast<uint64_t>(text[pos] - '0');
    if (v > (UINT64_MAX - digit) / 10) return false;
    v = v * 10 + digit;
    any = true;
    ++pos;
  }
  *value = v;
  return any;
}

bool IsFolderRecordBytes(const uint8_t* r) {
  return ByteView(r, kFileRecordSize).le32(6) != 0;
}

}  // namespace

Status ResultStore::OpenStore(const std::string& logName) {
  return OpenStoreIn(GetScanLogStore().CurrentLogFolder(), logName);
}

Status ResultStore::OpenStoreIn(const std::string& folder, const std::string& logName) {
  CloseStore();
  Status st = CreateDirectories(folder);
  if (st != kOk) return st;
  std::string base = folder;
  if (base.empty() || base.back() != '/') base += '/';
  recordsPath_ = base + logName;
  relationPath_ = recordsPath_ + "_Relation";
  folderNamePath_ = recordsPath_ + "_DirInfo";

  st = records_.OpenAlways(recordsPath_);
  if (st != kOk) return st;
  uint64_t size = 0;
  st = records_.Size(&size);
  if (st != kOk) return st;
  idBase_ = size / kFileRecordSize;
  // New records go right after the last whole record, so a torn tail never
  // shifts them off their 346-byte slots.
  recordsBytes_ = idBase_ * kFileRecordSize;
  st = relation_.OpenAlways(relationPath_);
  if (st != kOk) return st;

  std::vector<uint8_t> text = ReadAllOf(relation_);
  relations_ = ParseRelations(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));

  pending_.reserve(kRecordsPerBlock);
  st = folderFile_.OpenAlways(folderNamePath_);
  if (st != kOk) return st;
  std::vector<uint8_t> names = ReadAllOf(folderFile_);
  ByteView view(names.data(), names.size());
  for (size_t off = 0; view.Has(off, kFolderNameEntrySize); off += kFolderNameEntrySize) {
    FolderNameEntry e;
    e.nodeId = view.le32(off);
    e.recordId = view.le32(off + 4);
    const char* name = reinterpret_cast<const char*>(names.data() + off + 8);
    e.name = std::string(name, strnlen(name, kFileRecordNameSize - 1));
    folderNames_.push_back(std::move(e));
  }
  lookupsBuilt_ = false;
  return kOk;
}

FileRecord& ResultStore::AppendRecord() {
  if (pending_.size() >= kRecordsPerBlock) WritePending();
  pending_.emplace_back();
  ++appended_;
  pending_.back().recordId = static_cast<uint32_t>(idBase_ + appended_);
  return pending_.back();
}

void ResultStore::AddRelation(uint64_t key, uint32_t recordId, uint32_t nodeId, const char* folderName) {
  relations_[key].push_back(recordId);
  if (folderName) {
    FolderNameEntry e;
    e.nodeId = nodeId;
    e.recordId = recordId;
    e.name = CutUtf8(folderName, kFileRecordNameSize - 1);
    folderNames_.push_back(std::move(e));
    if (lookupsBuilt_) folderNameOfNode_.emplace(nodeId, folderNames_.size() - 1);
  }
  if (lookupsBuilt_) {
    auto [it, inserted] = keyOfRecord_.emplace(recordId, key);
    if (!inserted && key < it->second) it->second = key;
  }
  indexDirty_ = true;
}

Status ResultStore::WritePending() {
  if (pending_.empty()) return kOk;
  std::vector<uint8_t> block(pending_.size() * kFileRecordSize);
  for (size_t i = 0; i < pending_.size(); ++i) EncodeFileRecord(pending_[i], block.data() + i * kFileRecordSize);
  // The buffer is emptied whatever happens: a failed write loses these
  // records, as a full disk would.
  pending_.clear();
  Status st = records_.WriteAll(recordsBytes_, block.data(), block.size());
  if (st == kOk) recordsBytes_ += block.size();
  cacheValid_ = false;  // the last cached block may have grown
  return st;
}

Status ResultStore::Flush() {
  if (!isOpen()) return kOk;
  Status st = WritePending();
  if (st != kOk) return st;
  if (!indexDirty_) return kOk;
  std::string text = FormatRelations(relations_);
  st = Rewrite(relation_, text.data(), text.size());
  std::vector<uint8_t> names(folderNames_.size() * kFolderNameEntrySize, 0);
  for (size_t i = 0; i < folderNames_.size(); ++i) {
    uint8_t* e = names.data() + i * kFolderNameEntrySize;
    PutLe32(e, folderNames_[i].nodeId);
    PutLe32(e + 4, folderNames_[i].recordId);
    std::memcpy(e + 8, folderNames_[i].name.data(), std::min(folderNames_[i].name.size(), kFileRecordNameSize - 1));
  }
  Status names_st = Rewrite(folderFile_, names.data(), names.size());
  if (st == kOk && names_st == kOk) indexDirty_ = false;
  return names_st;
}

void ResultStore::CloseStore() {
  if (isOpen()) Flush();
  records_.Close();
  relation_.Close();
  folderFile_.Close();
  relations_.clear();
  folderNames_.clear();
  pending_.clear();
  keyOfRecord_.clear();
  folderNameOfNode_.clear();
  lookupsBuilt_ = false;
  indexDirty_ = false;
  appended_ = 0;
  idBase_ = 0;
  recordsBytes_ = 0;
  cacheValid_ = false;
}

Status ResultStore::ReadRecord(uint32_t recordId, FileRecord* record) {
  if (recordId == 0) return kErrInvalidParameter;
  uint64_t offset = static_cast<uint64_t>(recordId - 1) * kFileRecordSize;
  if (offset + kFileRecordSize <= recordsBytes_) {
    // Records of one folder mostly lie together: read a whole block of 200
    // records once and serve its neighbours from memory.
    uint64_t blockStart = offset - offset % kRecordBlockBytes;
    if (!cacheValid_ || cacheStart_ != blockStart) {
      size_t len = static_cast<size_t>(std::min<uint64_t>(kRecordBlockBytes, recordsBytes_ - blockStart));
      cache_.resize(len);
      cacheValid_ = false;
      Status st = records_.ReadAll(blockStart, cache_.data(), len);
      if (st != kOk) return st;
      cacheStart_ = blockStart;
      cacheValid_ = true;
    }
    *record = DecodeFileRecord(ByteView(cache_.data() + (offset - blockStart), kFileRecordSize));
    return kOk;
  }
  uint64_t written = recordsBytes_ / kFileRecordSize;
  if (recordId > written && recordId - written <= pending_.size()) {
    *record = pending_[recordId - written - 1];
    return kOk;
  }
  return kErrReadFault;
}

const std::vector<uint32_t>* ResultStore::ListOf(uint64_t key) const {
  if (key == 0) return relations_.empty() ? nullptr : &relations_.begin()->second;
  auto it = relations_.find(key);
  return it == relations_.end() ? nullptr : &it->second;
}

Status ResultStore::Children(uint64_t key, std::vector<FileRecord>& out) {
  const std::vector<uint32_t>* ids = ListOf(key);
  Status result = kOk;
  if (ids) {
    for (uint32_t id : *ids) {
      FileRecord r;
      result = ReadRecord(id, &r);
      if (result != kOk) break;
      if (IsDamagedPicture(r.Name(), r.intact != 0)) continue;
      out.push_back(r);
    }
  }
  if (out.size() >= 2) SortDisplayOrder(out);
  return result;
}

Status ResultStore::Count(uint64_t key, uint32_t* count) {
  *count = 0;
  Status result = kOk;
  std::deque<uint64_t> queue{key};
  // A damaged log may file a folder inside itself; each key is walked once.
  std::set<uint64_t> visited;
  while (!queue.empty()) {
    uint64_t k = queue.front();
    queue.pop_front();
    if (!visited.insert(k).second) continue;
    const std::vector<uint32_t>* ids = ListOf(k);
    if (!ids) continue;
    uint32_t depth = static_cast<uint32_t>(k >> 32);
    for (uint32_t id : *ids) {
      FileRecord r;
      Status st = ReadRecord(id, &r);
      if (st != kOk) {
        result = st;
        break;
      }
      if (r.isFolder)
        queue.push_back(FolderKey(r.nodeId, depth + 1));
      else
        ++*count;
    }
  }
  return result;
}

void ResultStore::IndexRecordKeys() {
  keyOfRecord_.clear();
  folderNameOfNode_.clear();
  for (const auto& [key, ids] : relations_)
    for (uint32_t id : ids) keyOfRecord_.emplace(id, key);  // ascending keys: the first stays
  for (size_t i = 0; i < folderNames_.size(); ++i) folderNameOfNode_.emplace(folderNames_[i].nodeId, i);
  lookupsBuilt_ = true;
}

Status ResultStore::Ancestors(const FileRecord& record, std::vector<FileRecord>* out) {
  out->clear();
  if (relations_.empty()) return kOk;
  if (!lookupsBuilt_) IndexRecordKeys();
  const uint64_t topKey = relations_.begin()->first;
  std::set<uint32_t> seen{record.recordId};
  uint32_t current = record.recordId;
  for (;;) {
    auto k = keyOfRecord_.find(current);
    if (k == keyOfRecord_.end() || k->second == topKey) return kOk;
    uint32_t parentNode = static_cast<uint32_t>(k->second);
    FileRecord ancestor;
    auto named = folderNameOfNode_.find(parentNode);
    if (named != folderNameOfNode_.end()) {
      const FolderNameEntry& e = folderNames_[named->second];
      ancestor.SetName(e.name);
      ancestor.recordId = e.recordId;
      ancestor.nodeId = e.nodeId;
      ancestor.isFolder = 1;
    } else {
      Flush();
      bool found = false;
      std::vector<uint8_t> block(kRecordBlockBytes);
      for (uint64_t off = 0; off < recordsBytes_ && !found; off += kRecordBlockBytes) {
        size_t len = static_cast<size_t>(std::min<uint64_t>(kRecordBlockBytes, recordsBytes_ - off));
        if (records_.ReadAll(off, block.data(), len) != kOk) break;
        for (size_t r = 0; r + kFileRecordSize <= len; r += kFileRecordSize) {
          ByteView v(block.data() + r, kFileRecordSize);
          if (v.le32(6) != 0 && v.le32(22) == parentNode) {
            ancestor = DecodeFileRecord(v);
            found = true;
            break;
          }
        }
      }
      if (!found) return kErrInvalidParameter;
    }
    if (!seen.insert(ancestor.recordId).second) return kOk;
    out->push_back(ancestor);
    current = ancestor.recordId;
  }
}

Status ResultStore::Path(const FileRecord& record, std::string* path) {
  std::vector<FileRecord> ancestors;
  Status st = Ancestors(record, &ancestors);
  path->clear();
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
    path->append(it->Name());
    path->push_back('/');
  }
  return st == kErrInvalidParameter ? kOk : st;  // a missing ancestor ends the path
}

int32_t ResultStore::ByType(const std::string& filterText, std::vector<FileRecord>& out) {
  std::string_view filter(filterText);
  if (filter.size() > 4096) filter = filter.substr(0, 4096);
  bool otherMode = filter.find(".other") != std::string_view::npos;
  if (!pending_.empty()) WritePending();
  FileHandle file;
  if (file.OpenReadOnly(recordsPath_) != kOk) return 0;
  uint64_t size = 0;
  if (file.Size(&size) != kOk) return 1;
  if (size >= kOtherModeLimitBytes) otherMode = false;
  const std::string& known = KnownExtensionText();
  // Room for every record the file could list: only what is written to is
  // ever touched, and the list never has to move while it grows.
  out.reserve(out.size() + static_cast<size_t>(size / kFileRecordSize));
  AdviseLargeBuffer(out.data() + out.size(), (out.capacity() - out.size()) * sizeof(FileRecord));
  std::vector<uint8_t> block(kRecordBlockBytes);
  char pattern[kFileRecordNameSize + 2];
  uint64_t offset = 0;
  while (offset < size) {
    // Whole records only: a torn tail of the file is never listed.
    size_t want = static_cast<size_t>(std::min<uint64_t>(kRecordBlockBytes, size - offset));
    want -= want % kFileRecordSize;
    if (want == 0) break;
    size_t got = 0;
    if (file.ReadAtSome(offset, block.data(), want, &got) != kOk || got < kFileRecordSize) break;
    size_t whole = got - got % kFileRecordSize;
    for (size_t r = 0; r < whole; r += kFileRecordSize) {
      const uint8_t* rec = block.data() + r;
      if (IsFolderRecordBytes(rec)) continue;
      const char* name = reinterpret_cast<const char*>(rec + 86);
      size_t nameLen = strnlen(name, kFileRecordNameSize);
      const char* dot = static_cast<const char*>(memrchr(name, '.', nameLen));
      size_t extLen = dot ? nameLen - static_cast<size_t>(dot - name) - 1 : 0;
      bool listed;
      if (extLen == 0) {
        listed = otherMode;
      } else {
        pattern[0] = '.';
        for (size_t i = 0; i < extLen; ++i) {
          char c = dot[1 + i];
          pattern[1 + i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        std::string_view pat(pattern, extLen + 1);
        bool intact = ByteView(rec, kFileRecordSize).le32(14) != 0;
        if (!intact && ExtensionInList(pat.substr(1), kPictureList)) continue;
        listed = filter.find(pat) != std::string_view::npos ||
                 (otherMode && known.find(pat) == std::string::npos);
      }
      if (listed) out.push_back(DecodeFileRecord(ByteView(rec, kFileRecordSize)));
    }
    offset += whole;
    if (listFn_ && listFn_(listUser_, static_cast<int32_t>(offset * 100 / size), 0) != 0) break;
  }
  if (out.size() >= 2) SortDisplayOrder(out);
  return 1;
}

void SortDisplayOrder(std::vector<FileRecord>& records) {
  // Records are large: sort their positions, then move the records into
  // place in cycles, without a second list of them.
  // The first eight lower-cased bytes of a name, big-endian and padded with
  // zeros, order names as the case-insensitive comparison does, so most
  // comparisons of a large sort are one integer comparison.
  struct Key {
    bool folder;
    uint64_t prefix;
    std::string_view name;
    uint32_t index;
  };
  auto prefixOf = [](std::string_view name) {
    uint64_t p = 0;
    for (size_t i = 0; i < 8; ++i) {
      uint8_t c = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
      if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c + 32);
      p = (p << 8) | c;
    }
    return p;
  };
  std::vector<Key> keys;
  keys.reserve(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    std::string_view name = records[i].Name();
    keys.push_back(Key{records[i].isFolder != 0, prefixOf(name), name, static_cast<uint32_t>(i)});
  }
  std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.folder != b.folder) return !a.folder;
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return CompareNoCase(a.name.substr(std::min<size_t>(8, a.name.size())),
                         b.name.substr(std::min<size_t>(8, b.name.size()))) < 0;
  });
  std::vector<uint32_t> from(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) from[i] = keys[i].index;
  keys.clear();
  keys.shrink_to_fit();
  for (size_t start = 0; start < from.size(); ++start) {
    if (from[start] == start) continue;
    FileRecord held = records[start];
    size_t at = start;
    while (from[at] != start) {
      size_t next = from[at];
      records[at] = records[next];
      from[at] = static_cast<uint32_t>(at);
      at = next;
    }
    records[at] = held;
    from[at] = static_cast<uint32_t>(at);
  }
}

std::string FormatRelations(const ResultStore::RelationIndex& index) {
  std::string text;
  for (const auto& [key, ids] : index) {
    text += " | ";
    text += std::to_string(key);
    text += " - [";
    for (size_t i = 0; i < ids.size(); ++i) {
      if (i) text += ',';
      text += std::to_string(ids[i]);
    }
    text += ']';
  }
  return text;
}

ResultStore::RelationIndex ParseRelations(std::string_view text) {
  ResultStore::RelationIndex index;
  size_t pos = 0;
  for (;;) {
    size_t bar = text.find(" | ", pos);
    if (bar == std::string_view::npos) break;
    uint64_t key = 0;
    ParseNumber(text, bar + 3, &key);
    size_t open = text.find("- [", bar + 3);
    if (open == std::string_view::npos) break;
    std::vector<uint32_t> ids;
    size_t numberStart = open + 3;
    size_t close = std::string_view::npos;
    for (size_t i = numberStart; i < text.size(); ++i) {
      if (text[i] != ',' && text[i] != ']') continue;
      uint64_t id = 0;
      if (ParseNumber(text.substr(0, i), numberStart, &id) && id != 0 && id <= UINT32_MAX)
        ids.push_back(static_cast<uint32_t>(id));
      numberStart = i + 1;
      if (text[i] == ']') {
        close = i;
        break;
      }
    }
    if (close == std::string_view::npos) break;  // a torn entry is dropped
    index[key] = std::move(ids);
    pos = close + 1;
  }
  return index;
}

}  // namespace mendwell
