#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "sim/twitch/TwitchLines.h"

namespace vlo::sim {

// Realistic Twitch chat from a fixed seed: a cast of viewers with names (some localised),
// colours and badges; messages with the service's emotes and catalogue emote words (a third of
// them with non-ASCII text), actions, replies and first messages; now and then a cheer, a sub,
// a resub, gifts (single, mystery and anonymous), a raid, an announcement, a deleted message,
// a time-out or a ban. Deterministic for a seed. Not thread-safe; one generator per thread.
class TwitchTraffic {
 public:
  TwitchTraffic(TwitchRoom room, uint64_t seed);

  // The lines of the next step, each without a line ending: usually one chat message,
  // sometimes an event (a mystery gift brings its single gifts along). `nowMs` stamps
  // "tmi-sent-ts".
  std::vector<std::string> Next(int64_t nowMs);

  // One chat PRIVMSG from a random viewer, without the other events.
  std::string NextChat(int64_t nowMs);

  const std::vector<TwitchViewer>& Viewers() const { return viewers_; }

 private:
  struct Recent {
    std::string id;
    std::string login;
    std::string text;
  };
  const TwitchViewer& PickViewer();
  std::string PickText(bool& nonAscii);
  std::string NewUuid();
  int Uniform(int low, int high);
  bool Chance(int percent) { return Uniform(0, 99) < percent; }

  TwitchRoom room_;
  std::mt19937_64 rng_;
  std::vector<TwitchViewer> viewers_;
  std::deque<Recent> recent_;  // newest last, for deletions and replies
  int lineCount_{0};
};

}  // namespace vlo::sim
