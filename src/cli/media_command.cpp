// mendwell-cli media: the disks with their partitions, unallocated
// stretches and whole disks, numbered as rows the image command takes.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "app/language_manager.h"
#include "cli/arguments.h"
#include "cli/cli_text.h"
#include "cli/json_text.h"
#include "cli/commands.h"
#include "device/medium_list.h"
#include "engine/display_text.h"
#include "platform/status.h"

namespace mendwell::cli {

namespace {


std::string JsonOrNull(const std::string& s) { return s.empty() ? "null" : JsonString(s); }
std::string JsonNumber(uint64_t v) { return std::to_string(v); }

const char* KindName(MediumKind kind) {
  return kind == MediumKind::kPartition ? "partition" : kind == MediumKind::kUnallocated ? "unallocated" : "disk";
}

// One disk and its records, as ListAll gives them.
struct DiskGroup {
  DiskSummary disk;
  std::vector<MediumRecord> records;
};

std::vector<DiskGroup> GroupByDisk(const std::vector<MediumRecord>& records) {
  std::vector<DiskGroup> groups;
  for (const MediumRecord& r : records) {
    if (groups.empty() || groups.back().disk.diskIndex != r.diskIndex) {
      DiskGroup g;
      if (!DescribeDisk(r.diskIndex, &g.disk)) g.disk.diskIndex = r.diskIndex;
      groups.push_back(std::move(g));
    }
    groups.back().records.push_back(r);
  }
  return groups;
}

// A disk without partitions is one object of kind "disk" carrying the row
// of its whole-disk record; partitions and stretches follow their disk.
void PrintJson(const std::vector<DiskGroup>& groups) {
  for (const DiskGroup& g : groups) {
    const MediumRecord* whole = nullptr;
    for (const MediumRecord& r : g.records)
      if (r.kind == MediumKind::kWholeDisk) whole = &r;
    uint32_t bps = g.records.empty() ? 512 : g.records.front().bytesPerSector;
    std::printf(
        "{\"row\":%s,\"kind\":\"disk\",\"disk\":%d,\"node\":%s,\"model\":%s,\"removable\":%s,"
        "\"bytes_per_sector\":%u,\"start_sector\":0,\"sector_count\":%s,\"partition_number\":null,"
        "\"partition_type\":null,\"file_system\":null,\"label\":null,\"total_bytes\":%s,\"used_bytes\":null,"
        "\"free_bytes\":null,\"volume_path\":null,\"mount_point\":null}\n",
        whole ? std::to_string(whole->rowNumber).c_str() : "null", g.disk.diskIndex, JsonOrNull(g.disk.node).c_str(),
        JsonOrNull(g.disk.model).c_str(), g.disk.removable ? "true" : "false", bps,
        JsonNumber(g.disk.lengthBytes / bps).c_str(), JsonNumber(g.disk.lengthBytes).c_str());
    for (const MediumRecord& r : g.records) {
      if (r.kind == MediumKind::kWholeDisk) continue;
      const bool partition = r.kind == MediumKind::kPartition;
      std::printf(
          "{\"row\":%d,\"kind\":\"%s\",\"disk\":%d,\"bytes_per_sector\":%u,\"start_sector\":%s,"
          "\"sector_count\":%s,\"partition_number\":%s,\"partition_type\":%s,\"file_system\":%s,\"label\":%s,"
          "\"total_bytes\":%s,\"used_bytes\":%s,\"free_bytes\":%s,\"volume_path\":%s,\"mount_point\":%s}\n",
          r.rowNumber, KindName(r.kind), r.diskIndex, r.bytesPerSector, JsonNumber(r.startSector).c_str(),
          JsonNumber(r.sectorCount).c_str(), partition ? std::to_string(r.partitionNumber).c_str() : "null",
          partition ? std::to_string(r.partitionType).c_str() : "null", JsonOrNull(r.fileSystem).c_str(),
          JsonOrNull(r.volumeLabel).c_str(), JsonNumber(r.totalBytes).c_str(),
          r.spaceKnown ? JsonNumber(r.usedBytes).c_str() : "null",
          r.spaceKnown ? JsonNumber(r.freeBytes).c_str() : "null", JsonOrNull(r.volumePath).c_str(),
          JsonOrNull(r.mountPoint).c_str());
    }
  }
}

void PrintTable(const std::vector<DiskGroup>& groups) {
  const std::string none = CliText("Unknown");
  for (const DiskGroup& g : groups) {
    const DiskSummary& d = g.disk;
    std::string line = FormatChecked(CliText("DiskLine"), "sdss", Msg(d.removable ? "MSG0202" : "MSG0201").c_str(),
                                     d.diskIndex, d.node.c_str(), SizeText(static_cast<int64_t>(d.lengthBytes)).c_str());
    if (!d.model.empty()) line += ", " + CliText("DiskModel") + " " + d.model;
    if (d.removable) line += ", " + CliText("Removable");
    std::printf("%s\n", line.c_str());
    std::printf("  %5s  %-16s  %-12s  %12s  %12s  %12s  %s\n", CliText("ColRow").c_str(), CliText("ColLabel").c_str(),
                CliText("ColFileSystem").c_str(), CliText("ColSize").c_str(), CliText("ColUsed").c_str(),
                CliText("ColFree").c_str(), CliText("ColMount").c_str());
    for (const MediumRecord& r : g.records) {
      const std::string size = SizeText(static_cast<int64_t>(r.totalBytes));
      if (r.kind != MediumKind::kPartition) {
        std::printf("  %5d  %s  %s\n", r.rowNumber,
                    CliText(r.kind == MediumKind::kUnallocated ? "Unallocated" : "WholeDisk").c_str(), size.c_str());
        continue;
      }
      std::string used = r.spaceKnown ? SizeText(static_cast<int64_t>(r.usedBytes)) : none;
      std::string free = r.spaceKnown ? SizeText(static_cast<int64_t>(r.freeBytes)) : none;
      std::printf("  %5d  %-16s  %-12s  %12s  %12s  %12s  %s\n", r.rowNumber,
                  r.volumeLabel.empty() ? none.c_str() : r.volumeLabel.c_str(),
                  r.fileSystem.empty() ? none.c_str() : r.fileSystem.c_str(), size.c_str(), used.c_str(),
                  free.c_str(), r.mountPoint.empty() ? none.c_str() : r.mountPoint.c_str());
    }
  }
}

}  // namespace

int MediaCommand(int argc, char** argv, int first) {
  Arguments args;
  std::string error;
  if (!args.Parse(argc, argv, first, {{"json", false}}, &error) || !args.Positional().empty()) {
    if (!error.empty()) PrintError("mendwell-cli media: " + error);
    PrintError(CliText("UsageMedia"));
    return 2;
  }
  MediumList list;
  list.Refresh();
  for (const MediumProblem& p : list.Problems())
    PrintError(FormatChecked(CliText("DiskLeftOut"), "dss", p.diskIndex, p.node.c_str(),
                             StatusMessage(p.status).c_str()));
  std::vector<MediumRecord> records;
  list.ListAll(&records);
  std::vector<DiskGroup> groups = GroupByDisk(records);
  if (args.Has("json")) {
    PrintJson(groups);
  } else if (groups.empty()) {
    std::printf("%s\n", CliText("NoMedia").c_str());
  } else {
    PrintTable(groups);
  }
  return 0;
}

}  // namespace mendwell::cli
