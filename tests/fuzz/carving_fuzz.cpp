// Fuzz target: the signature catalogue and the size rules over every sector
// of an image, with the deep scan's skips. Every measured size must stay
// within the image, and nothing may read outside it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "carving/file_type_recovery.h"
#include "carving/size_rules.h"
#include "device/sector_device.h"
#include "fuzz_support.h"

using namespace mendwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint32_t kSector = 512;
  if (size < kSector || size > (4u << 20)) return 0;
  std::string image = fuzz::WriteImage(data, size);
  SectorDevice device;
  if (OpenImageDevice(device, image) != kOk) return 0;
  CFileTypeRecovery engine;
  const uint64_t total = device.sectorCount;
  std::vector<uint8_t> block(kCarveBlockBytes);
  uint64_t position = 0, found = 0;
  while (position < total) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kCarveBlockBytes / kSector, total - position));
    uint32_t got = 0;
    ReadSectors(device, block.data(), position, n, kSector, &got);
    uint64_t i = 0;
    while (i < got) {
      CarvedFile file;
      ByteView sector(block.data() + i * kSector, kSector);
      if (engine.IdentifyFile(kSector, &device, sector, position + i, 0, total, -1, found, &file) == kOk) {
        // A carved file never reaches past the end of the medium.
        if (file.size > (total - position - i) * kSector) std::abort();
      }
      uint64_t skip = 1;
      engine.ExamineSector(kSector, sector, position + i, 0, total, -1, &device, &skip, &found);
      i += skip;
    }
    position += std::max<uint64_t>(n, i);
  }
  return 0;
}
