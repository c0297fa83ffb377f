#include "cli/scan_session.h"

#include <unistd.h>

#include <cstdio>

#include "carving/file_classification.h"
#include "app/language_manager.h"
#include "cli/cli_text.h"
#include "cli/interrupt.h"
#include "cli/medium_argument.h"
#include "factory/engine_factory.h"

namespace mendwell::cli {

namespace {

class ScanProgressPrinter : public ScanObserver {
 public:
  ScanProgressPrinter(std::vector<MediumRow>& rows, ProgressDisplay& progress, ResumeChoice resume)
      : rows_(rows), progress_(progress), resume_(resume) {}
  // --resume and --restart answer at once; otherwise a person at a
  // terminal is asked, and a script goes on where the scan stopped.
  bool AskResume(const StageInfo&) override {
    if (resume_ != ResumeChoice::kAsk) return resume_ == ResumeChoice::kResume;
    if (::isatty(STDIN_FILENO) != 1) return true;
    progress_.Finish();
    std::fprintf(stderr, "%s %s ", Msg("MSG1206").c_str(), CliText("YesNo").c_str());
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin)) return true;
    return answer[0] != 'n' && answer[0] != 'N';
  }
  void OnStage(const StageInfo& stage) override {
    if (stage.kind == MediumRow::Kind::kImage)
      progress_.Stage(Msg("MSG0703") + " " + stage.imageName);
    else if (stage.hasLetter)
      progress_.Stage(FormatChecked(Msg("MSG0701"), "c", static_cast<int>(stage.tag)));
    else
      progress_.Stage(FormatChecked(Msg("MSG0702"), "d", static_cast<int>(stage.tag)) + " (" +
                      DescribeRow(rows_[stage.rowIndex]) + ")");
  }
  void OnProgress(const ScanProgressInfo& p) override {
    std::string detail;
    if (p.hasSectors)
      detail = FormatChecked(Msg("MSG0706") + " %llu / %llu  " + Msg("MSG0707") + " %llu", "UUU",
                             static_cast<unsigned long long>(p.sectorsDone),
                             static_cast<unsigned long long>(p.sectorsTotal),
                             static_cast<unsigned long long>(p.filesFound));
    progress_.Update(p.shownPercent, p.secondsLeft, detail);
  }

 private:
  std::vector<MediumRow>& rows_;
  ProgressDisplay& progress_;
  ResumeChoice resume_;
};

class SearchProgressPrinter : public SearchObserver {
 public:
  explicit SearchProgressPrinter(ProgressDisplay& progress) : progress_(progress) {}
  void OnStage(const StageInfo& stage) override {
    if (stage.kind == MediumRow::Kind::kImage)
      progress_.Stage(FormatChecked(Msg("MSG1203"), "s", stage.imageName.c_str()));
    else if (stage.hasLetter)
      progress_.Stage(FormatChecked(Msg("MSG1201"), "c", static_cast<int>(stage.tag)));
    else
      progress_.Stage(FormatChecked(Msg("MSG1202"), "d", static_cast<int>(stage.tag)));
  }
  void OnProgress(int32_t percent) override { progress_.Update(percent, -2); }

 private:
  ProgressDisplay& progress_;
};

}  // namespace

ScanOutcome ScanAndSearch(std::vector<MediumRow>& rows, int32_t mode, const std::string& filter,
                          ProgressDisplay& progress, std::vector<FoundFile>* found, ResumeChoice resume) {
  ScanOutcome outcome;
  std::vector<MediumRow*> pointers;
  for (MediumRow& r : rows) pointers.push_back(&r);

  ScanProgressPrinter scanPrinter(rows, progress, resume);
  ScanDriver scan(pointers, mode, scanPrinter, &CreateRowEngine);
  SetInterruptTarget(&scan.control());
  int32_t result = scan.Run();
  SetInterruptTarget(nullptr);
  progress.Finish();
  outcome.cancelled = scan.control().cancelRequested();
  if (result == kScanResultNoEngine) {
    outcome.noEngine = true;
    for (size_t i = 0; i < rows.size(); ++i)
      if (!rows[i].engine) {
        outcome.failedRow = i;
        break;
      }
    return outcome;
  }

  // Only rows that were scanned are searched.
  std::vector<MediumRow*> scanned;
  for (MediumRow& r : rows)
    if (r.engine) scanned.push_back(&r);
  SearchProgressPrinter searchPrinter(progress);
  SearchDriver search(scanned, filter, *found, searchPrinter);
  SetInterruptTarget(&search.control());
  search.Run();
  SetInterruptTarget(nullptr);
  progress.Finish();
  outcome.cancelled = outcome.cancelled || search.control().cancelRequested();
  return outcome;
}

std::string FilterForTypes(const std::string& types) {
  if (types.empty()) return DefaultTypeFilter() + "|.other";
  std::string filter;
  size_t pos = 0;
  while (pos <= types.size()) {
    size_t comma = types.find(',', pos);
    if (comma == std::string::npos) comma = types.size();
    std::string ext = types.substr(pos, comma - pos);
    while (!ext.empty() && (ext[0] == '.' || ext[0] == '*')) ext.erase(0, 1);
    if (ext == "other") {
      filter += filter.empty() ? ".other" : "|.other";
    } else if (!ext.empty()) {
      for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      filter += (filter.empty() ? "*." : "|*.") + ext;
    }
    pos = comma + 1;
  }
  return filter;
}

bool ParseMode(const std::string& text, int32_t* mode, std::string* error) {
  if (text == "deleted") {
    *mode = kModeDeletedFiles;
    return true;
  }
  if (text == "formatted" || text == "deep") {
    *error = FormatChecked(CliText("ModeUnavailable"), "s", text.c_str());
    return false;
  }
  *error = FormatChecked(CliText("ModeUnknown"), "s", text.c_str());
  return false;
}

}  // namespace mendwell::cli
