// Progress on stderr: a bar with percent and time left when stderr is a
// terminal, plain lines (one per whole percent step of 5) otherwise.
#pragma once

#include <cstdint>
#include <string>

namespace mendwell::cli {

class ProgressDisplay {
 public:
  ProgressDisplay();
  // A new stage ("Scanning card.img"): ends the current bar.
  void Stage(const std::string& text);
  // secondsLeft -1: no estimate yet. detail is shown after the time.
  void Update(int32_t percent, int32_t secondsLeft, const std::string& detail = "");
  // Ends the bar line (terminal) so that other output starts on a new line.
  void Finish();
  bool interactive() const { return tty_; }

 private:
  bool tty_ = false;
  bool barOpen_ = false;
  int32_t lastPercent_ = -1;
  uint64_t lastDrawMs_ = 0;
};

}  // namespace mendwell::cli
