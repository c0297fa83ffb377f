// FAT entries and cluster chains, read through a window of up to 16 MiB of
// the first FAT copy so that following chains does not cost a read per
// entry.
#pragma once

#include <cstdint>
#include <vector>

#include "device/sector_device.h"
#include "fat/fat_boot_sector.h"
#include "platform/status.h"

namespace mendwell {

inline constexpr uint32_t kFatWindowBytes = 16 * 1024 * 1024;

class FatWindow {
 public:
  // Binds the window to the first FAT of a volume read through device (which
  // must outlive the window) and fills it from the FAT's start: 16 MiB, or
  // the whole FAT when it is smaller. Returns the status of that first fill;
  // the window stays usable after a failure and retries on the next entry.
  // 87, leaving the window closed, without a device, sector size or FAT.
  Status Open(SectorDevice* device, const FatGeometry& geometry);

  // Unbinds the device and frees the buffer.
  void Close();
  bool IsOpen() const { return device_ != nullptr; }

  // The FAT entry of a cluster: 12 bits (FAT12), 16 bits (FAT16) or the
  // 32 bits as stored (FAT32, top four bits included). Without an open
  // window the answer is cluster + 1 (the chain is taken as contiguous).
  // 87 when the entry lies beyond the FAT; a failed window load returns the
  // reader's error (30 when no sector arrived) and leaves *value 0.
  Status ReadFatEntry(uint32_t cluster, uint32_t* value);

  // Whether an entry value marks the end of a chain (FAT32 values masked to
  // 28 bits first).
  bool IsEndOfChain(uint32_t value) const;

  // The cluster after `cluster`, or 0 at the end of the chain. A free entry
  // (chains of deleted items are free) continues to cluster + 1 when that
  // entry is free too, so erased data is taken to run on through free
  // space; otherwise it ends the chain. A failed read counts as free. Any
  // answer outside the data clusters (2 .. ClusterLimit() - 1) ends the
  // chain, as does a cluster argument outside them.
  //
  // A damaged FAT can loop: walks must stop after MaxChainLength() steps.
  uint32_t NextCluster(uint32_t cluster);

  // One past the highest data cluster of the volume (and of the FAT).
  uint32_t ClusterLimit() const { return clusterLimit_; }
  // The most clusters a chain can have: more steps mean the chain loops.
  uint32_t MaxChainLength() const { return clusterLimit_ > 2 ? clusterLimit_ - 2 : 0; }
  FatType type() const { return type_; }

 private:
  Status Load(uint32_t firstFatSector);

  SectorDevice* device_ = nullptr;
  FatType type_ = FatType::kFat16;
  uint32_t bytesPerSector_ = 512;
  uint64_t fatStart_ = 0;
  uint32_t fatSectors_ = 0;
  uint32_t clusterLimit_ = 0;
  std::vector<uint8_t> buffer_;
  uint32_t windowStart_ = 0;    // FAT sector at which buffer_ begins
  uint32_t windowSectors_ = 0;  // sectors currently loaded
};

}  // namespace mendwell
