#pragma once

namespace vlo {

// Blocks SIGINT and SIGTERM in the calling thread (and so in every thread started after it) and
// takes them on one thread of its own with sigwait, so that shutdown runs as ordinary code.
// `onStop` runs on that thread at the first signal; it may only touch objects that live until
// the process exits. Call once, from main, before any other thread starts.
void CatchStopSignals(void (*onStop)());

}  // namespace vlo
