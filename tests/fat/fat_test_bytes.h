// Byte-array builders for FAT test fixtures: boot sectors, directory
// entries, long-name entries, and small image files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_view.h"

namespace mendwell::test {

using Bytes = std::vector<uint8_t>;

inline uint16_t FatDate(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
inline uint16_t FatTime(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

// A 32-byte entry with 11 short-name bytes, attributes, first cluster and
// size, every stamp 2020-05-17 12:30:10.
std::array<uint8_t, 32> Entry(std::string_view name11, uint8_t attributes, uint32_t cluster = 0, uint32_t size = 0);

// A long-name entry holding 13 units of `units` from `from` (NUL after the
// end, then 0xFFFF), with ordinal and checksum.
std::array<uint8_t, 32> LongEntry(std::u16string_view units, size_t from, uint8_t ordinal, uint8_t checksum);

// Appends an entry to a block.
void Append(Bytes& block, const std::array<uint8_t, 32>& entry);

// A 512-byte boot sector.
struct BootFields {
  uint16_t bytesPerSector = 512;
  uint8_t sectorsPerCluster = 1;
  uint16_t reservedSectors = 1;
  uint8_t fatCount = 2;
  uint16_t rootEntries = 512;
  uint16_t totalSectors16 = 0;
  uint16_t sectorsPerFat16 = 0;
  uint32_t totalSectors32 = 0;
  uint32_t sectorsPerFat32 = 0;
  uint32_t rootCluster = 0;
  const char* typeText = "FAT16   ";
};
Bytes BootSector(const BootFields& f);

// Writes bytes at an offset of a file, growing it (sparsely) as needed.
void WriteAt(const std::string& path, uint64_t offset, const Bytes& bytes);
// Sets the length of a file (sparse).
void Resize(const std::string& path, uint64_t length);

}  // namespace mendwell::test
