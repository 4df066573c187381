#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace vlo {
class Clock;
}

namespace plx {

// How a blocking network call measures its time-outs and learns that it is no longer wanted.
// Readers pass the hub's clock and "still wanted", so a stop ends a hanging request or handshake
// at once and tests move the time-outs with their clock.
struct CallControl {
  vlo::Clock* clock{nullptr};  // time-outs run on this clock; null = real time
  // Asked at least every 100 ms (real time) on the calling thread while the call waits; false
  // ends the call at once. Empty = always wanted.
  std::function<bool()> keepGoing;

  bool Wanted() const { return !keepGoing || keepGoing(); }
};

// A time-out that runs from construction or the last Touch. It is over once `limitMs` have passed
// on the control's clock and, besides, a short real moment: a test clock racing ahead must not cut
// an exchange that is alive on loopback. With real time both are the same. One thread.
class IdleTimer {
 public:
  IdleTimer(vlo::Clock* clock, int64_t limitMs);

  void Touch();
  bool Expired() const;
  // Milliseconds of the clock since the last Touch.
  int64_t IdleMs() const;

  // The shortest real idle time before a time-out may fire, whatever the clock says.
  static constexpr int64_t kRealFloorMs = 500;

  // For waits measured on a clock elsewhere: sleeps in short real steps until kRealFloorMs have
  // passed since `since` or `wanted` stops holding. Returns wanted(). A no-op with real time,
  // where the clock's wait already took longer.
  static bool WaitForRealFloor(std::chrono::steady_clock::time_point since,
                               const std::function<bool()>& wanted);

 private:
  int64_t NowMs() const;

  vlo::Clock* clock_;
  int64_t limitMs_;
  int64_t last_;
  std::chrono::steady_clock::time_point lastReal_;
};

}  // namespace plx
