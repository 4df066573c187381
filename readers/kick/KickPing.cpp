#include "readers/kick/KickPing.h"

#include "readers/kick/KickRequests.h"

namespace vlo {

void RunKickPing(std::atomic<bool>* stop, std::shared_ptr<plx::WebSocketClient> socket,
                 Clock& clock) {
  const auto running = [stop] { return !stop->load(); };
  while (clock.WaitWhile(kKickPingIntervalMs, running)) {
    socket->SendText(kPusherPingFrame);
  }
}

}  // namespace vlo
