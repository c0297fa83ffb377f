#include "engine/recovery_driver.h"

#include "engine/recovery_paths.h"

namespace mendwell {

RecoveryDriver::RecoveryDriver(std::string destination, std::vector<RecoveryItem> items, RecoveryObserver& observer)
    : destination_(std::move(destination)), items_(std::move(items)), observer_(observer) {
  while (destination_.size() > 1 && destination_.back() == '/') destination_.pop_back();
}

RecoveryDriver::~RecoveryDriver() { Wait(); }

void RecoveryDriver::Start() {
  worker_ = std::thread([this] {
    if (items_.size() == 1)
      RecoverOne();
    else
      RecoverMany();
  });
}

void RecoveryDriver::Wait() {
  if (worker_.joinable()) worker_.join();
}

void RecoveryDriver::RecoverMany() {
  counters_ = RecoveryCounters{0, 0, static_cast<int32_t>(items_.size())};
  const int32_t depthBase = CountSeparators(destination_);
  for (const RecoveryItem& item : items_) {
    if (!item.engine) {
      // A record whose engine is gone cannot be handled: it counts as failed.
      std::lock_guard<std::mutex> hold(control_.lock());
      ++counters_.processed;
      ++counters_.failed;
      continue;
    }
    std::string path = RecoveryDestination(destination_, item.record);
    if (item.engine->SetCallbacks(nullptr, &RecoveryDriver::CopyProgress, this, 100) != 0) break;
    if (item.engine->Recover(&item.record, path, depthBase) == RESULT_CANCELLED) {
      control_.MarkFinished();
      observer_.OnFinished(false, counters_);
      return;
    }
  }
  finishShown_ = true;
  observer_.OnFinished(true, counters_);
  control_.MarkFinished();
}

void RecoveryDriver::RecoverOne() {
  counters_ = RecoveryCounters{0, 0, 1};
  const RecoveryItem& item = items_.front();
  std::string path = RecoveryDestination(destination_, item.record);
  if (item.engine && item.engine->SetCallbacks(nullptr, &RecoveryDriver::CopyProgress, this, 100) == 0) {
    if (item.engine->Recover(&item.record, path, CountSeparators(destination_)) != RESULT_CANCELLED)
      finishShown_ = true;
  }
  observer_.OnFinished(finishShown_, counters_);
  control_.MarkFinished();
}

int32_t RecoveryDriver::CopyProgress(void* user, int32_t percent, int32_t scale, int32_t error, const char* path) {
  if (!user) return 0;
  auto* self = static_cast<RecoveryDriver*>(user);
  std::lock_guard<std::mutex> hold(self->control_.lock());
  if (self->control_.cancelRequested()) return RESULT_CANCELLED;
  int32_t shown = static_cast<int32_t>(static_cast<int64_t>(percent) * scale / 100);
  std::string where = path ? path : "";
  if (shown == 100) {
    RecoveryResultRow row{where, error, error != 0 ? StatusMessage(error) : "Success"};
    if (error != 0) {
      ++self->counters_.failed;
      self->rows_.push_front(row);
    } else {
      self->rows_.push_back(row);
    }
    ++self->counters_.processed;
    self->observer_.OnFileDone(row, self->counters_);
  }
  self->observer_.OnProgress(shown, where, self->counters_);
  return 0;
}

}  // namespace mendwell
