#pragma once

// Work a simulated platform does a moment after it answered a call: the chat copy of a sent
// message, the notice of a deletion or ban. Runs posted tasks on one thread of its own, each
// when its delay (real time) is over, in due order.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace vlo::sim {

class DelayedTasks {
 public:
  DelayedTasks() = default;
  ~DelayedTasks();  // Stop
  DelayedTasks(const DelayedTasks&) = delete;
  DelayedTasks& operator=(const DelayedTasks&) = delete;

  // Any thread. Ignored after Stop.
  void Post(int delayMs, std::function<void()> task);
  // Drops the tasks not yet due and joins the thread (a running task finishes first). Any
  // thread but the task thread; any number of times.
  void Stop();

 private:
  using Clock = std::chrono::steady_clock;
  void Run();

  std::mutex mutex_;  // guards every member below
  std::condition_variable changed_;
  std::multimap<Clock::time_point, std::function<void()>> tasks_;
  bool stopped_{false};
  std::thread thread_;  // started by the first Post, joined by Stop
};

}  // namespace vlo::sim
