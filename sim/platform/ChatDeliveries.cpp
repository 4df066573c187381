#include "sim/platform/ChatDeliveries.h"

#include <chrono>

namespace vlo::sim {

void ChatDeliveries::Add(ChatDelivery delivery) {
  {
    std::lock_guard lock{mutex_};
    deliveries_.push_back(std::move(delivery));
  }
  changed_.notify_all();
}

std::vector<ChatDelivery> ChatDeliveries::All() const {
  std::lock_guard lock{mutex_};
  return deliveries_;
}

bool ChatDeliveries::WaitFor(size_t count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return changed_.wait_for(lock, std::chrono::milliseconds{timeoutMs},
                           [&] { return deliveries_.size() >= count; });
}

}  // namespace vlo::sim
