// Engines whose scan can continue an earlier, interrupted scan of the same
// medium (the combined professional engine) implement this beside the
// engine interface, so the scan driver can ask the user first.
#pragma once

#include <string>

namespace mendwell {

class IResumableScan {
 public:
  virtual ~IResumableScan() = default;
  // True when opening the engine found a usable log of an earlier scan.
  virtual bool HasResumableLog() const = 0;
  // That log's folder.
  virtual std::string ResumableLogFolder() const = 0;
  // Forget the earlier log: the next Scan starts afresh.
  virtual void ClearResumeMark() = 0;
};

}  // namespace mendwell
