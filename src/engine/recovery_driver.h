// The recovery driver: copies the chosen records through the engines that
// found them into destination/category/name, counting what succeeded and
// failed, with one result row per file.
#pragma once

#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_interface.h"
#include "engine/worker_control.h"

namespace mendwell {

struct RecoveryItem {
  FileRecord record;
  IFileRecoveryParse* engine = nullptr;
};

struct RecoveryCounters {
  int32_t processed = 0;  // copies finished, successfully or not
  int32_t failed = 0;     // copies that ended with an error
  int32_t total = 0;
};

// One finished file: where it went and the outcome ("Success" or the
// error's text). Failures are kept at the top of the list.
struct RecoveryResultRow {
  std::string path;
  int32_t error = 0;
  std::string text;
};

class RecoveryObserver {
 public:
  virtual ~RecoveryObserver() = default;
  // After every block copied: the file's shown percentage and the counters.
  virtual void OnProgress(int32_t /*shownPercent*/, const std::string& /*path*/, const RecoveryCounters&) {}
  // A file's copy ended (percent 100).
  virtual void OnFileDone(const RecoveryResultRow&, const RecoveryCounters&) {}
  // The job ended; finishShown is false after a cancel.
  virtual void OnFinished(bool /*finishShown*/, const RecoveryCounters&) {}
};

class RecoveryDriver {
 public:
  // A job of one item runs as a single-record job.
  RecoveryDriver(std::string destination, std::vector<RecoveryItem> items, RecoveryObserver& observer);
  ~RecoveryDriver();
  RecoveryDriver(const RecoveryDriver&) = delete;
  RecoveryDriver& operator=(const RecoveryDriver&) = delete;

  void Start();
  void Wait();
  void Run() {
    Start();
    Wait();
  }
  WorkerControl& control() { return control_; }
  const RecoveryCounters& counters() const { return counters_; }
  const std::deque<RecoveryResultRow>& rows() const { return rows_; }
  bool finishShown() const { return finishShown_; }

  // The engines' copy callback; user data is the driver.
  static int32_t CopyProgress(void* user, int32_t percent, int32_t scale, int32_t error, const char* path);

 private:
  void RecoverMany();
  void RecoverOne();

  std::string destination_;
  std::vector<RecoveryItem> items_;
  RecoveryObserver& observer_;
  WorkerControl control_;
  std::thread worker_;
  RecoveryCounters counters_;
  std::deque<RecoveryResultRow> rows_;
  bool finishShown_ = false;
};

}  // namespace mendwell
