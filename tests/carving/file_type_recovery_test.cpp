#include "carving/file_type_recovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "carving_test_support.h"
#include "engine/scan_log_store.h"
#include "platform/paths.h"

namespace mendwell {
namespace {

using test::CarveImage;
using test::kS;
using test::TempDir;

struct Expected {
  std::string extension;
  uint64_t size = 0;
  std::string sample;
  bool exact = false;
};

std::map<uint64_t, Expected> ReadManifest() {
  std::map<uint64_t, Expected> out;
  std::ifstream in(test::FixturePath("carving/manifest.tsv"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    uint64_t sector = 0;
    Expected e;
    std::string sha;
    int exact = 0;
    fields >> sector >> e.extension >> e.size >> sha >> exact >> e.sample;
    e.exact = exact == 1;
    out[sector] = e;
  }
  return out;
}

// Each test is a scan of its own, in a log folder of its own (logs are
// named after the minute they start in), under a per-user data folder of
// its own so that test processes running side by side never share one.
class CarvingEngine : public testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_DATA_HOME", data_.path().c_str(), 1);
    GetScanLogStore().NewScanFolder();
  }
  TempDir data_;
};

// Every sample of the fixture image is carved at its first sector with its
// type and expected size, and the exactly measurable ones come back
// byte-identical.
TEST_F(CarvingEngine, CarvesEverySampleOfTheImage) {
  const std::map<uint64_t, Expected> manifest = ReadManifest();
  ASSERT_GT(manifest.size(), 40u);
  SectorDevice device;
  ASSERT_EQ(OpenImageDevice(device, test::FixturePath("carving/carving.img")), kOk);
  CFileTypeRecovery engine;
  ASSERT_EQ(engine.OpenImage(test::FixturePath("carving/carving.img"), 0), kOk);
  test::CarveWholeDevice(engine, device);

  std::vector<FileRecord> records;
  ASSERT_EQ(engine.ListChildren(nullptr, 0, records), kOk);
  EXPECT_EQ(records.size(), manifest.size());
  uint32_t count = 0;
  EXPECT_EQ(engine.CountFiles(nullptr, 0, &count), kOk);
  EXPECT_EQ(count, manifest.size());

  TempDir out;
  for (const FileRecord& r : records) {
    auto it = manifest.find(r.location);
    if (it == manifest.end()) {
      ADD_FAILURE() << "unexpected file " << r.Name();
      continue;
    }
    const Expected& e = it->second;
    SCOPED_TRACE(e.sample);
    EXPECT_EQ(r.Name(), std::to_string(r.location) + "." + e.extension);
    EXPECT_EQ(r.size, e.size);
    EXPECT_EQ(r.sourceEngine, kSourceCarving);
    EXPECT_EQ(r.intact, 1u);
    EXPECT_EQ(r.clusterSize, -1);
    const std::string path = out.File("sub/" + std::string(r.Name()));
    ASSERT_EQ(engine.Recover(&r, path, 0), kOk);
    std::vector<uint8_t> sample = test::ReadFile(test::FixturePath("carving/samples/" + e.sample));
    std::vector<uint8_t> recovered = test::ReadFile(path);
    if (e.exact) {
      EXPECT_EQ(recovered, sample);
    } else {
      ASSERT_GE(recovered.size(), sample.size());
      EXPECT_TRUE(std::equal(sample.begin(), sample.end(), recovered.begin()));
    }
  }
}

// A JPEG of 10 sectors and 100 bytes at sector 2048 followed by a BMP:
// record fields, the name, and the skip counts of both resume rules.
TEST_F(CarvingEngine, RecordNameAndSkipCounts) {
  TempDir dir;
  CarveImage image(2080);
  image.Put(2048, 0, {0xFF, 0xD8, 0xFF, 0xE1}).Put(2048, 6, "Exif");
  image.Fill(2048, 16, 10 * kS + 80, 0x99).Put(2058, 98, {0xFF, 0xD9});
  image.Put(2070, 0, "BM").Put(2070, 2, {0x00, 0x10, 0, 0}).Put(2070, 14, {40, 0, 0, 0});
  SectorDevice device;
  image.Open(dir, device);
  CFileTypeRecovery engine;
  ASSERT_EQ(engine.OpenImage(dir.File("image.img"), 7), kOk);

  uint64_t skip = 1, found = 0;
  ASSERT_EQ(engine.ExamineSector(kS, ByteView(image.At(2048), kS), 2048, 0, 2080, -1, &device, &skip, &found), kOk);
  EXPECT_EQ(skip, 11u);
  EXPECT_EQ(found, 1u);
  ASSERT_EQ(engine.ExamineSector(kS, ByteView(image.At(2070), kS), 2070, 0, 2080, -1, &device, &skip, &found), kOk);
  EXPECT_EQ(skip, 1u);
  EXPECT_EQ(found, 2u);

  std::vector<FileRecord> records;
  engine.ListChildren(nullptr, 0, records);
  ASSERT_EQ(records.size(), 2u);
  std::map<std::string, FileRecord> byName;
  for (const FileRecord& r : records) byName[std::string(r.Name())] = r;
  ASSERT_EQ(byName.count("2048.jpg"), 1u);
  const FileRecord& jpg = byName["2048.jpg"];
  EXPECT_EQ(jpg.size, 10 * kS + 100);
  EXPECT_EQ(jpg.location, 2048u);
  EXPECT_EQ(jpg.driveLetter, 7);
  EXPECT_EQ(jpg.created, 0u);
  EXPECT_EQ(jpg.modified, 0u);
  EXPECT_EQ(jpg.isFolder, 0u);
  EXPECT_EQ(byName["2070.bmp"].size, 4096u);
  EXPECT_EQ(engine.GetFoundCount(), 2u);
  std::vector<FileRecord> pictures;
  EXPECT_EQ(engine.ListByType("*.bmp", pictures), 1);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].Name(), "2070.bmp");
}

