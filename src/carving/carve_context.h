// The state one carving scan shares between the signature tests, the size
// rules and the carving engine: where the scan is, what it reads from, how
// it reports progress, and the few flags that tell a transport stream's
// start from its continuation.
//
// The context is an object owned by the top-level carving (or combined)
// engine and passed by reference; two scans never share one.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device/sector_device.h"
#include "engine/engine_interface.h"
#include "platform/status.h"

namespace mendwell {

// Bytes of one read-ahead block (65536 / S sectors, 128 of 512 bytes).
inline constexpr uint32_t kCarveBlockBytes = 0x10000;

// The sectors of one carved transport stream, both ends included.
struct TsRange {
  uint64_t firstSector = 0;
  uint64_t lastSector = 0;
};

// One range per transport stream carved in the scan, in carving order.
using TsRangeList = std::vector<TsRange>;

struct CarveContext {
  uint32_t sectorSize = 512;          // S, the device's sector size in bytes
  SectorDevice* reader = nullptr;     // null: no sector beyond the one at hand can be read
  uint64_t startSector = 0;           // P, first sector of the file being identified or measured
  uint64_t currentSector = 0;         // C, the sector being tested
  uint64_t progressBase = 0;          // sectors of the scan done before this file
  uint64_t progressTotal = 1;         // sectors the scan covers, never zero
  int32_t secondsLeft = -1;           // remaining-time estimate, -1 while none
  uint64_t filesFound = 0;
  ScanProgressFn progress = nullptr;  // scan progress, called once per read-ahead block
  void* progressUser = nullptr;
  int32_t progressScale = 100;
  Status cancelResult = kOk;          // last answer of the progress callback
  bool tsFlag = false;                // set by every recognition attempt except one that carved a non-TS type
  bool mtsFlag = false;               // the previous recognition attempt found an mts
  TsRangeList tsRanges;
  // The read-ahead block buffer of the size rules (kCarveBlockBytes once
  // AllocateScratch succeeded). The header tests never use it, so a rule
  // may run them on sectors that lie in it.
  std::unique_ptr<uint8_t[]> scratch;

  // Allocates the read-ahead block buffer when it is missing. 0 or 8.
  Status AllocateScratch();

  // Reads count whole sectors of sectorSize bytes from firstSector into
  // buffer. 0 only when every sector arrived; 87 without a reader or past
  // the device's end, 30 on a read fault.
  Status Read(uint64_t firstSector, uint32_t count, uint8_t* buffer) const;
};

}  // namespace mendwell
