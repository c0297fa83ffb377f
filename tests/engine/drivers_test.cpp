// The scan, search and recovery drivers with a small fake engine.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>

#include "engine/recovery_driver.h"
#include "engine/recovery_paths.h"
#include "engine/resumable_scan.h"
#include "engine/scan_driver.h"
#include "engine/scan_log_store.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::TempDir;

// A test double: scans by reporting progress steps, lists preset records,
// recovers by writing the record's name into the destination file (names
// starting with "bad" fail).
class FakeEngine : public IFileRecoveryParse, public IResumableScan {
 public:
  int steps = 3;
  std::vector<FileRecord> records;
  std::atomic<int>* recoverCalls = nullptr;
  bool resumable = false;
  bool resumeCleared = false;
  std::string resumeFolder;
  std::function<void(int)> onStep;  // called before each progress step

  Status OpenImage(const std::string&, uint16_t) override { return kOk; }
  Status OpenPartition(int32_t, uint64_t, uint64_t, uint16_t) override { return kOk; }
  Status SetCallbacks(ScanProgressFn scan, CopyProgressFn copy, void* user, int32_t scale) override {
    scan_ = scan;
    copy_ = copy;
    user_ = user;
    scale_ = scale;
    return kOk;
  }
  Status Scan(const char*) override {
    for (int i = 1; i <= steps; ++i) {
      if (onStep) onStep(i);
      int32_t r = scan_(user_, i * 100 / steps, scale_, i == 1 ? -1 : 10, i == 2 ? 0 : i, 100, i, 0);
      if (r != 0) return r;
    }
    ++scans;
    return kOk;
  }
  Status ListChildren(const FileRecord*, int32_t, std::vector<FileRecord>&) override { return kOk; }
  Status CountFiles(const FileRecord*, int32_t, uint32_t*) override { return kOk; }
  uint64_t GetFoundCount() override { return records.size(); }
  Status GetPath(const FileRecord*, std::string*) override { return kOk; }
  Status Recover(const FileRecord* record, const std::string& path, int32_t depthBase) override {
    if (recoverCalls) ++*recoverCalls;
    lastDepthBase = depthBase;
    if (copy_(user_, 50, 100, 0, path.c_str()) != 0) return RESULT_CANCELLED;
    Status error = kOk;
    if (std::string(record->Name()).rfind("bad", 0) == 0) {
      error = kErrReadFault;
    } else {
      CreateDirectories(path.substr(0, path.rfind('/')));
      std::ofstream(path) << record->Name();
    }
    if (copy_(user_, 100, 100, error, path.c_str()) != 0) return RESULT_CANCELLED;
    return error;
  }
  int32_t NextFreeExtent(uint64_t*, uint64_t*) override { return 0; }
  Status SetListCallback(ListProgressFn fn, void* user) override {
    list_ = fn;
    listUser_ = user;
    return kOk;
  }
  int32_t ListByType(const std::string&, std::vector<FileRecord>& out) override {
    for (const FileRecord& r : records) {
      out.push_back(r);
      if (list_(listUser_, 50, 0) != 0) break;
    }
    return 1;
  }
  Status PrepareFreeMap() override { return kOk; }
  Status Extract(const FileRecord*, std::string*, uint8_t*, uint32_t*, ExtractProgressFn, void*) override {
    return kOk;
  }
  bool HasResumableLog() const override { return resumable; }
  std::string ResumableLogFolder() const override { return resumeFolder; }
  void ClearResumeMark() override {
    resumable = false;
    resumeCleared = true;
  }

  int scans = 0;
  int32_t lastDepthBase = -1;

 private:
  ScanProgressFn scan_ = nullptr;
  CopyProgressFn copy_ = nullptr;
  ListProgressFn list_ = nullptr;
  void* user_ = nullptr;
  void* listUser_ = nullptr;
  int32_t scale_ = 100;
};

FileRecord Named(const char* name, bool folder = false) {
  FileRecord r;
  r.SetName(name);
  r.isFolder = folder;
  return r;
}

