// Exercises the hub from several threads at once; meant to be run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "core/ChatHub.h"

namespace vlo {
namespace {

using plx::PlatformId;

TEST(HubConcurrency, AddSnapshotRestartAndStatusFromManyThreads) {
  NoAccounts accounts;
  TestClock clock{1'700'000'000'000, /*autoAdvance=*/true};
  ChatHub hub{accounts, clock};
  std::atomic<int> callbacks{0};
  hub.SetChangedCallback([&] { ++callbacks; });
  for (PlatformId p : plx::kReadPlatforms) {
    hub.SetReaderEntry(p, [p](ChatHub& h) {
      int n = 0;
      while (h.WaitWhileWanted(p, 50)) {
        plx::ChatMessage m;
        m.id = "r-" + std::to_string(static_cast<int>(p)) + "-" + std::to_string(++n) + "-" +
               std::to_string(h.GetClock().NowMs());
        m.platform = p;
        h.AddMessage(std::move(m));
        h.SetStatus(p, ConnectionState::Connected, "c", "d");
        if (n > 200) break;
      }
    });
  }
  hub.Start();

  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        plx::ChatMessage m;
        m.id = "w" + std::to_string(t) + "-" + std::to_string(i);
        m.platform = plx::kReadPlatforms[t];
        m.authorId = "a" + std::to_string(i % 7);
        m.platformMessageId = m.id;
        hub.AddMessage(std::move(m));
        if (i % 50 == 0) hub.ApplyRemoval({RemovalKind::Author, plx::kReadPlatforms[t], "a3"});
        if (i % 100 == 0) hub.ExpectEcho("x", {plx::kReadPlatforms[t]});
      }
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 200; ++i) {
      const auto rows = hub.Snapshot();
      EXPECT_LE(rows.size(), ChatHub::kMaxRows);
      (void)hub.GetStatus(PlatformId::Kick);
    }
  });
  threads.emplace_back([&] {
    for (int i = 0; i < 10; ++i) hub.RestartPlatform(plx::kReadPlatforms[i % 3]);
  });
  for (auto& t : threads) t.join();
  hub.Stop();

  const auto rows = hub.Snapshot();
  EXPECT_EQ(rows.size(), ChatHub::kMaxRows);
  std::set<std::string> ids;
  for (const auto& row : rows) ids.insert(row.id);
  EXPECT_EQ(ids.size(), rows.size());
  EXPECT_GT(callbacks.load(), 0);
}

}  // namespace
}  // namespace vlo
