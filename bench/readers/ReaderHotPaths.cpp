// The readers' hot paths and the hub over a generated corpus folder (corpus.txt: IRC lines,
// kick_frames.txt: one Pusher frame a line): ns per item, best and median of several passes,
// and heap allocations per item.
//   build/bench/readers/reader_hot_paths CORPUS_DIR [--benchmark_repetitions=N ...]
// Each repetition is one pass; a pass is a separate function, so an instruction count can be
// limited to it (valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*PassName*')..

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "alerts/AlertDecoders.h"
#include "core/ChatHub.h"
#include "readers/kick/KickEvent.h"
#include "readers/kick/KickFrame.h"
#include "readers/twitch/IrcMessage.h"
#include "readers/twitch/TwitchLine.h"

// The counting operator new below hands out malloc'ed blocks, which its delete frees.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

std::atomic<uint64_t> gAllocations{0};

}  // namespace

void* operator new(size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc{};
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

constexpr int64_t kNow = 1'735'732'800'000;

struct Corpus {
  std::string twitchText;
  std::string kickText;
  std::vector<std::string_view> lines;   // without the LF, with the CR, as the reader splits them
  std::vector<std::string_view> frames;  // without the LF
};
Corpus gCorpus;

std::string ReadFile(const std::string& path) {
  std::ifstream in{path, std::ios::binary};
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(2);
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string_view> SplitAtLf(std::string_view text) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    parts.push_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
  }
  return parts;
}

// One timed pass of `items` items: the time and the allocations it made.
struct PassFigures {
  double seconds{0};
  uint64_t allocations{0};
};

template <typename F>
PassFigures Timed(F&& pass) {
  const uint64_t allocationsBefore = gAllocations.load(std::memory_order_relaxed);
  const auto start = std::chrono::steady_clock::now();
  pass();
  const auto end = std::chrono::steady_clock::now();
  return {std::chrono::duration<double>(end - start).count(),
          gAllocations.load(std::memory_order_relaxed) - allocationsBefore};
}

void Record(benchmark::State& state, PassFigures figures, size_t items) {
  state.SetIterationTime(figures.seconds);
  state.counters["ns_per_item"] = figures.seconds * 1e9 / static_cast<double>(items);
  state.counters["allocs_per_item"] =
      static_cast<double>(figures.allocations) / static_cast<double>(items);
  state.SetItemsProcessed(static_cast<int64_t>(items));
}

plx::ChatMessage RowNumber(size_t i) {
  plx::ChatMessage m;
  m.platformMessageId = "6f1c2a4e-b1d2-4c1e-9a55-" + std::to_string(100000000000 + i);
  m.id = "tw-" + m.platformMessageId;
  m.platform = plx::PlatformId::Twitch;
  m.author = "viewer" + std::to_string(i % 500);
  m.authorId = std::to_string(100000 + i % 500);
  m.body = "that was a great play KEKW PogChamp what a clutch";
  m.timestampMs = kNow + static_cast<int64_t>(i);
  m.tags = {"subscriber", "color=#1E90FF", "emotes=25:35-42"};
  return m;
}

// --- Passes ---

[[gnu::noinline]] void PassSplitReference(const std::vector<std::string_view>& lines) {
  for (std::string_view line : lines) {
    size_t parts{0};
    for (size_t at = line.find(' '); at != std::string_view::npos; at = line.find(' ', at + 1)) {
      ++parts;
    }
    benchmark::DoNotOptimize(parts);
  }
}

[[gnu::noinline]] void PassParseIrcLine(const std::vector<std::string_view>& lines,
                                        vlo::IrcMessage& scratch) {
  for (std::string_view line : lines) {
    benchmark::DoNotOptimize(vlo::ParseIrcLine(line, scratch));
    benchmark::ClobberMemory();
  }
}

[[gnu::noinline]] void PassTwitchLine(const std::vector<std::string_view>& lines,
                                      vlo::IrcMessage& scratch) {
  for (std::string_view line : lines) {
    vlo::TwitchLineResult result = vlo::ReadTwitchLine(line, kNow, scratch);
    benchmark::DoNotOptimize(result);
  }
}

[[gnu::noinline]] void PassTwitchLineHub(const std::vector<std::string_view>& lines,
                                         vlo::ChatHub& hub, vlo::IrcMessage& scratch) {
  for (std::string_view line : lines) {
    benchmark::DoNotOptimize(vlo::HandleTwitchLine(hub, line, scratch));
  }
}