struct RecordingScanObserver : ScanObserver {
  std::vector<StageInfo> stages;
  std::vector<ScanProgressInfo> progress;
  int finished = 0;
  bool resumeAnswer = true;
  int questions = 0;
  void OnStage(const StageInfo& s) override { stages.push_back(s); }
  void OnProgress(const ScanProgressInfo& p) override { progress.push_back(p); }
  bool AskResume(const StageInfo&) override {
    ++questions;
    return resumeAnswer;
  }
  void OnScanFinished() override { ++finished; }
};

TEST(ScanDriver, ScansRowsInOrderAndReportsScaledProgress) {
  MediumRow a = MediumRow::Image("/media/cards/a.img", 1);
  MediumRow b = MediumRow::Partition(0, 2048, 100, 'E');
  std::map<const MediumRow*, FakeEngine*> built;
  RecordingScanObserver obs;
  ScanDriver driver({&a, &b}, kModeDeletedFiles, obs, [&](const MediumRow& row, int32_t) {
    auto e = std::make_unique<FakeEngine>();
    built[&row] = e.get();
    return e;
  });
  EXPECT_EQ(driver.Run(), kScanResultDone);
  EXPECT_EQ(obs.finished, 1);
  ASSERT_EQ(obs.stages.size(), 2u);
  EXPECT_EQ(obs.stages[0].imageName, "a.img");
  EXPECT_TRUE(obs.stages[1].hasLetter);
  ASSERT_EQ(obs.progress.size(), 6u);
  EXPECT_EQ(obs.progress[0].secondsLeft, -1);
  EXPECT_FALSE(obs.progress[1].hasSectors == false && obs.progress[1].sectorsTotal != 0);
  EXPECT_EQ(obs.progress[2].shownPercent, 100);
  EXPECT_EQ(built[&a]->scans, 1);
  EXPECT_TRUE(driver.control().finished());
  EXPECT_NE(a.engine, nullptr);
}

TEST(ScanDriver, CancelDuringTheFirstRowLeavesTheSecondWithoutEngine) {
  MediumRow a = MediumRow::Image("a.img", 1), b = MediumRow::Image("b.img", 2);
  RecordingScanObserver obs;
  ScanDriver* self = nullptr;
  std::atomic<bool> asked{false};
  ScanDriver driver({&a, &b}, kModeDeletedFiles, obs, [&](const MediumRow&, int32_t) {
    auto e = std::make_unique<FakeEngine>();
    e->steps = 5;
    // The user confirms a cancel while the first row is at its second step.
    e->onStep = [&](int step) {
      if (step == 2 && !asked.exchange(true)) self->control().RequestCancel();
    };
    return e;
  });
  self = &driver;
  EXPECT_EQ(driver.Run(), kScanResultDone);
  EXPECT_EQ(obs.finished, 1);  // the partial results are still searched
  EXPECT_NE(a.engine, nullptr);
  EXPECT_EQ(b.engine, nullptr);
  EXPECT_EQ(obs.progress.size(), 1u);
}

TEST(ScanDriver, ARowWithoutEngineEndsWithResult3AndNoFinishedEvent) {
  MediumRow a = MediumRow::Image("a.img", 1), b = MediumRow::Image("unreadable.img", 2);
  MediumRow c = MediumRow::Image("c.img", 3);
  RecordingScanObserver obs;
  ScanDriver driver({&a, &b, &c}, kModeDeletedFiles, obs, [&](const MediumRow& row, int32_t) {
    return row.imagePath == "unreadable.img" ? nullptr : std::make_unique<FakeEngine>();
  });
  EXPECT_EQ(driver.Run(), kScanResultNoEngine);
  EXPECT_EQ(obs.finished, 0);
  EXPECT_NE(a.engine, nullptr);  // rows already scanned keep their engines
  EXPECT_EQ(c.engine, nullptr);
  EXPECT_TRUE(driver.control().finished());
}

