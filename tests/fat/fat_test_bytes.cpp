#include "fat_test_bytes.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace mendwell::test {

std::array<uint8_t, 32> Entry(std::string_view name11, uint8_t attributes, uint32_t cluster, uint32_t size) {
  std::array<uint8_t, 32> e{};
  std::memset(e.data(), ' ', 11);
  std::memcpy(e.data(), name11.data(), std::min<size_t>(name11.size(), 11));
  e[11] = attributes;
  uint16_t date = FatDate(2020, 5, 17), time = FatTime(12, 30, 10);
  PutLe16(&e[14], time);
  PutLe16(&e[16], date);
  PutLe16(&e[18], date);
  PutLe16(&e[20], static_cast<uint16_t>(cluster >> 16));
  PutLe16(&e[22], time);
  PutLe16(&e[24], date);
  PutLe16(&e[26], static_cast<uint16_t>(cluster));
  PutLe32(&e[28], size);
  return e;
}

std::array<uint8_t, 32> LongEntry(std::u16string_view units, size_t from, uint8_t ordinal, uint8_t checksum) {
  static const size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  std::array<uint8_t, 32> e{};
  e[0] = ordinal;
  e[11] = 0x0F;
  e[13] = checksum;
  for (size_t i = 0; i < 13; ++i) {
    size_t at = from + i;
    uint16_t u = at < units.size() ? units[at] : at == units.size() ? 0 : 0xFFFF;
    PutLe16(&e[kOffsets[i]], u);
  }
  return e;
}

void Append(Bytes& block, const std::array<uint8_t, 32>& entry) { block.insert(block.end(), entry.begin(), entry.end()); }

Bytes BootSector(const BootFields& f) {
  Bytes b(512, 0);
  b[0] = 0xEB;
  b[1] = 0x3C;
  b[2] = 0x90;
  std::memcpy(&b[3], "MSWIN4.1", 8);
  PutLe16(&b[11], f.bytesPerSector);
  b[13] = f.sectorsPerCluster;
  PutLe16(&b[14], f.reservedSectors);
  b[16] = f.fatCount;
  PutLe16(&b[17], f.rootEntries);
  PutLe16(&b[19], f.totalSectors16);
  b[21] = 0xF8;
  PutLe16(&b[22], f.sectorsPerFat16);
  PutLe32(&b[32], f.totalSectors32);
  PutLe32(&b[36], f.sectorsPerFat32);
  PutLe32(&b[44], f.rootCluster);
  std::memcpy(&b[82], f.typeText, 8);
  b[510] = 0x55;
  b[511] = 0xAA;
  return b;
}

void WriteAt(const std::string& path, uint64_t offset, const Bytes& bytes) {
  if (!std::filesystem::exists(path)) std::ofstream(path, std::ios::binary).close();
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Resize(const std::string& path, uint64_t length) {
  if (!std::filesystem::exists(path)) std::ofstream(path, std::ios::binary).close();
  std::filesystem::resize_file(path, length);
}

}  // namespace mendwell::test
