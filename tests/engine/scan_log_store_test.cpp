#include "engine/scan_log_store.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/file.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::TempDir;

TEST(ScanLogStore, NumbersFoldersAndEmptiesAReusedOne) {
  TempDir dir;
  ScanLogStore store(dir.path() + "/ScanLog");
  store.LoadIndex();  // first run: no "config"
  EXPECT_EQ(store.counter(), 0u);
  // A folder left over from an earlier run with the same number.
  ASSERT_EQ(CreateDirectories(dir.path() + "/ScanLog/1"), kOk);
  test::WriteFile(dir.path() + "/ScanLog/1/old", {1, 2, 3});
  store.NewScanFolder();
  EXPECT_EQ(store.CurrentLogFolder(), dir.path() + "/ScanLog/1/");
  EXPECT_FALSE(PathExists(dir.path() + "/ScanLog/1/old"));
  store.NewScanFolder();
  EXPECT_EQ(store.CurrentLogFolder(), dir.path() + "/ScanLog/2/");

  CalendarTime t{2023, 12, 9, 15, 7, 0, 0};
  EXPECT_EQ(MakeLogName("Fast_", 2048, t), "Fast_2048_202312915 7");
  t.minute = 42;
  EXPECT_EQ(MakeLogName("File_Type_", 0, t), "File_Type_0_20231291542");
}

TEST(ScanLogStore, IndexRoundTripsByteExactAndChangedImagesLoseTheirLog) {
  TempDir dir;
  std::string root = dir.path() + "/ScanLog";
  std::string image = dir.File("card.img");
  test::WriteFile(image, std::vector<uint8_t>(4096, 0));
  ResumePosition pos{10, 20, 5, 1234, 56};
  {
    ScanLogStore store(root);
    store.LoadIndex();
    store.NewScanFolder();
    ASSERT_EQ(CreateDirectories(store.CurrentLogFolder()), kOk);
    ASSERT_EQ(store.SaveEntry(kImageDiskIndex, 0, 8, pos, store.CurrentLogFolder(), image), kOk);
  }
  std::vector<uint8_t> config = test::ReadFile(root + "/config");
  ASSERT_EQ(config.size(), kScanLogHeaderSize + kScanLogEntrySize);
  ByteView v(config.data(), config.size());
  EXPECT_EQ(v.le64(0), 1u);
  EXPECT_EQ(v.le32(8), 128u);
  EXPECT_EQ(v.le64(8 + 24), 10u);
  EXPECT_EQ(v.le64(8 + 56), 56u);
  EXPECT_EQ(v.le16(8 + 80), static_cast<uint16_t>(image[0]));  // UTF-16 path
  EXPECT_EQ(v.le16(8 + 600 + 2 * (root.size() + 2)), '/');     // ".../ScanLog/1/"

  ScanLogStore store(root);
  store.LoadIndex();
  ScanLogEntry entry;
  ASSERT_TRUE(store.LookupImage(image, &entry));
  EXPECT_EQ(entry.resume.sectorsDone, 1234u);
  EXPECT_EQ(store.CurrentLogFolder(), root + "/1/");
  // The image is written to: its time changes, the log goes.
  std::ofstream(image, std::ios::app) << "x";
  ASSERT_EQ(::utimensat(AT_FDCWD, image.c_str(), nullptr, 0), 0);
  EXPECT_FALSE(store.LookupImage(image, &entry));
  EXPECT_FALSE(PathExists(root + "/1"));
  EXPECT_TRUE(store.entries().empty());
  EXPECT_EQ(store.CurrentLogFolder(), root + "/1/");  // the counter, not a found folder
}

TEST(ScanLogStore, PartitionEntriesMatchOnFreeBytes) {
  TempDir dir;
  ScanLogStore store(dir.path());
  store.LoadIndex();
  store.NewScanFolder();
  ASSERT_EQ(CreateDirectories(store.CurrentLogFolder()), kOk);
  ResumePosition pos{};
  ASSERT_EQ(store.SaveEntry(0, 2048, 4096, pos, store.CurrentLogFolder(), ""), kOk);
  ASSERT_NE(store.FindPartitionEntry(0, 2048, 4096, 0), nullptr);  // unmounted: free bytes 0
  EXPECT_EQ(store.FindPartitionEntry(0, 2048, 4097, 0), nullptr);
  // Free bytes changed: the volume was written since, so the log is gone.
  EXPECT_EQ(store.FindPartitionEntry(0, 2048, 4096, 512), nullptr);
  EXPECT_FALSE(PathExists(dir.path() + "/1"));
}

TEST(ScanLogStore, InterruptedSaveAndDamagedIndexLoseNothingElse) {
  TempDir dir;
  std::string root = dir.path();
  ResumePosition pos{};
  {
    ScanLogStore store(root);
    store.NewScanFolder();
    ASSERT_EQ(store.SaveEntry(1, 63, 100, pos, root + "/1/", ""), kOk);
    ASSERT_EQ(store.SaveEntry(2, 63, 100, pos, root + "/2/", ""), kOk);
  }
  // Killed between removing "config" and renaming "config.tmp".
  ASSERT_EQ(RenamePath(root + "/config", root + "/config.tmp"), kOk);
  ScanLogStore recovered(root);
  recovered.LoadIndex();
  EXPECT_EQ(recovered.entries().size(), 2u);
  EXPECT_TRUE(PathExists(root + "/config"));
  // A torn index keeps its complete entries.
  FileHandle f;
  ASSERT_EQ(f.OpenReadWrite(root + "/config"), kOk);
  ASSERT_EQ(f.Truncate(kScanLogHeaderSize + kScanLogEntrySize + 500), kOk);
  f.Close();
  ScanLogStore torn(root);
  torn.LoadIndex();
  EXPECT_EQ(torn.entries().size(), 1u);
  EXPECT_EQ(torn.counter(), 1u);
}

TEST(ScanLogStore, NeverDeletesOutsideItsRoot) {
  TempDir dir;
  ASSERT_EQ(CreateDirectories(dir.path() + "/precious"), kOk);
  ASSERT_EQ(CreateDirectories(dir.path() + "/root/3"), kOk);
  ScanLogStore store(dir.path() + "/root");
  ResumePosition pos{};
  // A damaged index pointing at a folder outside the root.
  ASSERT_EQ(store.SaveEntry(0, 0, 1, pos, dir.path() + "/precious/", ""), kOk);
  store.DeleteLogFolder(dir.path() + "/precious/");
  store.DeleteLogFolder(dir.path() + "/root/../precious/");
  EXPECT_TRUE(PathExists(dir.path() + "/precious"));
  EXPECT_TRUE(store.entries().empty());
  store.DeleteLogFolder(dir.path() + "/root/3/");
  EXPECT_FALSE(PathExists(dir.path() + "/root/3"));

  std::string name;
  ASSERT_EQ(CreateDirectories(dir.path() + "/root/4"), kOk);
  test::WriteFile(dir.path() + "/root/4/.hidden_Fast_", {});
  test::WriteFile(dir.path() + "/root/4/Pro_Fat_0_20231291530", {});
  EXPECT_FALSE(ScanLogStore::FindLogByPrefix("Fast_", dir.path() + "/root/4", &name));
  EXPECT_TRUE(ScanLogStore::FindLogByPrefix("Pro_Fat_", dir.path() + "/root/4", &name));
  EXPECT_EQ(name, "Pro_Fat_0_20231291530");
}

}  // namespace
}  // namespace mendwell
