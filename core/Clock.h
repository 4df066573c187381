#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace vlo {

// Wall time and waiting. Every delay of the program goes through one of these, so tests can run
// the long waits (retries, poll intervals, expiry) without sleeping through them.
class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since the epoch.
  virtual int64_t NowMs() = 0;

  // Waits `ms` of this clock's time while `wanted()` holds; `wanted` is checked at least every
  // 100 ms of real time. Returns `wanted()` at the end (false = interrupted). Any thread.
  virtual bool WaitWhile(int64_t ms, const std::function<bool()>& wanted) = 0;

  void SleepFor(int64_t ms) {
    WaitWhile(ms, [] { return true; });
  }
};

// The real clock: system time, real sleeps in steps of at most 100 ms. Stateless and shared.
Clock& SystemClock();

// A clock for tests. Time stands still until Advance() moves it; waiters block until their
// deadline is reached. In auto-advance mode a wait moves time forward by its length at once.
// Every requested wait is recorded, so tests can check retry sequences. Thread-safe.
class TestClock final : public Clock {
 public:
  explicit TestClock(int64_t startMs = 1'700'000'000'000, bool autoAdvance = false);

  int64_t NowMs() override;
  bool WaitWhile(int64_t ms, const std::function<bool()>& wanted) override;

  void Advance(int64_t ms);
  void SetAutoAdvance(bool on);

  // Blocks (real time, bounded by `limit`) until at least `count` waits have been recorded in
  // total. Returns false on time-out.
  bool WaitForWaits(size_t count, std::chrono::milliseconds limit = std::chrono::seconds{5});
  // Blocks until at least `count` threads are currently waiting. Returns false on time-out.
  bool WaitForSleepers(size_t count, std::chrono::milliseconds limit = std::chrono::seconds{5});

  std::vector<int64_t> Waits();  // durations requested so far, in order
  void ClearWaits();

 private:
  std::mutex mutex_;  // guards every member below
  std::condition_variable changed_;
  int64_t now_;
  bool autoAdvance_;
  size_t sleepers_{0};
  std::vector<int64_t> waits_;
};

}  // namespace vlo
