// mendwell-cli image: copies a whole disk or one row of the media list into
// an image file, after the destination checks of the desktop program.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/image_destination.h"
#include "app/language_manager.h"
#include "cli/arguments.h"
#include "cli/cli_text.h"
#include "cli/commands.h"
#include "device/image_copy.h"
#include "device/medium_list.h"
#include "device/sector_device.h"
#include "engine/display_text.h"
#include "platform/partition_table.h"
#include "platform/paths.h"

namespace mendwell::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

struct ProgressView {
  bool terminal = false;
  int32_t lastPercent = -1;
  int32_t lastSeconds = -2;
  int32_t lastLine = -100;  // percent of the last plain line
  bool drawn = false;
};

std::string TimeText(int32_t secondsLeft) {
  if (secondsLeft < 0) return Msg("MSG0304");
  return Msg("MSG0305") + " " + DurationText(secondsLeft);
}

// A bar redrawn in place on a terminal; otherwise a line every 5 percent.
int32_t ShowProgress(void* userData, int32_t percent, uint64_t sectorsDone, uint64_t sectorsTotal,
                     int32_t secondsLeft) {
  if (gInterrupted) return RESULT_CANCELLED;
  ProgressView* view = static_cast<ProgressView*>(userData);
  if (!view || (percent == view->lastPercent && secondsLeft == view->lastSeconds)) return 0;
  const bool newPercent = percent != view->lastPercent;
  view->lastPercent = percent;
  view->lastSeconds = secondsLeft;
  const std::string counts = Msg("MSG0303") + " " + std::to_string(sectorsDone) + " / " + std::to_string(sectorsTotal);
  if (view->terminal) {
    constexpr int kWidth = 30;
    int filled = percent * kWidth / 100;
    std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                      std::string(static_cast<size_t>(kWidth - filled), '-') + "]";
    std::fprintf(stderr, "\r%s %s %3d%%  %s  %s\033[K", bar.c_str(), Msg("MSG0301").c_str(), percent, counts.c_str(),
                 TimeText(secondsLeft).c_str());
    view->drawn = true;
  } else if (newPercent && (percent >= view->lastLine + 5 || percent == 100)) {
    view->lastLine = percent;
    std::fprintf(stderr, "%s %d%%  %s  %s\n", Msg("MSG0301").c_str(), percent, counts.c_str(),
                 TimeText(secondsLeft).c_str());
  }
  std::fflush(stderr);
  return 0;
}

bool ParseNumberOption(const Arguments& args, const char* name, unsigned long long* value) {
  std::string text = *args.Value(name);
  if (ParseUnsigned(text, value) && *value <= 0x7FFFFFFF) return true;
  PrintError(FormatChecked(CliText("NotNumber"), "ss", (std::string("--") + name).c_str(), text.c_str()));
  return false;
}

// The command line that scans the finished image.
std::string ScanCommandLine(const std::string& image) {
  std::string quoted = "'";
  for (char c : image) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return "mendwell-cli scan --mode deleted " + quoted + "'";
}

}  // namespace

