#include "ntfs/ntfs_attributes.h"

#include <algorithm>

#include "platform/text.h"

namespace mendwell {

namespace {
constexpr uint32_t kAttributeHeaderMin = 0x10;
}

ByteView NtfsAttribute::ResidentValue() const {
  uint32_t length = bytes.le32(0x10);
  uint16_t offset = bytes.le16(0x14);
  if (!bytes.Has(offset, length)) return {};
  return bytes.Sub(offset, length);
}

AttributeWalk::AttributeWalk(ByteView record, uint32_t start, uint32_t limit, unsigned stops)
    : record_(record), offset_(start), limit_(std::min<uint64_t>(limit, record.size())), stops_(stops) {}

bool AttributeWalk::Next(NtfsAttribute* out) {
  if (done_ || offset_ >= limit_ || !record_.Has(offset_, 8)) return false;
  uint32_t type = record_.le32(offset_);
  uint32_t length = record_.le32(offset_ + 4);
  bool stop = type == kAttrEnd || length == 0 || ((stops_ & kStopAtZeroType) && type == 0) ||
              ((stops_ & kStopAtFreeFill) && type == kAttrFreeFill) ||
              ((stops_ & kStopFromFreeFill) && type >= kAttrFreeFill) || length < kAttributeHeaderMin ||
              !record_.Has(offset_, length);
  if (stop) {
    done_ = true;
    return false;
  }
  out->offset = static_cast<uint32_t>(offset_);
  out->type = type;
  out->length = length;
  out->bytes = record_.Sub(offset_, length);
  out->nonResident = out->bytes.u8(0x08) != 0;
  out->nameLength = out->bytes.u8(0x09);
  offset_ += length;
  return true;
}

AttributeWalk RecordWalk(ByteView record, unsigned stops) {
  MftRecordHeader h = ReadMftRecordHeader(record);
  return AttributeWalk(record, h.firstAttribute, h.bytesInUse, stops);
}

AttributeWalk LookupWalk(ByteView record, unsigned stops) {
  MftRecordHeader h = ReadMftRecordHeader(record);
  return AttributeWalk(record, h.firstAttribute, static_cast<uint32_t>(std::min<size_t>(record.size(), UINT32_MAX)),
                       stops);
}

NtfsFileName ParseFileName(const NtfsAttribute& attribute) {
  const ByteView& a = attribute.bytes;
  NtfsFileName f;
  f.parentRecord = a.le32(0x18);
  f.parentSequence = a.le16(0x1E);
  f.created = a.le64(0x20);
  f.modified = a.le64(0x28);
  f.accessed = a.le64(0x38);
  f.realSize = a.le64(0x48);
  f.nameSpace = a.u8(0x59);
  size_t units = a.u8(0x58);
  size_t fits = a.size() > 0x5A ? (a.size() - 0x5A) / 2 : 0;
  units = std::min(units, fits);
  if (units > 0) f.name = Utf16LeBytesToUtf8(a.data() + 0x5A, units, false);
  return f;
}

}  // namespace mendwell
