// Time: FILETIME values (100 ns units since 1601-01-01, as the on-disk
// formats store them), local calendar time and a monotonic tick.
#pragma once

#include <cstdint>
#include <ctime>

namespace mendwell {

// Seconds between 1601-01-01 and 1970-01-01.
inline constexpr int64_t kFileTimeUnixEpochSeconds = 11644473600LL;

struct CalendarTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// FILETIME of a calendar time taken as UTC; false when any field is not a
// valid calendar value (month 13, 30 February, hour 24, ...) or the year is
// outside 1601..30827.
bool CalendarToFileTime(const CalendarTime& t, uint64_t* fileTime);

// Calendar time (UTC) of a FILETIME.
CalendarTime FileTimeToCalendar(uint64_t fileTime);

uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds = 0);
// Whole seconds since 1970 of a FILETIME (floor).
int64_t FileTimeToUnix(uint64_t fileTime);

// Local time now (localtime_r).
CalendarTime LocalNow();

// Monotonic milliseconds (steady_clock).
uint64_t TickMs();

}  // namespace mendwell