int ImageCommand(int argc, char** argv, int first) {
  Arguments args;
  std::string error;
  if (!args.Parse(argc, argv, first, {{"disk", true}, {"row", true}, {"out", true}, {"scan", false}}, &error) ||
      !args.Positional().empty()) {
    if (!error.empty()) PrintError("mendwell-cli image: " + error);
    PrintError(CliText("UsageImage"));
    return 2;
  }
  if (args.Has("disk") == args.Has("row")) {
    PrintError(CliText("DiskOrRow"));
    PrintError(CliText("UsageImage"));
    return 2;
  }
  if (!args.Has("out") || args.Value("out")->empty()) {
    PrintError(CliText("NeedOut"));
    return 2;
  }
  const std::string out = *args.Value("out");

  int32_t diskIndex = -1;
  uint64_t startSector = 0, sectorCount = 0, sourceBytes = 0;
  std::string sourceVolume, description;
  DiskSummary disk;
  if (args.Has("disk")) {
    unsigned long long n = 0;
    if (!ParseNumberOption(args, "disk", &n)) return 2;
    if (!DescribeDisk(static_cast<int32_t>(n), &disk)) {
      PrintError(FormatChecked(CliText("NoSuchDisk"), "s", args.Value("disk")->c_str()));
      return 1;
    }
    diskIndex = disk.diskIndex;
    sourceBytes = disk.lengthBytes;
    sourceVolume = disk.node;
    description = FormatChecked(CliText("SourceDisk"), "dss", diskIndex, disk.node.c_str(),
                                SizeText(static_cast<int64_t>(sourceBytes)).c_str());
  } else {
    unsigned long long row = 0;
    if (!ParseNumberOption(args, "row", &row)) return 2;
    MediumList list;
    list.Refresh();
    MediumRecord record, found;
    bool have = false;
    while (list.NextRecord(&record))
      if (static_cast<unsigned long long>(record.rowNumber) == row) {
        found = record;
        have = true;
      }
    if (!have || !DescribeDisk(found.diskIndex, &disk)) {
      PrintError(FormatChecked(CliText("NoSuchRow"), "s", args.Value("row")->c_str()));
      return 1;
    }
    diskIndex = found.diskIndex;
    startSector = found.startSector;
    sectorCount = found.sectorCount;
    // The file will be exactly this long, whatever the file system reports.
    sourceBytes = found.sectorCount * found.bytesPerSector;
    // Writing into a partition being copied changes what is copied; a whole
    // disk contains all its partitions. A free stretch belongs to no volume.
    if (found.kind == MediumKind::kPartition) sourceVolume = found.volumePath;
    if (found.kind == MediumKind::kWholeDisk) sourceVolume = disk.node;
    description = FormatChecked(CliText("SourceRow"), "dds", found.rowNumber, diskIndex,
                                SizeText(static_cast<int64_t>(sourceBytes)).c_str());
  }

  DestinationVolume destination = DescribeDestination(out, sourceVolume);
  if (OverlapsDevice(out, disk.node)) destination.onSource = true;
  ImageDestinationCheck check = CheckImageDestination(sourceBytes, destination);
  if (check != ImageDestinationCheck::kAccepted) {
    PrintError(Msg(ImageDestinationMessageId(check)));
    PrintError(CliText("Refused"));
    return 3;
  }

  std::fprintf(stderr, "%s\n%s %s\n", description.c_str(), Msg("MSG0302").c_str(), out.c_str());
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a read in progress finishes; the next progress report cancels
  struct sigaction previous = {};
  sigaction(SIGINT, &action, &previous);

  ProgressView view;
  view.terminal = ::isatty(STDERR_FILENO) == 1;
  ImageCopyJob job;
  job.progress = ShowProgress;
  Status st = CopyToImage(job, diskIndex, startSector, sectorCount, out, &view);
  sigaction(SIGINT, &previous, nullptr);
  if (view.drawn) std::fputc('\n', stderr);

  switch (ImageCopyResult(st)) {
    case kImageCancelled:
      PrintError(FormatChecked(CliText("Cancelled"), "s", out.c_str()));
      return 130;
    case kImageFailed:
      PrintError(Msg("MSG0217"));
      PrintError(FormatChecked(CliText("Failed"), "s", StatusMessage(st).c_str()));
      return 1;
    default:
      break;
  }
  uint64_t written = 0;
  FileHandle image;
  if (image.OpenReadOnly(out) == kOk) image.Size(&written);
  std::printf("%s\n", FormatChecked(CliText("Complete"), "ss", out.c_str(),
                                    SizeText(static_cast<int64_t>(written)).c_str()).c_str());
  // Offer to scan the new image: --scan does it without asking; a person
  // at a terminal is asked; a script is told the command to run.
  bool scanNow = args.Has("scan");
  if (!scanNow && ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1) {
    std::printf("%s %s ", CliText("ScanNow").c_str(), CliText("YesNo").c_str());
    std::fflush(stdout);
    char answer[16] = {};
    scanNow = std::fgets(answer, sizeof answer, stdin) && answer[0] != 'n' && answer[0] != 'N';
  }
  if (!scanNow) {
    std::printf("%s\n  %s\n", CliText("ScanHint").c_str(), ScanCommandLine(AbsolutePath(out)).c_str());
    return 0;
  }
  std::string imagePath = AbsolutePath(out);
  char scanWord[] = "scan", modeOption[] = "--mode", modeValue[] = "deleted";
  char* scanArgv[] = {argv[0], scanWord, modeOption, modeValue, imagePath.data(), nullptr};
  return ScanCommand(5, scanArgv, 2);
}

}  // namespace mendwell::cli
