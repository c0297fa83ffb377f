#include "carving/size_rules.h"

#include <gtest/gtest.h>

#include <functional>

#include "carving/structure_probe.h"
#include "carving_test_support.h"
#include "platform/paths.h"

namespace mendwell {
namespace {

using test::CarveImage;
using test::kS;
using test::TempDir;

constexpr uint64_t kMiB = 1024 * 1024;

void PutJpegHeader(CarveImage& img, uint64_t sector) {
  img.Put(sector, 0, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}).Put(sector, 6, "JFIF").Fill(sector, 16, 400, 0x99);
}
void PutGifHeader(CarveImage& img, uint64_t sector) { img.Put(sector, 0, "GIF89a").Fill(sector, 6, 500, 0x99); }
void PutPng(CarveImage& img, uint64_t sector) {
  img.Put(sector, 0, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}).Fill(sector, 8, 500, 0x99);
}
void PutTransportStream(CarveImage& img, uint64_t bytesFrom, size_t packets, size_t badPacket) {
  for (size_t p = 0; p < packets; ++p) {
    uint8_t* at = img.bytes().data() + bytesFrom + 188 * p;
    at[0] = p == badPacket ? 0x00 : 0x47;
    at[1] = 0x41;
    std::memset(at + 2, 0x99, 186);
  }
}

struct SizeCase {
  const char* name;
  size_t sectors;                          // image length
  uint64_t sparseBytes;                    // grown sparsely to this length (0: no)
  std::function<void(CarveImage&)> build;  // the file starts at sector 0
  FileTypeCode code;
  uint64_t size;                           // expected size; 0: only bounded by the image
};

