#include "sim/platform/DelayedTasks.h"

namespace vlo::sim {

DelayedTasks::~DelayedTasks() { Stop(); }

void DelayedTasks::Post(int delayMs, std::function<void()> task) {
  std::lock_guard lock{mutex_};
  if (stopped_) return;
  tasks_.emplace(Clock::now() + std::chrono::milliseconds{delayMs}, std::move(task));
  if (!thread_.joinable()) thread_ = std::thread{[this] { Run(); }};
  changed_.notify_all();
}

void DelayedTasks::Stop() {
  std::thread thread;
  {
    std::lock_guard lock{mutex_};
    stopped_ = true;
    tasks_.clear();
    thread = std::move(thread_);
  }
  changed_.notify_all();
  if (thread.joinable()) thread.join();
}

void DelayedTasks::Run() {
  std::unique_lock lock{mutex_};
  while (!stopped_) {
    if (tasks_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const auto due = tasks_.begin()->first;
    if (Clock::now() < due) {
      changed_.wait_until(lock, due);
      continue;
    }
    std::function<void()> task = std::move(tasks_.begin()->second);
    tasks_.erase(tasks_.begin());
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace vlo::sim
