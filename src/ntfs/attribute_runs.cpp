#include "ntfs/attribute_runs.h"

#include <algorithm>

#include "ntfs/ntfs_attributes.h"

namespace mendwell {

namespace {

// $ATTRIBUTE_LIST entry: 0x00 u32 type, 0x04 u16 length, 0x06 u8 name
// length, 0x08 u64 starting VCN, 0x10 u32 + 0x14 u16 record number.
constexpr uint32_t kListEntryMin = 0x1A;

// One entry of an $ATTRIBUTE_LIST: which attribute lives in which record.
struct ListEntry {
  uint32_t type = 0;
  uint8_t nameLength = 0;
  uint64_t vcn = 0;     // first cluster of the extent it names
  uint64_t record = 0;  // 48-bit record number
  uint16_t id = 0;      // attribute id inside that record
};

// The entry at *pos, advancing *pos past it; false at the end of the list
// or at an entry that does not fit in it.
bool NextListEntry(ByteView list, size_t* pos, ListEntry* entry) {
  if (!list.Has(*pos, kListEntryMin)) return false;
  const size_t at = *pos;
  const uint16_t length = list.le16(at + 4);
  entry->type = list.le32(at);
  if (entry->type == 0 || entry->type == kAttrEnd || length < kListEntryMin || !list.Has(at, length)) return false;
  entry->nameLength = list.u8(at + 6);
  entry->vcn = list.le64(at + 8);
  entry->record = list.le32(at + 0x10) | (static_cast<uint64_t>(list.le16(at + 0x14)) << 32);
  entry->id = list.le16(at + 0x18);
  *pos = at + length;
  return true;
}

// Whether a list entry names the wanted attribute (unnamed only, for $DATA).
bool Wanted(const ListEntry& entry, uint32_t type) {
  return entry.type == type && !(type == kAttrData && entry.nameLength != 0);
}
// A list larger than this is not a list of a real file (a file with a
// million fragments needs far less).
constexpr uint64_t kMaxListBytes = 1u << 20;

ByteView RecordView(const MftRecordBuffer& buffer, const NtfsGeometry& geometry) {
  return ByteView(buffer.data(), std::min<size_t>(geometry.recordSize, buffer.size()));
}

// The attribute of `type` whose extent starts at `vcn`, or the first one of
// that type when none matches (resident attributes have no VCN).
bool FindExtent(ByteView record, uint32_t type, uint64_t vcn, NtfsAttribute* out) {
  AttributeWalk walk = LookupWalk(record, 0);
  NtfsAttribute a;
  bool haveFirst = false;
  while (walk.Next(&a)) {
    if (a.type != type) continue;
    if (a.nonResident && a.bytes.le64(0x10) == vcn) {
      *out = a;
      return true;
    }
    if (!haveFirst) {
      *out = a;
      haveFirst = true;
    }
  }
  return haveFirst;
}

// The list's bytes: the resident value, or the clusters of its runs, cut
// to the list's data size; the entries after an unreadable run are dropped.
std::vector<uint8_t> ReadListBytes(NtfsVolume& volume, const NtfsAttribute& list) {
  std::vector<uint8_t> bytes;
  if (!list.nonResident) {
    ByteView value = list.ResidentValue();
    bytes.assign(value.data(), value.data() + value.size());
    return bytes;
  }
  NtfsRunlist runs;
  DecodeRunlist(list.bytes, runs);
  uint64_t size = std::min(list.DataSize(), kMaxListBytes);
  uint64_t cluster = 0;
  for (const NtfsRun& run : runs) {
    if (bytes.size() >= size) break;
    cluster += static_cast<uint64_t>(run.offset);
    NtfsRunlist one = {{run.length, static_cast<int64_t>(cluster), run.sparse}};
    std::vector<uint8_t> part;
    if (run.sparse || ReadRunlistBytes(volume, one, size - bytes.size(), &part) != kOk) break;
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  return bytes;
}

// Each extent of a split attribute encodes its runs from cluster 0; to
// continue a runlist, its first real run's delta is made relative to where
// the runs before it left the running cluster.
void AppendExtent(const NtfsAttribute& extent, NtfsRunlist& into) {
  int64_t cluster = 0;
  for (const NtfsRun& run : into) cluster = static_cast<int64_t>(static_cast<uint64_t>(cluster) + static_cast<uint64_t>(run.offset));
  NtfsRunlist runs;
  DecodeRunlist(extent.bytes, runs);
  for (NtfsRun& run : runs) {
    if (run.sparse) continue;
    run.offset = static_cast<int64_t>(static_cast<uint64_t>(run.offset) - static_cast<uint64_t>(cluster));
    break;
  }
  into.insert(into.end(), runs.begin(), runs.end());
}

}  // namespace

Status FindAttributeRunsInRecord(ByteView record, uint32_t type, NtfsRunlist& out) {
  AttributeWalk walk = LookupWalk(record, 0);
  NtfsAttribute a;
  while (walk.Next(&a)) {
    if (a.type != type) continue;
    if (a.nonResident) DecodeRunlist(a.bytes, out);
    return kOk;
  }
  return kNtfsAttributeNotFound;
}

Status FindAttributeRuns(NtfsVolume& volume, uint64_t recordSector, uint32_t type, NtfsRunlist& out) {
  if (!volume.device) return kErrInvalidParameter;
  MftRecordBuffer base;
  Status st = ReadFixedRecord(*volume.device, recordSector, volume.geometry, base);
  if (st != kOk) return st;
  ByteView record = RecordView(base, volume.geometry);

  NtfsAttribute list;
  bool haveList = false;
  NtfsAttribute wanted;
  bool haveWanted = false;
  AttributeWalk walk = LookupWalk(record, 0);
  NtfsAttribute a;
  while (walk.Next(&a)) {
    if (a.type == kAttrAttributeList && !haveList) {
      list = a;
      haveList = true;
    } else if (a.type == type && !haveWanted) {
      wanted = a;
      haveWanted = true;
    }
  }
  if (!haveList) {
    if (!haveWanted) return kNtfsAttributeNotFound;
    if (wanted.nonResident) DecodeRunlist(wanted.bytes, out);
    return kOk;
  }

  // Every extent named by the list, in list order.
  std::vector<uint8_t> entries = ReadListBytes(volume, list);
  ByteView e(entries.data(), entries.size());
  uint32_t ownNumber = ReadMftRecordHeader(record).recordNumber;
  MftRecordBuffer extension;
  NtfsRunlist fromList;
  ListEntry entry;
  for (size_t pos = 0; NextListEntry(e, &pos, &entry);) {
    if (!Wanted(entry, type)) continue;
    NtfsAttribute extent;
    uint64_t sector = volume.RecordSector(entry.record);
    ByteView holder = record;
    if (entry.record != ownNumber && sector != recordSector) {
      if (ReadFixedRecord(*volume.device, sector, volume.geometry, extension) != kOk) continue;
      holder = RecordView(extension, volume.geometry);
    }
    if (FindExtent(holder, type, entry.vcn, &extent) && extent.nonResident) AppendExtent(extent, fromList);
  }
  if (!fromList.empty()) {
    out.insert(out.end(), fromList.begin(), fromList.end());
    return kOk;
  }
  if (haveWanted) {
    if (wanted.nonResident) DecodeRunlist(wanted.bytes, out);
    return kOk;
  }
  return kNtfsAttributeNotFound;
}

std::vector<std::vector<uint8_t>> ListedAttributes(NtfsVolume& volume, ByteView record, uint64_t recordSector,
                                                   uint32_t type, size_t limit) {
  std::vector<std::vector<uint8_t>> found;
  if (!volume.device) return found;
  AttributeWalk walk = LookupWalk(record, 0);
  NtfsAttribute list;
  bool haveList = false;
  while (!haveList && walk.Next(&list)) haveList = list.type == kAttrAttributeList;
  if (!haveList) return found;
  std::vector<uint8_t> entries = ReadListBytes(volume, list);
  ByteView e(entries.data(), entries.size());
  uint32_t ownNumber = ReadMftRecordHeader(record).recordNumber;
  MftRecordBuffer extension;
  ListEntry entry;
  for (size_t pos = 0; found.size() < limit && NextListEntry(e, &pos, &entry);) {
    if (!Wanted(entry, type)) continue;
    const uint64_t vcn = entry.vcn;
    const uint16_t id = entry.id;
    uint64_t sector = volume.RecordSector(entry.record);
    ByteView holder = record;
    if (entry.record != ownNumber && sector != recordSector) {
      if (ReadFixedRecord(*volume.device, sector, volume.geometry, extension) != kOk) continue;
      holder = RecordView(extension, volume.geometry);
    }
    // Several attributes of one type may share a record ($FILE_NAME): the
    // attribute id (0x0E) tells them apart; the VCN does for extents.
    AttributeWalk inner = LookupWalk(holder, 0);
    NtfsAttribute a;
    const NtfsAttribute* pick = nullptr;
    NtfsAttribute first;
    bool haveFirst = false;
    while (inner.Next(&a)) {
      if (a.type != type) continue;
      if (!haveFirst) {
        first = a;
        haveFirst = true;
      }
      if (a.bytes.le16(0x0E) == id && (!a.nonResident || a.bytes.le64(0x10) == vcn)) {
        pick = &a;
        break;
      }
    }
    if (!pick && haveFirst) pick = &first;
    if (pick) found.emplace_back(pick->bytes.data(), pick->bytes.data() + pick->bytes.size());
  }
  return found;
}

Status ReadRunlistBytes(NtfsVolume& volume, const NtfsRunlist& runs, uint64_t maxBytes, std::vector<uint8_t>* out) {
  if (!volume.device || !out) return kErrInvalidParameter;
  const NtfsGeometry& g = volume.geometry;
  uint64_t clusterBytes = g.ClusterBytes();
  out->clear();
  if (clusterBytes == 0) return kErrInvalidParameter;
  Status first = kOk;
  uint64_t cluster = 0;
  std::vector<uint8_t> chunk;
  for (const NtfsRun& run : runs) {
    if (out->size() >= maxBytes) break;
    cluster += static_cast<uint64_t>(run.offset);
    uint64_t want = run.length * clusterBytes;
    if (run.length != 0 && want / run.length != clusterBytes) want = maxBytes;
    want = std::min(want, maxBytes - out->size());
    size_t at = out->size();
    out->resize(at + static_cast<size_t>(want), 0);
    if (run.sparse) continue;
    uint64_t sector = g.partitionStart + cluster * g.sectorsPerCluster;
    // Whole sectors through a bounce buffer, in pieces the reader accepts.
    for (uint64_t done = 0; done < want;) {
      uint64_t piece = std::min<uint64_t>(want - done, 1u << 20);
      uint32_t sectors = static_cast<uint32_t>((piece + g.bytesPerSector - 1) / g.bytesPerSector);
      chunk.resize(static_cast<size_t>(sectors) * g.bytesPerSector);
      uint32_t got = 0;
      Status st = ReadSectors(*volume.device, chunk.data(), sector + done / g.bytesPerSector, sectors, g.bytesPerSector,
                              &got);
      if (st != kOk) {
        if (first == kOk) first = st;
        break;
      }
      std::copy_n(chunk.begin(), static_cast<size_t>(piece), out->begin() + static_cast<long>(at + done));
      done += piece;
    }
  }
  return first;
}

Status OpenNtfsVolume(SectorDevice& device, ByteView boot, uint64_t partitionStart, uint64_t partitionSectors,
                      NtfsVolume* volume, uint64_t* mftStart, Status* mftResult) {
  NtfsBootSector bs;
  if (!volume || ParseNtfsBootSector(boot, &bs) != kOk) return kErrInvalidParameter;
  volume->device = &device;
  volume->geometry = MakeNtfsGeometry(bs.bytesPerSector, bs.sectorsPerCluster, partitionStart, partitionSectors);
  volume->mftRuns.clear();
  uint64_t start = MftStartSector(bs, partitionStart);
  if (mftStart) *mftStart = start;
  // A fragmented MFT keeps later extents of its own runlist in extension
  // records, which can only be placed with the runs of the base record:
  // take those first, then the whole list.
  MftRecordBuffer buffer;
  Status st = ReadFixedRecord(device, start, volume->geometry, buffer);
  if (st == kOk) {
    FindAttributeRunsInRecord(RecordView(buffer, volume->geometry), kAttrData, volume->mftRuns);
    NtfsRunlist whole;
    st = FindAttributeRuns(*volume, start, kAttrData, whole);
    if (st == kOk && !whole.empty()) volume->mftRuns = std::move(whole);
  }
  if (mftResult) *mftResult = st;
  return kOk;
}

Status ResidentDataInRecord(ByteView record, std::vector<uint8_t>* value) {
  if (!IsFileRecord(record)) return kNtfsNotResident;
  AttributeWalk walk = LookupWalk(record, kStopAtFreeFill);
  NtfsAttribute a;
  while (walk.Next(&a)) {
    if (a.type != kAttrData) continue;
    if (a.nonResident) return kNtfsNotResident;
    uint32_t length = a.ResidentValueLength();
    uint16_t offset = a.bytes.le16(0x14);
    if (!a.bytes.Has(offset, length) || length >= record.size()) return kErrInvalidParameter;
    if (value) value->assign(a.bytes.data() + offset, a.bytes.data() + offset + length);
    return kOk;
  }
  return kNtfsNotResident;
}

Status ReadResidentData(NtfsVolume& volume, uint64_t recordSector, std::vector<uint8_t>* value) {
  if (!volume.device) return kErrInvalidParameter;
  MftRecordBuffer buffer;
  Status st = ReadFixedRecord(*volume.device, recordSector, volume.geometry, buffer);
  if (st == kNtfsNotFileRecord) return kNtfsNotResident;
  if (st != kOk) return st;
  return ResidentDataInRecord(RecordView(buffer, volume.geometry), value);
}

}  // namespace mendwell
