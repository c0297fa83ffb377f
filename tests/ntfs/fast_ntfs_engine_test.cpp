// The fast NTFS engine end to end, through the factory as the front ends use
// it, on the volumes made by mkntfs and ntfs-3g (tests/fixtures/ntfs) and on
// damaged copies of them.
#include "ntfs/fast_ntfs_engine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "engine/recovery_paths.h"
#include "engine/scan_log_store.h"
#include "factory/engine_factory.h"
#include "ntfs/attribute_runs.h"
#include "ntfs/mft_record.h"
#include "platform/paths.h"
#include "ntfs_manifest.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::TempDir;

using Expected = test::NtfsExpected;

// Scans as the scan driver does: in a fresh numbered log folder.
Status ScanFresh(IFileRecoveryParse& engine) {
  GetScanLogStore().NewScanFolder();
  return engine.Scan(nullptr);
}

std::unique_ptr<IFileRecoveryParse> Engine(const std::string& path) {
  auto engine = CreateImageEngine(path, 1, kModeDeletedFiles);
  EXPECT_NE(dynamic_cast<CFastNtfsRecovery*>(engine.get()), nullptr) << path;
  return engine;
}

constexpr const char* kEveryType = ".other|*.txt|*.jpg|*.bin";

// Every record of the tree below the root, with its path.
void WalkTree(IFileRecoveryParse& engine, const FileRecord* folder, int32_t depth, const std::string& path,
              std::map<std::string, FileRecord>* out) {
  std::vector<FileRecord> children;
  ASSERT_EQ(engine.ListChildren(folder, depth, children), kOk);
  for (const FileRecord& child : children) {
    std::string childPath = path + std::string(child.Name());
    (*out)[childPath] = child;
    if (child.isFolder && depth < 16) WalkTree(engine, &child, folder ? depth + 1 : 1, childPath + "/", out);
  }
}

// Copy progress as the recovery driver sees it: the 100 % reports per path.
struct CopyLog {
  std::map<std::string, std::vector<int32_t>> finals;
  static int32_t Fn(void* user, int32_t percent, int32_t, int32_t error, const char* path) {
    if (percent == 100) static_cast<CopyLog*>(user)->finals[path].push_back(error);
    return 0;
  }
};

class FastNtfsImages : public ::testing::TestWithParam<const char*> {};

TEST_P(FastNtfsImages, FindsDeletedFilesUnderTheirPathsAndRecoversThemByteIdentical) {
  const std::string image = GetParam();
  auto engine = Engine(test::FixturePath("ntfs/" + image));
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(ScanFresh(*engine), kOk);

  // The tree from the root is what the views and the command line show.
  std::map<std::string, FileRecord> tree;
  WalkTree(*engine, nullptr, 0, "", &tree);
  std::vector<FileRecord> byType;
  ASSERT_EQ(engine->ListByType(kEveryType, byType), 1);
  for (const FileRecord& r : byType) {
    EXPECT_GT(r.nodeId, kLastSystemRecord) << r.Name();
    EXPECT_TRUE(r.deleted) << r.Name();
  }
  for (const auto& [path, r] : tree)
    if (!r.isFolder || path.rfind("LostFolder", 0) != 0) {
      EXPECT_GT(r.nodeId, kLastSystemRecord) << path;
    }

  TempDir out;
  CopyLog log;
  engine->SetCallbacks(nullptr, CopyLog::Fn, &log, 100);
  size_t listed = 0;
  for (const Expected& e : test::ReadNtfsManifest(image)) {
    // Files whose names were lost with their extension records cannot be listed.
    if (e.Has("name-lost")) continue;
    ++listed;
    std::string path = e.path;
    if (e.Has("parent-reused:")) {
      // The folder's record now holds a file: the file sits under a lost folder.
      std::string number = e.note.substr(e.note.find("parent-reused:") + 14);
      path = "LostFolder" + number + "/" + e.name;
    }
    ASSERT_EQ(tree.count(path), 1u) << path;
    const FileRecord& r = tree[path];
    EXPECT_EQ(r.size, e.size) << path;
    EXPECT_EQ(r.nodeId, e.record) << path;
    std::string gotPath;
    ASSERT_EQ(engine->GetPath(&r, &gotPath), kOk);
    EXPECT_EQ(gotPath + e.name, path);
    std::string dest = out.File(std::to_string(r.recordId));
    ASSERT_EQ(engine->Recover(&r, dest, 0), kOk) << path;
    EXPECT_EQ(test::Sha256OfFile(dest), e.sha256) << path;
    EXPECT_EQ(log.finals[dest], std::vector<int32_t>{0}) << path << ": one final report, success";
  }
  EXPECT_EQ(byType.size(), listed);
}