[[gnu::noinline]] void PassKickFrame(const std::vector<std::string_view>& frames) {
  for (std::string_view frame : frames) {
    vlo::KickEvent event = vlo::ParseKickEvent(frame, kNow);
    if (!event.message && !event.removal && !event.payload.is_null()) {
      auto alert = vlo::DecodeKickAlert(event.event, event.payload, kNow);
      benchmark::DoNotOptimize(alert);
    }
    benchmark::DoNotOptimize(event);
  }
}

[[gnu::noinline]] void PassKickFrameHub(const std::vector<std::string_view>& frames,
                                        vlo::ChatHub& hub) {
  for (std::string_view frame : frames) {
    vlo::KickEvent event = vlo::HandleKickFrame(hub, frame, kNow);
    benchmark::DoNotOptimize(event);
  }
}

[[gnu::noinline]] void PassAddMessage(std::vector<plx::ChatMessage>& messages, vlo::ChatHub& hub) {
  for (plx::ChatMessage& m : messages) hub.AddMessage(std::move(m));
}

[[gnu::noinline]] void PassApplyRemoval(const std::vector<vlo::Removal>& removals,
                                        vlo::ChatHub& hub) {
  for (const vlo::Removal& removal : removals) hub.ApplyRemoval(removal);
}

// --- Benchmarks: one pass per repetition ---

void FillHub(vlo::ChatHub& hub, size_t first) {
  for (size_t i = 0; i < vlo::ChatHub::kMaxRows; ++i) hub.AddMessage(RowNumber(first + i));
}

void HubWithCallback(vlo::ChatHub& hub, std::atomic<bool>& pending) {
  // Like the window's callback: an atomic exchange that would post one event per burst.
  hub.SetChangedCallback([&pending] { pending.exchange(true); });
}

void BM_SplitReference(benchmark::State& state) {
  for (auto _ : state) {
    Record(state, Timed([&] { PassSplitReference(gCorpus.lines); }), gCorpus.lines.size());
  }
}

void BM_ParseIrcLine(benchmark::State& state) {
  vlo::IrcMessage scratch;
  for (auto _ : state) {
    Record(state, Timed([&] { PassParseIrcLine(gCorpus.lines, scratch); }), gCorpus.lines.size());
  }
}

void BM_TwitchLine(benchmark::State& state) {
  vlo::IrcMessage scratch;
  for (auto _ : state) {
    Record(state, Timed([&] { PassTwitchLine(gCorpus.lines, scratch); }), gCorpus.lines.size());
  }
}

void BM_TwitchLineHub(benchmark::State& state) {
  vlo::NoAccounts accounts;
  vlo::ChatHub hub{accounts};
  std::atomic<bool> pending{false};
  HubWithCallback(hub, pending);
  vlo::IrcMessage scratch;
  for (auto _ : state) {
    Record(state, Timed([&] { PassTwitchLineHub(gCorpus.lines, hub, scratch); }),
           gCorpus.lines.size());
  }
}

void BM_KickFrame(benchmark::State& state) {
  for (auto _ : state) {
    Record(state, Timed([&] { PassKickFrame(gCorpus.frames); }), gCorpus.frames.size());
  }
}

void BM_KickFrameHub(benchmark::State& state) {
  vlo::NoAccounts accounts;
  vlo::ChatHub hub{accounts};
  std::atomic<bool> pending{false};
  HubWithCallback(hub, pending);
  for (auto _ : state) {
    Record(state, Timed([&] { PassKickFrameHub(gCorpus.frames, hub); }), gCorpus.frames.size());
  }
}

// All messages built first: most are out of the cache by the time they are added.
void BM_HubAddMessageCold(benchmark::State& state) {
  constexpr size_t kCount = 200'000;
  vlo::NoAccounts accounts;
  vlo::ChatHub hub{accounts};
  std::atomic<bool> pending{false};
  HubWithCallback(hub, pending);
  FillHub(hub, 0);
  size_t next = vlo::ChatHub::kMaxRows;
  for (auto _ : state) {
    std::vector<plx::ChatMessage> messages;
    messages.reserve(kCount);
    for (size_t i = 0; i < kCount; ++i) messages.push_back(RowNumber(next++));
    Record(state, Timed([&] { PassAddMessage(messages, hub); }), kCount);
  }
}

