#include "app/StopSignals.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <thread>

namespace vlo {

void CatchStopSignals(void (*onStop)()) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread{[signals, onStop] {
    int received = 0;
    sigwait(&signals, &received);
    onStop();
    // A second signal while the orderly stop still runs ends the program at once, as a person
    // pressing Ctrl-C again expects.
    sigwait(&signals, &received);
    std::_Exit(128 + received);
  }}.detach();
}

}  // namespace vlo
