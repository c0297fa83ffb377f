// Carving driver for measurement: feeds the carving engine every sector of
// an image, 64 KiB at a time, honouring skip counts and the carry into the
// next block the way the deep scan does, then prints each carved file and
// the throughput. With --recover DIR it copies every carved file out.
//
//   carve IMAGE [--recover DIR] [--quiet]
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "carving/file_type_recovery.h"
#include "device/sector_device.h"
#include "engine/scan_log_store.h"

using namespace mendwell;

int main(int argc, char** argv) {
  std::string image, recoverDir;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--recover" && i + 1 < argc)
      recoverDir = argv[++i];
    else if (a == "--quiet")
      quiet = true;
    else
      image = a;
  }
  if (image.empty()) {
    std::fprintf(stderr, "usage: carve IMAGE [--recover DIR] [--quiet]\n");
    return 2;
  }
  constexpr uint32_t kSector = 512;
  SectorDevice reader;
  if (Status st = OpenImageDevice(reader, image); st != kOk) {
    std::fprintf(stderr, "cannot open %s: %s\n", image.c_str(), StatusMessage(st).c_str());
    return 1;
  }
  GetScanLogStore().NewScanFolder();
  CFileTypeRecovery engine;
  if (Status st = engine.OpenImage(image, 0); st != kOk) {
    std::fprintf(stderr, "cannot open the carving engine: %s\n", StatusMessage(st).c_str());
    return 1;
  }

  const uint64_t total = reader.sectorCount;
  const uint32_t blockSectors = kCarveBlockBytes / kSector;
  std::vector<uint8_t> block(kCarveBlockBytes);
  uint64_t position = 0, scanned = 0, remaining = total, found = 0;
  const auto start = std::chrono::steady_clock::now();
  while (remaining > 0) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(blockSectors, remaining));
    uint32_t got = 0;
    ReadSectors(reader, block.data(), position, n, kSector, &got);
    int64_t carry = 0;
    uint64_t i = 0;
    while (i < got) {
      uint64_t skip = 1;
      Status st = engine.ExamineSector(kSector, ByteView(block.data() + i * kSector, kSector), position + i, scanned,
                                       total, -1, &reader, &skip, &found);
      if (st == kOk && !quiet) {
        const CarvedFile& f = engine.lastCarved();
        std::printf("%" PRIu64 "\t%" PRIu64 "\t%s\n", position + i, f.size, f.name.c_str());
      }
      i += skip;
    }
    if (i > n) carry = static_cast<int64_t>(i - n);
    const uint64_t advance = std::min<uint64_t>(n + static_cast<uint64_t>(carry), remaining);
    position += advance;
    scanned += advance;
    remaining -= advance;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double bytes = static_cast<double>(total) * kSector;
  std::printf("# carved %" PRIu64 " files from %.0f MiB in %.3f s: %.1f MB/s\n", found, bytes / (1 << 20), seconds,
              bytes / seconds / 1e6);

  if (!recoverDir.empty()) {
    std::vector<FileRecord> records;
    engine.ListChildren(nullptr, 0, records);
    uint64_t ok = 0;
    for (const FileRecord& r : records)
      if (engine.Recover(&r, recoverDir + "/" + std::string(r.Name()), 0) == kOk) ++ok;
    std::printf("# recovered %" PRIu64 " of %zu files into %s\n", ok, records.size(), recoverDir.c_str());
  }
  return 0;
}
