// Helpers of the carving tests: byte buffers built piece by piece, small
// images written to a temporary file and opened as a sector device, and
// the deep scan's block loop over the carving engine.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "carving/file_type_recovery.h"
#include "device/sector_device.h"
#include "platform/file.h"
#include "support/test_support.h"

namespace mendwell::test {

inline constexpr size_t kS = 512;

// A disk image of 512-byte sectors held in memory until Open writes it.
class CarveImage {
 public:
  explicit CarveImage(size_t sectors) : bytes_(sectors * kS) {}
  uint8_t* At(uint64_t sector, size_t offset = 0) { return bytes_.data() + sector * kS + offset; }
  CarveImage& Put(uint64_t sector, size_t offset, std::string_view text) {
    std::memcpy(At(sector, offset), text.data(), text.size());
    return *this;
  }
  CarveImage& Put(uint64_t sector, size_t offset, std::initializer_list<uint8_t> bytes) {
    uint8_t* p = At(sector, offset);
    for (uint8_t b : bytes) *p++ = b;
    return *this;
  }
  CarveImage& Fill(uint64_t sector, size_t offset, size_t length, uint8_t value) {
    std::memset(At(sector, offset), value, length);
    return *this;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

  // Writes the image (grown sparsely to sparseBytes when larger) and opens
  // it as device. Returns the image path.
  std::string Open(const TempDir& dir, SectorDevice& device, uint64_t sparseBytes = 0) {
    std::string path = dir.File("image.img");
    WriteFile(path, bytes_);
    if (sparseBytes > bytes_.size()) {
      FileHandle f;
      f.OpenReadWrite(path);
      f.Truncate(sparseBytes);
    }
    OpenImageDevice(device, path);
    return path;
  }

 private:
  std::vector<uint8_t> bytes_;
};

// The deep scan's loop with the carving engine alone: 64 KiB blocks, every
// sector examined unless a carved file's skip count jumps over it, the
// jump carried into the next block.
inline void CarveWholeDevice(CFileTypeRecovery& engine, SectorDevice& device) {
  const uint32_t blockSectors = kCarveBlockBytes / kS;
  std::vector<uint8_t> block(kCarveBlockBytes);
  uint64_t position = 0, remaining = device.sectorCount, found = 0;
  while (remaining > 0) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(blockSectors, remaining));
    uint32_t got = 0;
    ReadSectors(device, block.data(), position, n, kS, &got);
    uint64_t i = 0;
    while (i < got) {
      uint64_t skip = 1;
      engine.ExamineSector(kS, ByteView(block.data() + i * kS, kS), position + i, position, device.sectorCount, -1,
                           &device, &skip, &found);
      i += skip;
    }
    const uint64_t advance = std::min<uint64_t>(std::max<uint64_t>(n, i), remaining);
    position += advance;
    remaining -= advance;
  }
}

}  // namespace mendwell::test
