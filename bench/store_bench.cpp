// Result-store throughput: appends 1,000,000 records with relations, flushes,
// lists a folder of 100,000 records, counts from the root and runs a type
// query with a five-type filter, then reads the same records file with
// `cat` for comparison. Prints records per second for each step.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/result_store.h"
#include "platform/paths.h"

using namespace mendwell;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time of this process so far; printed beside wall times because a
// busy machine stretches wall times but not this.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
  const uint32_t total = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 1000000;
  const uint32_t perFolder = 100000;
  std::string folder = argc > 2 ? argv[2] : "/tmp/mendwell-store-bench";
  RemoveTree(folder);
  ResultStore store;
  if (store.OpenStoreIn(folder, "Fast_0_bench") != kOk) {
    std::fprintf(stderr, "cannot open the store in %s\n", folder.c_str());
    return 1;
  }
  static const char* kNames[] = {"IMG_%u.jpg", "song%u.mp3", "clip%u.avi", "report%u.pdf", "data%u.bin",
                                 "notes%u.txt", "scan%u.png", "pack%u.zip"};
  auto t0 = std::chrono::steady_clock::now();
  const uint32_t folders = (total + perFolder - 1) / perFolder;
  for (uint32_t f = 0; f < folders; ++f) {
    FileRecord& dir = store.AppendRecord();
    dir.isFolder = 1;
    dir.intact = 1;
    dir.nodeId = 1000 + f;
    char name[64];
    std::snprintf(name, sizeof name, "folder%u", f);
    dir.SetName(name);
    store.AddRelation(FolderKey(2, 0), dir.recordId, dir.nodeId, name);
  }
  for (uint32_t i = 0; i < total; ++i) {
    FileRecord& r = store.AppendRecord();
    r.intact = 1;
    r.nodeId = 100000 + i;
    r.size = 4096 + i;
    char name[64];
    std::snprintf(name, sizeof name, kNames[i % 8], i);
    r.SetName(name);
    store.AddRelation(FolderKey(1000 + i / perFolder, 1), r.recordId, r.nodeId, nullptr);
  }
  store.Flush();
  double append = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  std::vector<FileRecord> children;
  store.Children(FolderKey(1000, 1), children);
  double list = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  uint32_t count = 0;
  store.Count(FolderKey(2, 0), &count);
  double counting = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  double c0 = CpuSeconds();
  std::vector<FileRecord> typed;
  store.ByType("*.jpg|*.png|*.pdf|*.mp3|*.zip", typed);
  double byType = Seconds(t0);
  double byTypeCpu = CpuSeconds() - c0;

  // The same reading with few records listed: what the query costs beyond
  // handing out the records it finds.
  t0 = std::chrono::steady_clock::now();
  std::vector<FileRecord> few;
  store.ByType("*.zip", few);
  double byOneType = Seconds(t0);

  std::string cat = "cat '" + store.recordsPath() + "' > /dev/null";
  std::system(cat.c_str());  // warm the page cache as the query had it
  t0 = std::chrono::steady_clock::now();
  std::system(cat.c_str());
  double catTime = Seconds(t0);

  std::printf("records                 %u (+%u folders)\n", total, folders);
  std::printf("append + flush          %.3f s  %.0f records/s\n", append, total / append);
  std::printf("children of a folder    %.3f s  %.0f records/s (%zu listed)\n", list, children.size() / list,
              children.size());
  std::printf("count from the root     %.3f s  %.0f records/s (%u files)\n", counting, count / counting, count);
  std::printf("type query, 5 types     %.3f s  %.0f records/s (%zu listed, %.3f s of processor time)\n", byType,
              total / byType, typed.size(), byTypeCpu);
  std::printf("type query, 1 type      %.3f s  %.0f records/s (%zu listed)\n", byOneType, total / byOneType,
              few.size());
  std::printf("cat of the records file %.3f s\n", catTime);
  std::printf("type query / cat        %.2f (5 types), %.2f (1 type)\n", byType / catTime, byOneType / catTime);
  store.CloseStore();
  RemoveTree(folder);
  return 0;
}
