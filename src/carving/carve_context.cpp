#include "carving/carve_context.h"

#include <new>

namespace mendwell {

Status CarveContext::AllocateScratch() {
  if (!scratch) scratch.reset(new (std::nothrow) uint8_t[kCarveBlockBytes]);
  return scratch ? kOk : kErrNotEnoughMemory;
}

Status CarveContext::Read(uint64_t firstSector, uint32_t count, uint8_t* buffer) const {
  if (!reader || !buffer || sectorSize == 0) return kErrInvalidParameter;
  uint32_t got = 0;
  Status st = ReadSectors(*reader, buffer, firstSector, count, sectorSize, &got);
  if (st != kOk) return st;
  return got == count ? kOk : kErrReadFault;
}

}  // namespace mendwell
