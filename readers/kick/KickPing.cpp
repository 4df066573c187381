#include "readers/kick/KickPing.h"

#include <chrono>

#include "net/CallControl.h"
#include "readers/kick/KickRequests.h"

namespace vlo {

void RunKickPing(std::atomic<bool>* stop, std::shared_ptr<plx::WebSocketClient> socket,
                 Clock& clock, const std::atomic<uint64_t>* heard) {
  const auto running = [stop] { return !stop->load(); };
  while (clock.WaitWhile(kKickPingIntervalMs, running)) {
    const uint64_t before = heard->load();
    socket->SendText(kPusherPingFrame);
    const auto sent = std::chrono::steady_clock::now();
    const auto unanswered = [&] { return running() && heard->load() == before; };
    if (clock.WaitWhile(kKickPongWaitMs, unanswered) &&
        plx::IdleTimer::WaitForRealFloor(sent, unanswered)) {
      socket->Close();
      return;
    }
  }
}

}  // namespace vlo
