// Reading a found file's content back: its resident value, or its clusters
// run by run through a 64 KiB buffer, into a file or a memory buffer.
#pragma once

#include <cstdint>
#include <limits>

#include "engine/engine_interface.h"
#include "engine/file_record.h"
#include "ntfs/ntfs_volume.h"
#include "platform/file.h"

namespace mendwell {

// Where copied bytes go.
class CopySink {
 public:
  virtual ~CopySink() = default;
  // Takes bytes; 0 or the write error.
  virtual Status Write(const uint8_t* data, size_t size) = 0;
  // Most bytes the sink takes in all.
  virtual uint64_t Capacity() const { return std::numeric_limits<uint64_t>::max(); }
};

// Writes at the file's current position.
class FileCopySink : public CopySink {
 public:
  explicit FileCopySink(FileHandle& file) : file_(file) {}
  Status Write(const uint8_t* data, size_t size) override;

 private:
  FileHandle& file_;
};

// Fills a caller's buffer; bytes beyond its capacity are dropped.
class MemoryCopySink : public CopySink {
 public:
  MemoryCopySink(uint8_t* buffer, uint64_t capacity) : buffer_(buffer), capacity_(buffer ? capacity : 0) {}
  Status Write(const uint8_t* data, size_t size) override;
  uint64_t Capacity() const override { return capacity_; }
  uint64_t used() const { return used_; }

 private:
  uint8_t* buffer_;
  uint64_t capacity_;
  uint64_t used_ = 0;
};

// Progress after each chunk of a non-resident copy, through one of the
// callback forms of the engine interface: copy progress is called as
// (user, percent, 100, 0, destinationPath), extract progress as
// (user, percent, 0). A non-zero answer stops the copy with that value.
struct CopyProgress {
  CopyProgressFn copy = nullptr;
  ExtractProgressFn extract = nullptr;
  void* user = nullptr;
  const char* destinationPath = nullptr;

  int32_t Report(int32_t percent) const;
};

// Copies an entry's content to the sink. A resident value (the entry's
// record at `location`) goes in one piece, cut to the entry's size, and no
// progress is reported (*resident is set so that the caller reports once).
// Otherwise the runs of the record's $DATA are read at the entry's origin
// and cluster size, chunk by chunk; each chunk is cut to the bytes of the
// file still to deliver, then progress is reported as done x 100 / min(size,
// sink capacity). Sparse runs deliver zeros. Never more than the entry's
// size or the sink's capacity is delivered; an entry of size 0 delivers
// nothing. Results: 0; the run lookup's result (-1, -100, read error); 87
// for an entry without a usable cluster size; 30 when a read returns
// nothing; 38 when the runs end before the size (what they held was
// delivered); the reader's or the sink's error; a progress answer.
Status CopyFileContent(NtfsVolume& volume, const FileRecord& entry, CopySink& sink, const CopyProgress& progress,
                       bool* resident = nullptr);

}  // namespace mendwell
