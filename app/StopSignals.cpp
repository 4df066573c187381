#include "app/StopSignals.h"

#include <pthread.h>
#include <signal.h>

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
  }}.detach();
}

}  // namespace vlo
