// Ctrl-C: the first SIGINT asks the running driver to cancel through its
// progress callback (the work stops at its next progress call and the
// command reports it); a second one ends the program at once.
#pragma once

#include "engine/worker_control.h"

namespace mendwell::cli {

void InstallInterruptHandler();
// The driver whose work Ctrl-C cancels (null: none).
void SetInterruptTarget(WorkerControl* control);
bool Interrupted();

}  // namespace mendwell::cli
