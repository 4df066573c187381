#include "sim/youtube/YouTubeReplay.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace vlo::sim {

namespace {

bool ReadFile(const std::filesystem::path& path, std::string& out) {
  std::ifstream in{path, std::ios::binary};
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  out = buffer.str();
  return true;
}

}  // namespace

bool LoadYouTubeCapture(YouTubeSim& sim, const std::string& folder, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator{folder, ec}) {
    if (entry.is_regular_file() && entry.path().extension() == ".json") {
      files.push_back(entry.path());
    }
  }
  if (ec) {
    if (error) *error = "Cannot read the capture folder " + folder;
    return false;
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> responses;
  for (const fs::path& file : files) {
    std::string body;
    if (!ReadFile(file, body)) {
      if (error) *error = "Cannot read " + file.string();
      return false;
    }
    responses.push_back(std::move(body));
  }
  if (responses.empty()) {
    if (error) *error = "The capture folder holds no continuation answers (*.json)";
    return false;
  }
  std::optional<std::string> page;
  if (std::string html; ReadFile(fs::path{folder} / "live_chat.html", html)) page = std::move(html);

  const std::string channelId = "UCvelaroReplayChannel000";
  sim.AddChannel(channelId, kReplayHandle, "Replay");
  sim.StartStream(channelId, kReplayVideoId, "replay-live-chat");
  sim.StartReplay(kReplayVideoId, std::move(responses), std::move(page));
  return true;
}

YouTubeDemo::YouTubeDemo(SimServer& web, SimServer& api, double perSecond, uint64_t seed)
    : sim_{web, api}, traffic_{sim_, kVideoId, seed} {
  sim_.AddChannel(kChannelId, kHandle, kTitle);
  sim_.SetOwnChannel(kChannelId);
  sim_.StartStream(kChannelId, kVideoId, "velaro-demo-live-chat");
  traffic_.PushBatch(15);
  traffic_.Start(perSecond);
}

}  // namespace vlo::sim
