#include "cli/json_text.h"

#include <cstdio>

#include "platform/time.h"

namespace mendwell::cli {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(ch);
        }
    }
  }
  return out + "\"";
}

namespace {

std::string FormatTime(uint64_t fileTime, char separator) {
  CalendarTime t = FileTimeToCalendar(fileTime);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d%c%02d:%02d:%02d", t.year, t.month, t.day, separator, t.hour,
                t.minute, t.second);
  return buf;
}

}  // namespace

std::string JsonTime(uint64_t fileTime) {
  return fileTime == 0 ? "null" : "\"" + FormatTime(fileTime, 'T') + "\"";
}

std::string DisplayTime(uint64_t fileTime) { return fileTime == 0 ? "-" : FormatTime(fileTime, ' '); }

}  // namespace mendwell::cli