TEST(ScanDriver, DecliningToResumeDeletesTheEarlierLog) {
  TempDir dir;
  ScanLogStore& store = GetScanLogStore();
  std::string old = store.root() + "/777/";
  ASSERT_EQ(CreateDirectories(old), kOk);
  MediumRow a = MediumRow::Image("a.img", 1);
  FakeEngine* engine = nullptr;
  RecordingScanObserver obs;
  obs.resumeAnswer = false;
  ScanDriver driver({&a}, kModeProfessional, obs, [&](const MediumRow&, int32_t professional) {
    EXPECT_EQ(professional, kModeProfessional);
    auto e = std::make_unique<FakeEngine>();
    e->resumable = true;
    e->resumeFolder = old;
    engine = e.get();
    return e;
  });
  driver.Run();
  EXPECT_EQ(obs.questions, 1);
  EXPECT_TRUE(engine->resumeCleared);
  EXPECT_FALSE(PathExists(old));
}

TEST(ScanDriver, CancelQuestionPausesTheWorker) {
  MediumRow a = MediumRow::Image("a.img", 1);
  RecordingScanObserver obs;
  std::atomic<int> stepsSeen{0};
  ScanDriver driver({&a}, kModeDeletedFiles, obs, [&](const MediumRow&, int32_t) {
    auto e = std::make_unique<FakeEngine>();
    e->steps = 3;
    e->onStep = [&](int) { ++stepsSeen; };
    return e;
  });
  driver.control().BeginCancelQuestion();  // the question is open before the scan starts
  driver.Start();
  while (stepsSeen.load() == 0) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(stepsSeen.load(), 1);  // waiting in its first progress call
  EXPECT_TRUE(obs.progress.empty());
  driver.control().EndCancelQuestion(true);  // confirmed: returns once the worker finished
  EXPECT_TRUE(driver.control().finished());
  driver.Wait();
  EXPECT_TRUE(obs.progress.empty());
}

struct RecordingSearchObserver : SearchObserver {
  int finished = 0;
  std::vector<int32_t> percents;
  void OnProgress(int32_t p) override { percents.push_back(p); }
  void OnSearchFinished() override { ++finished; }
};

TEST(SearchDriver, CollectsEveryRowAndStopsAtARowWithoutEngine) {
  MediumRow a = MediumRow::Image("a.img", 1), b = MediumRow::Image("b.img", 2);
  auto ea = std::make_unique<FakeEngine>();
  ea->records = {Named("x.jpg"), Named("y.jpg")};
  auto eb = std::make_unique<FakeEngine>();
  eb->records = {Named("z.png")};
  a.engine = std::move(ea);
  b.engine = std::move(eb);
  std::vector<FoundFile> found;
  RecordingSearchObserver obs;
  SearchDriver search({&a, &b}, "*.jpg|*.png", found, obs);
  search.Run();
  EXPECT_TRUE(search.completed());
  EXPECT_EQ(obs.finished, 1);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[2].rowIndex, 1u);
  EXPECT_EQ(found[2].engine, b.engine.get());

  // A cancel still ends with the finished event and what was read so far.
  std::vector<FoundFile> partial;
  RecordingSearchObserver obs2;
  SearchDriver cancelled({&a, &b}, "*.jpg", partial, obs2);
  cancelled.control().RequestCancel();
  cancelled.Run();
  EXPECT_EQ(obs2.finished, 1);
  EXPECT_EQ(partial.size(), 2u);  // one record per engine before the first refusal

  MediumRow none = MediumRow::Image("none.img", 3);
  std::vector<FoundFile> nothing;
  RecordingSearchObserver obs3;
  SearchDriver noEngine({&none, &a}, "*.jpg", nothing, obs3);
  noEngine.Run();
  EXPECT_FALSE(noEngine.completed());
  EXPECT_EQ(obs3.finished, 0);
  EXPECT_TRUE(nothing.empty());
}

