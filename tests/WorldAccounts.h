#pragma once

// A test fixture for the program's own account service and hub against the simulated world:
// tokens in a fresh folder, portal sign-ins (this fixture plays the browser and visits the
// connect page), and a hub with the three real readers.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "accounts/AccountService.h"
#include "accounts/SecretStore.h"
#include "core/ChatHub.h"
#include "core/ChatMessage.h"
#include "core/Clock.h"
#include "net/Http.h"
#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/youtube/YouTubeReader.h"
#include "tests/TempDir.h"
#include "tests/WorldChat.h"

namespace vlo::test {

class WorldAccountsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world = QuietWorld();
    chat = std::make_unique<WorldChat>(*world);
    store = std::make_unique<SecretStore>(dir.path());
    accounts = std::make_unique<AccountService>(
        *store, world->GetEndpoints(), [this](const std::string& url) { Browse(url); }, clock);
    // Called on the sign-in worker.
    accounts->SetSignInObserver([this](const plx::OAuthLoginResult& result) {
      std::lock_guard lock{mutex_};
      results_.push_back(result);
      changed_.notify_all();
    });
  }

  void TearDown() override {
    if (hub) hub->Stop();
    accounts->Shutdown();
    for (std::thread& browser : browsers_) browser.join();
  }

  // The browser's part of a sign-in. The portal's page is visited before the opener returns, so
  // the session exists at the first poll; an app's authorization page redirects to the
  // program's own listener, which accepts once the opener returned, so that visit happens on a
  // thread of its own, as in a real browser.
  void Browse(const std::string& url) {
    if (url.find("/connect/") != std::string::npos) {
      plx::Get(url, 5000);
    } else {
      browsers_.emplace_back([url] { plx::Get(url, 5000); });
    }
  }

  // One portal sign-in, to its result (bounded wait).
  plx::OAuthLoginResult SignIn(plx::PlatformId platform) {
    std::string error;
    EXPECT_TRUE(accounts->StartSignIn(platform, &error)) << error;
    std::unique_lock lock{mutex_};
    EXPECT_TRUE(
        changed_.wait_for(lock, std::chrono::seconds{20}, [&] { return !results_.empty(); }));
    if (results_.empty()) return {};
    plx::OAuthLoginResult result = results_.front();
    results_.pop_front();
    return result;
  }

  void SignInEverywhere() {
    for (const plx::PlatformId platform : plx::kReadPlatforms) {
      const plx::OAuthLoginResult result = SignIn(platform);
      ASSERT_TRUE(result.ok) << plx::PlatformName(platform) << ": " << result.message;
    }
  }

  // Starts a hub on the account service with the three readers of the world.
  ChatHub& StartHub(ChatTargets targets) {
    hub = std::make_unique<ChatHub>(*accounts);
    hub->SetTargets(std::move(targets));
    const Endpoints& endpoints = world->GetEndpoints();
    hub->SetReaderEntry(plx::PlatformId::Twitch, MakeTwitchReader(endpoints));
    hub->SetReaderEntry(plx::PlatformId::YouTube, MakeYouTubeReader(endpoints));
    hub->SetReaderEntry(plx::PlatformId::Kick, MakeKickReader(endpoints));
    hub->Start();
    return *hub;
  }

  // Starts the hub and waits until every platform reads and can send.
  void StartReading(ChatTargets targets) {
    StartHub(std::move(targets));
    for (const plx::PlatformId platform : plx::kReadPlatforms) {
      ASSERT_TRUE(Eventually([&] {
        const PlatformStatus status = hub->GetStatus(platform);
        return status.state == ConnectionState::Connected && status.canSend;
      })) << plx::PlatformName(platform)
          << ": " << hub->GetStatus(platform).detail;
    }
  }

  TempDir dir;
  // The account service's waits (sign-in polls) pass at once; its time starts at the real time,
  // so the tokens it stores expire as the simulator's do.
  TestClock clock{plx::nowMs(), true};
  std::unique_ptr<sim::SimWorld> world;
  std::unique_ptr<WorldChat> chat;
  std::unique_ptr<SecretStore> store;
  std::unique_ptr<AccountService> accounts;
  std::unique_ptr<ChatHub> hub;

 private:
  std::vector<std::thread> browsers_;  // test thread only
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<plx::OAuthLoginResult> results_;  // guarded by mutex_
};

}  // namespace vlo::test
