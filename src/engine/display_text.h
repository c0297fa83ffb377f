// The two formatters every front end uses: sizes and durations.
#pragma once

#include <cstdint>
#include <string>

namespace mendwell {

// "1023 Bytes", "1.50 KB", "3.00 GB" (binary units, two decimals).
std::string SizeText(int64_t bytes);

// "1 Hour 2 Min", "1 Min 5 Sec", "59 Sec".
std::string DurationText(int64_t seconds);

}  // namespace mendwell
