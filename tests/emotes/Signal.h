#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vlo::test {

// Counts callback calls from other threads; tests wait (bounded, real time) for a count.
class Signal {
 public:
  // Notifies under the lock, so that a waiter that then destroys the signal cannot do so while
  // the notification is still being delivered.
  void Bump() {
    std::lock_guard lock{mutex_};
    ++count_;
    changed_.notify_all();
  }
  bool WaitFor(int count, int timeoutMs = 10000) {
    std::unique_lock lock{mutex_};
    return changed_.wait_for(lock, std::chrono::milliseconds{timeoutMs},
                             [&] { return count_ >= count; });
  }
  int Count() {
    std::lock_guard lock{mutex_};
    return count_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_{0};
};

}  // namespace vlo::test
