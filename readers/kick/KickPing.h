#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/Clock.h"
#include "net/WebSocketClient.h"

namespace vlo {

inline constexpr int64_t kKickPingIntervalMs = 30'000;
inline constexpr int64_t kKickPongWaitMs = 10'000;

// Keeps a Pusher connection alive and notices when it died without closing: every 30 s of
// `clock` time, unless `stop` is set, sends {"event":"pusher:ping","data":{}}; when no frame at
// all arrives within 10 s after it (`heard` counts the frames the reader received), closes the
// socket, so the reader's blocked receive ends and it reconnects. A dead connection is so noticed
// within 40 s. Returns within 100 ms of `stop` being set. Runs on its own thread; the reader
// thread owns `stop` and `heard` and joins the thread.
void RunKickPing(std::atomic<bool>* stop, std::shared_ptr<plx::WebSocketClient> socket,
                 Clock& clock, const std::atomic<uint64_t>* heard);

}  // namespace vlo
