#include "core/Clock.h"

#include <algorithm>
#include <thread>

#include "core/ChatMessage.h"

namespace vlo {

namespace {

class RealClock final : public Clock {
 public:
  int64_t NowMs() override { return plx::nowMs(); }

  bool WaitWhile(int64_t ms, const std::function<bool()>& wanted) override {
    using std::chrono::milliseconds;
    const auto deadline = std::chrono::steady_clock::now() + milliseconds{std::max<int64_t>(ms, 0)};
    while (true) {
      if (!wanted()) return false;
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::steady_clock::duration::zero()) break;
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(left, milliseconds{100}));
    }
    return wanted();
  }
};

}  // namespace

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

TestClock::TestClock(int64_t startMs, bool autoAdvance)
    : now_{startMs}, autoAdvance_{autoAdvance} {}

int64_t TestClock::NowMs() {
  std::lock_guard lock{mutex_};
  return now_;
}

bool TestClock::WaitWhile(int64_t ms, const std::function<bool()>& wanted) {
  std::unique_lock lock{mutex_};
  waits_.push_back(ms);
  const int64_t deadline = now_ + std::max<int64_t>(ms, 0);
  ++sleepers_;
  changed_.notify_all();
  bool result = true;
  while (true) {
    lock.unlock();
    const bool stillWanted = wanted();
    lock.lock();
    if (!stillWanted) {
      result = false;
      break;
    }
    if (now_ >= deadline) break;
    if (autoAdvance_) {
      now_ = deadline;
      changed_.notify_all();
      continue;
    }
    changed_.wait_for(lock, std::chrono::milliseconds{10});
  }
  --sleepers_;
  changed_.notify_all();
  return result;
}

void TestClock::Advance(int64_t ms) {
  std::lock_guard lock{mutex_};
  now_ += ms;
  changed_.notify_all();
}

void TestClock::SetAutoAdvance(bool on) {
  std::lock_guard lock{mutex_};
  autoAdvance_ = on;
  changed_.notify_all();
}

bool TestClock::WaitForWaits(size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock{mutex_};
  return changed_.wait_for(lock, limit, [&] { return waits_.size() >= count; });
}

bool TestClock::WaitForSleepers(size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock{mutex_};
  return changed_.wait_for(lock, limit, [&] { return sleepers_ >= count; });
}

std::vector<int64_t> TestClock::Waits() {
  std::lock_guard lock{mutex_};
  return waits_;
}

void TestClock::ClearWaits() {
  std::lock_guard lock{mutex_};
  waits_.clear();
}

}  // namespace vlo
