// Continuation answers per second through parse, conversion and the item handler, and the live
// chat page's initialiser over page sizes (it must stay linear in the page's size).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/ChatHub.h"
#include "readers/youtube/ItemHandler.h"
#include "readers/youtube/PageChat.h"
#include "sim/SimServer.h"
#include "sim/youtube/YouTubeSimEvents.h"
#include "sim/youtube/YouTubeSimPages.h"
#include "sim/youtube/YouTubeTraffic.h"

namespace {

using Json = nlohmann::json;

// `count` answers of `actions` actions each, made by the simulator's traffic generator.
std::vector<std::string> Answers(size_t count, size_t actions) {
  vlo::sim::SimServer unused;
  vlo::sim::YouTubeSim sim{unused, unused};
  vlo::sim::YouTubeTraffic traffic{sim, "benchVideo1", 42};
  std::vector<std::string> out;
  int64_t time = 1'714'564'800'000;
  uint64_t id = 0;
  for (size_t i = 0; i < count; ++i) {
    Json list = Json::array();
    for (size_t a = 0; a < actions; ++a) {
      vlo::sim::YouTubeEvent event = traffic.Next();
      event.id = "ChwKGkNMbWJlbmNo" + std::to_string(++id);
      event.timeMs = time += 37;
      if (event.kind == vlo::sim::YouTubeEventKind::Delete) event.targetId = "ChwKGkNMbWJlbmNo1";
      list.push_back(vlo::sim::PageAction(event));
    }
    const Json answer = {
        {"responseContext", {{"serviceTrackingParams", Json::array()}}},
        {"continuationContents",
         {{"liveChatContinuation",
           {{"continuations",
             {{{"invalidationContinuationData", {{"continuation", "0ofMyANhGlxDaWtxSndvWVZV"}}}}}},
            {"actions", list}}}}}};
    out.push_back(answer.dump());
  }
  return out;
}

void BM_ContinuationAnswer(benchmark::State& state) {
  const auto actions = static_cast<size_t>(state.range(0));
  const std::vector<std::string> answers = Answers(64, actions);
  vlo::NoAccounts accounts;
  vlo::TestClock clock;
  vlo::ChatHub hub{accounts, clock};
  size_t next = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string& body = answers[next++ % answers.size()];
    bytes += body.size();
    const auto chat = vlo::ParseContinuationResponse(body);
    for (const std::string& item : chat->items) vlo::HandleYouTubeChatItem(hub, item);
  }
  state.counters["answers/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["actions/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * actions), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ContinuationAnswer)->Arg(20)->Arg(50)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_InitPageChat(benchmark::State& state) {
  const auto padding = static_cast<size_t>(state.range(0)) * 1024;
  const std::vector<std::string> answers = Answers(1, 20);
  const Json actions =
      Json::parse(answers[0])["continuationContents"]["liveChatContinuation"]["actions"];
  const Json data = vlo::sim::LiveChatInitialData("feed.1", "top.1", "live.1", actions);
  const std::string page = vlo::sim::LiveChatPageHtml("2.20240501.01.00", data, false, padding);
  for (auto _ : state) benchmark::DoNotOptimize(vlo::InitPageChat(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["pageKB"] = static_cast<double>(page.size()) / 1024.0;
}
BENCHMARK(BM_InitPageChat)->Arg(100)->Arg(400)->Arg(1600)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