// Messages are built in batches outside the timing, so that each is still in the cache when it
// is added, as a row just built by a reader is.
void BM_HubAddMessageAtBound(benchmark::State& state) {
  constexpr size_t kBatches = 200;
  constexpr size_t kBatch = 1000;
  vlo::NoAccounts accounts;
  vlo::ChatHub hub{accounts};
  std::atomic<bool> pending{false};
  HubWithCallback(hub, pending);
  FillHub(hub, 0);
  size_t next = vlo::ChatHub::kMaxRows;
  for (auto _ : state) {
    PassFigures total;
    for (size_t batch = 0; batch < kBatches; ++batch) {
      std::vector<plx::ChatMessage> messages;
      messages.reserve(kBatch);
      for (size_t i = 0; i < kBatch; ++i) messages.push_back(RowNumber(next++));
      const PassFigures figures = Timed([&] { PassAddMessage(messages, hub); });
      total.seconds += figures.seconds;
      total.allocations += figures.allocations;
    }
    Record(state, total, kBatches * kBatch);
  }
}

// Removals of rows that are there, one per row, in the rows' order; each round starts from a
// full hub of live rows.
void RemovalBench(benchmark::State& state, vlo::RemovalKind kind) {
  constexpr size_t kRounds = 20;
  vlo::NoAccounts accounts;
  std::atomic<bool> pending{false};
  for (auto _ : state) {
    PassFigures total;
    size_t items{0};
    for (size_t round = 0; round < kRounds; ++round) {
      vlo::ChatHub hub{accounts};
      HubWithCallback(hub, pending);
      FillHub(hub, round * vlo::ChatHub::kMaxRows);
      std::vector<vlo::Removal> removals;
      for (const plx::ChatRow& row : hub.Snapshot()) {
        removals.push_back(
            {kind, plx::PlatformId::Twitch,
             kind == vlo::RemovalKind::Message ? row.platformMessageId : row.authorId});
      }
      const PassFigures figures = Timed([&] { PassApplyRemoval(removals, hub); });
      total.seconds += figures.seconds;
      total.allocations += figures.allocations;
      items += removals.size();
    }
    Record(state, total, items);
  }
}

void BM_HubRemoveMessage(benchmark::State& state) {
  RemovalBench(state, vlo::RemovalKind::Message);
}
void BM_HubRemoveAuthor(benchmark::State& state) { RemovalBench(state, vlo::RemovalKind::Author); }

double Best(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string_view{argv[1]}.starts_with("--")) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR [benchmark flags]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  gCorpus.twitchText = ReadFile(folder + "/corpus.txt");
  gCorpus.kickText = ReadFile(folder + "/kick_frames.txt");
  gCorpus.lines = SplitAtLf(gCorpus.twitchText);
  gCorpus.frames = SplitAtLf(gCorpus.kickText);
  std::printf("corpus: %zu IRC lines, %zu Kick frames\n", gCorpus.lines.size(),
              gCorpus.frames.size());

  const struct {
    const char* name;
    void (*function)(benchmark::State&);
  } benchmarks[] = {
      {"twitch_split_reference", BM_SplitReference},
      {"twitch_parse_irc_line", BM_ParseIrcLine},
      {"twitch_line", BM_TwitchLine},
      {"twitch_line_with_hub", BM_TwitchLineHub},
      {"kick_frame", BM_KickFrame},
      {"kick_frame_with_hub", BM_KickFrameHub},
      {"hub_add_message_at_bound", BM_HubAddMessageAtBound},
      {"hub_add_message_at_bound_cold", BM_HubAddMessageCold},
      {"hub_remove_message", BM_HubRemoveMessage},
      {"hub_remove_author", BM_HubRemoveAuthor},
  };
  // Seven passes unless --benchmark_repetitions says otherwise.
  int repetitions{7};
  for (int i = 2; i < argc; ++i) {
    const std::string_view flag{argv[i]};
    if (flag.starts_with("--benchmark_repetitions=")) repetitions = std::atoi(argv[i] + 24);
  }
  for (const auto& b : benchmarks) {
    benchmark::RegisterBenchmark(b.name, b.function)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(std::max(repetitions, 1))
        ->ComputeStatistics("best", Best)
        ->DisplayAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
  }
  argv[1] = argv[0];
  --argc;
  ++argv;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
