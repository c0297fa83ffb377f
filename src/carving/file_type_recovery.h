// The carving engine: finds files by their content alone, on media whose
// file system is gone or damaged.
//
// It does not walk the medium itself (Scan does nothing): the deep-scan
// driver reads the medium and hands it every sector that no file-system
// engine claimed, one ExamineSector call per sector. A recognised file
// start is measured by the size rules, stored as one record named
// "<first sector>.<extension>" in the root of the engine's result store,
// and the caller is told how many sectors to skip. Afterwards the engine
// lists its records and copies them out (Recover, Extract) from the sector
// runs they occupy: carved files are taken to be contiguous.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "carving/carve_context.h"
#include "carving/signature_catalogue.h"
#include "device/sector_device.h"
#include "engine/engine_interface.h"
#include "engine/result_store.h"

namespace mendwell {

// What IdentifyFile found.
struct CarvedFile {
  FileTypeCode code = FileTypeCode::kNone;
  std::string name;   // "%lld.%s": first sector and carved extension
  uint64_t size = 0;  // bytes
};

class CFileTypeRecovery : public IFileRecoveryParse {
 public:
  // context: the carving context shared with a combined engine; null makes
  // the engine use its own. The context's scratch buffer is allocated here
  // when missing.
  explicit CFileTypeRecovery(CarveContext* context = nullptr);
  ~CFileTypeRecovery() override;

  Status OpenImage(const std::string& path, uint16_t tag) override;
  Status OpenPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, uint16_t tag) override;
  Status SetCallbacks(ScanProgressFn scanProgress, CopyProgressFn copyProgress, void* user, int32_t scale) override;
  Status Scan(const char*) override { return kOk; }
  Status ListChildren(const FileRecord* folder, int32_t depth, std::vector<FileRecord>& out) override;
  Status CountFiles(const FileRecord* folder, int32_t depth, uint32_t* count) override;
  uint64_t GetFoundCount() override;
  Status GetPath(const FileRecord*, std::string*) override { return kOk; }
  Status Recover(const FileRecord* record, const std::string& destinationPath, int32_t depthBase) override;
  int32_t NextFreeExtent(uint64_t*, uint64_t*) override { return 0; }
  Status SetListCallback(ListProgressFn fn, void* user) override;
  int32_t ListByType(const std::string& filter, std::vector<FileRecord>& out) override;
  Status PrepareFreeMap() override { return kOk; }
  Status Extract(const FileRecord* record, std::string* pathOut, uint8_t* buffer, uint32_t* size,
                 ExtractProgressFn progress, void* user) override;

  // Resume openers of the deep scan: open the medium and reopen the store
  // on the log of an interrupted scan (a full path), so that the files it
  // carved stay listed and new ones are added. 0 or the first error.
  Status OpenPartitionWithLog(uint32_t sectorSize, int32_t diskIndex, const std::string& logPath, uint16_t tag);
  Status OpenImageWithLog(uint32_t sectorSize, const std::string& logPath, uint16_t tag, const std::string& imagePath);

  // Recognises and measures the file that starts in `sector` (absolute
  // sector `firstSector`, read through `reader`). 0 with *found filled, 87
  // when no carvable file starts there, RESULT_CANCELLED when the progress
  // callback stopped the measuring.
  Status IdentifyFile(uint32_t sectorSize, SectorDevice* reader, ByteView sector, uint64_t firstSector,
                      uint64_t progressBase, uint64_t progressTotal, int32_t secondsLeft, uint64_t filesFound,
                      CarvedFile* found);

  // One sector of the deep scan. 0: a file was carved, its record stored,
  // *skip set to the sectors to go on after (1 for types whose size came
  // from a header field, else the file's sectors) and *filesFound raised by
  // one. 87: nothing carvable starts here; RESULT_CANCELLED: stopped while
  // measuring. On non-zero results *skip and *filesFound stay unchanged.
  Status ExamineSector(uint32_t sectorSize, ByteView sector, uint64_t firstSector, uint64_t progressBase,
                       uint64_t progressTotal, int32_t secondsLeft, SectorDevice* reader, uint64_t* skip,
                       uint64_t* filesFound);

  // Copies a carved record's sector run into a file at destinationPath,
  // exactly size bytes. 0, a read or write error, or the callback's stop.
  Status CopyCarvedFile(const FileRecord& record, const std::string& destinationPath);

  // The file the last successful ExamineSector carved.
  const CarvedFile& lastCarved() const { return lastCarved_; }
  CarveContext& context() { return *context_; }
  ResultStore* store() { return store_.get(); }
  uint32_t sectorSize() const { return sectorSize_; }

 private:
  Status NewStore(uint64_t startSector);
  Status ReopenStore(const std::string& logPath);
  // Reads the record's sector run in chunks of at most 64 KiB; sink gets
  // each chunk cut to the record's size and returns 0 to go on.
  template <class Sink>
  Status ReadRun(const FileRecord& record, Sink&& sink);

  CarveContext ownContext_;
  CarvedFile lastCarved_;
  CarveContext* context_;
  SectorDevice device_;
  std::unique_ptr<ResultStore> store_;
  uint16_t tag_ = 0;
  uint64_t startSector_ = 0;
  uint64_t sectorCount_ = 0;
  uint32_t sectorSize_ = 512;
  ScanProgressFn scanProgress_ = nullptr;
  CopyProgressFn copyProgress_ = nullptr;
  void* user_ = nullptr;
  int32_t scale_ = 100;
  ListProgressFn listFn_ = nullptr;
  void* listUser_ = nullptr;
};

}  // namespace mendwell
