#include "ntfs/mft_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ntfs/attribute_runs.h"
#include "ntfs/ntfs_attributes.h"
#include "ntfs/ntfs_boot_sector.h"
#include "ntfs/ntfs_entry.h"
#include "record_builder.h"

namespace mendwell {
namespace {

using test::RecordBuilder;

std::vector<uint8_t> Fixed(std::vector<uint8_t> r, FixupParams fixups = {2, 512}) {
  ApplyFixups(r.data(), r.size(), fixups);
  return r;
}

std::vector<uint8_t> Value(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i);
  return v;
}

TEST(ApplyFixups, RestoresTheSectorEnds) {
  // A value that spans the first sector's end comes back whole.
  std::vector<uint8_t> raw = RecordBuilder(40).FileName(5, u"a.txt").Resident(0x80, Value(600, 1)).Build();
  EXPECT_EQ(raw[510], 0x07);
  EXPECT_EQ(raw[1022], 0x07);
  std::vector<uint8_t> fixed = Fixed(raw);
  std::vector<uint8_t> value;
  ASSERT_EQ(ResidentDataInRecord(ByteView(fixed.data(), fixed.size()), &value), kOk);
  EXPECT_EQ(value, Value(600, 1));
}

TEST(ApplyFixups, UsesTheArrayWithoutCheckingTheSequenceNumber) {
  // The second sector still carries an unrelated value at 0x3FE: it is
  // replaced from the array all the same.
  std::vector<uint8_t> raw = RecordBuilder(40).Build();
  PutLe16(raw.data() + 0x3FE, 0xBEEF);
  PutLe16(raw.data() + 0x34, 0x1234);
  std::vector<uint8_t> fixed = Fixed(raw);
  EXPECT_EQ(ByteView(fixed.data(), fixed.size()).le16(0x3FE), 0x1234);
}

TEST(ApplyFixups, NeverWritesOutsideTheRecord) {
  std::vector<uint8_t> small(600, 0xAA);
  small[0x32] = 0x11;
  small[0x33] = 0x22;
  ApplyFixups(small.data(), small.size(), {8, 512});  // claims 8 sectors in 600 bytes
  EXPECT_EQ(small[510], 0x11);
  EXPECT_EQ(small[511], 0x22);
  EXPECT_EQ(std::count(small.begin(), small.end(), 0xAA), 596);
  ApplyFixups(nullptr, 0, {2, 512});
  ApplyFixups(small.data(), small.size(), {2, 0});
}

TEST(BootSector, GeometryFollowsTheSectorSize) {
  std::vector<uint8_t> s(512, 0);
  std::copy_n("NTFS    ", 8, s.begin() + 3);
  PutLe16(s.data() + 0x0B, 512);
  s[0x0D] = 8;
  PutLe64(s.data() + 0x28, 20000);
  PutLe64(s.data() + 0x30, 4);
  s[510] = 0x55;
  s[511] = 0xAA;
  NtfsBootSector boot;
  ASSERT_EQ(ParseNtfsBootSector(ByteView(s.data(), s.size()), &boot), kOk);
  EXPECT_EQ(boot.sectorsPerCluster, 8u);
  EXPECT_EQ(MftStartSector(boot, 2048), 2048u + 32);
  NtfsGeometry g = MakeNtfsGeometry(512, 8, 2048, 20000);
  EXPECT_EQ(g.recordSize, 1024u);
  EXPECT_EQ(g.Fixups().sectorCount, 2u);
  NtfsGeometry g4 = MakeNtfsGeometry(4096, 1, 0, 100);
  EXPECT_EQ(g4.recordSize, 4096u);
  EXPECT_EQ(g4.Fixups().sectorCount, 8u);  // every 512-byte block is protected
  EXPECT_EQ(g4.Fixups().stride, 512u);

  s[0x0D] = 0;  // no cluster size
  EXPECT_EQ(ParseNtfsBootSector(ByteView(s.data(), s.size()), &boot), kErrInvalidParameter);
}

// The attribute walk on a good record and its broken variants.
TEST(AttributeWalk, StopsAtEveryHostileLength) {
  const std::vector<uint8_t> good = Fixed(RecordBuilder(40).FileName(5, u"a.txt").Resident(0x80, Value(10, 0)).Build());
  auto types = [](const std::vector<uint8_t>& r) {
    std::vector<uint32_t> seen;
    AttributeWalk walk = RecordWalk(ByteView(r.data(), 1024), kStopAtZeroType | kStopFromFreeFill);
    NtfsAttribute a;
    while (walk.Next(&a) && seen.size() < 100) seen.push_back(a.type);
    return seen;
  };
  EXPECT_EQ(types(good), (std::vector<uint32_t>{0x30, 0x80}));

  struct Variant {
    const char* what;
    size_t offset;
    uint32_t value;
    size_t expected;
  } variants[] = {
      {"first attribute length 0", 0x3C, 0, 0},
      {"first attribute length 4 (inside its own header)", 0x3C, 4, 0},
      {"first attribute past the record", 0x3C, 0x10000, 0},
      {"second attribute runs past the record", 0x38 + 0x68 + 4, 0x400, 1},
      {"first-attribute offset past bytes in use", 0x14, 0x3F0, 0},
      {"first-attribute offset far outside", 0x14, 0xFFF8, 0},
      {"bytes in use beyond the record", 0x18, 0xFFFFFFFF, 2},
      {"free-fill type", 0x38, 0xFDFDFDFD, 0},
  };
  for (const Variant& v : variants) {
    std::vector<uint8_t> r = good;
    if (v.offset == 0x14)
      PutLe16(r.data() + v.offset, static_cast<uint16_t>(v.value));
    else
      PutLe32(r.data() + v.offset, v.value);
    EXPECT_EQ(types(r).size(), v.expected) << v.what;
  }
}

TEST(FillEntryFromRecord, TakesNamesTimesAndSizes) {
  NtfsVolume volume;  // no device: no content check
  volume.geometry = MakeNtfsGeometry(512, 8, 2048, 100000);
  volume.driveLetter = 7;
  std::vector<uint8_t> r = Fixed(RecordBuilder(70)
                                     .FileName(42, u"LONGFI~1.TXT", 2, 5, 1000)
                                     .FileName(42, u"long file name \u00e9.txt", 1, 5, 1000)
                                     .Resident(0x80, Value(9, 0), 3)  // a named stream: size unchanged
                                     .NonResident(0x80, {0x11, 0x02, 0x10, 0x00}, 123456)
                                     .Build());
  FileRecord e;
  NtfsEntryLinks links;
  ASSERT_TRUE(FillEntryFromRecord(ByteView(r.data(), 1024), 9999, kEntryModeFiles, volume, &e, &links));
  EXPECT_EQ(e.Name(), "long file name \xc3\xa9.txt");
  EXPECT_EQ(links.relationName, "LONGFI~1.TXT");
  EXPECT_EQ(links.parentRecord, 42u);
  EXPECT_EQ(e.size, 123456u);
  EXPECT_EQ(e.created, 1000u);
  EXPECT_EQ(e.modified, 1001u);
  EXPECT_EQ(e.accessed, 1002u);
  EXPECT_EQ(e.nodeId, 70u);
  EXPECT_EQ(e.location, 9999u);
  EXPECT_EQ(e.origin, 2048u);
  EXPECT_EQ(e.clusterSize, 4096);
  EXPECT_EQ(e.driveLetter, 7);
  EXPECT_EQ(e.isFolder, 0u);
  EXPECT_EQ(e.deleted, 1u);
  EXPECT_EQ(e.intact, 1u);

  std::vector<uint8_t> folder = Fixed(RecordBuilder(80, kRecordDirectory).FileName(5, u"dir", 1).Build());
  ASSERT_TRUE(FillEntryFromRecord(ByteView(folder.data(), 1024), 1, kEntryModeFolders, volume, &e, &links));
  EXPECT_EQ(e.isFolder, 1u);
  EXPECT_EQ(e.intact, 1u);
}

TEST(FillEntryFromRecord, MakesNoEntryForSystemExtensionOrNamelessRecords) {
  NtfsVolume volume;
  FileRecord e;
  auto made = [&](const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> r = Fixed(raw);
    return FillEntryFromRecord(ByteView(r.data(), r.size()), 0, kEntryModeFiles, volume, &e, nullptr);
  };
  EXPECT_FALSE(made(RecordBuilder(11).FileName(5, u"$Extend").Build()));
  EXPECT_FALSE(made(RecordBuilder(90).FileName(5, u"x").BaseRecord(40).Build()));
  EXPECT_FALSE(made(RecordBuilder(90).Resident(0x80, Value(4, 0)).Build()));
  std::vector<uint8_t> noSignature = RecordBuilder(90).FileName(5, u"x").Build();
  noSignature[0] = 'B';
  EXPECT_FALSE(made(noSignature));
  // A name longer than its attribute is cut at the attribute's end.
  std::vector<uint8_t> r = Fixed(RecordBuilder(90).FileName(5, u"abcd").Build());
  r[0x38 + 0x18 + 0x40] = 200;
  ASSERT_TRUE(FillEntryFromRecord(ByteView(r.data(), 1024), 0, kEntryModeFiles, volume, &e, nullptr));
  EXPECT_EQ(e.Name().substr(0, 4), "abcd");
  EXPECT_LE(e.Name().size(), 8u);
}

TEST(ResidentData, Results) {
  auto read = [](const std::vector<uint8_t>& raw, std::vector<uint8_t>* v) {
    std::vector<uint8_t> r = Fixed(raw);
    return ResidentDataInRecord(ByteView(r.data(), r.size()), v);
  };
  std::vector<uint8_t> v;
  EXPECT_EQ(read(RecordBuilder(40).FileName(5, u"a").Resident(0x80, Value(5, 9)).Build(), &v), kOk);
  EXPECT_EQ(v, Value(5, 9));
  EXPECT_EQ(read(RecordBuilder(40).FileName(5, u"a").Resident(0x80, {}).Build(), &v), kOk);
  EXPECT_TRUE(v.empty());
  EXPECT_EQ(read(RecordBuilder(40).FileName(5, u"a").Build(), &v), kNtfsNotResident);
  EXPECT_EQ(read(RecordBuilder(40).NonResident(0x80, {0x11, 1, 1}, 100).Build(), &v), kNtfsNotResident);
  std::vector<uint8_t> lying = RecordBuilder(40).Resident(0x80, Value(8, 0)).Build();
  PutLe32(lying.data() + 0x38 + 0x10, 5000);  // value length past the attribute
  EXPECT_EQ(read(lying, &v), kErrInvalidParameter);
}

TEST(Decoders, SurviveMutatedRecords) {
  // Random byte changes in a record with every attribute kind: the decoders
  // stay inside the record whatever the bytes say (checked under the
  // sanitizers).
  const std::vector<uint8_t> good = Fixed(RecordBuilder(40)
                                              .FileName(5, u"name.txt", 2)
                                              .FileName(5, u"long name.txt", 1)
                                              .List({{0x80, 40}, {0x30, 41}})
                                              .Resident(0x80, Value(40, 3))
                                              .NonResident(0x80, {0x21, 0x04, 0x00, 0x01, 0x01, 0x02, 0x11, 0x01, 0xF0, 0x00}, 9000)
                                              .Build());
  std::minstd_rand random(12345);
  NtfsVolume volume;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> r = good;
    int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) r[random() % r.size()] = static_cast<uint8_t>(random());
    ByteView view(r.data(), r.size());
    FileRecord entry;
    NtfsEntryLinks links;
    FillEntryFromRecord(view, 0, round % 2, volume, &entry, &links);
    EXPECT_LT(entry.Name().size(), kFileRecordNameSize);
    std::vector<uint8_t> value;
    if (ResidentDataInRecord(view, &value) == kOk) {
      EXPECT_LT(value.size(), r.size());
    }
    NtfsRunlist runs;
    FindAttributeRunsInRecord(view, kAttrData, runs);
    EXPECT_LT(runs.size(), r.size());
  }
}

}  // namespace
}  // namespace mendwell
