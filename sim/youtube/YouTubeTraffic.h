#pragma once

// Simulated viewers for the demo and load runs: names, badges, messages with emotes, paid
// events, memberships, deletions and bans, from a fixed seed.

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/youtube/YouTubeSim.h"

namespace vlo::sim {

class YouTubeTraffic {
 public:
  YouTubeTraffic(YouTubeSim& sim, std::string videoId, uint64_t seed);
  ~YouTubeTraffic();  // stops the generator thread
  YouTubeTraffic(const YouTubeTraffic&) = delete;
  YouTubeTraffic& operator=(const YouTubeTraffic&) = delete;

  // The next event of the sequence (not pushed). Not thread-safe against a running Start.
  YouTubeEvent Next();
  // Pushes `count` events at once.
  void PushBatch(size_t count);
  // Pushes events at about `perSecond` (real time) on a thread of its own until Stop.
  void Start(double perSecond);
  void Stop();

 private:
  YouTubeSim& sim_;
  std::string videoId_;
  std::mt19937_64 rng_;  // generator thread (or the caller without one)
  std::vector<YouTubeViewer> viewers_;
  std::vector<std::string> recentIds_;  // text messages that a deletion may target
  std::atomic<bool> running_{false};
  std::thread thread_;
};

}  // namespace vlo::sim
