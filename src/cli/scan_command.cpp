// mendwell-cli scan and recover.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "app/language_manager.h"
#include "cli/arguments.h"
#include "cli/cli_text.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/json_text.h"
#include "cli/medium_argument.h"
#include "cli/scan_session.h"
#include "engine/display_text.h"
#include "engine/recovery_driver.h"
#include "platform/disks.h"
#include "platform/paths.h"
#include "platform/volumes.h"

namespace mendwell::cli {

namespace {

constexpr int kExitCancelled = 130;

const char* EngineName(uint32_t sourceEngine) {
  switch (sourceEngine) {
    case kSourceFastNtfs:
      return "fast-ntfs";
    case kSourceFastFat:
      return "fast-fat";
    case kSourceProNtfs:
      return "pro-ntfs";
    case kSourceProFat:
      return "pro-fat";
    case kSourceCarving:
      return "carving";
  }
  return "unknown";
}

struct Listed {
  std::string folder;  // "a/b/" or ""
  const FoundFile* file;
};

std::vector<Listed> WithPaths(const std::vector<FoundFile>& found) {
  std::vector<Listed> listed;
  listed.reserve(found.size());
  for (const FoundFile& f : found) {
    std::string path;
    f.engine->GetPath(&f.record, &path);
    listed.push_back(Listed{path, &f});
  }
  std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    if (a.folder != b.folder) return a.folder < b.folder;
    return a.file->record.Name() < b.file->record.Name();
  });
  return listed;
}

void PrintJson(const std::vector<Listed>& listed) {
  for (const Listed& l : listed) {
    const FileRecord& r = l.file->record;
    std::string name(r.Name());
    std::printf(
        "{\"path\":%s,\"name\":%s,\"size\":%llu,\"folder\":%s,\"deleted\":%s,\"intact\":%s,\"engine\":%s,"
        "\"created\":%s,\"modified\":%s}\n",
        JsonString(l.folder + name).c_str(), JsonString(name).c_str(), static_cast<unsigned long long>(r.size),
        JsonString(l.folder).c_str(), r.deleted ? "true" : "false", r.intact ? "true" : "false",
        JsonString(EngineName(r.sourceEngine)).c_str(), JsonTime(r.created).c_str(), JsonTime(r.modified).c_str());
  }
}

// Folders as an indented tree, each file with its size, modified time and
// a mark when its first sector does not match its type.
void PrintTree(const std::vector<Listed>& listed) {
  std::string current;
  for (const Listed& l : listed) {
    if (l.folder != current) {
      // Print the folder levels that differ from the previous folder.
      size_t common = 0;
      for (size_t i = 0; i < std::min(l.folder.size(), current.size()); ++i) {
        if (l.folder[i] != current[i]) break;
        if (l.folder[i] == '/') common = i + 1;
      }
      int depth = static_cast<int>(std::count(l.folder.begin(), l.folder.begin() + common, '/'));
      size_t start = common;
      while (start < l.folder.size()) {
        size_t slash = l.folder.find('/', start);
        std::printf("%*s%s/\n", 2 * depth, "", l.folder.substr(start, slash - start).c_str());
        ++depth;
        start = slash + 1;
      }
      current = l.folder;
    }
    int depth = static_cast<int>(std::count(current.begin(), current.end(), '/'));
    const FileRecord& r = l.file->record;
    // Columns line up by characters, not bytes: names may hold UTF-8.
    std::string name(r.Name());
    size_t width = 0;
    for (char c : name) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    const size_t column = 48 > 2 * static_cast<size_t>(depth) ? 48 - 2 * static_cast<size_t>(depth) : 0;
    if (width < column) name.append(column - width, ' ');
    std::printf("%*s%s %12s  %s%s\n", 2 * depth, "", name.c_str(), SizeText(static_cast<int64_t>(r.size)).c_str(),
                DisplayTime(r.modified).c_str(), r.intact ? "" : ("  " + CliText("ContentMismatch")).c_str());
  }
}

std::vector<OptionSpec> WithMedium(std::vector<OptionSpec> specs) {
  for (const OptionSpec& s : MediumOptions()) specs.push_back(s);
  specs.push_back({"resume", false});
  specs.push_back({"restart", false});
  return specs;
}

// Common start of scan and recover: parse, scan, search. Returns -1 to go
// on, else the exit status.
int RunScan(const char* command, const Arguments& args, std::vector<MediumRow>* rows,
            std::vector<FoundFile>* found, bool* cancelled) {
  std::string error;
  int32_t mode = kModeDeletedFiles;
  if (!ParseMode(args.Value("mode").value_or("deleted"), &mode, &error) || !ParseMedium(args, rows, &error)) {
    PrintError(std::string("mendwell-cli ") + command + ": " + error);
    return 2;
  }
  InstallInterruptHandler();
  ProgressDisplay progress;
  if (args.Has("resume") && args.Has("restart")) {
    PrintError(std::string("mendwell-cli ") + command + ": " + CliText("ResumeOrRestart"));
    return 2;
  }
  ResumeChoice resume = args.Has("resume")    ? ResumeChoice::kResume
                        : args.Has("restart") ? ResumeChoice::kRestart
                                              : ResumeChoice::kAsk;
  ScanOutcome outcome =
      ScanAndSearch(*rows, mode, FilterForTypes(args.Value("type").value_or("")), progress, found, resume);
  if (outcome.noEngine) {
    PrintError(std::string("mendwell-cli ") + command + ": " +
               FormatChecked(CliText("NoEngine"), "s", DescribeRow((*rows)[outcome.failedRow]).c_str()));
    return 1;
  }
  *cancelled = outcome.cancelled;
  return -1;
}

