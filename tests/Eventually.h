#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace vlo::test {

// Polls (real time, bounded) until `done` holds, without moving any clock.
inline bool Eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds{10}) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds{2});
  }
  return true;
}

}  // namespace vlo::test
