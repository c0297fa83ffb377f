#include "engine/display_text.h"

#include <cstdio>

namespace mendwell {

std::string SizeText(int64_t v) {
  char buf[64];
  const double d = static_cast<double>(v);
  if (v >= (int64_t{1} << 40))
    std::snprintf(buf, sizeof buf, "%.2f TB", d / static_cast<double>(int64_t{1} << 40));
  else if (v >= (int64_t{1} << 30))
    std::snprintf(buf, sizeof buf, "%.2f GB", d / static_cast<double>(int64_t{1} << 30));
  else if (v >= (int64_t{1} << 20))
    std::snprintf(buf, sizeof buf, "%.2f MB", d / static_cast<double>(int64_t{1} << 20));
  else if (v >= 1024)
    std::snprintf(buf, sizeof buf, "%.2f KB", d / 1024.0);
  else
    std::snprintf(buf, sizeof buf, "%d Bytes", static_cast<int32_t>(static_cast<uint32_t>(v)));
  return buf;
}

std::string DurationText(int64_t s) {
  char buf[64];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%d Hour %d Min", static_cast<int>(s / 3600), static_cast<int>(s % 3600 / 60));
  else if (s >= 60)
    std::snprintf(buf, sizeof buf, "%d Min %d Sec", static_cast<int>(s / 60), static_cast<int>(s % 60));
  else
    std::snprintf(buf, sizeof buf, "%d Sec", static_cast<int>(s));
  return buf;
}

}  // namespace mendwell
