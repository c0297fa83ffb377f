#include "cli/medium_argument.h"

#include "device/sector_device.h"
#include "platform/paths.h"

namespace mendwell::cli {

std::vector<OptionSpec> MediumOptions() { return {{"disk", true}, {"start", true}, {"count", true}}; }

bool ParseMedium(const Arguments& args, std::vector<MediumRow>* rows, std::string* error) {
  rows->clear();
  if (auto disk = args.Value("disk")) {
    unsigned long long index = 0, start = 0, count = 0;
    if (!ParseUnsigned(*disk, &index) || index > 127) {
      *error = "--disk needs a disk number from 0 to 127";
      return false;
    }
    auto s = args.Value("start");
    auto c = args.Value("count");
    if (!s || !c || !ParseUnsigned(*s, &start) || !ParseUnsigned(*c, &count) || count == 0) {
      *error = "--disk needs --start SECTOR and --count SECTORS";
      return false;
    }
    SectorDevice device;
    Status st = OpenDiskDevice(device, static_cast<int>(index));
    if (st != kOk) {
      *error = "cannot open disk " + *disk + ": " + StatusMessage(st);
      return false;
    }
    if (start >= device.sectorCount || count > device.sectorCount - start) {
      *error = "sectors " + *s + " to " + std::to_string(start + count - 1) + " lie beyond the end of disk " +
               *disk + " (" + std::to_string(device.sectorCount) + " sectors)";
      return false;
    }
    rows->push_back(MediumRow::Partition(static_cast<int32_t>(index), start, count, 1));
    return true;
  }
  if (args.Has("start") || args.Has("count")) {
    *error = "--start and --count go with --disk";
    return false;
  }
  if (args.Positional().size() != 1) {
    *error = "name one medium: an image file, or --disk N --start S --count C";
    return false;
  }
  const std::string& path = args.Positional()[0];
  if (!PathExists(path)) {
    *error = "cannot open " + path + ": " + StatusMessage(kErrFileNotFound);
    return false;
  }
  if (IsDirectoryPath(path)) {
    *error = path + " is a folder, not a disk image";
    return false;
  }
  rows->push_back(MediumRow::Image(path, 1));
  return true;
}

std::string DescribeRow(const MediumRow& row) {
  if (row.kind == MediumRow::Kind::kImage) return row.imagePath;
  return "disk " + std::to_string(row.diskIndex) + " from sector " + std::to_string(row.startSector);
}

}  // namespace mendwell::cli
