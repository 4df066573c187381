#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "core/Clock.h"
#include "net/WebSocketClient.h"

namespace vlo {

// Notices a chat connection that went silent without closing (the path died, the server hangs):
// after kQuietMs of the clock without any line it sends a PING of its own, and when kAnswerMs
// more pass without a line it closes the socket, which ends the reader's blocked receive so the
// reader reconnects. A dead connection is so noticed within kQuietMs + kAnswerMs.
// One per connection: it runs on a thread of its own from construction; the reader thread calls
// Heard and destroys it (which stops and joins the thread within 100 ms).
class TwitchWatchdog {
 public:
  static constexpr int64_t kQuietMs = 30'000;
  static constexpr int64_t kAnswerMs = 10'000;

  TwitchWatchdog(std::shared_ptr<plx::WebSocketClient> socket, Clock& clock);
  ~TwitchWatchdog();
  TwitchWatchdog(const TwitchWatchdog&) = delete;
  TwitchWatchdog& operator=(const TwitchWatchdog&) = delete;

  // Reader thread: something arrived on the connection.
  void Heard() { heard_.fetch_add(1, std::memory_order_relaxed); }

 private:
  void Run();

  const std::shared_ptr<plx::WebSocketClient> socket_;
  Clock& clock_;
  std::atomic<uint64_t> heard_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace vlo
