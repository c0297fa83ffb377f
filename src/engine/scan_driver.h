// The scan and search drivers: the worker logic behind a scan and the
// search step that follows it, independent of any user interface. Front
// ends plug in through observers that receive structured progress and
// format their own texts.
//
// Each driver runs its worker on a thread it owns and joins (at the latest
// when the driver is destroyed). Observer calls arrive on that thread;
// progress calls arrive while the driver's lock is held (see
// WorkerControl).
#pragma once

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "engine/engine_interface.h"
#include "engine/medium_row.h"
#include "engine/worker_control.h"

namespace mendwell {

// Close results of a scan: 1 all rows scanned or cancelled, 3 a row had no
// engine (the medium could not be read or holds no known file system).
inline constexpr int32_t kScanResultDone = 1;
inline constexpr int32_t kScanResultNoEngine = 3;

struct ScanProgressInfo {
  int32_t shownPercent = 0;  // percent x scale / 100
  int32_t secondsLeft = -1;  // -1: no estimate yet
  bool hasSectors = false;   // false: hide the sector and file counts
  uint64_t sectorsDone = 0;
  uint64_t sectorsTotal = 0;
  uint64_t filesFound = 0;
};

class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  virtual void OnStage(const StageInfo&) {}
  virtual void OnProgress(const ScanProgressInfo&) {}
  // Whether to continue an earlier, interrupted professional scan of this
  // medium. Called on the worker thread; the default continues.
  virtual bool AskResume(const StageInfo&) { return true; }
  // Every row was scanned, or the scan was cancelled: the engines in the
  // rows are ready for the search step.
  virtual void OnScanFinished() {}
};

// Builds (and opens) the engine of a row for a mode; null when the medium
// has none. Front ends pass the factories (src/factory); tests pass fakes.
using EngineFactory = std::function<std::unique_ptr<IFileRecoveryParse>(const MediumRow&, int32_t professional)>;

class ScanDriver {
 public:
  ScanDriver(std::vector<MediumRow*> rows, int32_t professional, ScanObserver& observer, EngineFactory factory);
  ~ScanDriver();
  ScanDriver(const ScanDriver&) = delete;
  ScanDriver& operator=(const ScanDriver&) = delete;

  void Start();
  void Wait();
  // Start and Wait; returns the close result.
  int32_t Run();
  WorkerControl& control() { return control_; }
  int32_t result() const { return result_; }

  // The engines' progress callback; user data is the driver (null shows
  // nothing).
  static int32_t Progress(void* user, int32_t percent, int32_t scale, int32_t secondsLeft, uint64_t sectorsDone,
                          uint64_t sectorsTotal, uint64_t filesFound, int32_t reserved);

 private:
  void Work();

  std::vector<MediumRow*> rows_;
  int32_t professional_;
  ScanObserver& observer_;
  EngineFactory factory_;
  WorkerControl control_;
  std::thread worker_;
  int32_t result_ = 0;
};

// One found file with the row and engine that own it.
struct FoundFile {
  FileRecord record;
  size_t rowIndex = 0;
  IFileRecoveryParse* engine = nullptr;
};

class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  virtual void OnStage(const StageInfo&) {}
  virtual void OnProgress(int32_t /*percent*/) {}
  // The found list is complete, or as complete as a cancelled search made
  // it.
  virtual void OnSearchFinished() {}
};

class SearchDriver {
 public:
  // filter: "*.jpg|*.png", optionally with ".other". Found files are
  // appended to found.
  SearchDriver(std::vector<MediumRow*> rows, std::string filter, std::vector<FoundFile>& found,
               SearchObserver& observer);
  ~SearchDriver();
  SearchDriver(const SearchDriver&) = delete;
  SearchDriver& operator=(const SearchDriver&) = delete;

  void Start();
  void Wait();
  int32_t Run();
  WorkerControl& control() { return control_; }
  // True when the search ended normally (the "search finished" event was
  // sent); false when a row had no engine.
  bool completed() const { return completed_; }

  static int32_t Progress(void* user, int32_t percent, int32_t reserved);

 private:
  void Work();

  std::vector<MediumRow*> rows_;
  std::string filter_;
  std::vector<FoundFile>& found_;
  SearchObserver& observer_;
  WorkerControl control_;
  std::thread worker_;
  bool completed_ = false;
};

}  // namespace mendwell