// Each case measures the file at sector 0 of a small image the way the
// carving engine does (recognition, then the type's size rule).
const SizeCase kCases[] = {
    {"JpegEndInFirstSector", 8, 0,
     [](CarveImage& i) {
       PutJpegHeader(i, 0);
       i.Put(0, 200, {0xFF, 0xD9}).Fill(0, 202, kS - 202, 0);
     },
     FileTypeCode::kJpg, 202},
    {"JpegOnlyFirstMarkerOfBlockCounts", 16, 0,
     [](CarveImage& i) {
       PutJpegHeader(i, 0);
       i.Fill(1, 0, 7 * kS, 0x99);
       i.Put(2, 100, {0xFF, 0xD9});                         // followed by data: not an end
       i.Put(4, kS - 2, {0xFF, 0xD9});                      // would qualify, but is the second in the block
       PutPng(i, 8);
     },
     FileTypeCode::kJpg, 8 * kS},
    {"GifTriesLaterTrailers", 8, 0,
     [](CarveImage& i) {
       PutGifHeader(i, 0);
       i.Fill(1, 0, 3 * kS, 0x99);
       i.Put(1, 10, {0x00, 0x3B});                          // data follows in the sector
       i.Put(3, 50, {0x00, 0x3B}).Fill(3, 52, kS - 52, 0);  // zero to the sector's end
     },
     FileTypeCode::kGif, 3 * kS + 52},
    {"GifStopsAtNextFile", 8, 0,
     [](CarveImage& i) {
       PutGifHeader(i, 0);
       PutPng(i, 1);
     },
     FileTypeCode::kGif, kS},
    {"PlainScanStopsAtNtfsFileRecord", 8, 0,
     [](CarveImage& i) {
       i.Put(0, 0, {0x49, 0x49, 0x2A, 0x00}).Fill(0, 4, 1500, 0x99);
       i.Put(3, 0, "FILE");
     },
     FileTypeCode::kTif, 3 * kS},
    {"BmpClaimOverCap", 4, 130 * kMiB,
     [](CarveImage& i) {
       i.Put(0, 0, "BM").Put(0, 2, {0x00, 0x00, 0x80, 0x0C}).Put(0, 14, {40, 0, 0, 0});  // 200 MiB
     },
     FileTypeCode::kBmp, 128 * kMiB},
    {"RiffClaimPastDeviceEnd", 16, 0,
     [](CarveImage& i) {
       i.Put(0, 0, "RIFF").Put(0, 4, {0xF0, 0xFF, 0xFF, 0xFF}).Put(0, 8, "WAVEfmt ");
     },
     FileTypeCode::kWav, 16 * kS},
    {"TransportStreamBreaksAtPacket1000", 600, 0,
     [](CarveImage& i) { PutTransportStream(i, 0, 1400, 1000); }, FileTypeCode::kTs, 188 * 1000},
    {"TransportStreamToDeviceEnd", 200, 0,
     [](CarveImage& i) { PutTransportStream(i, 0, 200 * kS / 188, SIZE_MAX); }, FileTypeCode::kTs,
     200 * kS / 188 * 188},
    {"ZipWithoutEndRecordEndsAtDeviceEnd", 300, 0,
     [](CarveImage& i) {
       i.Put(0, 0, {0x50, 0x4B, 0x03, 0x04}).Fill(0, 30, 300 * kS - 30, 0x99);
     },
     FileTypeCode::kZip, 300 * kS},
    {"TruncatedPngEndsAtDeviceEnd", 5, 0,
     [](CarveImage& i) {
       PutPng(i, 0);
       i.Fill(1, 0, 4 * kS, 0x99);
     },
     FileTypeCode::kPng, 5 * kS},
    {"CompoundExtraIndexChainLoops", 64, 0,
     [](CarveImage& i) {
       i.Put(0, 0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}).Put(0, 30, {9, 0});
       i.Put(0, 44, {0x6B, 0x01, 0, 0});  // 363 table sectors
       i.Put(0, 48, {5, 0, 0, 0});
       i.Put(0, 68, {0, 0, 0, 0});        // extra index chain at sector 0 ...
       i.Put(0, 72, {3, 0, 0, 0});        // ... three of them
       i.Fill(1, 0, 63 * kS, 0x99);
       i.Put(1, 508, {0, 0, 0, 0});       // whose next link is itself
     },
     FileTypeCode::kOle, 0},
    {"CompoundClaimsHugeExtraChain", 64, 0,
     [](CarveImage& i) {
       i.Put(0, 0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}).Put(0, 30, {9, 0});
       i.Put(0, 44, {0x00, 0x01, 0, 0}).Put(0, 48, {5, 0, 0, 0});
       i.Put(0, 68, {0, 0, 0, 0}).Put(0, 72, {0x40, 0x0D, 0x03, 0});  // 200000 extra index sectors
       i.Fill(1, 0, 63 * kS, 0x99);
       i.Put(1, 508, {0, 0, 0, 0});
     },
     FileTypeCode::kOle, 64 * kS},
};

class SizeRuleTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeRuleTest, MeasuresWithinCapAndDevice) {
  const SizeCase& c = GetParam();
  TempDir dir;
  CarveImage image(c.sectors);
  c.build(image);
  SectorDevice device;
  image.Open(dir, device, c.sparseBytes);

  CFileTypeRecovery engine;
  CarvedFile found;
  std::vector<uint8_t> first(image.At(0), image.At(0) + kS);
  ASSERT_EQ(engine.IdentifyFile(kS, &device, ByteView(first.data(), kS), 0, 0, device.sectorCount, -1, 0, &found),
            kOk);
  EXPECT_EQ(found.code, c.code);
  const uint64_t deviceBytes = device.sectorCount * kS;
  if (c.size != 0)
    EXPECT_EQ(found.size, c.size);
  else
    EXPECT_LE(found.size, deviceBytes);
  if (uint64_t cap = SizeCapOf(c.code); cap != 0) {
    EXPECT_LE(found.size, cap);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SizeRuleTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SizeCase>& info) { return info.param.name; });