INSTANTIATE_TEST_SUITE_P(Images, FastNtfsImages,
                         ::testing::Values("ntfs_mixed.img", "ntfs_4k.img", "ntfs_attrlist.img"));

TEST(FastNtfsEngine, RecoversFolderTreesLiveAndDeleted) {
  auto engine = Engine(test::FixturePath("ntfs/ntfs_mixed.img"));
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(ScanFresh(*engine), kOk);
  std::vector<FileRecord> top;
  ASSERT_EQ(engine->ListChildren(nullptr, 0, top), kOk);
  std::map<std::string, FileRecord> byName;
  for (const FileRecord& r : top) byName[std::string(r.Name())] = r;
  ASSERT_EQ(byName.count("docs"), 1u);
  ASSERT_EQ(byName.count("gone"), 1u);
  EXPECT_FALSE(byName["docs"].deleted);
  EXPECT_TRUE(byName["gone"].deleted);

  std::map<std::string, std::string> sums;
  for (const Expected& e : test::ReadNtfsManifest("ntfs_mixed.img")) sums[e.path] = e.sha256;
  TempDir out;
  for (const char* folder : {"docs", "gone"}) {
    ASSERT_EQ(engine->Recover(&byName[folder], out.File(folder), CountSeparators(out.path())), kOk) << folder;
  }
  for (const auto& [path, sha] : sums) {
    if (path.rfind("reuse/", 0) == 0) continue;
    EXPECT_EQ(test::Sha256OfFile(out.File(path)), sha) << path;
  }
  // A file whose record no longer holds it fails with a code, reported once.
  FileRecord moved = byName["docs"];
  moved.isFolder = 0;
  moved.size = 100;
  moved.location = 0;  // the boot sector
  CopyLog log;
  engine->SetCallbacks(nullptr, CopyLog::Fn, &log, 100);
  EXPECT_EQ(engine->Recover(&moved, out.File("moved.bin"), 0), kErrFileNotFound);
  EXPECT_EQ(log.finals[out.File("moved.bin")], std::vector<int32_t>{kErrFileNotFound});
  // The lost folder recovers like any other.
  ASSERT_EQ(byName.count("LostFolder64"), 1u);
  ASSERT_EQ(engine->Recover(&byName["LostFolder64"], out.File("lost"), 0), kOk);
  EXPECT_EQ(test::Sha256OfFile(out.File("lost/child.txt")), sums["reuse/child.txt"]);
}

int32_t CancelAt(void* user, int32_t percent, int32_t, int32_t, uint64_t, uint64_t, uint64_t, int32_t) {
  auto* reports = static_cast<std::vector<int32_t>*>(user);
  reports->push_back(percent);
  return RESULT_CANCELLED;
}

TEST(FastNtfsEngine, CancelledScanEndsWithoutTheFinalReport) {
  auto engine = Engine(test::FixturePath("ntfs/ntfs_mixed.img"));
  ASSERT_NE(engine, nullptr);
  std::vector<int32_t> reports;
  engine->SetCallbacks(CancelAt, nullptr, &reports, 100);
  EXPECT_EQ(ScanFresh(*engine), RESULT_CANCELLED);
  EXPECT_EQ(reports.size(), 1u);  // nothing is reported after the cancel
  std::vector<FileRecord> out;
  EXPECT_EQ(engine->ListChildren(nullptr, 1, out), kErrInvalidParameter);
}