TEST(RecoveryDriver, CountsSuccessAndFailureWithOneRowPerFile) {
  TempDir dir;
  FakeEngine engine;
  std::vector<RecoveryItem> items = {{Named("IMG_1.JPG"), &engine},
                                     {Named("bad.doc"), &engine},
                                     {Named("notes"), &engine},
                                     {Named("IMG_1.JPG"), &engine},
                                     {Named("../../escape.txt"), &engine},
                                     {Named(".."), &engine}};
  RecoveryObserver obs;
  RecoveryDriver driver(dir.path() + "/out", items, obs);
  driver.Run();
  EXPECT_EQ(driver.counters().processed, 6);
  EXPECT_EQ(driver.counters().failed, 1);
  EXPECT_TRUE(driver.finishShown());
  ASSERT_EQ(driver.rows().size(), 6u);
  EXPECT_EQ(driver.rows().front().text, StatusMessage(kErrReadFault));  // failures on top
  EXPECT_EQ(driver.rows().front().path, dir.path() + "/out/document/bad.doc");
  EXPECT_EQ(driver.rows().back().text, "Success");
  EXPECT_TRUE(PathExists(dir.path() + "/out/photo/IMG_1.JPG"));
  EXPECT_TRUE(PathExists(dir.path() + "/out/photo/IMG_1(1).JPG"));
  EXPECT_TRUE(PathExists(dir.path() + "/out/others/notes"));
  // Names from the medium never leave the destination.
  EXPECT_TRUE(PathExists(dir.path() + "/out/document/.._.._escape.txt"));
  EXPECT_TRUE(PathExists(dir.path() + "/out/others/_"));
  EXPECT_EQ(engine.lastDepthBase, CountSeparators(dir.path() + "/out"));
}

TEST(RecoveryDriver, CancelAfterTheFirstOfThreeFiles) {
  TempDir dir;
  FakeEngine engine;
  std::atomic<int> calls{0};
  engine.recoverCalls = &calls;
  std::vector<RecoveryItem> items = {{Named("a.txt"), &engine}, {Named("b.txt"), &engine}, {Named("c.txt"), &engine}};
  struct CancelAfterFirst : RecoveryObserver {
    RecoveryDriver* driver = nullptr;
    void OnFileDone(const RecoveryResultRow&, const RecoveryCounters& c) override {
      if (c.processed == 1) driver->control().RequestCancel();
    }
  } obs;
  RecoveryDriver driver(dir.path(), items, obs);
  obs.driver = &driver;
  driver.Run();
  EXPECT_EQ(driver.counters().processed, 1);
  EXPECT_EQ(driver.counters().total, 3);
  EXPECT_FALSE(driver.finishShown());
  EXPECT_EQ(calls.load(), 2);  // the second file stopped at its first block
}

TEST(RecoveryPaths, UniqueNamesSeparatorsAndSafeNames) {
  TempDir dir;
  std::string p = dir.File("IMG_1.JPG");
  EXPECT_EQ(UniquePath(p), p);
  test::WriteFile(p, {});
  EXPECT_EQ(UniquePath(p), dir.File("IMG_1(1).JPG"));
  test::WriteFile(dir.File("IMG_1(1).JPG"), {});
  EXPECT_EQ(UniquePath(p), dir.File("IMG_1(2).JPG"));
  test::WriteFile(dir.File(".profile"), {});
  EXPECT_EQ(UniquePath(dir.File(".profile")), dir.File(".profile(1)"));
  EXPECT_EQ(CountSeparators("/home/me/Desktop"), 3);
  EXPECT_EQ(CountSeparators("/"), 0);
  EXPECT_EQ(CountSeparators("/out/"), 1);
  EXPECT_EQ(SafeFileName("a/b"), "a_b");
  EXPECT_EQ(SafeFileName("."), "_");
  EXPECT_EQ(SafeFileName(""), "_");
  EXPECT_EQ(SafeFileName("tab\there"), "tab_here");
  FileRecord folder = Named("holiday", true);
  EXPECT_EQ(RecoveryDestination(dir.path(), folder), dir.path() + "/others/holiday");
}

}  // namespace
}  // namespace mendwell
