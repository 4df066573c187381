// The overlay under load: the hub fed at a steady rate while pages read the stream, with and
// without 200 idle connections and a page that never reads. Prints the rate the hub kept, the
// time one AddMessage took, and the CPU share of the overlay's thread and of a thread standing in
// for the window (which takes a snapshot after each change, as the window does).
//
//   build/bench/overlay/overlay_load [seconds per run, default 5] [messages per second, 1000]

#include <sys/socket.h>
#include <sys/times.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "core/ChatHub.h"
#include "overlay/OverlayServer.h"
#include "tests/overlay/OverlayClient.h"

namespace {

using Clock = std::chrono::steady_clock;

using vlo::test::ConnectLoopback;

void OpenStream(int fd, int port) {
  const std::string request =
      "GET /events HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
  (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

struct Result {
  double rate{0};
  double addNs{0};
  double windowShare{0};
  double restShare{0};  // everything but the feeder and the window: the overlay's thread
  uint64_t bytesRead{0};
};

Result Run(bool overlay, bool crowd, int seconds, int perSecond) {
  vlo::NoAccounts accounts;
  vlo::ChatHub hub{accounts};
  std::unique_ptr<vlo::OverlayServer> server;
  std::vector<int> fds;
  int reader = -1;
  if (overlay) {
    vlo::OverlayConfig config;
    config.port = 0;
    server = std::make_unique<vlo::OverlayServer>(hub, config);
    std::string error;
    if (!server->Start(&error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
    reader = ConnectLoopback(server->Port());
    OpenStream(reader, server->Port());
    if (crowd) {
      for (int i = 0; i < 200; ++i) fds.push_back(ConnectLoopback(server->Port()));
      const int slow = ConnectLoopback(server->Port());
      const int small = 4096;
      ::setsockopt(slow, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
      OpenStream(slow, server->Port());
      fds.push_back(slow);
    }
  }
  // The page that reads: drains the stream as a browser would.
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> bytes{0};
  std::thread page;
  if (reader >= 0) {
    page = std::thread{[&] {
      char buffer[65536];
      while (!stop.load()) {
        const ssize_t n = ::recv(reader, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        bytes += static_cast<uint64_t>(n);
      }
    }};
  }
  // The window: a snapshot per change, at most every 16 ms.
  std::atomic<double> windowCpu{0};
  std::thread window{[&] {
    const double start = ThreadCpuSeconds();
    uint64_t seen = 0;
    while (!stop.load()) {
      if (hub.Revision() != seen) {
        seen = hub.Revision();
        auto rows = hub.Snapshot();
        (void)rows;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    windowCpu = ThreadCpuSeconds() - start;
  }};

  const std::string body = "a typical chat message with a few words Kappa and some more text";
  const double cpuStart = ProcessCpuSeconds();
  const double feederStart = ThreadCpuSeconds();
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  uint64_t sent = 0;
  double addSeconds = 0;
  while (Clock::now() < end) {
    const auto due = start + std::chrono::nanoseconds(sent * 1'000'000'000ull / perSecond);
    std::this_thread::sleep_until(due);
    plx::ChatMessage m;
    m.id = "m" + std::to_string(sent);
    m.platformMessageId = m.id;
    m.author = "viewer" + std::to_string(sent % 500);
    m.authorId = std::to_string(sent % 500);
    m.body = body;
    m.tags = {"color=#33AAFF", "emotes=25:40-44"};
    const auto before = Clock::now();
    hub.AddMessage(std::move(m));
    addSeconds += std::chrono::duration<double>(Clock::now() - before).count();
    ++sent;
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const double feederCpu = ThreadCpuSeconds() - feederStart;
  stop = true;
  window.join();
  const double cpu = ProcessCpuSeconds() - cpuStart;
  if (server) server->Stop();
  if (page.joinable()) page.join();
  for (int fd : fds) ::close(fd);
  if (reader >= 0) ::close(reader);
  Result r;
  r.rate = sent / elapsed;
  r.addNs = addSeconds / sent * 1e9;
  r.windowShare = windowCpu.load() / elapsed * 100;
  r.restShare = (cpu - feederCpu - windowCpu.load()) / elapsed * 100;
  r.bytesRead = bytes.load();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int perSecond = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
  std::printf("%d s per run at %d messages/s\n", seconds, perSecond);
  std::printf("%-44s %10s %10s %10s %12s %12s\n", "run", "msg/s", "add ns", "window %", "overlay %",
              "page MiB");
  const struct {
    const char* name;
    bool overlay;
    bool crowd;
  } runs[] = {{"overlay off", false, false},
              {"overlay on, one page reading", true, false},
              {"overlay on, + 200 idle and one slow page", true, true}};
  for (const auto& run : runs) {
    const Result r = Run(run.overlay, run.crowd, seconds, perSecond);
    std::printf("%-44s %10.0f %10.0f %10.2f %12.2f %12.2f\n", run.name, r.rate, r.addNs,
                r.windowShare, r.restShare, r.bytesRead / 1048576.0);
  }
  return 0;
}
