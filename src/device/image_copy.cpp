#include "device/image_copy.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "device/sector_device.h"
#include "platform/disks.h"
#include "platform/partition_table.h"
#include "platform/time.h"

namespace mendwell {

namespace {

// Estimates of the time left start after this long, and are renewed at most
// this often.
constexpr uint64_t kEstimateIntervalMs = 4999;

}  // namespace

Status OpenImageCopy(ImageCopyJob& job, int diskIndex, uint64_t startSector, uint64_t sectorCount,
                     const std::string& imagePath) {
  job.disk.Close();
  job.image.Close();
  job.startSector = startSector;
  job.sectorCount = sectorCount;
  job.bytesPerSector = 512;
  std::string node;
  Status st = DiskNodePath(diskIndex, &node);
  if (st != kOk) return st;
  // Creating the image truncates it: never let that happen to the source.
  if (OverlapsDevice(imagePath, node)) return kErrInvalidParameter;
  st = job.disk.OpenReadOnly(node);
  if (st != kOk) return st;
  if (job.disk.IsDirectory()) {
    job.disk.Close();
    return kErrDirectory;
  }
  DiskGeometry geometry;
  st = QueryGeometry(job.disk, &geometry);
  if (st != kOk) return st;
  if (geometry.bytesPerSector != 0) job.bytesPerSector = geometry.bytesPerSector;
  if (job.sectorCount == 0) {
    uint64_t length = 0;
    if (QueryLengthBytes(job.disk, &length) == kOk) job.sectorCount = length / job.bytesPerSector;
    if (job.sectorCount == 0)
      job.sectorCount =
          geometry.cylinders * static_cast<uint64_t>(geometry.tracksPerCylinder) * geometry.sectorsPerTrack;
  }
  uint64_t offset = job.startSector * job.bytesPerSector;
  if (job.startSector != 0 && offset / job.bytesPerSector != job.startSector) return kErrInvalidParameter;
  if (job.sectorCount > UINT64_MAX / job.bytesPerSector) return kErrInvalidParameter;
  st = job.disk.Seek(offset);
  if (st != kOk) return st;
  return job.image.CreateTruncate(imagePath);
}

Status CopyToImage(ImageCopyJob& job, int diskIndex, uint64_t startSector, uint64_t sectorCount,
                   const std::string& imagePath, void* userData) {
  job.userData = userData;
  std::vector<uint8_t> buffer(kIoChunkBytes);
  uint64_t chunk = kIoChunkBytes;
  const uint64_t t0 = TickMs();
  uint64_t lastEstimate = t0;
  int32_t secondsLeft = -1;
  Status result = OpenImageCopy(job, diskIndex, startSector, sectorCount, imagePath);
  if (result == kOk) {
    const uint64_t bps = job.bytesPerSector;
    const uint64_t total = job.sectorCount * bps;
    uint64_t remaining = total;
    uint64_t done = 0;
    // A sector larger than the copy unit still moves one sector at a time.
    if (chunk < bps) {
      chunk = bps;
      buffer.resize(bps);
    }
    while (remaining > 0) {
      if (remaining < chunk) chunk = remaining;
      const uint32_t want = static_cast<uint32_t>(chunk / bps);
      uint32_t got = 0;
      result = ReadRun(job.disk, buffer.data(), want, job.bytesPerSector, &got);
      if (result != kOk) {
        // Keep the whole sectors that did arrive before the fault.
        uint32_t wrote = 0;
        if (got > 0) WriteRun(job.image, buffer.data(), got, job.bytesPerSector, &wrote);
        break;
      }
      uint32_t wrote = 0;
      result = WriteRun(job.image, buffer.data(), got, job.bytesPerSector, &wrote);
      if (result != kOk) break;
      done += static_cast<uint64_t>(got) * bps;
      const uint64_t now = TickMs();
      if (now - lastEstimate > kEstimateIntervalMs) {
        uint64_t elapsed = (now - t0) / 1000;
        uint64_t rate = elapsed ? done / elapsed : done;
        if (rate == 0) rate = 1;
        secondsLeft = static_cast<int32_t>(std::min<uint64_t>((total - done) / rate, INT32_MAX));
        lastEstimate = now;
      }
      if (job.progress) {
        int32_t percent = total ? static_cast<int32_t>(done * 100 / total) : 100;
        int32_t answer = job.progress(job.userData, percent, done / bps, total / bps, secondsLeft);
        if (answer != 0) {
          result = answer;
          break;
        }
      }
      remaining -= static_cast<uint64_t>(got) * bps;
    }
  }
  job.disk.Close();
  job.image.Close();
  return result;
}

int ImageCopyResult(Status status) {
  if (status == kOk) return kImageComplete;
  if (status == RESULT_CANCELLED) return kImageCancelled;
  return kImageFailed;
}

}  // namespace mendwell
