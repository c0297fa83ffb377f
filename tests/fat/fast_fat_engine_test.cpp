// The fast FAT engine end to end on images made by mkfs.fat and mtools
// (tests/fixtures/make_fat_images.sh), and on damaged copies of them.
#include "fat/fast_fat_engine.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/recovery_driver.h"
#include "engine/recovery_paths.h"
#include "factory/engine_factory.h"
#include "engine/scan_log_store.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::FixturePath;
using test::TempDir;

struct Expected {
  std::string folder, name, sha256;
  uint64_t size = 0;
  bool contiguous = false;
  std::string flags;
};

std::vector<Expected> Manifest(const std::string& image) {
  std::vector<Expected> out;
  std::ifstream in(FixturePath(image) + ".expected");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Expected e;
    std::string size, contiguous;
    std::getline(fields, e.folder, '\t');
    std::getline(fields, e.name, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, e.sha256, '\t');
    std::getline(fields, contiguous, '\t');
    std::getline(fields, e.flags, '\t');
    e.size = std::stoull(size);
    e.contiguous = contiguous == "1";
    out.push_back(e);
  }
  return out;
}

// How the engine names a deleted entry: names that fit 8.3 have no long
// name, so they show in lower case with '!' for the lost first character.
std::string DeletedName(const std::string& name) {
  size_t dot = name.rfind('.');
  std::string base = name.substr(0, dot), ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  bool shortOnly = base.size() <= 8 && ext.size() <= 3 && name.find(' ') == std::string::npos &&
                   name.find_first_of("\x80\xff") == std::string::npos && name.find("..") == std::string::npos;
  for (unsigned char c : name)
    if (c >= 0x80) shortOnly = false;
  if (!shortOnly) return name;
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  lower[0] = '!';
  return lower;
}

// "/gone/inner" -> "!one/!nner/" (the whole tree was deleted), "/live/sub"
// -> "live/sub/".
std::string ExpectedPath(const std::string& folder) {
  if (folder == "/") return "";
  std::string path;
  bool deleted = folder.rfind("/gone", 0) == 0;
  size_t start = 1;
  while (start <= folder.size()) {
    size_t slash = folder.find('/', start);
    if (slash == std::string::npos) slash = folder.size();
    std::string part = folder.substr(start, slash - start);
    path += (deleted ? DeletedName(part) : part) + "/";
    start = slash + 1;
  }
  return path;
}

// Scans as the scan driver does: in a fresh numbered log folder.
Status ScanFresh(IFileRecoveryParse& engine) {
  GetScanLogStore().NewScanFolder();
  return engine.Scan(nullptr);
}

class FastFatImages : public ::testing::TestWithParam<const char*> {};

TEST_P(FastFatImages, FindsDeletedFilesUnderTheirPathsAndRecoversThemByteIdentical) {
  const std::string image = GetParam();
  auto engine = CreateImageEngine(FixturePath(image), 1, kModeDeletedFiles);
  ASSERT_NE(engine, nullptr);
  ASSERT_NE(dynamic_cast<CFastFatRecovery*>(engine.get()), nullptr);
  ASSERT_EQ(ScanFresh(*engine), kOk);

  std::vector<FileRecord> found;
  ASSERT_EQ(engine->ListByType(".other|*.txt|*.jpg", found), 1);
  std::map<std::string, FileRecord> byPath;
  for (const FileRecord& r : found) {
    std::string path;
    ASSERT_EQ(engine->GetPath(&r, &path), kOk);
    byPath[path + std::string(r.Name())] = r;
  }
  // Live files in live folders are not listed.
  for (const char* live : {"keep.txt", "KEEP.TXT", "live/inside.txt", "SPACER.BIN", "spacer.bin", "FILLER.BIN"})
    EXPECT_EQ(byPath.count(live), 0u) << live;

  TempDir out;
  std::vector<Expected> manifest = Manifest(image);
  ASSERT_GE(manifest.size(), 10u);
  for (const Expected& e : manifest) {
    std::string key = ExpectedPath(e.folder) + DeletedName(e.name);
    ASSERT_EQ(byPath.count(key), 1u) << key;
    const FileRecord& r = byPath[key];
    EXPECT_EQ(r.size, e.size) << key;
    EXPECT_TRUE(r.deleted);
    if (e.flags.find("overwritten") != std::string::npos) continue;
    // Contiguous files come back byte-identical; so does the fragmented
    // one, whose data goes on in the next free clusters.
    std::string dest = out.File(std::to_string(r.recordId));
    ASSERT_EQ(engine->Recover(&r, dest, 0), kOk) << key;
    EXPECT_EQ(test::Sha256OfFile(dest), e.sha256) << key;
    EXPECT_EQ(r.intact, 1u) << key;
  }

  // Folder records appear once per folder, and a deleted folder lists its
  // files.
  std::vector<FileRecord> top;
  ASSERT_EQ(engine->ListChildren(nullptr, 0, top), kOk);
  std::map<std::string, int> folders;
  for (const FileRecord& r : top)
    if (r.isFolder) ++folders[std::string(r.Name())];
  EXPECT_EQ(folders["live"], 1);
  EXPECT_EQ(folders["!one"], 1);
  uint32_t count = 0;
  ASSERT_EQ(engine->CountFiles(nullptr, 0, &count), kOk);
  EXPECT_EQ(count, manifest.size());
}

INSTANTIATE_TEST_SUITE_P(Images, FastFatImages,
                         ::testing::Values("fat12_deleted.img", "fat16_deleted.img", "fat32_deleted.img"));

