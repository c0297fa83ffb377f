#include "cli/interrupt.h"

#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include <atomic>

namespace mendwell::cli {

namespace {

std::atomic<WorkerControl*> gTarget{nullptr};
std::atomic<int> gInterrupts{0};  // lock-free, so safe in a signal handler

void OnInterrupt(int) {
  if (gInterrupts.fetch_add(1) > 0) _exit(130);
  if (WorkerControl* c = gTarget.load()) c->RequestCancel();
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
}

void SetInterruptTarget(WorkerControl* control) {
  gTarget.store(control);
  if (control && gInterrupts.load() > 0) control->RequestCancel();
}

bool Interrupted() { return gInterrupts.load() > 0; }

}  // namespace mendwell::cli