TEST_F(CarvingEngine, ProgramsAndPlainDataAreNotCarved) {
  TempDir dir;
  CarveImage image(4);
  image.Put(0, 0, "MZ").Put(0, 60, {0x80, 0, 0, 0}).Put(0, 0x80, {'P', 'E', 0, 0}).Put(0, 0x80 + 22, {0x02, 0x00});
  image.Fill(1, 0, kS, 0x41);
  SectorDevice device;
  image.Open(dir, device);
  CFileTypeRecovery engine;
  ASSERT_EQ(engine.OpenImage(dir.File("image.img"), 0), kOk);
  for (uint64_t sector : {0, 1, 2}) {
    uint64_t skip = 1, found = 0;
    EXPECT_EQ(engine.ExamineSector(kS, ByteView(image.At(sector), kS), sector, 0, 4, -1, &device, &skip, &found),
              kErrInvalidParameter);
    EXPECT_EQ(found, 0u);
  }
  EXPECT_EQ(engine.GetFoundCount(), 0u);
}

// Preview targets by extension: pictures to tmp.jpg, sound and video to
// tmp.avi, documents under their own name, all in the scan-log folder;
// others into the caller's buffer.
TEST_F(CarvingEngine, ExtractTargets) {
  TempDir dir;
  CarveImage image(8);
  image.Fill(0, 0, 8 * kS, 0x5A);
  SectorDevice device;
  image.Open(dir, device);
  CFileTypeRecovery engine;
  ASSERT_EQ(engine.OpenImage(dir.File("image.img"), 0), kOk);
  const std::string folder = DefaultScanLogRoot();
  struct Case {
    const char* name;
    std::string target;
  } cases[] = {{"1.jpg", folder + "/tmp.jpg"}, {"2.mp3", folder + "/tmp.avi"}, {"3.docx", folder + "/3.docx"}};
  for (const Case& c : cases) {
    FileRecord r;
    r.SetName(c.name);
    r.location = 1;
    r.size = 700;
    std::string path;
    uint32_t size = 0;
    ASSERT_EQ(engine.Extract(&r, &path, nullptr, &size, nullptr, nullptr), kOk) << c.name;
    EXPECT_EQ(path, c.target);
    EXPECT_EQ(test::ReadFile(path), std::vector<uint8_t>(700, 0x5A));
    EXPECT_EQ(size, 0u);
  }
  FileRecord font;
  font.SetName("4.ttf");
  font.location = 2;
  font.size = 1000;
  std::vector<uint8_t> buffer(600);
  uint32_t size = static_cast<uint32_t>(buffer.size());
  std::string path;
  ASSERT_EQ(engine.Extract(&font, &path, buffer.data(), &size, nullptr, nullptr), kOk);
  EXPECT_EQ(size, 600u);
  EXPECT_EQ(buffer, std::vector<uint8_t>(600, 0x5A));

  // A run past the device end fails and leaves no file behind.
  FileRecord beyond;
  beyond.SetName("5.jpg");
  beyond.location = 100;
  beyond.size = 10;
  RemoveFile(folder + "/tmp.jpg");
  EXPECT_NE(engine.Extract(&beyond, &path, nullptr, &size, nullptr, nullptr), kOk);
  EXPECT_FALSE(PathExists(folder + "/tmp.jpg"));
  EXPECT_EQ(engine.Recover(&beyond, dir.File("out/5.jpg"), 0), kErrInvalidParameter);
}

// Reopening the log of an interrupted scan keeps its carved files listed.
TEST_F(CarvingEngine, ReopensAnEarlierLog) {
  TempDir dir;
  CarveImage image(8);
  image.Put(2, 0, "BM").Put(2, 2, {0x00, 0x02, 0, 0}).Put(2, 14, {40, 0, 0, 0});
  SectorDevice device;
  const std::string imagePath = image.Open(dir, device);
  std::string log;
  {
    CFileTypeRecovery engine;
    ASSERT_EQ(engine.OpenImage(imagePath, 0), kOk);
    uint64_t skip = 1, found = 0;
    ASSERT_EQ(engine.ExamineSector(kS, ByteView(image.At(2), kS), 2, 0, 8, -1, &device, &skip, &found), kOk);
    ASSERT_EQ(engine.store()->Flush(), kOk);
    log = engine.store()->recordsPath();
  }
  EXPECT_NE(BaseName(log).find("File_Type_0_"), std::string::npos);
  CFileTypeRecovery again;
  ASSERT_EQ(again.OpenImageWithLog(kS, log, 0, imagePath), kOk);
  std::vector<FileRecord> records;
  again.ListChildren(nullptr, 0, records);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Name(), "2.bmp");
}

}  // namespace
}  // namespace mendwell
