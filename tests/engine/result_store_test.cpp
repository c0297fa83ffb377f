#include "engine/result_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "support/test_support.h"

namespace mendwell {
namespace {

using test::TempDir;

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> b = test::ReadFile(path);
  return std::string(b.begin(), b.end());
}

// Appends a record the way an engine does: slot, fields, relation.
uint32_t Add(ResultStore& store, uint64_t key, const char* name, bool folder = false, uint32_t nodeId = 0,
             uint32_t intact = 1) {
  FileRecord& r = store.AppendRecord();
  r.isFolder = folder;
  r.nodeId = nodeId;
  r.intact = intact;
  r.size = folder ? 0 : 100;
  r.SetName(name);
  uint32_t id = r.recordId;
  store.AddRelation(key, id, nodeId, folder ? name : nullptr);
  return id;
}

std::vector<std::string> Names(const std::vector<FileRecord>& records) {
  std::vector<std::string> names;
  for (const FileRecord& r : records) names.emplace_back(r.Name());
  return names;
}

TEST(ResultStore, RelationFileTextAndReopeningContinuesNumbering) {
  TempDir dir;
  {
    ResultStore store;
    ASSERT_EQ(store.OpenStoreIn(dir.path(), "Fast_0_202312915 7"), kOk);
    Add(store, FolderKey(5, 0), "a.txt");
    Add(store, FolderKey(5, 0), "b.txt");
    Add(store, FolderKey(30, 0), "c.txt");
    for (int i = 0; i < 7; ++i) Add(store, FolderKey(30, 1), "d.txt");
    ASSERT_EQ(store.Flush(), kOk);
    EXPECT_EQ(ReadText(store.relationPath()),
              " | 5 - [1,2] | 30 - [3] | 4294967326 - [4,5,6,7,8,9,10]");
  }
  // Ten records on disk: the next one is number 11, and the count restarts.
  ResultStore store;
  ASSERT_EQ(store.OpenStoreIn(dir.path(), "Fast_0_202312915 7"), kOk);
  EXPECT_EQ(store.AppendRecord().recordId, 11u);
  EXPECT_EQ(store.AppendedCount(), 1u);
  EXPECT_EQ(store.relations().at(FolderKey(30, 1)).size(), 7u);
  EXPECT_EQ(test::ReadFile(store.recordsPath()).size(), 10 * kFileRecordSize);
}

TEST(ResultStore, ChildrenCountAndPathsThroughNestedFolders) {
  TempDir dir;
  ResultStore store;
  ASSERT_EQ(store.OpenStoreIn(dir.path(), "log"), kOk);
  // root (key 2,0): b.txt, A.txt, folder "outer"(node 7) > folder "inner"(node 9) > deep.doc
  Add(store, FolderKey(2, 0), "b.txt");
  Add(store, FolderKey(2, 0), "A.txt");
  Add(store, FolderKey(2, 0), "outer", true, 7);
  Add(store, FolderKey(7, 1), "inner", true, 9);
  uint32_t deep = Add(store, FolderKey(9, 2), "deep.doc");
  Add(store, FolderKey(9, 2), "broken.jpg", false, 0, /*intact=*/0);
  Add(store, FolderKey(2, 0), "a", true, 11);

  std::vector<FileRecord> top;
  ASSERT_EQ(store.Children(0, top), kOk);  // key 0: the top level
  EXPECT_EQ(Names(top), (std::vector<std::string>{"A.txt", "b.txt", "a", "outer"}));

  std::vector<FileRecord> none;
  EXPECT_EQ(store.Children(FolderKey(99, 3), none), kOk);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(store.relations().count(FolderKey(99, 3)), 0u);

  std::vector<FileRecord> inner;
  ASSERT_EQ(store.Children(FolderKey(9, 2), inner), kOk);
  EXPECT_EQ(Names(inner), (std::vector<std::string>{"deep.doc"}));  // damaged picture hidden

  uint32_t count = 0;
  ASSERT_EQ(store.Count(FolderKey(2, 0), &count), kOk);
  EXPECT_EQ(count, 4u);  // b, A, deep, broken (counts do not hide damaged pictures)

  FileRecord deepRecord;
  deepRecord.recordId = deep;
  std::string path;
  ASSERT_EQ(store.Path(deepRecord, &path), kOk);
  EXPECT_EQ(path, "outer/inner/");
  FileRecord topRecord;
  topRecord.recordId = 1;
  ASSERT_EQ(store.Path(topRecord, &path), kOk);
  EXPECT_EQ(path, "");
}

TEST(ResultStore, DamagedRelationsCannotMakeCountOrPathExplode) {
  TempDir dir;
  ResultStore store;
  ASSERT_EQ(store.OpenStoreIn(dir.path(), "log"), kOk);
  // Forty levels where each folder is filed twice: walked naively the
  // queue would double at every level (2^40 visits).
  for (uint32_t level = 0; level < 40; ++level) {
    uint32_t id = Add(store, FolderKey(100 + level, level), "twice", true, 101 + level);
    store.AddRelation(FolderKey(100 + level, level), id, 101 + level, nullptr);
  }
  uint32_t leaf = Add(store, FolderKey(140, 40), "leaf.txt");
  uint32_t count = 0;
  EXPECT_EQ(store.Count(FolderKey(100, 0), &count), kOk);
  EXPECT_EQ(count, 1u);
  // A folder named as its own parent ends the path instead of looping.
  uint32_t self = Add(store, FolderKey(500, 1), "self", true, 500);
  FileRecord selfRecord;
  selfRecord.recordId = self;
  std::string path;
  EXPECT_EQ(store.Path(selfRecord, &path), kOk);
  FileRecord leafRecord;
  leafRecord.recordId = leaf;
  ASSERT_EQ(store.Path(leafRecord, &path), kOk);
  EXPECT_EQ(std::count(path.begin(), path.end(), '/'), 40);
}

TEST(ResultStore, TypeQueryFiltersOtherFilesAndDamagedPictures) {
  TempDir dir;
  ResultStore store;
  ASSERT_EQ(store.OpenStoreIn(dir.path(), "log"), kOk);
  const char* names[] = {"a.jp", "a.png", "x.JPG", "ok.jpeg", "README", "a.xyz", "song.mp3", "tool.exe", "dir",
                         "trailing."};
  for (const char* n : names) Add(store, FolderKey(1, 0), n, std::string(n) == "dir", 0, std::string(n) != "x.JPG");
  std::vector<FileRecord> out;
  EXPECT_EQ(store.ByType("*.jpg|*.jpeg", out), 1);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"a.jp", "ok.jpeg"}));
  out.clear();
  EXPECT_EQ(store.ByType("*.jpg|.other", out), 1);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"a.jp", "a.xyz", "README", "tool.exe", "trailing."}));

  int calls = 0;
  store.SetListCallback([](void* user, int32_t, int32_t) { return ++*static_cast<int*>(user) > 0 ? 1 : 0; }, &calls);
  out.clear();
  EXPECT_EQ(store.ByType("*.mp3", out), 1);  // stopped after the first block, still 1
  EXPECT_EQ(calls, 1);
}

