#pragma once

// A hub running the YouTube reader against the simulated site and Data API on a test clock.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "readers/youtube/YouTubeReader.h"
#include "sim/SimServer.h"
#include "sim/youtube/YouTubeSim.h"

namespace vlo::testing_yt {

inline constexpr plx::PlatformId kYouTube = plx::PlatformId::YouTube;

// Accounts with an optional YouTube sign-in; any thread.
class TestAccounts final : public AccountOperations {
 public:
  void SignIn(std::string token, std::string channelId, std::string name) {
    std::lock_guard lock{lock_};
    token_ = plx::TokenRecord{};
    token_->accessToken = std::move(token);
    info_ = {true, std::move(name), std::move(channelId), {}, true, false};
  }
  std::optional<plx::TokenRecord> GetFreshToken(plx::PlatformId p) override {
    std::lock_guard lock{lock_};
    return p == kYouTube ? token_ : std::nullopt;
  }
  plx::AccountInfo AccountFromStore(plx::PlatformId p) override {
    std::lock_guard lock{lock_};
    return p == kYouTube ? info_ : plx::AccountInfo{};
  }
  plx::AccountInfo LookupAccount(plx::PlatformId p) override { return AccountFromStore(p); }
  std::string ClientIdFor(plx::PlatformId) override { return {}; }

 private:
  std::mutex lock_;  // guards both members
  std::optional<plx::TokenRecord> token_;
  plx::AccountInfo info_;
};

struct StatusEntry {
  ConnectionState state;
  std::string channel;
  std::string detail;
  bool operator==(const StatusEntry&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const StatusEntry& s) {
  return out << ConnectionStateName(s.state) << " | " << s.channel << " | " << s.detail;
}

// Polls `done` in real time for up to five seconds.
inline bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds{5};
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds{2});
  }
  return true;
}

class YouTubeFixture : public ::testing::Test {
 protected:
  static constexpr const char* kChannel = "UClivechannel00000000001";
  static constexpr const char* kVideo = "liveVideo01";
  static constexpr const char* kChatId = "chat-live-1";

  YouTubeFixture() {
    endpoints_.youtubeWeb = web_.BaseUrl();
    endpoints_.youtubeApi = api_.BaseUrl();
    yt_.SetPagePadding(64 * 1024);
  }
  // The hub goes first: its callback records into members declared after it.
  ~YouTubeFixture() override { StopHub(); }

  void StopHub() {
    if (!hub_) return;
    hub_->Stop();
    hub_->SetChangedCallback(nullptr);
    hub_.reset();
  }

  // A live channel "@livechan" titled "Live Channel".
  void AddLiveChannel() {
    yt_.AddChannel(kChannel, "livechan", "Live Channel");
    yt_.StartStream(kChannel, kVideo, kChatId);
  }

  void Start(const std::string& target) {
    StopHub();
    hub_ = std::make_unique<ChatHub>(accounts_, clock_);
    hub_->SetReaderEntry(kYouTube, MakeYouTubeReader(endpoints_));
    hub_->SetTargets({{}, {}, target});
    hub_->SetChangedCallback([this, hub = hub_.get()] { RecordStatus(*hub); });
    hub_->Start();
  }

  void ClearStatuses() {
    std::lock_guard lock{statusLock_};
    statuses_.clear();
  }
  std::vector<StatusEntry> Statuses() {
    std::lock_guard lock{statusLock_};
    return statuses_;
  }
  bool WaitForStatus(const StatusEntry& wanted) {
    return WaitUntil([&] {
      const auto all = Statuses();
      return std::find(all.begin(), all.end(), wanted) != all.end();
    });
  }
  StatusEntry Current() { return StatusOf(*hub_); }
  static StatusEntry StatusOf(ChatHub& hub) {
    const PlatformStatus s = hub.GetStatus(kYouTube);
    return {s.state, s.channel, s.detail};
  }
  std::vector<std::string> Bodies() {
    std::vector<std::string> out;
    for (const auto& row : hub_->Snapshot()) {
      if (row.platform == kYouTube) out.push_back(row.body);
    }
    return out;
  }
  bool WaitForBody(const std::string& body) {
    return WaitUntil([&] {
      const auto all = Bodies();
      return std::find(all.begin(), all.end(), body) != all.end();
    });
  }
  // Waits until the reader has asked for `count` waits in total and returns them.
  std::vector<int64_t> Waits(size_t count) {
    EXPECT_TRUE(clock_.WaitForWaits(count)) << "waits so far: " << clock_.Waits().size();
    EXPECT_TRUE(clock_.WaitForSleepers(1));
    return clock_.Waits();
  }

  sim::SimServer web_;
  sim::SimServer api_;
  sim::YouTubeSim yt_{web_, api_};
  TestClock clock_;
  TestAccounts accounts_;
  Endpoints endpoints_;
  std::unique_ptr<ChatHub> hub_;

 private:
  void RecordStatus(ChatHub& hub) {
    const StatusEntry now = StatusOf(hub);
    if (now == StatusEntry{ConnectionState::Off, "", ""}) return;  // the hub's own start
    std::lock_guard lock{statusLock_};
    if (statuses_.empty() || !(statuses_.back() == now)) statuses_.push_back(now);
  }

  std::mutex statusLock_;  // guards statuses_; the hub calls back from any thread
  std::vector<StatusEntry> statuses_;
};

}  // namespace vlo::testing_yt
