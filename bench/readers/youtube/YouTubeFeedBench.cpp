// Continuation answers per second through parse, conversion and the item handler, and the live
// chat page's initialiser over page sizes (it must stay linear in the page's size).
//   build/bench/readers/youtube/youtube_feed_bench --benchmark_filter=feed_answer
// prints µs per 100-action answer (best and median of seven runs) for the general reader
// (ParseContinuationResponse, then HandleYouTubeChatItem per item) and for
// HandleContinuationResponse, over the simulator's answers and over answers carrying the
// menus, tracking data and accessibility labels of the site's own.
#include <benchmark/benchmark.h>

#include <algorithm>
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

// What the site's renderers carry beyond the simulator's: the item menu, tracking data and an
// accessibility label, about 1 KB an item.
void AddSiteExtras(Json& action) {
  Json* add = action.contains("addChatItemAction") ? &action["addChatItemAction"] : nullptr;
  if (!add) return;
  for (auto& [kind, renderer] : (*add)["item"].items()) {
    const std::string params(180, 'Q');
    renderer["contextMenuEndpoint"] = {
        {"clickTrackingParams", "CAEQl98BIhMI" + std::string(40, 'x')},
        {"commandMetadata", {{"webCommandMetadata", {{"ignoreNavigation", true}}}}},
        {"liveChatItemContextMenuEndpoint", {{"params", params}}}};
    renderer["contextMenuAccessibility"] = {{"accessibilityData", {{"label", "Chat actions"}}}};
    renderer["trackingParams"] = "CAEQl98BIhMI" + std::string(60, 'y');
    renderer["timestampText"] = {{"simpleText", "1:23:45"}};
    renderer["authorPhoto"] = {
        {"thumbnails",
         {{{"url", "https://yt3.ggpht.com/ytc/" + std::string(90, 'z') + "=s32-c-k-c0x00ffffff"},
           {"width", 32},
           {"height", 32}},
          {{"url", "https://yt3.ggpht.com/ytc/" + std::string(90, 'z') + "=s64-c-k-c0x00ffffff"},
           {"width", 64},
           {"height", 64}}}}};
  }
}

// `count` answers of `actions` actions each, made by the simulator's traffic generator.
std::vector<std::string> Answers(size_t count, size_t actions, bool siteExtras = false) {
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
      if (siteExtras) AddSiteExtras(list.back());
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

// One 100-action answer per iteration into a hub at its row bound: range(0) 0 = the general
// reader, 1 = HandleContinuationResponse; range(1) 1 = answers with the site's extras.
void BM_FeedAnswer(benchmark::State& state) {
  const bool handler = state.range(0) != 0;
  const std::vector<std::string> answers = Answers(64, 100, state.range(1) != 0);
  vlo::NoAccounts accounts;
  vlo::TestClock clock;
  vlo::ChatHub hub{accounts, clock};
  vlo::SeenItems seen;
  size_t next = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string& body = answers[next++ % answers.size()];
    bytes += body.size();
    if (handler) {
      benchmark::DoNotOptimize(vlo::HandleContinuationResponse(hub, body, &seen));
    } else if (const auto chat = vlo::ParseContinuationResponse(body)) {
      for (const std::string& item : chat->items) vlo::HandleYouTubeChatItem(hub, item, &seen);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["answerKB"] = static_cast<double>(bytes) / 1024.0 / state.iterations();
}
double Best(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}
BENCHMARK(BM_FeedAnswer)
    ->Name("feed_answer")
    ->ArgNames({"handler", "site"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Repetitions(7)
    ->ComputeStatistics("best", Best)
    ->DisplayAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

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
