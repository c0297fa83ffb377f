// RAII ownership of an open file or device, and the positioned I/O on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace mendwell {

class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() { Close(); }
  FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Sources (disks, partitions, images) are always opened read-only: the
  // program never writes to a medium it recovers from.
  Status OpenReadOnly(const std::string& path);
  // Opens an existing file for reading and writing.
  Status OpenReadWrite(const std::string& path);
  // Opens or creates a file for reading and writing without truncating it.
  Status OpenAlways(const std::string& path);
  // Creates a file, replacing an existing one by an empty one.
  Status CreateTruncate(const std::string& path);

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void Close();

  // Size in bytes: st_size for files, BLKGETSIZE64 for block devices.
  Status Size(uint64_t* bytes) const;
  bool IsBlockDevice() const;
  bool IsDirectory() const;

  // One read/write call at the current position; *done is the bytes moved.
  Status ReadSome(void* buffer, size_t length, size_t* done);
  Status WriteSome(const void* buffer, size_t length, size_t* done);
  // One positioned read (pread); *done is the bytes that arrived.
  Status ReadAtSome(uint64_t offset, void* buffer, size_t length, size_t* done) const;

  // Writes all of buffer at offset (pwrite, repeated for partial writes).
  Status WriteAll(uint64_t offset, const void* buffer, size_t length);
  // Reads all of length at offset; 30 (read fault) when the file ends first.
  Status ReadAll(uint64_t offset, void* buffer, size_t length) const;

  Status Seek(uint64_t offset);
  Status SeekEnd(uint64_t* newPosition);
  Status Truncate(uint64_t length);
  // Flushes cached writes to the device; used before raw reads of a volume.
  Status Sync();

 private:
  int fd_ = -1;
};

}  // namespace mendwell
