#include "cli/medium_argument.h"

#include "app/language_manager.h"
#include "cli/cli_text.h"
#include "device/medium_list.h"
#include "device/sector_device.h"
#include "platform/paths.h"

namespace mendwell::cli {

std::vector<OptionSpec> MediumOptions() {
  return {{"disk", true}, {"start", true}, {"count", true}, {"row", true}};
}

namespace {

bool NumberOption(const Arguments& args, const char* name, unsigned long long* value, std::string* error) {
  auto text = args.Value(name);
  if (!text) return false;
  if (!ParseUnsigned(*text, value)) {
    *error = FormatChecked(CliText("NotNumber"), "ss", (std::string("--") + name).c_str(), text->c_str());
    return false;
  }
  return true;
}

MediumRow RowOf(const MediumRecord& r) {
  return MediumRow::Partition(r.diskIndex, r.startSector, r.sectorCount, static_cast<uint16_t>(r.rowNumber));
}

}  // namespace

bool ParseMedium(const Arguments& args, std::vector<MediumRow>* rows, std::string* error) {
  rows->clear();
  const bool hasDisk = args.Has("disk"), hasRow = args.Has("row");
  const bool hasRange = args.Has("start") || args.Has("count");
  if (hasRow) {
    unsigned long long row = 0;
    if (!NumberOption(args, "row", &row, error)) return false;
    if (hasDisk || hasRange || !args.Positional().empty()) {
      *error = CliText("MediumNeeded");
      return false;
    }
    MediumList list;
    list.Refresh();
    std::vector<MediumRecord> records;
    list.ListAll(&records);
    for (const MediumRecord& r : records)
      if (static_cast<unsigned long long>(r.rowNumber) == row) {
        rows->push_back(RowOf(r));
        return true;
      }
    *error = FormatChecked(CliText("NoSuchRow"), "s", args.Value("row")->c_str());
    return false;
  }
  if (hasDisk) {
    unsigned long long index = 0;
    if (!NumberOption(args, "disk", &index, error)) return false;
    if (!args.Positional().empty() || index > 127) {
      *error = CliText("MediumNeeded");
      return false;
    }
    SectorDevice device;
    Status st = OpenDiskDevice(device, static_cast<int>(index));
    if (st != kOk) {
      *error = FormatChecked(CliText("CannotOpen"), "ss", ("disk " + *args.Value("disk")).c_str(),
                             StatusMessage(st).c_str());
      return false;
    }
    if (!hasRange) {
      // Every partition of the disk in list order (or the whole disk when
      // it has none), each numbered by its row.
      MediumList list;
      list.Refresh();
      std::vector<MediumRecord> records;
      list.ListAll(&records);
      for (const MediumRecord& r : records)
        if (r.diskIndex == static_cast<int32_t>(index) && r.kind != MediumKind::kUnallocated)
          rows->push_back(RowOf(r));
      if (rows->empty()) rows->push_back(MediumRow::Partition(static_cast<int32_t>(index), 0, device.sectorCount, 1));
      return true;
    }
    unsigned long long start = 0, count = 0;
    if (!NumberOption(args, "start", &start, error) || !NumberOption(args, "count", &count, error) || count == 0) {
      if (error->empty()) *error = CliText("MediumNeeded");
      return false;
    }
    if (start >= device.sectorCount || count > device.sectorCount - start) {
      *error = FormatChecked(CliText("BeyondDisk"), "ssU", args.Value("disk")->c_str(), args.Value("start")->c_str(),
                             static_cast<unsigned long long>(device.sectorCount));
      return false;
    }
    rows->push_back(MediumRow::Partition(static_cast<int32_t>(index), start, count, 1));
    return true;
  }
  if (hasRange || args.Positional().size() != 1) {
    *error = CliText("MediumNeeded");
    return false;
  }
  const std::string& path = args.Positional()[0];
  if (!PathExists(path)) {
    *error = FormatChecked(CliText("CannotOpen"), "ss", path.c_str(), StatusMessage(kErrFileNotFound).c_str());
    return false;
  }
  if (IsDirectoryPath(path)) {
    *error = FormatChecked(CliText("IsFolder"), "s", path.c_str());
    return false;
  }
  rows->push_back(MediumRow::Image(path, 1));
  return true;
}

std::string DescribeRow(const MediumRow& row) {
  if (row.kind == MediumRow::Kind::kImage) return row.imagePath;
  return FormatChecked(CliText("RowDescription"), "dUd", row.diskIndex, static_cast<unsigned long long>(row.startSector),
                       static_cast<int>(row.tag));
}

}  // namespace mendwell::cli
