#pragma once

#include <atomic>
#include <ostream>

#include "core/ChatHub.h"

namespace vlo {

// Runs the hub without a window and prints every change to `out` until `stop` becomes true or
// the hub is told to stop. The caller wakes the loop with WakePrintRun after setting `stop`.
// Returns the exit code.
int RunPrint(ChatHub& hub, std::ostream& out, bool json, const std::atomic<bool>& stop);

// Wakes a RunPrint loop so it notices a stop request. Async-signal-unsafe; call from a thread.
void WakePrintRun();

}  // namespace vlo
