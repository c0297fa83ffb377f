// FileRecord: one found file or folder, the unit of every listing, search,
// preview and recovery.
//
// On disk a record is 346 bytes, byte-packed and little-endian, at the
// offsets below; EncodeFileRecord/DecodeFileRecord copy field by field, so
// the in-memory layout never leaks into the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/byte_view.h"

namespace mendwell {

inline constexpr size_t kFileRecordSize = 346;
inline constexpr size_t kFileRecordNameSize = 260;

// Values of FileRecord::sourceEngine.
enum SourceEngine : uint32_t {
  kSourceFastNtfs = 0,
  kSourceFastFat = 1,
  kSourceProNtfs = 2,
  kSourceProFat = 3,
  kSourceCarving = 4,
};

struct FileRecord {
  uint16_t driveLetter = 0;   // @0  medium tag of the engine that found it
  uint32_t sourceEngine = 0;  // @2  SourceEngine
  uint32_t isFolder = 0;      // @6
  uint32_t deleted = 0;       // @10 entry or a folder above it deleted
  uint32_t intact = 0;        // @14 first data sector matches the extension
  uint32_t recordId = 0;      // @18 1-based position in the records file
  uint32_t nodeId = 0;        // @22 FAT first cluster, MFT record number, 0 carved
  int32_t clusterSize = 0;    // @26 bytes per cluster (FAT), -1 n/a
  uint64_t created = 0;       // @30 FILETIME
  uint64_t accessed = 0;      // @38 FILETIME
  uint64_t modified = 0;      // @46 FILETIME
  uint64_t size = 0;          // @54 bytes; folders 0
  uint64_t dataStart = 0;     // @62 engine-defined sector base
  uint64_t location = 0;      // @70 engine-defined sector
  uint64_t origin = 0;        // @78 engine-defined sector origin
  std::array<char, kFileRecordNameSize> name{};  // @86 NUL-terminated UTF-8

  // The name up to its terminator (or the whole field when it has none).
  std::string_view Name() const;
  // Stores a name, cut at a character boundary to fit 259 bytes.
  void SetName(std::string_view text);
};

void EncodeFileRecord(const FileRecord& record, uint8_t out[kFileRecordSize]);
// Reads a record from at least kFileRecordSize bytes; the name always ends
// up NUL-terminated.
FileRecord DecodeFileRecord(ByteView bytes);

// Folder key: low 32 bits a folder's nodeId, high 32 bits a depth.
inline uint64_t FolderKey(uint32_t nodeId, uint32_t depth) {
  return (static_cast<uint64_t>(depth) << 32) | nodeId;
}

}  // namespace mendwell
