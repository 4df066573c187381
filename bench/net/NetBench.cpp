// Loopback throughput of the transport against the simulator: HTTP GET round trips (a fresh
// connection each, as the program makes them) and WebSocket text messages received (1 KB).

#include <benchmark/benchmark.h>

#include "net/Http.h"
#include "net/WebSocketClient.h"
#include "sim/SimServer.h"

namespace {

using vlo::sim::HttpAnswer;
using vlo::sim::SimServer;

void HttpGetRoundTrip(benchmark::State& state) {
  SimServer server;
  server.Route("GET", "/ping", [](const auto&) { return HttpAnswer::Json("{\"ok\":true}"); });
  const std::string url{server.BaseUrl() + "/ping"};
  for (auto _ : state) {
    const plx::HttpResponse response{plx::Get(url)};
    if (response.status != 200) state.SkipWithError("request failed");
    benchmark::DoNotOptimize(response.body);
  }
  state.counters["requests/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(HttpGetRoundTrip)->UseRealTime();

void WebSocketReceive1K(benchmark::State& state) {
  SimServer server;
  server.WebSocket("/ws", {});
  plx::WebSocketClient client;
  std::string error;
  if (!client.Connect(server.WsBaseUrl() + "/ws", "", &error) || !server.WaitForPeers(1)) {
    state.SkipWithError("connect failed");
    return;
  }
  auto peer{server.Peers().front()};
  const std::string frame(1024, 'x');
  constexpr int kBatch{1000};
  std::string message;
  for (auto _ : state) {
    for (int i{0}; i < kBatch; ++i) peer->SendText(frame);
    for (int i{0}; i < kBatch; ++i) {
      if (!client.ReceiveMessage(message)) state.SkipWithError("receive failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.SetBytesProcessed(state.iterations() * kBatch * static_cast<int64_t>(frame.size()));
}
BENCHMARK(WebSocketReceive1K)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
