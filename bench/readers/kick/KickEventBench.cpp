// Frames per second through the Kick frame decoder, on generated traffic shaped like the
// service's: chat messages with emote markup, identity colours and badges, and a mixed stream
// with deletions, bans and alerts handed on to the alert decoder as the reader does.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "alerts/AlertDecoders.h"
#include "readers/kick/KickEvent.h"
#include "sim/kick/KickTraffic.h"

namespace {

constexpr int64_t kNow = 1'714'564'800'000;

std::vector<std::string> ChatFrames() {
  vlo::sim::KickTraffic traffic{668, 670, 7};
  std::vector<std::string> frames;
  for (int i = 0; i < 1024; ++i) frames.push_back(traffic.NextChat(kNow + i));
  return frames;
}

std::vector<std::string> MixedFrames() {
  vlo::sim::KickTraffic traffic{668, 670, 11};
  std::vector<std::string> frames;
  while (frames.size() < 1024) {
    for (std::string& frame : traffic.Next(kNow)) frames.push_back(std::move(frame));
  }
  return frames;
}

void BM_ParseKickChatFrame(benchmark::State& state) {
  const std::vector<std::string> frames = ChatFrames();
  size_t bytes{0};
  for (const auto& frame : frames) bytes += frame.size();
  size_t i{0};
  for (auto _ : state) {
    vlo::KickEvent event = vlo::ParseKickEvent(frames[i++ & 1023], kNow);
    benchmark::DoNotOptimize(event);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["frame_bytes"] = static_cast<double>(bytes) / frames.size();
}
BENCHMARK(BM_ParseKickChatFrame);

void BM_ParseKickMixedTraffic(benchmark::State& state) {
  const std::vector<std::string> frames = MixedFrames();
  size_t i{0};
  for (auto _ : state) {
    vlo::KickEvent event = vlo::ParseKickEvent(frames[i++ & 1023], kNow);
    if (!event.message && !event.removal && !event.payload.is_null()) {
      auto alert = vlo::DecodeKickAlert(event.event, event.payload, kNow);
      benchmark::DoNotOptimize(alert);
    }
    benchmark::DoNotOptimize(event);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ParseKickMixedTraffic);

}  // namespace

BENCHMARK_MAIN();
