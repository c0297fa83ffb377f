#include "ntfs/runlist.h"

#include <gtest/gtest.h>

#include "record_builder.h"

namespace mendwell {
namespace {

// A non-resident attribute whose mapping pairs start at 0x40.
std::vector<uint8_t> Attribute(const std::vector<uint8_t>& pairs, size_t length = 0) {
  std::vector<uint8_t> a(length ? length : 0x40 + pairs.size() + 8, 0);
  PutLe32(a.data(), 0x80);
  PutLe32(a.data() + 4, static_cast<uint32_t>(a.size()));
  a[8] = 1;
  PutLe16(a.data() + 0x20, 0x40);
  for (size_t i = 0; i < pairs.size() && 0x40 + i < a.size(); ++i) a[0x40 + i] = pairs[i];
  return a;
}

struct RunlistCase {
  const char* what;
  std::vector<uint8_t> pairs;
  std::vector<NtfsRun> runs;
};

TEST(DecodeRunlist, Table) {
  const RunlistCase cases[] = {
      {"one run, positive delta", {0x21, 0x10, 0x00, 0x01, 0x00}, {{16, 256, false}}},
      {"negative delta", {0x31, 0x05, 0xFF, 0xFF, 0xFF, 0x00}, {{5, -1, false}}},
      {"second run back", {0x11, 0x04, 0x40, 0x11, 0x02, 0xF0, 0x00}, {{4, 0x40, false}, {2, -16, false}}},
      {"sparse run", {0x11, 0x08, 0x20, 0x01, 0x08, 0x11, 0x08, 0x10, 0x00}, {{8, 0x20, false}, {8, 0, true}, {8, 0x10, false}}},
      {"length nibble of 8 ends the list", {0x11, 0x01, 0x01, 0x08, 1, 2, 3, 4, 5, 6, 7, 8}, {{1, 1, false}}},
      {"offset nibble of 8 ends the list", {0x81, 0x01, 1, 2, 3, 4, 5, 6, 7, 8}, {}},
      {"length beyond 32 bits keeps the low half", {0x15, 0x01, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00}, {{1, 2, false}}},
      {"seven-byte negative offset", {0x71, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, {{1, -2, false}}},
      {"empty", {0x00}, {}},
  };
  for (const RunlistCase& c : cases) {
    NtfsRunlist runs;
    DecodeRunlist(ByteView(Attribute(c.pairs).data(), Attribute(c.pairs).size()), runs);
    ASSERT_EQ(runs.size(), c.runs.size()) << c.what;
    for (size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i].length, c.runs[i].length) << c.what;
      EXPECT_EQ(runs[i].offset, c.runs[i].offset) << c.what;
      EXPECT_EQ(runs[i].sparse, c.runs[i].sparse) << c.what;
    }
  }
}

TEST(DecodeRunlist, StaysInsideTheAttribute) {
  // A pair cut by the attribute's end, a mapping-pairs offset past the
  // attribute, and a length field larger than the bytes given.
  std::vector<uint8_t> cut = Attribute({0x11, 0x01, 0x01, 0x33, 0x01, 0x02}, 0x46);
  NtfsRunlist runs;
  DecodeRunlist(ByteView(cut.data(), cut.size()), runs);
  EXPECT_EQ(runs.size(), 1u);

  std::vector<uint8_t> past = Attribute({0x11, 0x01, 0x01});
  PutLe16(past.data() + 0x20, 0xFFF0);
  runs.clear();
  DecodeRunlist(ByteView(past.data(), past.size()), runs);
  EXPECT_TRUE(runs.empty());

  std::vector<uint8_t> lying = Attribute({0x11, 0x01, 0x01, 0x11, 0x01, 0x01});
  PutLe32(lying.data() + 4, 0xFFFFFF00);
  runs.clear();
  DecodeRunlist(ByteView(lying.data(), lying.size()), runs);
  EXPECT_EQ(runs.size(), 2u);
}

TEST(DecodeRunlist, LongRunlistsAreWhole) {
  // 300 runs do not fit a 512-byte sector; they are all decoded.
  std::vector<uint8_t> pairs;
  for (int i = 0; i < 300; ++i) pairs.insert(pairs.end(), {0x11, 0x01, 0x02});
  pairs.push_back(0);
  std::vector<uint8_t> a = Attribute(pairs);
  NtfsRunlist runs;
  EXPECT_EQ(DecodeRunlist(ByteView(a.data(), a.size()), runs), 300u);
}

TEST(RecordToSector, WalksTheMftRuns) {
  // MFT in two runs: 4 clusters at 100, 4 clusters at 40; SPC 2, 2 sectors per record.
  NtfsRunlist mft = {{4, 100, false}, {4, -60, false}};
  const uint64_t origin = 1000;
  struct {
    uint64_t record;
    uint64_t sector;
  } cases[] = {
      {0, origin + 200},     {3, origin + 206},  // inside the first run
      {4, origin + 80},      {7, origin + 86},   // sector index 8 is the second run's start
      {8, origin},           {0xFFFFFFFFFFFFull, origin},  // past the MFT: the origin
  };
  for (const auto& c : cases) EXPECT_EQ(RecordToSector(c.record, mft, 2, 2, origin), c.sector) << c.record;

  NtfsRunlist contiguous = {{0, 50, false}};
  EXPECT_EQ(RecordToSector(3, contiguous, 2, 2, origin), origin);
  EXPECT_EQ(RecordToSector(3, contiguous, 2, 2, origin, ZeroLengthRun::kContiguousMft), origin + 100 + 6);

  NtfsRunlist withHole = {{2, 10, false}, {2, 0, true}};
  EXPECT_EQ(RecordToSector(2, withHole, 2, 2, origin), origin);
}

}  // namespace
}  // namespace mendwell
