// The attribute walk of a FILE record and the decoders of the attributes
// the engines read ($FILE_NAME, resident values, non-resident sizes).
//
// Attribute header (offsets from the attribute's start): 0x00 u32 type,
// 0x04 u32 length, 0x08 u8 non-resident flag, 0x09 u8 name length;
// resident: 0x10 u32 value length, 0x14 u16 value offset; non-resident:
// 0x20 u16 mapping-pairs offset, 0x28 u64 allocated size, 0x30 u64 data size.
#pragma once

#include <cstdint>
#include <string>

#include "ntfs/mft_record.h"
#include "platform/byte_view.h"

namespace mendwell {

struct NtfsAttribute {
  uint32_t offset = 0;  // from the record's start
  uint32_t type = 0;
  uint32_t length = 0;
  bool nonResident = false;
  uint8_t nameLength = 0;
  ByteView bytes;  // exactly the attribute's length bytes

  // Resident value as the header places it; empty when it passes the attribute.
  ByteView ResidentValue() const;
  uint32_t ResidentValueLength() const { return bytes.le32(0x10); }
  uint64_t AllocatedSize() const { return bytes.le64(0x28); }
  uint64_t DataSize() const { return bytes.le64(0x30); }
};

// Which types end a walk, besides 0xFFFFFFFF and a length of 0 (always).
enum AttributeWalkStop : unsigned {
  kStopAtZeroType = 1u,      // type 0
  kStopAtFreeFill = 2u,      // type 0xFDFDFDFD
  kStopFromFreeFill = 4u,    // any type from 0xFDFDFDFD upwards
};

// Walks the attributes of one record: from `start` while the offset is
// below `limit`, each attribute inside `record`. An attribute shorter than
// its common header (16 bytes) or passing the record's end ends the walk,
// so the walk only moves forwards and never leaves the record.
class AttributeWalk {
 public:
  AttributeWalk(ByteView record, uint32_t start, uint32_t limit, unsigned stops);
  bool Next(NtfsAttribute* out);

 private:
  ByteView record_;
  uint64_t offset_;
  uint64_t limit_;
  unsigned stops_;
  bool done_ = false;
};

// Walk of a whole record: from the first-attribute offset while below the
// bytes in use (cut to the record size).
AttributeWalk RecordWalk(ByteView record, unsigned stops);
// Lookup walk: from the first-attribute offset up to the record size.
AttributeWalk LookupWalk(ByteView record, unsigned stops);

// $FILE_NAME, read at fixed offsets from the attribute's start (the value is
// taken to start at 0x18): 0x18 u32 parent record (low 32 bits), 0x20
// creation, 0x28 modification, 0x38 last access (FILETIME), 0x48 u64 real
// size, 0x58 u8 name length, 0x59 u8 name space, 0x5A UTF-16LE name.
inline constexpr uint8_t kNameSpaceWin32 = 1;
struct NtfsFileName {
  uint32_t parentRecord = 0;
  uint16_t parentSequence = 0;  // the parent record's sequence number when the name was written
  uint64_t created = 0;
  uint64_t modified = 0;
  uint64_t accessed = 0;
  uint64_t realSize = 0;
  uint8_t nameSpace = 0;
  std::string name;  // UTF-8; only the characters inside the attribute
};
NtfsFileName ParseFileName(const NtfsAttribute& attribute);

}  // namespace mendwell
