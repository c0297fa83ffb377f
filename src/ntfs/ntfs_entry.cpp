#include "ntfs/ntfs_entry.h"

#include <algorithm>
#include <vector>

#include "carving/signature_catalogue.h"
#include "ntfs/attribute_runs.h"
#include "ntfs/mft_record.h"
#include "ntfs/ntfs_attributes.h"

namespace mendwell {

namespace {

// Applies one $FILE_NAME in walk order; returns true when it made the entry.
bool TakeFileName(const NtfsAttribute& attribute, int32_t mode, bool* haveEntry, FileRecord* entry,
                  NtfsEntryLinks* links) {
  NtfsFileName name = ParseFileName(attribute);
  if (!*haveEntry) {
    *haveEntry = true;
    entry->isFolder = mode == kEntryModeFolders ? 1 : 0;
    entry->created = name.created;
    entry->accessed = name.accessed;
    entry->modified = name.modified;
    entry->size = name.realSize;
    entry->SetName(name.name);
    if (links) {
      links->parentRecord = name.parentRecord;
      links->parentSequence = name.parentSequence;
      links->relationName = std::string(entry->Name());
    }
    return true;
  }
  if (name.nameSpace == kNameSpaceWin32) entry->SetName(name.name);
  return false;
}

void TakeData(const NtfsAttribute& attribute, FileRecord* entry) {
  if (attribute.nameLength != 0) return;
  if (!attribute.nonResident)
    entry->size = attribute.ResidentValueLength();
  else if (attribute.length > 0x30)
    entry->size = attribute.DataSize();
}

NtfsAttribute ViewOf(const std::vector<uint8_t>& bytes) {
  NtfsAttribute a;
  a.bytes = ByteView(bytes.data(), bytes.size());
  a.type = a.bytes.le32(0);
  a.length = static_cast<uint32_t>(bytes.size());
  a.nonResident = a.bytes.u8(0x08) != 0;
  a.nameLength = a.bytes.u8(0x09);
  return a;
}

}  // namespace

bool FillEntryFromRecord(ByteView record, uint64_t recordSector, int32_t mode, NtfsVolume& volume, FileRecord* entry,
                         NtfsEntryLinks* links, bool checkContent) {
  if (!entry || !IsFileRecord(record)) return false;
  MftRecordHeader header = ReadMftRecordHeader(record);
  if (header.recordNumber <= kLastSystemRecord) return false;
  if ((record.le64(0x20) & 0xFFFFFFFFFFFFull) != 0) return false;  // extension record

  *entry = FileRecord{};
  bool haveEntry = false;
  bool haveList = false;
  bool sawData = false;
  AttributeWalk walk = RecordWalk(record, kStopAtZeroType | kStopFromFreeFill);
  NtfsAttribute a;
  while (walk.Next(&a)) {
    if (a.type == kAttrAttributeList) {
      haveList = true;
    } else if (a.type == kAttrFileName) {
      TakeFileName(a, mode, &haveEntry, entry, links);
    } else if (a.type == kAttrData && haveEntry) {
      TakeData(a, entry);
      sawData = sawData || a.nameLength == 0;
    }
  }
  // Attributes moved out of the base record are found through its list.
  if (haveList && volume.device && (!haveEntry || !sawData)) {
    if (!haveEntry)
      for (const std::vector<uint8_t>& bytes : ListedAttributes(volume, record, recordSector, kAttrFileName))
        TakeFileName(ViewOf(bytes), mode, &haveEntry, entry, links);
    if (haveEntry && !sawData) {
      std::vector<std::vector<uint8_t>> data = ListedAttributes(volume, record, recordSector, kAttrData, 1);
      if (!data.empty()) TakeData(ViewOf(data.front()), entry);
    }
  }
  if (!haveEntry) return false;

  const NtfsGeometry& g = volume.geometry;
  entry->driveLetter = volume.driveLetter;
  entry->sourceEngine = volume.sourceEngine;
  entry->clusterSize = static_cast<int32_t>(std::min<uint64_t>(g.ClusterBytes(), INT32_MAX));
  entry->nodeId = header.recordNumber;
  entry->location = recordSector;
  entry->origin = g.volumeOrigin;
  entry->deleted = (header.flags & kRecordInUse) ? 0 : 1;
  if (mode == kEntryModeFolders)
    entry->intact = 1;
  else
    entry->intact = checkContent ? CheckEntryContentInRecord(volume, *entry, record) : 1;
  return true;
}

namespace {

// Whether the first sector of a file's first run matches its extension; 1
// when nothing can be read there.
uint32_t FirstRunMatches(NtfsVolume& volume, const FileRecord& entry, const NtfsRunlist& runs,
                         std::string_view extension) {
  if (runs.empty() || runs.front().sparse) return 1;
  uint32_t bps = volume.geometry.bytesPerSector;
  uint64_t clusterBytes = entry.clusterSize > 0 ? static_cast<uint64_t>(entry.clusterSize) : 0;
  uint64_t sector = static_cast<uint64_t>(runs.front().offset) * clusterBytes / bps + entry.origin;
  if (sector == 0) return 1;
  std::vector<uint8_t> first(bps, 0);
  uint32_t got = 0;
  if (ReadSectors(*volume.device, first.data(), sector, 1, bps, &got) != kOk) return 1;
  return ContentMatchesExtension(ByteView(first.data(), first.size()), bps, extension, volume.device, sector) ? 1 : 0;
}

// The same test on a resident value.
uint32_t ResidentMatches(NtfsVolume& volume, std::vector<uint8_t>& value, std::string_view extension) {
  if (value.empty()) return 0;
  uint32_t bps = volume.geometry.bytesPerSector;
  // The catalogue looks at a whole sector; a short value is padded with zeros.
  value.resize(std::max<size_t>(value.size(), bps), 0);
  return ContentMatchesExtension(ByteView(value.data(), value.size()), bps, extension, nullptr, 0) ? 1 : 0;
}

bool ExtensionOf(const FileRecord& entry, std::string_view* extension) {
  std::string_view name = entry.Name();
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  *extension = name.substr(dot + 1);
  return true;
}

bool HasAttributeList(ByteView record) {
  AttributeWalk walk = LookupWalk(record, kStopAtFreeFill);
  NtfsAttribute a;
  while (walk.Next(&a))
    if (a.type == kAttrAttributeList) return true;
  return false;
}

}  // namespace

uint32_t CheckEntryContent(NtfsVolume& volume, const FileRecord& entry) {
  std::string_view extension;
  if (!ExtensionOf(entry, &extension) || !volume.device) return 1;
  std::vector<uint8_t> first;
  if (ReadResidentData(volume, entry.location, &first) == kOk) return ResidentMatches(volume, first, extension);
  NtfsRunlist runs;
  if (FindAttributeRuns(volume, entry.location, kAttrData, runs) != kOk) return 1;
  return FirstRunMatches(volume, entry, runs, extension);
}

uint32_t CheckEntryContentInRecord(NtfsVolume& volume, const FileRecord& entry, ByteView record) {
  std::string_view extension;
  if (!ExtensionOf(entry, &extension) || !volume.device) return 1;
  // A $DATA spread over extension records is looked up on disk.
  if (HasAttributeList(record)) return CheckEntryContent(volume, entry);
  std::vector<uint8_t> first;
  if (ResidentDataInRecord(record, &first) == kOk) return ResidentMatches(volume, first, extension);
  NtfsRunlist runs;
  if (FindAttributeRunsInRecord(record, kAttrData, runs) != kOk) return 1;
  return FirstRunMatches(volume, entry, runs, extension);
}

}  // namespace mendwell