TEST(FastNtfsEngine, ExtractGoesToTheScanLogFolderOrToMemory) {
  auto engine = Engine(test::FixturePath("ntfs/ntfs_mixed.img"));
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(ScanFresh(*engine), kOk);
  std::vector<FileRecord> found;
  ASSERT_EQ(engine->ListByType(kEveryType, found), 1);
  std::map<std::string, FileRecord> byName;
  for (const FileRecord& r : found) byName[std::string(r.Name())] = r;
  std::map<std::string, std::string> sums;
  for (const Expected& e : test::ReadNtfsManifest("ntfs_mixed.img")) sums[e.name] = e.sha256;

  std::string path;
  uint32_t size = 0;
  ASSERT_EQ(engine->Extract(&byName["picture.jpg"], &path, nullptr, &size, nullptr, nullptr), kOk);
  EXPECT_EQ(path, DefaultScanLogRoot() + "/tmp.jpg");
  EXPECT_EQ(test::Sha256OfFile(path), sums["picture.jpg"]);

  // A resident file to memory, cut to the buffer, with one final report.
  std::vector<uint8_t> buffer(100);
  size = static_cast<uint32_t>(buffer.size());
  path.clear();
  std::vector<std::pair<int32_t, int32_t>> reports;
  auto fn = [](void* user, int32_t percent, int32_t error) {
    static_cast<std::vector<std::pair<int32_t, int32_t>>*>(user)->push_back({percent, error});
    return 0;
  };
  ASSERT_EQ(engine->Extract(&byName["deleted_small.txt"], &path, buffer.data(), &size, fn, &reports), kOk);
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(size, 100u);
  EXPECT_EQ(reports, (std::vector<std::pair<int32_t, int32_t>>{{100, 0}}));
  EXPECT_EQ(engine->Extract(nullptr, &path, buffer.data(), &size, nullptr, nullptr), kErrInvalidParameter);
}

TEST(FastNtfsEngine, FreeExtentsCoverDeletedDataAndNeverTheMft) {
  auto engine = Engine(test::FixturePath("ntfs/ntfs_mixed.img"));
  ASSERT_NE(engine, nullptr);
  auto* ntfs = dynamic_cast<CFastNtfsRecovery*>(engine.get());
  ASSERT_EQ(ScanFresh(*engine), kOk);
  ASSERT_EQ(engine->PrepareFreeMap(), kOk);
  std::vector<FileRecord> found;
  engine->ListByType("*.bin", found);
  const FileRecord* big = nullptr;
  for (const FileRecord& r : found)
    if (r.Name() == "big.bin") big = &r;
  ASSERT_NE(big, nullptr);
  NtfsVolume volume = ntfs->volume();
  NtfsRunlist runs;
  ASSERT_EQ(FindAttributeRuns(volume, big->location, kAttrData, runs), kOk);
  ASSERT_FALSE(runs.empty());
  const uint64_t spc = volume.geometry.sectorsPerCluster;
  const uint64_t deletedData = static_cast<uint64_t>(runs.front().offset) * spc;
  const uint64_t mft = volume.RecordSector(0);

  std::vector<std::pair<uint64_t, uint64_t>> extents;
  uint64_t position = 0;
  for (int i = 0; i < 100000; ++i) {
    uint64_t length = 0;
    ASSERT_EQ(engine->NextFreeExtent(&position, &length), 1);
    if (length == 0) break;
    extents.push_back({position, length});
    position += length;
  }
  ASSERT_FALSE(extents.empty());
  auto inFree = [&](uint64_t sector) {
    for (auto [start, length] : extents)
      if (sector >= start && sector < start + length) return true;
    return false;
  };
  EXPECT_TRUE(inFree(deletedData));
  EXPECT_FALSE(inFree(mft));
  EXPECT_FALSE(inFree(0));
  // At the end of the map: no length, the position stays.
  uint64_t end = extents.back().first + extents.back().second, length = 7;
  uint64_t at = end;
  engine->NextFreeExtent(&at, &length);
  EXPECT_EQ(length, 0u);
}

// --- damaged volumes -------------------------------------------------------

