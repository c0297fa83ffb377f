// Copying a partition or a whole disk, sector by sector, into a raw image
// file that later scans read instead of a failing or slow medium.
//
// The source is opened read-only; the copy moves 64 KiB per read and
// write, straight through: a sector that cannot be read ends the copy with
// an error and nothing is skipped or retried. The destination is replaced
// and, after a complete copy, is exactly as long as the copied sectors. A
// failed or cancelled copy leaves the partial image on disk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/status.h"

namespace mendwell {

// Progress of a copy: percent of the bytes done, sectors done and total (in
// the source's sectors), and the seconds left, -1 until the first estimate
// (after five seconds). Returns 0 to go on; any other value ends the copy
// and becomes its result (RESULT_CANCELLED when the user cancels).
using ImageProgressFn = int32_t (*)(void* userData, int32_t percent, uint64_t sectorsDone, uint64_t sectorsTotal,
                                    int32_t secondsLeft);

struct ImageCopyJob {
  FileHandle disk;   // the source, read-only
  FileHandle image;  // the destination file
  uint32_t bytesPerSector = 512;
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;
  ImageProgressFn progress = nullptr;  // set by the caller; null reports nothing
  void* userData = nullptr;
};

// Opens disk N (platform/disks.h numbering) read-only, reads its sector
// size, fills a sector count of 0 with the whole disk's length (the
// geometry product when the length is unknown), positions the source at
// the start sector, and creates the image file, replacing an existing one.
// 0 or the status of the failed step; 87, before anything is created, when
// the image path names the source itself or one of its partitions (the
// copy would overwrite what it reads).
Status OpenImageCopy(ImageCopyJob& job, int diskIndex, uint64_t startSector, uint64_t sectorCount,
                     const std::string& imagePath);

// Opens the job (OpenImageCopy) and copies. 0 when every sector arrived in
// the image, the status of the first failed read or write, or the non-zero
// value the progress function returned. Both handles are closed at the end.
Status CopyToImage(ImageCopyJob& job, int diskIndex, uint64_t startSector, uint64_t sectorCount,
                   const std::string& imagePath, void* userData);

// How an image copy ended, as the image window's modal result.
inline constexpr int kImageComplete = 1;
inline constexpr int kImageCancelled = 2;
inline constexpr int kImageFailed = 3;

// The window result for the status CopyToImage returned.
int ImageCopyResult(Status status);

}  // namespace mendwell
