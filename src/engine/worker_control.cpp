#include "engine/worker_control.h"

#include <chrono>
#include <thread>

namespace mendwell {

void WorkerControl::EndCancelQuestion(bool confirmed) {
  if (confirmed) cancel_.store(true);
  lock_.unlock();
  if (!confirmed) return;
  while (!finished_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace mendwell
