// Small helpers for the one-object-per-line JSON output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mendwell::cli {

// A JSON string literal, quotes included.
std::string JsonString(std::string_view text);

// "2023-12-09T15:07:12" for a FILETIME, or null for 0.
std::string JsonTime(uint64_t fileTime);

// "2023-12-09 15:07:12" for a FILETIME, or "-" for 0.
std::string DisplayTime(uint64_t fileTime);

}  // namespace mendwell::cli
