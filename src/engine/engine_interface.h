// The engine interface: every recovery engine (fast FAT, fast NTFS, ext
// placeholder, the professional engines and the carver) is driven through
// IFileRecoveryParse, so the drivers and front ends never know which file
// system is behind it.
//
// Calling order for one engine: a factory constructs it and calls OpenImage
// or OpenPartition once; the scan driver calls SetCallbacks and Scan; the
// search driver calls SetListCallback and ListByType; views call
// ListChildren, CountFiles, GetPath and GetFoundCount; recovery calls
// SetCallbacks and Recover per record; preview calls Extract. One operation
// runs at a time; engines take no locks.
//
// Every operation returns a status (platform/status.h): 0, an error code,
// 87 for a bad argument, or RESULT_CANCELLED (-9527) when a callback asked
// to stop, unless stated otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_record.h"
#include "platform/status.h"

namespace mendwell {

// Scan progress: percent, the scale the driver gave (shown percentage is
// percent x scale / 100), seconds left (-1 while there is no estimate),
// sectors done and total, files found, and a reserved 0. Returns 0 to go on;
// a scan stops at the first non-zero answer and returns it.
using ScanProgressFn = int32_t (*)(void* user, int32_t percent, int32_t scale, int32_t secondsLeft,
                                   uint64_t sectorsDone, uint64_t sectorsTotal, uint64_t filesFound,
                                   int32_t reserved);

// Copy progress: called after each block with the percentage of the file
// done and the current error; the last call for a file has percent 100 and
// the file's final error (0 for success), also when the copy failed. Returns
// 0 to go on or RESULT_CANCELLED to stop.
using CopyProgressFn = int32_t (*)(void* user, int32_t percent, int32_t scale, int32_t error,
                                   const char* destinationPath);

// Listing progress: percent of the records file read, after each block of
// 200 records. Non-zero stops the listing.
using ListProgressFn = int32_t (*)(void* user, int32_t percent, int32_t reserved);

// Extraction progress for preview: percent and current error. Non-zero
// stops the extraction.
using ExtractProgressFn = int32_t (*)(void* user, int32_t percent, int32_t error);

class IFileRecoveryParse {
 public:
  // Binds the engine to an image file (start sector 0). 0 or the open error.
  virtual Status OpenImage(const std::string& path, uint16_t tag) = 0;
  // Binds the engine to a partition of disk N. 0 or the open error.
  virtual Status OpenPartition(int32_t diskIndex, uint64_t startSector, uint64_t sectorCount, uint16_t tag) = 0;
  // Stores the callbacks, user data and scale, replacing earlier ones. 0.
  virtual Status SetCallbacks(ScanProgressFn scanProgress, CopyProgressFn copyProgress, void* user,
                              int32_t scale) = 0;
  // logName null: starts a new scan log in the current log folder and scans.
  // Non-null: reopens that log of an earlier scan without scanning (0).
  virtual Status Scan(const char* logName) = 0;
  // Appends the children of (folder's nodeId, depth), or of the root when
  // folder is null, in display order. Null folder with depth != 0 gives 87.
  virtual Status ListChildren(const FileRecord* folder, int32_t depth, std::vector<FileRecord>& out) = 0;
  // Files (not folders) at every level below that key.
  virtual Status CountFiles(const FileRecord* folder, int32_t depth, uint32_t* count) = 0;
  // Records appended since the result store was opened.
  virtual uint64_t GetFoundCount() = 0;
  // Names of the record's ancestor folders below the root, outermost first,
  // each followed by "/" (the record's own name not included). 87 for null.
  virtual Status GetPath(const FileRecord* record, std::string* path) = 0;
  // Copies a file to destinationPath, or recreates a folder there with
  // everything below it. depthBase is the number of path separators in the
  // user's destination folder.
  virtual Status Recover(const FileRecord* record, const std::string& destinationPath, int32_t depthBase) = 0;
  // Advances *position (sectors, partition-relative) to the next run of
  // unallocated space and sets *length (0 when none). Returns 1.
  virtual int32_t NextFreeExtent(uint64_t* position, uint64_t* length) = 0;
  virtual Status SetListCallback(ListProgressFn fn, void* user) = 0;
  // Appends every file record whose extension matches the filter
  // ("*.jpg|*.png|.other"). 1 when the log was read to the end or stopped by
  // the callback, 0 when it cannot be opened.
  virtual int32_t ListByType(const std::string& filter, std::vector<FileRecord>& out) = 0;
  // Builds the map of allocated space; 0 only when NextFreeExtent can
  // enumerate free space afterwards.
  virtual Status PrepareFreeMap() = 0;
  // Reads a file for preview: into buffer (at most *size bytes; *size comes
  // back as the bytes delivered) or into a temporary file whose path comes
  // back in *pathOut.
  virtual Status Extract(const FileRecord* record, std::string* pathOut, uint8_t* buffer, uint32_t* size,
                         ExtractProgressFn progress, void* user) = 0;
  virtual ~IFileRecoveryParse() = default;
};

// Scan modes of the factories.
inline constexpr int32_t kModeDeletedFiles = 0;
inline constexpr int32_t kModeProfessional = 1;

}  // namespace mendwell
