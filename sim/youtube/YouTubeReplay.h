#pragma once

// Replays a recorded YouTube session through the simulator, and the demo stream.

#include <cstdint>
#include <memory>
#include <string>

#include "sim/SimServer.h"
#include "sim/youtube/YouTubeSim.h"
#include "sim/youtube/YouTubeTraffic.h"

namespace vlo::sim {

// The replay stream: channel "@velaroreplay" live with the video "replayVideo".
inline constexpr const char* kReplayHandle = "velaroreplay";
inline constexpr const char* kReplayVideoId = "replayVideo";

// Reads a capture folder: every "*.json" file is one continuation answer, served in file-name
// order to successive polls; "live_chat.html", when present, is served as the live chat page.
// Without it the simulator's own page starts the feed. Makes the replay stream live. False with
// `error` filled when the folder holds no answers.
bool LoadYouTubeCapture(YouTubeSim& sim, const std::string& folder, std::string* error);

// The demo stream: channel "@velarodemo" live with the video "velaroDemo1", fed by the traffic
// generator at `perSecond` events. Destroying it stops the traffic.
class YouTubeDemo {
 public:
  static constexpr const char* kHandle = "velarodemo";
  static constexpr const char* kVideoId = "velaroDemo1";
  static constexpr const char* kChannelId = "UCvelaroDemoChannel00001";
  static constexpr const char* kTitle = "Velaro Demo";

  YouTubeDemo(SimServer& web, SimServer& api, double perSecond, uint64_t seed = 7);
  YouTubeSim& Sim() { return sim_; }
  // What to put in the YouTube target setting to read it.
  std::string Target() const { return std::string{"@"} + kHandle; }

 private:
  YouTubeSim sim_;
  YouTubeTraffic traffic_;
};

}  // namespace vlo::sim