// True when a destination folder lies on the file system being recovered.
bool DestinationOnSource(const std::string& destination, const MediumRow& row) {
  if (row.kind != MediumRow::Kind::kPartition) return false;
  std::string node = PartitionNodeAt(row.diskIndex, row.startSector);
  uint64_t source = 0, target = 0;
  if (node.empty() || DeviceNumberOfNode(node, &source) != kOk) return false;
  std::string probe = AbsolutePath(destination);
  while (!PathExists(probe) && probe.size() > 1) probe = probe.substr(0, std::max<size_t>(1, probe.rfind('/')));
  return FileSystemDeviceOf(probe, &target) == kOk && source == target;
}

class RecoveryPrinter : public RecoveryObserver {
 public:
  void OnFileDone(const RecoveryResultRow& row, const RecoveryCounters&) override {
    if (row.error == 0)
      std::printf("%s\n", FormatChecked(CliText("RecoveredLine"), "s", row.path.c_str()).c_str());
    else
      std::printf("%s\n", FormatChecked(CliText("FailedLine"), "ss", row.path.c_str(), row.text.c_str()).c_str());
    std::fflush(stdout);
  }
};

}  // namespace

int ScanCommand(int argc, char** argv, int first) {
  Arguments args;
  std::string error;
  if (!args.Parse(argc, argv, first, WithMedium({{"mode", true}, {"json", false}, {"type", true}}), &error)) {
    PrintError("mendwell-cli scan: " + error);
    return 2;
  }
  std::vector<MediumRow> rows;
  std::vector<FoundFile> found;
  bool cancelled = false;
  int status = RunScan("scan", args, &rows, &found, &cancelled);
  if (status >= 0) return status;
  std::vector<Listed> listed = WithPaths(found);
  if (args.Has("json"))
    PrintJson(listed);
  else
    PrintTree(listed);
  PrintError(FormatChecked(CliText(cancelled ? "FoundBeforeCancel" : "FoundCount"), "U",
                           static_cast<unsigned long long>(found.size())));
  return cancelled ? kExitCancelled : 0;
}

int RecoverCommand(int argc, char** argv, int first) {
  Arguments args;
  std::string error;
  if (!args.Parse(argc, argv, first, WithMedium({{"mode", true}, {"to", true}, {"type", true}, {"force", false}}),
                  &error)) {
    PrintError("mendwell-cli recover: " + error);
    return 2;
  }
  auto to = args.Value("to");
  if (!to || to->empty()) {
    PrintError("mendwell-cli recover: " + CliText("NeedTo"));
    return 2;
  }
  std::string destination = *to;
  std::vector<MediumRow> rows;
  {
    // Refuse early, before a long scan, a destination on the medium itself.
    std::string parseError;
    if (ParseMedium(args, &rows, &parseError) && !args.Has("force")) {
      for (const MediumRow& row : rows)
        if (DestinationOnSource(destination, row)) {
          PrintError(Msg("MSG0805"));
          PrintError(FormatChecked(CliText("ForceHint"), "s", destination.c_str()));
          return 1;
        }
    }
  }
  if (Status st = CreateDirectories(destination); st != kOk) {
    PrintError("mendwell-cli recover: " +
               FormatChecked(CliText("CannotCreate"), "ss", destination.c_str(), StatusMessage(st).c_str()));
    return 1;
  }
  std::vector<FoundFile> found;
  bool cancelled = false;
  int status = RunScan("recover", args, &rows, &found, &cancelled);
  if (status >= 0) return status;
  if (cancelled) {
    PrintError(CliText("ScanCancelledNothing"));
    return kExitCancelled;
  }
  std::vector<RecoveryItem> items;
  for (const FoundFile& f : found) items.push_back(RecoveryItem{f.record, f.engine});
  if (items.empty()) {
    std::printf("%s\n", FormatChecked(CliText("RecoverSummary"), "dd", 0, 0).c_str());
    return 0;
  }
  RecoveryPrinter printer;
  RecoveryDriver driver(destination, std::move(items), printer);
  SetInterruptTarget(&driver.control());
  driver.Run();
  SetInterruptTarget(nullptr);
  const RecoveryCounters& c = driver.counters();
  std::printf("%s\n", FormatChecked(CliText("RecoverSummary"), "dd", c.processed - c.failed, c.failed).c_str());
  if (!driver.finishShown()) {
    PrintError(FormatChecked(Msg("MSG1102"), "dddd", c.processed, c.total, c.processed - c.failed, c.failed));
    return kExitCancelled;
  }
  return c.failed == 0 ? 0 : 1;
}

}  // namespace mendwell::cli
