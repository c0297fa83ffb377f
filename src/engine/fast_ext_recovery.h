// Placeholder engine for ext2/3/4 volumes: it finds nothing in the
// deleted-files mode, and its missing free-space map makes the combined
// engine carve the whole partition in the professional modes.
#pragma once

#include "device/sector_device.h"
#include "engine/engine_interface.h"

namespace mendwell {

class CFastExtRecovery : public IFileRecoveryParse {
 public:
  Status OpenImage(const std::string& path, uint16_t tag) override;
  Status OpenPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, uint16_t tag) override;
  Status SetCallbacks(ScanProgressFn, CopyProgressFn, void*, int32_t) override { return kOk; }
  Status Scan(const char*) override { return kOk; }
  Status ListChildren(const FileRecord*, int32_t, std::vector<FileRecord>&) override { return kOk; }
  Status CountFiles(const FileRecord*, int32_t, uint32_t* count) override;
  uint64_t GetFoundCount() override { return 0; }
  Status GetPath(const FileRecord*, std::string*) override { return kOk; }
  Status Recover(const FileRecord*, const std::string&, int32_t) override { return kOk; }
  int32_t NextFreeExtent(uint64_t*, uint64_t*) override { return 0; }
  Status SetListCallback(ListProgressFn, void*) override { return kOk; }
  int32_t ListByType(const std::string&, std::vector<FileRecord>&) override { return 0; }
  // 1: there is no map of allocated space, so the whole partition is free.
  Status PrepareFreeMap() override { return 1; }
  Status Extract(const FileRecord*, std::string*, uint8_t*, uint32_t*, ExtractProgressFn, void*) override {
    return kOk;
  }

  uint64_t startSector() const { return startSector_; }
  uint64_t sectorCount() const { return sectorCount_; }

 private:
  SectorDevice device_;
  uint64_t startSector_ = 0;
  uint64_t sectorCount_ = 0;
};

}  // namespace mendwell
