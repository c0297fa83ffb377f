// Fuzz target: a disk image through the factory and the deleted-files
// engine it builds (FAT or NTFS): scan, listings, paths, recovery of files
// and folder trees, extraction. A crafted image may give wrong results but
// must never crash, hang or write outside the destination.
#include <cstdint>
#include <vector>

#include "carving/file_classification.h"
#include "engine/scan_log_store.h"
#include "factory/engine_factory.h"
#include "fuzz_support.h"

using namespace mendwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kClassifyBytes || size > (8u << 20)) return 0;
  std::string image = fuzz::WriteImage(data, size);
  GetScanLogStore().NewScanFolder();
  std::string logFolder = GetScanLogStore().CurrentLogFolder();
  {
    auto engine = CreateImageEngine(image, 1, kModeDeletedFiles);
    if (engine) {
      engine->Scan(nullptr);
      std::vector<FileRecord> found;
      engine->ListByType(DefaultTypeFilter() + "|.other", found);
      std::vector<FileRecord> top;
      engine->ListChildren(nullptr, 0, top);
      uint32_t count = 0;
      engine->CountFiles(nullptr, 0, &count);
      std::string out = fuzz::WorkFolder() + "/out";
      size_t done = 0;
      for (const std::vector<FileRecord>* list : {&found, &top}) {
        for (const FileRecord& r : *list) {
          if (++done > 16) break;
          std::string path;
          engine->GetPath(&r, &path);
          engine->Recover(&r, out + "/" + std::to_string(done), 0);
          uint8_t buffer[4096];
          uint32_t got = sizeof buffer;
          engine->Extract(&r, nullptr, buffer, &got, nullptr, nullptr);
        }
      }
      engine->PrepareFreeMap();
      uint64_t position = 0, length = 0;
      for (int i = 0; i < 64; ++i) {
        engine->NextFreeExtent(&position, &length);
        if (length == 0) break;
        position += length;
      }
      RemoveTree(out);
    }
  }
  GetScanLogStore().DeleteLogFolder(logFolder);
  return 0;
}
