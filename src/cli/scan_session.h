// The scan and search steps shared by `scan` and `recover`: build the
// engines, scan every row with progress on stderr, then collect the found
// files of the chosen types.
#pragma once

#include <string>
#include <vector>

#include "cli/progress_display.h"
#include "engine/scan_driver.h"

namespace mendwell::cli {

struct ScanOutcome {
  bool noEngine = false;   // a row could not be read or holds no known file system
  size_t failedRow = 0;    // that row
  bool cancelled = false;  // Ctrl-C during the scan or the search
};

// How to answer "continue the earlier, interrupted scan of this medium?".
enum class ResumeChoice { kAsk, kResume, kRestart };

// rows keep their engines afterwards (found files point at them).
ScanOutcome ScanAndSearch(std::vector<MediumRow>& rows, int32_t mode, const std::string& filter,
                          ProgressDisplay& progress, std::vector<FoundFile>* found,
                          ResumeChoice resume = ResumeChoice::kAsk);

// The search filter for --type jpg,png (empty: every type and other files).
std::string FilterForTypes(const std::string& types);

// Parses --mode; only "deleted" is available so far.
bool ParseMode(const std::string& text, int32_t* mode, std::string* error);

}  // namespace mendwell::cli
