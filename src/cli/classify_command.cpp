// mendwell-cli classify: which file system a medium's first 16 KiB hold.
#include <cstdio>
#include <string>

#include "cli/arguments.h"
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
  if (st == kErrReadFault) return "it is shorter than 16 KiB or cannot be read";
  if (st == kErrDirectory) return "it is a folder, not a disk image";
  return StatusMessage(st);
}

}  // namespace

int ClassifyCommand(int argc, char** argv, int first) {
  Arguments args;
  std::string error;
  if (!args.Parse(argc, argv, first, {{"disk", true}, {"start", true}}, &error)) {
    std::fprintf(stderr, "mendwell-cli classify: %s\n", error.c_str());
    return 2;
  }
  FileSystemClass result = FileSystemClass::kOther;
  Status st;
  std::string medium;
  if (auto disk = args.Value("disk")) {
    unsigned long long index = 0, start = 0;
    if (!ParseUnsigned(*disk, &index) || index > 127) {
      std::fprintf(stderr, "mendwell-cli classify: --disk needs a disk number from 0 to 127\n");
      return 2;
    }
    if (auto s = args.Value("start"); s && !ParseUnsigned(*s, &start)) {
      std::fprintf(stderr, "mendwell-cli classify: --start needs a sector number\n");
      return 2;
    }
    if (!args.Positional().empty()) {
      std::fprintf(stderr, "mendwell-cli classify: give either an image or --disk, not both\n");
      return 2;
    }
    std::string node;
    medium = DiskNodePath(static_cast<int>(index), &node) == kOk ? "disk " + *disk + " (" + node + ")"
                                                                : "disk " + *disk;
    st = ClassifyPartition(static_cast<int32_t>(index), start, &result);
  } else {
    if (args.Positional().size() != 1 || args.Has("start")) {
      std::fprintf(stderr, "usage: mendwell-cli classify IMAGE | --disk N [--start SECTOR]\n");
      return 2;
    }
    medium = args.Positional()[0];
    st = ClassifyImage(medium, &result);
  }
  if (st != kOk) {
    std::fprintf(stderr, "mendwell-cli: cannot classify %s: %s\n", medium.c_str(), Reason(st).c_str());
    return 1;
  }
  std::printf("%s\n", ClassWord(result));
  return 0;
}

}  // namespace mendwell::cli
