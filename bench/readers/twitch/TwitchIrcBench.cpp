// IRC lines as the chat service sends them today (full tag sets, emote positions, escaped tag
// values, a third with non-ASCII text) to chat rows: parse and build together, one core.
//   build-dir/bench/readers/twitch/twitch_irc_bench

#include <benchmark/benchmark.h>

#include "alerts/AlertDecoders.h"
#include "readers/twitch/IrcMessage.h"
#include "readers/twitch/TwitchParsers.h"
#include "sim/twitch/TwitchTraffic.h"

namespace {

constexpr int64_t kNow = 1'700'000'000'000;

std::vector<std::string> ChatLines(size_t count) {
  vlo::sim::TwitchTraffic traffic{{"somechannel", "71092938"}, 1234};
  std::vector<std::string> lines;
  for (size_t i = 0; i < count; ++i) lines.push_back(traffic.NextChat(kNow + i) + "\r\n");
  return lines;
}

std::vector<std::string> MixedLines(size_t count) {
  vlo::sim::TwitchTraffic traffic{{"somechannel", "71092938"}, 99};
  std::vector<std::string> lines;
  while (lines.size() < count) {
    for (auto& line : traffic.Next(kNow)) lines.push_back(line + "\r\n");
  }
  return lines;
}

void Report(benchmark::State& state, const std::vector<std::string>& lines) {
  size_t bytes{0};
  for (const auto& line : lines) bytes += line.size();
  const double perIteration = static_cast<double>(lines.size());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["lines/s"] =
      benchmark::Counter(perIteration, benchmark::Counter::kIsIterationInvariantRate);
  // Printed with an SI prefix: "650n" is 650 ns per line.
  state.counters["time/line"] = benchmark::Counter(
      perIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The reader's hot path: one reused message buffer, one ChatMessage per line.
void BM_PrivmsgToChatMessage(benchmark::State& state) {
  const auto lines = ChatLines(4096);
  vlo::IrcMessage scratch;
  for (auto _ : state) {
    for (const auto& line : lines) {
      vlo::ParseIrcLine(line, scratch);
      auto row = vlo::ParseTwitchPrivmsg(scratch, kNow);
      benchmark::DoNotOptimize(row);
    }
  }
  Report(state, lines);
}
BENCHMARK(BM_PrivmsgToChatMessage);

// The same through the optional-returning parser (a fresh message per line).
void BM_PrivmsgToChatMessageFresh(benchmark::State& state) {
  const auto lines = ChatLines(4096);
  for (auto _ : state) {
    for (const auto& line : lines) {
      auto message = vlo::ParseIrcLine(line);
      auto row = vlo::ParseTwitchPrivmsg(*message, kNow);
      benchmark::DoNotOptimize(row);
    }
  }
  Report(state, lines);
}
BENCHMARK(BM_PrivmsgToChatMessageFresh);

// Generated traffic with events, handled the way the reader does: cheers and USERNOTICE lines
// also go through the alert decoder.
void BM_MixedTraffic(benchmark::State& state) {
  const auto lines = MixedLines(4096);
  vlo::IrcMessage scratch;
  for (auto _ : state) {
    for (const auto& line : lines) {
      if (!vlo::ParseIrcLine(line, scratch)) continue;
      const auto command = scratch.Command();
      if (command == "PRIVMSG") {
        if (!scratch.Tag("bits").empty())
          benchmark::DoNotOptimize(vlo::DecodeTwitchAlert(line, kNow));
        benchmark::DoNotOptimize(vlo::ParseTwitchPrivmsg(scratch, kNow));
      } else if (command == "USERNOTICE") {
        benchmark::DoNotOptimize(vlo::DecodeTwitchAlert(line, kNow));
        benchmark::DoNotOptimize(vlo::ParseTwitchAnnouncement(scratch, kNow));
      } else {
        benchmark::DoNotOptimize(vlo::ParseTwitchClear(scratch));
      }
    }
  }
  Report(state, lines);
}
BENCHMARK(BM_MixedTraffic);

}  // namespace

BENCHMARK_MAIN();
