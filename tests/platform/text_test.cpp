#include "platform/text.h"

#include <gtest/gtest.h>

namespace mendwell {
namespace {

TEST(Text, Utf16RoundTripsIncludingSurrogatePairs) {
  std::string utf8 = "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xE6\x97\xA5";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
  const uint8_t le[] = {'A', 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 'B', 0};
  EXPECT_EQ(Utf16LeBytesToUtf8(le, 5), "A\xF0\x9F\x98\x80");
  // A lone surrogate becomes the replacement character.
  const uint8_t lone[] = {0x00, 0xD8, 'x', 0};
  EXPECT_EQ(Utf16LeBytesToUtf8(lone, 2), "\xEF\xBF\xBDx");
}

TEST(Text, CutsUtf8AtCharacterBoundaries) {
  EXPECT_EQ(CutUtf8("ab\xC3\xA9", 3), "ab");
  EXPECT_EQ(CutUtf8("ab\xC3\xA9", 4), "ab\xC3\xA9");
  EXPECT_EQ(OemToUtf8("A\x82"), "A\xC3\xA9");
  EXPECT_LT(CompareNoCase("A.txt", "b.txt"), 0);
  EXPECT_EQ(CompareNoCase("ABC", "abc"), 0);
}

}  // namespace
}  // namespace mendwell