TEST(SizeRules, TransportStreamRangeIsRemembered) {
  TempDir dir;
  CarveImage image(600);
  PutTransportStream(image, 0, 1400, 1000);
  SectorDevice device;
  image.Open(dir, device);
  CFileTypeRecovery engine;
  CarvedFile found;
  ASSERT_EQ(engine.IdentifyFile(kS, &device, ByteView(image.At(0), kS), 0, 0, 600, -1, 0, &found), kOk);
  ASSERT_EQ(engine.context().tsRanges.size(), 1u);
  EXPECT_EQ(engine.context().tsRanges[0].firstSector, 0u);
  EXPECT_EQ(engine.context().tsRanges[0].lastSector, (188u * 1000 + kS - 1) / kS - 1);
}

TEST(SizeRules, CancelDuringReadAheadStopsMeasuring) {
  TempDir dir;
  CarveImage image(400);
  PutGifHeader(image, 0);
  image.Fill(1, 0, 399 * kS, 0x99);
  SectorDevice device;
  image.Open(dir, device);
  CFileTypeRecovery engine;
  int calls = 0;
  engine.SetCallbacks(
      [](void* user, int32_t, int32_t, int32_t, uint64_t, uint64_t, uint64_t, int32_t) -> int32_t {
        return ++*static_cast<int*>(user) == 2 ? RESULT_CANCELLED : 0;
      },
      nullptr, &calls, 90);
  uint64_t skip = 1, filesFound = 0;
  EXPECT_EQ(engine.ExamineSector(kS, ByteView(image.At(0), kS), 0, 0, 400, -1, &device, &skip, &filesFound),
            RESULT_CANCELLED);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(skip, 1u);
  EXPECT_EQ(filesFound, 0u);
  EXPECT_EQ(engine.GetFoundCount(), 0u);
}

TEST(StructureProbe, RecognisesMetadataSectors) {
  std::vector<uint8_t> s(kS, 0);
  auto view = [&] { return ByteView(s.data(), s.size()); };
  EXPECT_FALSE(IsFileSystemStructure(view()));  // zeros: first entry free
  std::memcpy(s.data(), "FILE", 4);
  EXPECT_TRUE(IsFileSystemStructure(view()));
  std::memcpy(s.data(), "\xEB\x3C\x90MSWIN4.1", 11);
  EXPECT_TRUE(IsFileSystemStructure(view()));
  // Three plausible directory entries, then zeros.
  std::fill(s.begin(), s.end(), 0);
  for (int e = 0; e < 3; ++e) {
    uint8_t* d = s.data() + 32 * e;
    std::memcpy(d, e == 0 ? "DOCS       " : "README  TXT", 11);
    d[11] = e == 0 ? 0x10 : 0x20;
    PutLe16(d + 14, 0x6000);            // 12:00
    PutLe16(d + 16, (40 << 9) | (3 << 5) | 5);  // 2020-03-05
    PutLe16(d + 18, (40 << 9) | (3 << 5) | 5);
    PutLe16(d + 22, 0x6000);
    PutLe16(d + 24, (40 << 9) | (3 << 5) | 5);
    PutLe16(d + 26, 3 + e);
    PutLe32(d + 28, e == 0 ? 0 : 100);
  }
  EXPECT_TRUE(IsFileSystemStructure(view()));
  s[32 + 1] = 'a';  // a lower-case short name is no entry
  EXPECT_FALSE(IsFileSystemStructure(view()));
}

TEST(SizeRules, QuickFilterNeverHidesARecognisedSample) {
  // Every sample's first sector that the catalogue recognises passes the
  // quick filter.
  size_t recognised = 0;
  for (const char* folder : {"carving/samples", "signatures"}) {
    const std::string dir = test::FixturePath(folder);
    std::vector<std::string> names;
    ASSERT_EQ(ListFolder(dir, &names), kOk);
    CarveContext context;
    for (const std::string& name : names) {
      std::vector<uint8_t> bytes = test::ReadFile(dir + "/" + name);
      bytes.resize(kS);
      ByteView sector(bytes.data(), kS);
      if (DetectFileType(sector, context) == FileTypeCode::kNone) continue;
      ++recognised;
      EXPECT_TRUE(MayStartFile(sector)) << name;
    }
  }
  EXPECT_GT(recognised, 50u);
}

}  // namespace
}  // namespace mendwell
