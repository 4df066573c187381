#pragma once

#include <atomic>
#include <memory>

#include "core/Clock.h"
#include "net/WebSocketClient.h"

namespace vlo {

// Keeps a Pusher connection alive: every 30 s of `clock` time, unless `stop` is set, sends
// {"event":"pusher:ping","data":{}} on the socket. Returns within 100 ms of `stop` being set.
// Runs on its own thread; the reader thread owns `stop` and joins the thread.
void RunKickPing(std::atomic<bool>* stop, std::shared_ptr<plx::WebSocketClient> socket,
                 Clock& clock);

inline constexpr int64_t kKickPingIntervalMs = 30'000;

}  // namespace vlo
