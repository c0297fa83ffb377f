#include "engine/display_text.h"

#include <gtest/gtest.h>

namespace mendwell {
namespace {

TEST(DisplayText, SizesAndDurations) {
  const struct {
    int64_t bytes;
    const char* text;
  } sizes[] = {{0, "0 Bytes"},           {1023, "1023 Bytes"},         {1024, "1.00 KB"},
               {1536, "1.50 KB"},        {3221225472LL, "3.00 GB"},    {(1LL << 40) * 5 / 2, "2.50 TB"},
               {-5, "-5 Bytes"},         {(1LL << 20) - 1, "1024.00 KB"}};
  for (const auto& c : sizes) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
  EXPECT_EQ(DurationText(3725), "1 Hour 2 Min");
  EXPECT_EQ(DurationText(3600), "1 Hour 0 Min");
  EXPECT_EQ(DurationText(65), "1 Min 5 Sec");
  EXPECT_EQ(DurationText(59), "59 Sec");
  EXPECT_EQ(DurationText(-1), "-1 Sec");
}

}  // namespace
}  // namespace mendwell
