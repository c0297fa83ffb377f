// Copying a row of a partitioned image file into an image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "device/image_copy.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

using test::FixturePath;

struct Call {
  int32_t percent;
  uint64_t done, total;
  int32_t secondsLeft;
};

struct Recorder {
  std::vector<Call> calls;
  size_t cancelAt = 0;  // 0: never
};

int32_t Record(void* userData, int32_t percent, uint64_t done, uint64_t total, int32_t secondsLeft) {
  Recorder* r = static_cast<Recorder*>(userData);
  r->calls.push_back({percent, done, total, secondsLeft});
  return r->cancelAt != 0 && r->calls.size() == r->cancelAt ? RESULT_CANCELLED : 0;
}

// Whether a file holds exactly the sectors [start, start + count) of a disk.
bool HoldsRange(const std::string& file, const std::string& disk, uint64_t start, uint64_t count) {
  if (std::filesystem::file_size(file) != count * 512) return false;
  return test::RunCommand("cmp -s -n " + std::to_string(count * 512) + " -i 0:" + std::to_string(start * 512) + " '" +
                          file + "' '" + disk + "'") == 0;
}

class ImageCopy : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("MENDWELL_DISKS", FixturePath("disk_mbr.img").c_str(), 1); }
  test::TempDir dir_;
};

TEST_F(ImageCopy, PartitionRangesAreCopiedExactlyOverALargerFile) {
  // The whole FAT32 partition, and a run that ends with a short chunk.
  const struct {
    uint64_t start, count;
  } cases[] = {{2048, 73728}, {96256, 1000}};
  for (const auto& c : cases) {
    const std::string out = dir_.File("part.img");
    test::WriteFile(out, {1, 2, 3});
    std::filesystem::resize_file(out, 40 * 1024 * 1024);  // longer than any case
    Recorder recorder;
    ImageCopyJob job;
    job.progress = Record;
    ASSERT_EQ(CopyToImage(job, 0, c.start, c.count, out, &recorder), kOk);
    EXPECT_TRUE(HoldsRange(out, FixturePath("disk_mbr.img"), c.start, c.count)) << c.start;
    ASSERT_FALSE(recorder.calls.empty());
    EXPECT_EQ(recorder.calls.front().secondsLeft, -1);
    EXPECT_EQ(recorder.calls.back().percent, 100);
    EXPECT_EQ(recorder.calls.back().done, c.count);
    for (size_t i = 0; i < recorder.calls.size(); ++i) {
      EXPECT_EQ(recorder.calls[i].total, c.count);
      EXPECT_EQ(recorder.calls[i].done, std::min<uint64_t>((i + 1) * 128, c.count));
    }
    EXPECT_FALSE(job.disk.valid());
    EXPECT_FALSE(job.image.valid());
  }
}

TEST_F(ImageCopy, WholeDiskWithCountZeroCopiesTheDiskLength) {
  const std::string out = dir_.File("disk.img");
  ImageCopyJob job;
  ASSERT_EQ(CopyToImage(job, 0, 0, 0, out, nullptr), kOk);
  EXPECT_EQ(std::filesystem::file_size(out), std::filesystem::file_size(FixturePath("disk_mbr.img")));
}

TEST_F(ImageCopy, CancelLeavesThePartialImage) {
  const std::string out = dir_.File("partial.img");
  Recorder recorder;
  recorder.cancelAt = 3;
  ImageCopyJob job;
  job.progress = Record;
  Status st = CopyToImage(job, 0, 2048, 73728, out, &recorder);
  EXPECT_EQ(st, RESULT_CANCELLED);
  EXPECT_EQ(ImageCopyResult(st), kImageCancelled);
  EXPECT_EQ(recorder.calls.size(), 3u);
  EXPECT_EQ(std::filesystem::file_size(out), 3u * 65536);
}

TEST_F(ImageCopy, RefusesToWriteOverItsSource) {
  const std::string source = dir_.File("source.img");
  std::filesystem::copy_file(FixturePath("disk_gpt.img"), source);
  ::setenv("MENDWELL_DISKS", source.c_str(), 1);
  ImageCopyJob job;
  Status st = CopyToImage(job, 0, 2048, 100, source, nullptr);
  EXPECT_EQ(st, kErrInvalidParameter);
  EXPECT_EQ(ImageCopyResult(st), kImageFailed);
  EXPECT_TRUE(HoldsRange(FixturePath("disk_gpt.img"), source, 0, 81920));
}

TEST_F(ImageCopy, FailuresAreReported) {
  ImageCopyJob job;
  EXPECT_EQ(CopyToImage(job, 5, 0, 0, dir_.File("a.img"), nullptr), kErrFileNotFound);
  EXPECT_EQ(CopyToImage(job, 0, 0, 10, dir_.File("no/such/folder/a.img"), nullptr), kErrFileNotFound);
  // A run past the end of the disk stops at the end with a read fault;
  // what was read stays in the image.
  const std::string out = dir_.File("short.img");
  EXPECT_EQ(CopyToImage(job, 0, 163800, 100, out, nullptr), kErrReadFault);
  EXPECT_EQ(std::filesystem::file_size(out), 40u * 512);
  EXPECT_EQ(ImageCopyResult(kErrReadFault), kImageFailed);
  EXPECT_EQ(ImageCopyResult(kOk), kImageComplete);
}

}  // namespace
}  // namespace mendwell
