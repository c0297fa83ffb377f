#include "device/sector_device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "support/test_support.h"

namespace mendwell {
namespace {

using test::TempDir;
using test::WriteFile;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 512);
  return v;
}

TEST(SectorDevice, ReadsUpToTheLastSectorAndRefusesOneMore) {
  TempDir dir;
  std::vector<uint8_t> data = Pattern(200 * 512);
  WriteFile(dir.File("img"), data);
  SectorDevice dev;
  ASSERT_EQ(OpenImageDevice(dev, dir.File("img")), kOk);
  EXPECT_EQ(dev.sectorCount, 200u);

  // 150 sectors span three 64 KiB chunks; the run ends on the last sector.
  std::vector<uint8_t> buf(150 * 512, 0xEE);
  uint32_t got = 0;
  ASSERT_EQ(ReadSectors(dev, buf.data(), 50, 150, 512, &got), kOk);
  EXPECT_EQ(got, 150u);
  EXPECT_TRUE(std::equal(buf.begin(), buf.end(), data.begin() + 50 * 512));

  // One sector more: 87, nothing read, output untouched.
  std::vector<uint8_t> probe(151 * 512, 0xEE);
  got = 12345;
  EXPECT_EQ(ReadSectors(dev, probe.data(), 50, 151, 512, &got), kErrInvalidParameter);
  EXPECT_EQ(got, 12345u);
  EXPECT_EQ(probe[0], 0xEE);
  EXPECT_EQ(ReadSectors(dev, probe.data(), UINT64_MAX, 2, 512, &got), kErrInvalidParameter);

  // Count 0 reads nothing and succeeds.
  ASSERT_EQ(ReadSectors(dev, probe.data(), 200, 0, 512, &got), kOk);
  EXPECT_EQ(got, 0u);

  // A byte length that does not fit 31 bits is refused instead of wrapping.
  EXPECT_EQ(ReadSectors(dev, probe.data(), 0, 0x400000, 512, &got), kErrInvalidParameter);

  CloseDevice(dev);
  CloseDevice(dev);  // harmless twice
  EXPECT_FALSE(dev.handle.valid());
}

TEST(SectorDevice, ImageSizesCountWhole512ByteSectors) {
  TempDir dir;
  WriteFile(dir.File("small"), Pattern(1000));
  SectorDevice dev;
  ASSERT_EQ(OpenImageDevice(dev, dir.File("small")), kOk);
  EXPECT_EQ(dev.sectorCount, 1u);
  EXPECT_EQ(OpenImageDevice(dev, dir.File("missing")), kErrFileNotFound);
  EXPECT_EQ(OpenImageDevice(dev, dir.path()), kErrDirectory);
}

TEST(SectorDevice, ReadStoppingPartWayReportsWholeSectorsAndReadFault) {
  TempDir dir;
  std::vector<uint8_t> data = Pattern(100 * 512);
  WriteFile(dir.File("img"), data);
  SectorDevice dev;
  ASSERT_EQ(OpenImageDevice(dev, dir.File("img")), kOk);
  // The file shrinks while open: 10 sectors and a half remain.
  ASSERT_EQ(::truncate(dir.File("img").c_str(), 10 * 512 + 256), 0);
  std::vector<uint8_t> buf(20 * 512);
  uint32_t got = 0;
  EXPECT_EQ(ReadSectors(dev, buf.data(), 0, 20, 512, &got), kErrReadFault);
  EXPECT_EQ(got, 10u);
  // With a 4096-byte sector size the same bytes hold one whole sector.
  EXPECT_EQ(ReadSectors(dev, buf.data(), 0, 2, 4096, &got), kErrReadFault);
  EXPECT_EQ(got, 1u);
}

TEST(SectorDevice, RunLoopsCopyThroughHandles) {
  TempDir dir;
  std::vector<uint8_t> data = Pattern(300 * 512);
  WriteFile(dir.File("src"), data);
  FileHandle src, dst;
  ASSERT_EQ(src.OpenReadOnly(dir.File("src")), kOk);
  ASSERT_EQ(dst.CreateTruncate(dir.File("dst")), kOk);
  std::vector<uint8_t> buf(300 * 512);
  uint32_t n = 0;
  ASSERT_EQ(ReadRun(src, buf.data(), 300, 512, &n), kOk);
  EXPECT_EQ(n, 300u);
  ASSERT_EQ(WriteRun(dst, buf.data(), 300, 512, &n), kOk);
  EXPECT_EQ(n, 300u);
  dst.Close();
  EXPECT_EQ(test::ReadFile(dir.File("dst")), data);
  // Past the end of the source the loop reports a read fault.
  EXPECT_EQ(ReadRun(src, buf.data(), 1, 512, &n), kErrReadFault);
  EXPECT_EQ(n, 0u);

  ASSERT_EQ(src.Seek(0), kOk);
  uint64_t got = 0;
  ASSERT_EQ(ReadWholeFile(src, buf.data(), 1000, &got), kOk);
  EXPECT_EQ(got, 1000u);
  ASSERT_EQ(src.Seek(300 * 512 - 10), kOk);
  EXPECT_EQ(ReadWholeFile(src, buf.data(), 100, &got), kErrReadFault);
  EXPECT_EQ(got, 10u);
}

TEST(SectorDevice, DisksComeFromMendwellDisks) {
  TempDir dir;
  WriteFile(dir.File("a.img"), Pattern(4 * 512));
  WriteFile(dir.File("b.img"), Pattern(9 * 512));
  std::string list = dir.File("a.img") + ":" + dir.File("b.img");
  ::setenv("MENDWELL_DISKS", list.c_str(), 1);
  SectorDevice dev;
  ASSERT_EQ(OpenDiskDevice(dev, 1), kOk);
  EXPECT_EQ(dev.sectorCount, 9u);
  EXPECT_EQ(OpenDiskDevice(dev, 2), kErrFileNotFound);
  uint64_t length = 0;
  ASSERT_EQ(DiskLengthBytes(0, &length), kOk);
  EXPECT_EQ(length, 4u * 512);
  EXPECT_FALSE(IsRemovableDisk(0));
  ::unsetenv("MENDWELL_DISKS");
}

}  // namespace
}  // namespace mendwell
