#include "engine/scan_driver.h"

#include "engine/resumable_scan.h"
#include "engine/scan_log_store.h"
#include "platform/paths.h"

namespace mendwell {

StageInfo StageOf(const MediumRow& row, size_t rowIndex) {
  StageInfo s;
  s.rowIndex = rowIndex;
  s.kind = row.kind;
  s.tag = row.tag;
  s.hasLetter = row.kind == MediumRow::Kind::kPartition &&
                ((row.tag >= 'A' && row.tag <= 'Z') || (row.tag >= 'a' && row.tag <= 'z'));
  if (row.kind == MediumRow::Kind::kImage) s.imageName = BaseName(row.imagePath);
  return s;
}

ScanDriver::ScanDriver(std::vector<MediumRow*> rows, int32_t professional, ScanObserver& observer,
                       EngineFactory factory)
    : rows_(std::move(rows)), professional_(professional), observer_(observer), factory_(std::move(factory)) {}

ScanDriver::~ScanDriver() { Wait(); }

void ScanDriver::Start() { worker_ = std::thread([this] { Work(); }); }

void ScanDriver::Wait() {
  if (worker_.joinable()) worker_.join();
}

int32_t ScanDriver::Run() {
  Start();
  Wait();
  return result_;
}

void ScanDriver::Work() {
  for (size_t i = 0; i < rows_.size(); ++i) {
    MediumRow& row = *rows_[i];
    StageInfo stage = StageOf(row, i);
    observer_.OnStage(stage);
    row.engine.reset();
    row.engine = factory_ ? factory_(row, professional_) : nullptr;
    if (!row.engine) {
      // Rows already scanned keep their engines; no "scan finished" event.
      result_ = kScanResultNoEngine;
      control_.MarkFinished();
      return;
    }
    if (professional_ == 0) {
      GetScanLogStore().NewScanFolder();
    } else if (auto* resumable = dynamic_cast<IResumableScan*>(row.engine.get());
               resumable && resumable->HasResumableLog()) {
      if (!observer_.AskResume(stage)) {
        std::string folder = resumable->ResumableLogFolder();
        resumable->ClearResumeMark();
        GetScanLogStore().DeleteLogFolder(folder);
      }
    }
    row.engine->SetCallbacks(&ScanDriver::Progress, nullptr, this, 100);
    if (row.engine->Scan(nullptr) == RESULT_CANCELLED) break;
  }
  result_ = kScanResultDone;
  observer_.OnScanFinished();
  control_.MarkFinished();
}

int32_t ScanDriver::Progress(void* user, int32_t percent, int32_t scale, int32_t secondsLeft, uint64_t sectorsDone,
                             uint64_t sectorsTotal, uint64_t filesFound, int32_t) {
  if (!user) return 0;
  auto* self = static_cast<ScanDriver*>(user);
  std::lock_guard<std::mutex> hold(self->control_.lock());
  if (self->control_.cancelRequested()) return RESULT_CANCELLED;
  ScanProgressInfo info;
  info.shownPercent = static_cast<int32_t>(static_cast<int64_t>(percent) * scale / 100);
  info.secondsLeft = secondsLeft;
  info.hasSectors = sectorsTotal != 0;
  info.sectorsDone = sectorsDone;
  info.sectorsTotal = sectorsTotal;
  info.filesFound = filesFound;
  self->observer_.OnProgress(info);
  return 0;
}

SearchDriver::SearchDriver(std::vector<MediumRow*> rows, std::string filter, std::vector<FoundFile>& found,
                           SearchObserver& observer)
    : rows_(std::move(rows)), filter_(std::move(filter)), found_(found), observer_(observer) {}

SearchDriver::~SearchDriver() { Wait(); }

void SearchDriver::Start() { worker_ = std::thread([this] { Work(); }); }

void SearchDriver::Wait() {
  if (worker_.joinable()) worker_.join();
}

int32_t SearchDriver::Run() {
  Start();
  Wait();
  return 1;
}

void SearchDriver::Work() {
  for (size_t i = 0; i < rows_.size(); ++i) {
    MediumRow& row = *rows_[i];
    if (!row.engine) {
      control_.MarkFinished();
      return;
    }
    observer_.OnStage(StageOf(row, i));
    row.engine->SetListCallback(&SearchDriver::Progress, this);
    std::vector<FileRecord> records;
    int32_t r = row.engine->ListByType(filter_, records);
    for (FileRecord& rec : records) found_.push_back(FoundFile{rec, i, row.engine.get()});
    if (r == RESULT_CANCELLED) break;
  }
  completed_ = true;
  observer_.OnSearchFinished();
  control_.MarkFinished();
}

int32_t SearchDriver::Progress(void* user, int32_t percent, int32_t) {
  if (!user) return 0;
  auto* self = static_cast<SearchDriver*>(user);
  std::lock_guard<std::mutex> hold(self->control_.lock());
  if (self->control_.cancelRequested()) return RESULT_CANCELLED;
  self->observer_.OnProgress(percent);
  return 0;
}

}  // namespace mendwell
