#include "ntfs/ntfs_file_copy.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ntfs/attribute_runs.h"
#include "ntfs/mft_record.h"

namespace mendwell {

namespace {
constexpr uint32_t kCopyChunk = 0x10000;

int32_t Percent(uint64_t done, uint64_t total) {
  if (total == 0) return 100;
  return static_cast<int32_t>(static_cast<unsigned __int128>(done) * 100 / total);
}
}  // namespace

Status FileCopySink::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    size_t done = 0;
    Status st = file_.WriteSome(data, size, &done);
    if (st != kOk) return st;
    if (done == 0) return kErrDiskFull;
    data += done;
    size -= done;
  }
  return kOk;
}

Status MemoryCopySink::Write(const uint8_t* data, size_t size) {
  uint64_t take = std::min<uint64_t>(size, capacity_ - used_);
  if (take > 0) std::memcpy(buffer_ + used_, data, static_cast<size_t>(take));
  used_ += take;
  return kOk;
}

int32_t CopyProgress::Report(int32_t percent) const {
  if (copy) return copy(user, percent, 100, 0, destinationPath);
  if (extract) return extract(user, percent, 0);
  return 0;
}

Status CopyFileContent(NtfsVolume& volume, const FileRecord& entry, CopySink& sink, const CopyProgress& progress,
                       bool* resident) {
  if (resident) *resident = false;
  if (!volume.device) return kErrInvalidParameter;
  std::vector<uint8_t> value;
  if (ReadResidentData(volume, entry.location, &value) == kOk) {
    if (resident) *resident = true;
    uint64_t n = std::min<uint64_t>({entry.size, value.size(), sink.Capacity()});
    return n > 0 ? sink.Write(value.data(), static_cast<size_t>(n)) : kOk;
  }
  NtfsRunlist runs;
  Status st = FindAttributeRuns(volume, entry.location, kAttrData, runs);
  if (st != kOk) return st;
  uint64_t total = std::min(entry.size, sink.Capacity());
  if (total == 0) return kOk;
  uint32_t bps = volume.geometry.bytesPerSector;
  if (entry.clusterSize <= 0 || bps == 0 || entry.clusterSize % bps != 0) return kErrInvalidParameter;
  uint64_t clusterBytes = static_cast<uint64_t>(entry.clusterSize);

  std::vector<uint8_t> buffer(kCopyChunk);
  uint64_t remaining = total;
  uint64_t cluster = 0;
  for (const NtfsRun& run : runs) {
    if (remaining == 0) break;
    cluster += static_cast<uint64_t>(run.offset);
    uint64_t runBytes = run.length * clusterBytes;
    if (run.length != 0 && runBytes / run.length != clusterBytes) return kErrInvalidParameter;
    uint64_t runSector = cluster * clusterBytes / bps + entry.origin;
    uint64_t readSectors = 0;
    while (runBytes > 0 && remaining > 0) {
      uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(runBytes, kCopyChunk));
      uint32_t sectors = chunk / bps;
      if (sectors == 0) break;
      size_t bytes = static_cast<size_t>(sectors) * bps;
      if (run.sparse) {
        // A hole: the file reads as zeros there; it has no clusters to read.
        std::fill(buffer.begin(), buffer.begin() + bytes, uint8_t{0});
      } else {
        uint32_t got = 0;
        st = ReadSectors(*volume.device, buffer.data(), runSector + readSectors, sectors, bps, &got);
        if (st != kOk) return st;
        if (got == 0) return kErrReadFault;
        bytes = static_cast<size_t>(got) * bps;
      }
      size_t deliver = static_cast<size_t>(std::min<uint64_t>(bytes, remaining));
      st = sink.Write(buffer.data(), deliver);
      if (st != kOk) return st;
      remaining -= deliver;
      readSectors += bytes / bps;
      runBytes -= std::min<uint64_t>(runBytes, bytes);
      int32_t answer = progress.Report(Percent(total - remaining, total));
      if (answer != 0) return answer;
    }
  }
  // Runs that end before the size leave the copy short: say so.
  return remaining == 0 ? kOk : kErrHandleEof;
}

}  // namespace mendwell