TEST(ResultStore, OtherModeSwitchesOffForHugeRecordFiles) {
  TempDir dir;
  ResultStore store;
  ASSERT_EQ(store.OpenStoreIn(dir.path(), "log"), kOk);
  Add(store, FolderKey(1, 0), "README");
  ASSERT_EQ(store.Flush(), kOk);
  FileHandle f;
  ASSERT_EQ(f.OpenReadWrite(store.recordsPath()), kOk);
  ASSERT_EQ(f.Truncate(kOtherModeLimitBytes), kOk);  // sparse zero records: folders? no, empty names
  std::vector<FileRecord> out;
  EXPECT_EQ(store.ByType(".other", out), 1);
  EXPECT_TRUE(out.empty());
}

TEST(ResultStore, DamagedFilesGiveTheCompleteEntriesOnly) {
  TempDir dir;
  {
    ResultStore store;
    ASSERT_EQ(store.OpenStoreIn(dir.path(), "log"), kOk);
    Add(store, FolderKey(1, 0), "one.txt");
    Add(store, FolderKey(1, 0), "dir", true, 4);
    Add(store, FolderKey(4, 1), "two.txt");
  }
  // A torn records file, a relation entry cut in the middle and an
  // incomplete folder-name entry.
  FileHandle f;
  ASSERT_EQ(f.OpenReadWrite(dir.File("log")), kOk);
  ASSERT_EQ(f.Truncate(2 * kFileRecordSize + 100), kOk);
  f.Close();
  {
    std::ofstream rel(dir.File("log_Relation"), std::ios::trunc);
    rel << " | 1 - [1,2] | 4294967300 - [3,9999] | 8 - [4,";
  }
  ASSERT_EQ(f.OpenReadWrite(dir.File("log_DirInfo")), kOk);
  ASSERT_EQ(f.Truncate(kFolderNameEntrySize + 10), kOk);
  f.Close();

  ResultStore store;
  ASSERT_EQ(store.OpenStoreIn(dir.path(), "log"), kOk);
  EXPECT_EQ(store.relations().size(), 2u);  // the torn third entry is dropped
  EXPECT_EQ(store.folderNames().size(), 1u);
  std::vector<FileRecord> out;
  EXPECT_NE(store.Children(FolderKey(4, 1), out), kOk);  // record 3 was cut off
  EXPECT_TRUE(out.empty());
  out.clear();
  EXPECT_EQ(store.ByType(".other|*.txt", out), 1);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"one.txt"}));
  // New records start after the last whole one.
  EXPECT_EQ(store.AppendRecord().recordId, 3u);
  EXPECT_EQ(ParseRelations("garbage | x - [] | 5 - [1, 2] | 7 - [3").size(), 2u);
  EXPECT_TRUE(ParseRelations("").empty());
}

}  // namespace
}  // namespace mendwell

namespace mendwell {
namespace {

TEST(ResultStore, DisplayOrderIgnoresCaseAcrossLongNames) {
  std::vector<FileRecord> records;
  for (const char* n : {"img_0001b.jpg", "IMG_0001A.jpg", "Img", "img_0001", "zeta", "B", "a.txt"}) {
    FileRecord r;
    r.SetName(n);
    r.isFolder = std::string(n) == "B";
    records.push_back(r);
  }
  SortDisplayOrder(records);
  std::vector<std::string> names;
  for (const FileRecord& r : records) names.emplace_back(r.Name());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "Img", "img_0001", "IMG_0001A.jpg", "img_0001b.jpg", "zeta",
                                             "B"}));
}

}  // namespace
}  // namespace mendwell
