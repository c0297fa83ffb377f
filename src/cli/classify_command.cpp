// mendwell-cli classify: which file system a medium's first 16 KiB hold.
#include <cstdio>
#include <string>

#include "app/language_manager.h"
#include "cli/arguments.h"
#include "cli/cli_text.h"
#include "cli/commands.h"
#include "factory/engine_factory.h"
#include "platform/disks.h"

namespace mendwell::cli {

namespace {

const char* ClassWord(FileSystemClass c) {
  switch (c) {
    case FileSystemClass::kNtfs:
      return "NTFS";
    case FileSystemClass::kFat:
      return "FAT";
    case FileSystemClass::kExt:
      return "EXT";
    case FileSystemClass::kOther:
      break;
  }
  return "OTHER";
}

std::string Reason(Status st) {
  if (st == kErrReadFault) return CliText("TooShort");
  if (st == kErrDirectory) return CliText("NotAnImage");
  return StatusMessage(st);
}

}  // namespace

int ClassifyCommand(int argc, char** argv, int first) {
  Arguments args;
  std::string error;
  if (!args.Parse(argc, argv, first, {{"disk", true}, {"start", true}}, &error)) {
    PrintError("mendwell-cli classify: " + error);
    return 2;
  }
  FileSystemClass result = FileSystemClass::kOther;
  Status st;
  std::string medium;
  if (auto disk = args.Value("disk")) {
    unsigned long long index = 0, start = 0;
    if (!ParseUnsigned(*disk, &index) || index > 127) {
      PrintError("mendwell-cli classify: " + CliText("DiskNumber"));
      return 2;
    }
    if (auto s = args.Value("start"); s && !ParseUnsigned(*s, &start)) {
      PrintError("mendwell-cli classify: " + FormatChecked(CliText("NotNumber"), "ss", "--start", s->c_str()));
      return 2;
    }
    if (!args.Positional().empty()) {
      PrintError("mendwell-cli classify: " + CliText("UsageClassify"));
      return 2;
    }
    std::string node;
    medium = DiskNodePath(static_cast<int>(index), &node) == kOk ? "disk " + *disk + " (" + node + ")"
                                                                : "disk " + *disk;
    st = ClassifyPartition(static_cast<int32_t>(index), start, &result);
  } else {
    if (args.Positional().size() != 1 || args.Has("start")) {
      PrintError(CliText("UsageClassify"));
      return 2;
    }
    medium = args.Positional()[0];
    st = ClassifyImage(medium, &result);
  }
  if (st != kOk) {
    PrintError("mendwell-cli: " + FormatChecked(CliText("CannotClassify"), "ss", medium.c_str(), Reason(st).c_str()));
    return 1;
  }
  std::printf("%s\n", ClassWord(result));
  return 0;
}

}  // namespace mendwell::cli
