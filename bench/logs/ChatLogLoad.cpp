// The chat logs under load: the hub fed at a steady rate on the real clock while the writer
// follows it into a temporary folder. Prints the rate the hub kept, how many rows reached the
// logs (none may be missing) and the CPU the whole process used besides the feeder.
//
//   build/bench/logs/chat_log_load [seconds, default 5] [messages per second, 1000]

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/ChatHub.h"
#include "logs/ChatLogWriter.h"
#include "logs/LogFormat.h"

namespace {

double CpuSeconds(clockid_t id) {
  timespec t{};
  clock_gettime(id, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

size_t CountLines(const std::filesystem::path& folder) {
  size_t lines = 0;
  for (const auto& entry : std::filesystem::directory_iterator{folder}) {
    std::ifstream in{entry.path(), std::ios::binary};
    lines += std::count(std::istreambuf_iterator<char>{in}, {}, '\n');
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int perSecond = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
  std::string pattern = (std::filesystem::temp_directory_path() / "chat-log-load-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const std::filesystem::path folder = pattern;

  vlo::NoAccounts accounts;
  vlo::ChatHub hub{accounts};
  hub.SetTargets({"loadtest", "loadtest", "@loadtest"});
  vlo::ChatLogOptions options;
  options.folder = vlo::LogsFolder(folder);
  auto writer = std::make_unique<vlo::ChatLogWriter>(hub, options);

  const double processStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const double feederStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const auto start = std::chrono::steady_clock::now();
  const int total = seconds * perSecond;
  for (int i = 0; i < total; ++i) {
    std::this_thread::sleep_until(start + std::chrono::microseconds{1'000'000LL * i / perSecond});
    plx::ChatMessage m;
    m.id = "m" + std::to_string(i);
    m.platform = plx::kReadPlatforms[i % 3];
    m.author = "viewer" + std::to_string(i % 500);
    m.body = "message number " + std::to_string(i) + " with some ordinary chat text in it";
    hub.AddMessage(std::move(m));
  }
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double feeder = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - feederStart;
  writer.reset();
  const double others = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart - feeder;

  const size_t lines = CountLines(options.folder);
  std::printf("rows added        %d in %.2f s (%.0f per second)\n", total, elapsed,
              total / elapsed);
  std::printf("lines written     %zu (%zu missing)\n", lines,
              lines < static_cast<size_t>(total) ? total - lines : 0);
  std::printf("writer CPU        %.1f%% of one core\n", 100.0 * others / elapsed);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return lines == static_cast<size_t>(total) ? 0 : 2;
}
