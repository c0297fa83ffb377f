#include "cli/progress_display.h"

#include <unistd.h>

#include <cstdio>

#include "cli/cli_text.h"
#include "engine/display_text.h"
#include "platform/time.h"

namespace mendwell::cli {

ProgressDisplay::ProgressDisplay() : tty_(::isatty(STDERR_FILENO) == 1) {}

void ProgressDisplay::Stage(const std::string& text) {
  Finish();
  std::fprintf(stderr, "%s\n", text.c_str());
  lastPercent_ = -1;
}

void ProgressDisplay::Update(int32_t percent, int32_t secondsLeft, const std::string& detail) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  // -1: no estimate yet; below that: no time to show at all.
  std::string time = secondsLeft == -1 ? Msg("MSG0705")
                     : secondsLeft < -1 ? std::string()
                                        : Msg("MSG0708") + DurationText(secondsLeft);
  if (tty_) {
    uint64_t now = TickMs();
    if (percent == lastPercent_ && now - lastDrawMs_ < 200) return;
    lastDrawMs_ = now;
    lastPercent_ = percent;
    char bar[31];
    int filled = percent * 30 / 100;
    for (int i = 0; i < 30; ++i) bar[i] = i < filled ? '#' : '.';
    bar[30] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%  %s%s%s\033[K", bar, percent, time.c_str(), detail.empty() ? "" : "  ",
                 detail.c_str());
    std::fflush(stderr);
    barOpen_ = true;
    return;
  }
  if (lastPercent_ >= 0 && percent / 5 == lastPercent_ / 5 && percent != 100) return;
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  std::fprintf(stderr, "%3d%%  %s%s%s\n", percent, time.c_str(), detail.empty() ? "" : "  ", detail.c_str());
}

void ProgressDisplay::Finish() {
  if (barOpen_) {
    std::fprintf(stderr, "\n");
    barOpen_ = false;
  }
}

}  // namespace mendwell::cli
