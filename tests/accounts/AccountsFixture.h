#pragma once

// A secret store in a fresh folder, an account service on the test clock, and two loopback
// servers: one plays the portal, the other every platform endpoint (token endpoints, lookups).

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "accounts/AccountService.h"
#include "accounts/SecretStore.h"
#include "core/Clock.h"
#include "core/Endpoints.h"
#include "sim/SimServer.h"
#include "tests/TempDir.h"

namespace vlo::test {

inline constexpr int64_t kStart = 1'700'000'000'000;

class AccountsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    // No Secret Service here: the store keeps its plain form, which these tests read back.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    endpoints.portal = portal.BaseUrl();
    endpoints.portalFallback.clear();
    endpoints.twitchOAuth = endpoints.googleOAuth = endpoints.kickOAuth = platform.BaseUrl();
    endpoints.twitchHelix = endpoints.youtubeApi = endpoints.kickApi = platform.BaseUrl();
  }

  void TearDown() override {
    if (service) service->Shutdown();
  }

  // Creates the store (reading what the test wrote into the folder) and the service. Opened
  // pages are recorded, then handed to `browser` when given.
  AccountService& Start(UrlOpener browser = {}) {
    store = std::make_unique<SecretStore>(dir.path());
    service = std::make_unique<AccountService>(
        *store, endpoints,
        [this, browser](const std::string& url) {
          {
            std::lock_guard lock{mutex_};
            opened_.push_back(url);
          }
          if (browser) browser(url);
        },
        clock);
    service->SetSignInObserver([this](const plx::OAuthLoginResult& result) {
      std::lock_guard lock{mutex_};
      results_.push_back(result);
      changed_.notify_all();
    });
    return *service;
  }

  // The next sign-in result (bounded real-time wait).
  std::optional<plx::OAuthLoginResult> NextResult(std::chrono::seconds limit = std::chrono::seconds{
                                                      20}) {
    std::unique_lock lock{mutex_};
    if (!changed_.wait_for(lock, limit, [this] { return !results_.empty(); })) return std::nullopt;
    plx::OAuthLoginResult result = results_.front();
    results_.pop_front();
    return result;
  }

  std::vector<std::string> Opened() {
    std::lock_guard lock{mutex_};
    return opened_;
  }

  void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream{dir.path() / name, std::ios::binary} << text;
  }

  TempDir dir;
  sim::SimServer portal;
  sim::SimServer platform;
  TestClock clock{kStart, true};
  Endpoints endpoints;
  std::unique_ptr<SecretStore> store;
  std::unique_ptr<AccountService> service;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> opened_;
  std::deque<plx::OAuthLoginResult> results_;
};

}  // namespace vlo::test