void Patch(const std::string& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

// Byte offset of the parent reference of a record's first $FILE_NAME.
uint64_t ParentFieldOffset(const std::string& image, uint64_t recordSector) {
  std::vector<uint8_t> data = test::ReadFile(image);
  ByteView record(data.data() + recordSector * 512, 1024);
  uint32_t at = record.le16(0x14);
  while (at + 0x18 < 1024 && record.le32(at) != 0x30 && record.le32(at + 4) != 0) at += record.le32(at + 4);
  EXPECT_EQ(record.le32(at), 0x30u);
  return recordSector * 512 + at + record.le16(at + 0x14);
}

TEST(FastNtfsEngine, DamagedParentLinksAndSystemRecordsEndTheScan) {
  TempDir dir;
  const std::string image = dir.File("damaged.img");
  test::WriteFile(image, test::ReadFile(test::FixturePath("ntfs/ntfs_mixed.img")));
  std::map<std::string, FileRecord> before;
  uint64_t volumeRecord = 0;
  {
    auto engine = Engine(image);
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(ScanFresh(*engine), kOk);
    WalkTree(*engine, nullptr, 0, "", &before);
    volumeRecord = dynamic_cast<CFastNtfsRecovery*>(engine.get())->volume().RecordSector(3);
  }
  ASSERT_EQ(before.count("gone/inner"), 1u);
  ASSERT_EQ(before.count("docs/big.bin"), 1u);
  // gone and gone/inner name each other as parent; big.bin names a record
  // far past the MFT; $Volume (record 3) looks deleted.
  Patch(image, ParentFieldOffset(image, before["gone"].location), Le32(before["gone/inner"].nodeId));
  Patch(image, ParentFieldOffset(image, before["docs/big.bin"].location), Le32(0x00FFFFF0));
  Patch(image, volumeRecord * 512 + 0x16, {0, 0});

  auto engine = Engine(image);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(ScanFresh(*engine), kOk);
  std::map<std::string, FileRecord> tree;
  WalkTree(*engine, nullptr, 0, "", &tree);
  EXPECT_EQ(tree.count("LostFolder16777200/big.bin"), 1u);
  // The circle is cut at one folder, which shows at the root: every file
  // stays reachable from the root.
  size_t files = 0;
  for (const auto& [path, r] : tree) files += r.isFolder ? 0 : 1;
  EXPECT_EQ(files, 8u);
  EXPECT_TRUE(tree.count("inner/gone/a.txt") || tree.count("gone/inner/c.txt"));
  std::vector<FileRecord> found;
  ASSERT_EQ(engine->ListByType(kEveryType, found), 1);
  EXPECT_EQ(found.size(), 8u);
  for (const FileRecord& r : found) EXPECT_GT(r.nodeId, kLastSystemRecord) << r.Name();
  for (const auto& [path, r] : tree) EXPECT_NE(r.nodeId, 3u) << path;
}

TEST(MendwellCli, ScanListsTheNtfsManifest) {
  std::string out;
  ASSERT_EQ(test::RunCommand(test::CliPath() + " scan --mode deleted --json " +
                                 test::FixturePath("ntfs/ntfs_mixed.img") + " 2>/dev/null",
                             &out),
            0);
  for (const Expected& e : test::ReadNtfsManifest("ntfs_mixed.img")) {
    std::string path = e.Has("parent-reused:") ? "LostFolder64/" + e.name : e.path;
    std::string needle = "{\"path\":\"" + path + "\",\"name\":\"" + e.name + "\",\"size\":" + std::to_string(e.size);
    size_t at = out.find(needle);
    ASSERT_NE(at, std::string::npos) << needle << "\n" << out;
    std::string line = out.substr(at, out.find('\n', at) - at);
    EXPECT_NE(line.find("\"engine\":\"fast-ntfs\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"deleted\":true"), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace mendwell

namespace mendwell {
namespace {

TEST(FastNtfsEngine, AFolderRecordReusedByAnotherFolderLeavesItsFilesInALostFolder) {
  TempDir dir;
  const std::string image = dir.File("reused.img");
  test::WriteFile(image, test::ReadFile(test::FixturePath("ntfs/ntfs_mixed.img")));
  uint64_t record64 = 0;
  {
    auto engine = Engine(image);
    ASSERT_NE(engine, nullptr);
    record64 = dynamic_cast<CFastNtfsRecovery*>(engine.get())->volume().RecordSector(64);
  }
  // The deleted folder of reuse/child.txt had record 64, which now holds a
  // file; make that a folder, as when a new folder takes the record.
  Patch(image, record64 * 512 + 0x16, {0x03, 0x00});
  auto engine = Engine(image);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(ScanFresh(*engine), kOk);
  std::map<std::string, FileRecord> tree;
  WalkTree(*engine, nullptr, 0, "", &tree);
  EXPECT_EQ(tree.count("LostFolder64/child.txt"), 1u);
  EXPECT_EQ(tree.count("newfile.txt/child.txt"), 0u);
  TempDir out;
  ASSERT_EQ(engine->Recover(&tree["LostFolder64"], out.File("lost"), 0), kOk);
  EXPECT_TRUE(PathExists(out.File("lost/child.txt")));
}

}  // namespace
}  // namespace mendwell
