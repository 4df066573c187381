// AddMessage throughput at the row bound and the cost of Snapshot.
#include <benchmark/benchmark.h>

#include <atomic>
#include <vector>

#include "core/ChatHub.h"

namespace {

using vlo::ChatHub;

std::vector<plx::ChatMessage> MakeMessages(size_t count) {
  std::vector<plx::ChatMessage> messages(count);
  for (size_t i = 0; i < count; ++i) {
    plx::ChatMessage& m = messages[i];
    m.id = "tw-6f1c2a4e-" + std::to_string(i) + "-b1d2-4c1e-9a55-3e0b2f1a9c77";
    m.platform = plx::PlatformId::Twitch;
    m.author = "viewer" + std::to_string(i % 500);
    m.body = "that was a great play KEKW PogChamp what a clutch";
    m.timestampMs = 1700000000000 + static_cast<int64_t>(i);
    m.tags = {"subscriber", "color=#1E90FF", "emotes=25:35-42"};
    m.authorId = std::to_string(100000 + i % 500);
    m.platformMessageId = "6f1c2a4e-" + std::to_string(i);
  }
  return messages;
}

void BM_AddMessageAtBound(benchmark::State& state) {
  vlo::NoAccounts accounts;
  ChatHub hub{accounts};
  std::atomic<bool> pending{false};
  // Like the window's callback: an atomic exchange that would post one event per burst.
  hub.SetChangedCallback([&] { pending.exchange(true); });
  constexpr size_t kBatch = 1 << 16;
  for (auto& m : MakeMessages(ChatHub::kMaxRows)) hub.AddMessage(std::move(m));
  size_t round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto messages = MakeMessages(kBatch);
    for (auto& m : messages) m.id += "-" + std::to_string(round);
    ++round;
    state.ResumeTiming();
    for (auto& m : messages) hub.AddMessage(std::move(m));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBatch));
}
BENCHMARK(BM_AddMessageAtBound)->Unit(benchmark::kMillisecond);

void BM_Snapshot(benchmark::State& state) {
  vlo::NoAccounts accounts;
  ChatHub hub{accounts};
  for (auto& m : MakeMessages(ChatHub::kMaxRows)) hub.AddMessage(std::move(m));
  for (auto _ : state) {
    auto rows = hub.Snapshot();
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Snapshot)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
