#pragma once

// What a simulated platform API put into its chat after answering, for tests to wait on: the
// chat copy of a sent message, or the notice of a deletion, time-out or ban. Thread-safe.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace vlo::sim {

struct ChatDelivery {
  enum class Kind { Echo, Deletion, Ban, Clear };
  Kind kind{Kind::Echo};
  std::string id;    // the message id (Echo, Deletion) or the user id (Ban)
  std::string text;  // the IRC line, the Pusher frame, or the YouTube event's page id
  int clients{0};    // connections that got it; YouTube's readers poll, so 0 there
};

class ChatDeliveries {
 public:
  void Add(ChatDelivery delivery);
  std::vector<ChatDelivery> All() const;
  // Blocks (real time, bounded) until `count` deliveries were made in total.
  bool WaitFor(size_t count, int timeoutMs = 5000) const;

 private:
  mutable std::mutex mutex_;  // guards every member below
  mutable std::condition_variable changed_;
  std::vector<ChatDelivery> deliveries_;
};

}  // namespace vlo::sim
