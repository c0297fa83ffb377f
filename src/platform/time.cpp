#include "platform/time.h"

#include <chrono>

namespace mendwell {

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's
// days_from_civil).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(y + (m <= 2));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

}  // namespace

bool CalendarToFileTime(const CalendarTime& t, uint64_t* fileTime) {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 ||
      t.second < 0 || t.second > 59 || t.millisecond < 0 || t.millisecond > 999)
    return false;
  int64_t days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
  int64_t seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second + kFileTimeUnixEpochSeconds;
  *fileTime = static_cast<uint64_t>(seconds) * 10000000ULL + static_cast<uint64_t>(t.millisecond) * 10000ULL;
  return true;
}

CalendarTime FileTimeToCalendar(uint64_t fileTime) {
  CalendarTime t;
  uint64_t totalSeconds = fileTime / 10000000ULL;
  t.millisecond = static_cast<int>((fileTime % 10000000ULL) / 10000ULL);
  int64_t unixSeconds = static_cast<int64_t>(totalSeconds) - kFileTimeUnixEpochSeconds;
  int64_t days = unixSeconds >= 0 ? unixSeconds / 86400 : (unixSeconds - 86399) / 86400;
  int64_t rest = unixSeconds - days * 86400;
  CivilFromDays(days, &t.year, &t.month, &t.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest % 3600 / 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds) {
  return static_cast<uint64_t>(seconds + kFileTimeUnixEpochSeconds) * 10000000ULL + nanoseconds / 100;
}

int64_t FileTimeToUnix(uint64_t fileTime) {
  return static_cast<int64_t>(fileTime / 10000000ULL) - kFileTimeUnixEpochSeconds;
}

CalendarTime LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  CalendarTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  return t;
}

uint64_t TickMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace mendwell