TEST(FastFatEngine, RecoversAWholeDeletedFolderTree) {
  auto engine = CreateImageEngine(FixturePath("fat16_deleted.img"), 1, kModeDeletedFiles);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(ScanFresh(*engine), kOk);
  std::vector<FileRecord> top;
  ASSERT_EQ(engine->ListChildren(nullptr, 0, top), kOk);
  auto gone = std::find_if(top.begin(), top.end(), [](const FileRecord& r) { return r.Name() == "!one"; });
  ASSERT_NE(gone, top.end());
  TempDir out;
  ASSERT_EQ(engine->Recover(&*gone, out.File("gone"), CountSeparators(out.path())), kOk);
  EXPECT_EQ(test::ReadFile(out.File("gone/!ne.txt")).size(), 1000u);
  EXPECT_EQ(test::ReadFile(out.File("gone/!nner/!wo.txt")).size(), 2500u);
}

// Copies a fixture and lets a test damage the copy.
std::string DamagedCopy(const TempDir& dir, const std::string& image, const std::string& copyName) {
  std::string path = dir.File(copyName);
  test::WriteFile(path, test::ReadFile(FixturePath(image)));
  return path;
}

void Patch(const std::string& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

uint64_t FindBytes(const std::string& path, const std::string& needle) {
  std::vector<uint8_t> data = test::ReadFile(path);
  auto it = std::search(data.begin(), data.end(), needle.begin(), needle.end());
  return it == data.end() ? UINT64_MAX : static_cast<uint64_t>(it - data.begin());
}

TEST(FastFatEngine, DamagedVolumesEndTheScanAndRecoveryStaysInTheDestination) {
  TempDir dir;
  // 1. Every FAT entry chained into one big ring.
  std::string ring = DamagedCopy(dir, "fat16_deleted.img", "ring.img");
  {
    std::vector<uint8_t> boot = test::ReadFile(ring);
    ByteView b(boot.data(), 512);
    uint64_t fatStart = static_cast<uint64_t>(b.le16(14)) * 512;
    uint32_t entries = b.le16(22) * 512u / 2;
    std::vector<uint8_t> fat(entries * 2);
    for (uint32_t c = 2; c < entries; ++c) PutLe16(&fat[c * 2], static_cast<uint16_t>(c + 1 < entries ? c + 1 : 2));
    fat[0] = 0xF8;
    fat[1] = fat[2] = fat[3] = 0xFF;
    Patch(ring, fatStart, fat);
  }
  // 2. A long name carrying "../.." and a folder whose ".." names itself.
  std::string names = DamagedCopy(dir, "fat32_deleted.img", "names.img");
  uint64_t lfn = FindBytes(names, std::string("d\0e\0l\0e\0t\0", 10));
  ASSERT_NE(lfn, UINT64_MAX);
  Patch(names, lfn, {'.', 0, '.', 0, '/', 0, '.', 0, '.', 0});
  uint64_t dotdot = FindBytes(names, "..         \x10");
  ASSERT_NE(dotdot, UINT64_MAX);
  std::vector<uint8_t> dot = test::ReadFile(names);
  Patch(names, dotdot + 20, {dot[dotdot - 32 + 20], dot[dotdot - 32 + 21]});  // ".." = "." (itself)
  Patch(names, dotdot + 26, {dot[dotdot - 32 + 26], dot[dotdot - 32 + 27]});
  // 3. Half the volume cut off.
  std::string cut = DamagedCopy(dir, "fat32_deleted.img", "cut.img");
  ASSERT_EQ(::truncate(cut.c_str(), static_cast<off_t>(test::ReadFile(cut).size() / 3)), 0);
  // 4. A boot sector with absurd values: 0 FATs of 65535 sectors.
  std::string absurd = DamagedCopy(dir, "fat12_deleted.img", "absurd.img");
  Patch(absurd, 13, {0x80, 0xFF, 0xFF, 0x00});

  for (const std::string& image : {ring, names, cut, absurd}) {
    auto engine = CreateImageEngine(image, 1, kModeDeletedFiles);
    if (!engine) continue;  // not even recognised as FAT: nothing to do
    ScanFresh(*engine);
    std::vector<FileRecord> found;
    engine->ListByType(".other|*.txt|*.jpg", found);
    TempDir out;
    for (const FileRecord& r : found) {
      std::string safe = out.path() + "/" + std::to_string(r.recordId);
      engine->Recover(&r, safe, 0);
    }
    // Every name-derived path stays inside the destination.
    std::string listing;
    test::RunCommand("find '" + dir.path() + "' -newer '" + image + "' -name '*ed in live*'", &listing);
    EXPECT_EQ(listing, "") << image;
  }
  // The "../.." name is listed made safe and recovers inside the folder.
  auto engine = CreateImageEngine(names, 1, kModeDeletedFiles);
  ASSERT_EQ(ScanFresh(*engine), kOk);
  std::vector<FileRecord> found;
  engine->ListByType("*.txt", found);
  auto evil = std::find_if(found.begin(), found.end(),
                           [](const FileRecord& r) { return r.Name().find("../..") != std::string_view::npos; });
  ASSERT_NE(evil, found.end());
  TempDir out;
  struct Quiet : RecoveryObserver {} quiet;
  RecoveryDriver driver(out.path(), {RecoveryItem{*evil, engine.get()}}, quiet);
  driver.Run();
  EXPECT_EQ(driver.counters().failed, 0);
  EXPECT_TRUE(PathExists(out.path() + "/document/.._..ed in live.txt"));
}

}  // namespace
}  // namespace mendwell
