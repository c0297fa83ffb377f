// The cancel protocol shared by the scan, search and recovery drivers.
//
// A worker's progress callback runs under the lock; a front end holds the
// same lock while it asks the user whether to cancel, so the worker pauses
// at its next progress call until the question is answered. A confirmed
// cancel sets the flag, which the next progress call turns into
// RESULT_CANCELLED; the front end then waits for the finished flag.
#pragma once

#include <atomic>
#include <mutex>

namespace mendwell {

class WorkerControl {
 public:
  std::mutex& lock() { return lock_; }
  bool cancelRequested() const { return cancel_.load(); }
  bool finished() const { return finished_.load(); }
  void MarkFinished() { finished_.store(true); }

  // Front end: the cancel question opens (takes the lock; the worker pauses
  // at its next progress call).
  void BeginCancelQuestion() { lock_.lock(); }
  // Front end: the question is answered. Confirmed: set the cancel flag,
  // release the lock, then wait (polling every 50 ms) until the worker has
  // finished. Otherwise just release the lock.
  void EndCancelQuestion(bool confirmed);
  // Both steps at once, for a cancel that needs no question (Ctrl-C).
  void Cancel() {
    BeginCancelQuestion();
    EndCancelQuestion(true);
  }
  // Sets the flag without waiting (from a signal-watching thread).
  void RequestCancel() { cancel_.store(true); }

 private:
  std::mutex lock_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
};

}  // namespace mendwell
