#include "engine/file_record.h"

#include <cstring>

#include "platform/text.h"

namespace mendwell {

std::string_view FileRecord::Name() const {
  size_t n = 0;
  while (n < name.size() && name[n] != '\0') ++n;
  return std::string_view(name.data(), n);
}

void FileRecord::SetName(std::string_view text) {
  name.fill('\0');
  std::string cut = CutUtf8(text, kFileRecordNameSize - 1);
  std::memcpy(name.data(), cut.data(), cut.size());
}

void EncodeFileRecord(const FileRecord& r, uint8_t out[kFileRecordSize]) {
  PutLe16(out + 0, r.driveLetter);
  PutLe32(out + 2, r.sourceEngine);
  PutLe32(out + 6, r.isFolder);
  PutLe32(out + 10, r.deleted);
  PutLe32(out + 14, r.intact);
  PutLe32(out + 18, r.recordId);
  PutLe32(out + 22, r.nodeId);
  PutLe32(out + 26, static_cast<uint32_t>(r.clusterSize));
  PutLe64(out + 30, r.created);
  PutLe64(out + 38, r.accessed);
  PutLe64(out + 46, r.modified);
  PutLe64(out + 54, r.size);
  PutLe64(out + 62, r.dataStart);
  PutLe64(out + 70, r.location);
  PutLe64(out + 78, r.origin);
  std::memcpy(out + 86, r.name.data(), kFileRecordNameSize);
}

FileRecord DecodeFileRecord(ByteView b) {
  FileRecord r;
  r.driveLetter = b.le16(0);
  r.sourceEngine = b.le32(2);
  r.isFolder = b.le32(6);
  r.deleted = b.le32(10);
  r.intact = b.le32(14);
  r.recordId = b.le32(18);
  r.nodeId = b.le32(22);
  r.clusterSize = static_cast<int32_t>(b.le32(26));
  r.created = b.le64(30);
  r.accessed = b.le64(38);
  r.modified = b.le64(46);
  r.size = b.le64(54);
  r.dataStart = b.le64(62);
  r.location = b.le64(70);
  r.origin = b.le64(78);
  ByteView name = b.Sub(86, kFileRecordNameSize);
  if (!name.empty()) std::memcpy(r.name.data(), name.data(), name.size());
  r.name[kFileRecordNameSize - 1] = '\0';
  return r;
}

}  // namespace mendwell
