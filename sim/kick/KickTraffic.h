#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "sim/kick/KickFrames.h"

namespace vlo::sim {

// Realistic Kick chat from a fixed seed: a cast of viewers with names, colours and badges;
// messages with Kick emote markup and third-party emote words; now and then a deletion, a
// time-out, a subscription, gifted subs, a host, a Kicks gift or a follow. Deterministic for a
// seed. Not thread-safe; one generator per thread.
class KickTraffic {
 public:
  KickTraffic(int64_t chatroomId, int64_t channelId, uint64_t seed);

  // The frames of the next step: usually one chat message, sometimes an event (a subscription
  // gives two frames). `nowMs` stamps "created_at".
  std::vector<std::string> Next(int64_t nowMs);

  // A chat message frame from a random viewer, without the other events.
  std::string NextChat(int64_t nowMs);

 private:
  const KickViewer& PickViewer();
  std::string PickContent();
  std::string NewMessageId();
  int Uniform(int low, int high);

  int64_t chatroomId_;
  int64_t channelId_;
  std::mt19937_64 rng_;
  std::vector<KickViewer> viewers_;
  std::deque<std::string> recentIds_;  // newest last, for deletions
};

// "YYYY-MM-DDTHH:MM:SS+00:00" for ms since the epoch, the form the service uses.
std::string KickTimestamp(int64_t ms);

}  // namespace vlo::sim
