#include "platform/byte_view.h"

#include <gtest/gtest.h>

namespace mendwell {
namespace {

TEST(ByteView, ReadsLittleAndBigEndianInsideAndZeroOutside) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  ByteView v(bytes, sizeof bytes);
  EXPECT_EQ(v.le16(0), 0x0201);
  EXPECT_EQ(v.le32(4), 0x08070605u);
  EXPECT_EQ(v.le64(0), 0x0807060504030201ull);
  EXPECT_EQ(v.be16(0), 0x0102);
  EXPECT_EQ(v.be32(0), 0x01020304u);
  // Reads that would pass the end give 0 instead of touching memory.
  EXPECT_EQ(v.le32(5), 0u);
  EXPECT_EQ(v.le64(1), 0u);
  EXPECT_EQ(v.u8(8), 0);
  EXPECT_EQ(v.le16(SIZE_MAX), 0);
  EXPECT_FALSE(v.Has(SIZE_MAX, 2));
  EXPECT_TRUE(v.Has(8, 0));
  EXPECT_EQ(v.Sub(6).size(), 2u);
  EXPECT_TRUE(v.Sub(9).empty());
  EXPECT_FALSE(v.Equals(6, "abc"));
}

}  // namespace
}  // namespace mendwell
