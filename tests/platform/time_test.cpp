#include "platform/time.h"

#include <gtest/gtest.h>

namespace mendwell {
namespace {

TEST(Time, FileTimeMatchesKnownValuesAndRejectsInvalidDates) {
  uint64_t ft = 0;
  ASSERT_TRUE(CalendarToFileTime({1970, 1, 1, 0, 0, 0, 0}, &ft));
  EXPECT_EQ(ft, 116444736000000000ull);
  ASSERT_TRUE(CalendarToFileTime({2000, 2, 29, 23, 59, 58, 990}, &ft));
  CalendarTime back = FileTimeToCalendar(ft);
  EXPECT_EQ(back.year, 2000);
  EXPECT_EQ(back.month, 2);
  EXPECT_EQ(back.day, 29);
  EXPECT_EQ(back.second, 58);
  EXPECT_EQ(back.millisecond, 990);
  EXPECT_EQ(FileTimeToUnix(UnixToFileTime(1700000000)), 1700000000);
  EXPECT_FALSE(CalendarToFileTime({2001, 2, 29, 0, 0, 0, 0}, &ft));
  EXPECT_FALSE(CalendarToFileTime({2001, 13, 1, 0, 0, 0, 0}, &ft));
  EXPECT_FALSE(CalendarToFileTime({2001, 1, 1, 24, 0, 0, 0}, &ft));
}

}  // namespace
}  // namespace mendwell
