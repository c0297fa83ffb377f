// The checks made before a medium is copied into an image file.
#include <gtest/gtest.h>

#include "app/image_destination.h"
#include "support/test_support.h"

namespace mendwell {
namespace {

TEST(ImageDestination, RefusalsInTheirOrder) {
  constexpr uint64_t kGiB = 1ULL << 30;
  using C = ImageDestinationCheck;
  const struct {
    bool onSource;
    const char* fileSystem;
    bool freeKnown;
    uint64_t freeBytes;
    uint64_t sourceBytes;
    C verdict;
  } cases[] = {
      {true, "ext4", true, 100 * kGiB, 1, C::kOnSourceVolume},
      {false, "FAT32", true, 100 * kGiB, 4 * kGiB - 1, C::kAccepted},
      // A FAT32 file holds at most 4 GiB - 1 byte.
      {false, "FAT32", true, 100 * kGiB, 4 * kGiB, C::kFat32TooSmall},
      {false, "FAT", true, 100 * kGiB, 2 * kGiB, C::kAccepted},
      {false, "FAT", true, 100 * kGiB, 2 * kGiB + 1, C::kFatTooSmall},
      {false, "exFAT", true, 100 * kGiB, 5 * kGiB, C::kAccepted},
      {false, "NTFS", true, 10, 11, C::kNotEnoughSpace},
      {false, "NTFS", true, 11, 11, C::kAccepted},
      {false, "", false, 0, 100 * kGiB, C::kAccepted},
  };
  for (const auto& c : cases) {
    DestinationVolume v;
    v.onSource = c.onSource;
    v.fileSystem = c.fileSystem;
    v.freeKnown = c.freeKnown;
    v.freeBytes = c.freeBytes;
    EXPECT_EQ(CheckImageDestination(c.sourceBytes, v), c.verdict) << c.fileSystem << " " << c.sourceBytes;
  }
  EXPECT_STREQ(ImageDestinationMessageId(C::kOnSourceVolume), "MSG0218");
  EXPECT_STREQ(ImageDestinationMessageId(C::kFatTooSmall), "MSG0219");
  EXPECT_STREQ(ImageDestinationMessageId(C::kFat32TooSmall), "MSG0220");
  EXPECT_STREQ(ImageDestinationMessageId(C::kNotEnoughSpace), "MSG0221");
}

TEST(ImageDestination, TheSourceFileItselfIsOnTheSource) {
  test::TempDir dir;
  test::WriteFile(dir.File("source.img"), std::vector<uint8_t>(4096, 0));
  EXPECT_TRUE(DescribeDestination(dir.File("source.img"), dir.File("source.img")).onSource);
  DestinationVolume other = DescribeDestination(dir.File("copy.img"), dir.File("source.img"));
  EXPECT_FALSE(other.onSource);
  EXPECT_TRUE(other.freeKnown);
}

}  // namespace
}  // namespace mendwell
