#include "net/CallControl.h"

#include <algorithm>
#include <thread>

#include "core/Clock.h"

namespace plx {

IdleTimer::IdleTimer(vlo::Clock* clock, int64_t limitMs)
    : clock_{clock},
      limitMs_{std::max<int64_t>(limitMs, 0)},
      last_{NowMs()},
      lastReal_{std::chrono::steady_clock::now()} {}

int64_t IdleTimer::NowMs() const {
  if (clock_) return clock_->NowMs();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void IdleTimer::Touch() {
  last_ = NowMs();
  lastReal_ = std::chrono::steady_clock::now();
}

int64_t IdleTimer::IdleMs() const { return NowMs() - last_; }

bool IdleTimer::Expired() const {
  if (IdleMs() < limitMs_) return false;
  const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - lastReal_);
  return real.count() >= std::min(limitMs_, kRealFloorMs);
}

bool IdleTimer::WaitForRealFloor(std::chrono::steady_clock::time_point since,
                                 const std::function<bool()>& wanted) {
  const auto until = since + std::chrono::milliseconds{kRealFloorMs};
  while (wanted() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds{5});
  }
  return wanted();
}

}  // namespace plx
