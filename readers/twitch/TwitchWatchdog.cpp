#include "readers/twitch/TwitchWatchdog.h"

#include <chrono>

#include "net/CallControl.h"

namespace vlo {

TwitchWatchdog::TwitchWatchdog(std::shared_ptr<plx::WebSocketClient> socket, Clock& clock)
    : socket_{std::move(socket)}, clock_{clock}, thread_{[this] { Run(); }} {}

TwitchWatchdog::~TwitchWatchdog() {
  stop_.exchange(true);
  thread_.join();
}

// Watchdog thread.
void TwitchWatchdog::Run() {
  while (!stop_.load()) {
    // A quiet spell: the wait ends early (false) whenever a line arrives, and starts again.
    const uint64_t before = heard_.load();
    const auto quiet = [&] { return !stop_.load() && heard_.load() == before; };
    if (!clock_.WaitWhile(kQuietMs, quiet)) continue;
    socket_->SendText("PING :tmi.twitch.tv");
    const auto sent = std::chrono::steady_clock::now();
    if (!clock_.WaitWhile(kAnswerMs, quiet)) continue;
    if (!plx::IdleTimer::WaitForRealFloor(sent, quiet)) continue;
    socket_->Close();
    return;
  }
}

}  // namespace vlo
