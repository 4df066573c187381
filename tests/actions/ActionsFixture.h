#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "actions/Actions.h"
#include "core/ChatHub.h"
#include "core/Clock.h"
#include "sim/SimServer.h"
#include "tests/actions/ResultPrinting.h"

namespace vlo::test {

using plx::PlatformId;

// Tokens, scopes, user ids and client ids per platform, as the account service would give them.
// Only the test thread calls it (the actions run on the calling thread).
class TestAccounts final : public AccountOperations {
 public:
  std::map<PlatformId, plx::TokenRecord> tokens;
  std::map<PlatformId, std::string> userIds;
  std::map<PlatformId, std::string> clientIds;

  std::optional<plx::TokenRecord> GetFreshToken(PlatformId p) override {
    const auto it{tokens.find(p)};
    if (it == tokens.end()) return std::nullopt;
    return it->second;
  }
  plx::AccountInfo AccountFromStore(PlatformId p) override {
    plx::AccountInfo info;
    info.signedIn = tokens.contains(p);
    if (userIds.contains(p)) info.userId = userIds[p];
    return info;
  }
  plx::AccountInfo LookupAccount(PlatformId p) override { return AccountFromStore(p); }
  std::string ClientIdFor(PlatformId p) override {
    return clientIds.contains(p) ? clientIds[p] : std::string{};
  }
};

inline constexpr char kTwitchToken[]{"twitch-access-7f3a"};
inline constexpr char kKickToken[]{"kick-access-91c2"};
inline constexpr char kYouTubeToken[]{"ya29.youtube-access"};
inline constexpr char kTwitchClientId[]{"gp762nuuoqcoxypju8c569th9wz7q5"};
inline constexpr char kRoomId[]{"141981764"};
inline constexpr char kModeratorId[]{"413092233"};
inline constexpr char kKickBroadcasterId[]{"668"};
inline constexpr char kLiveChatId[]{"Cg0KC2RRdzR3OVdnWGNRKicKGFVD"};

// Loopback servers standing in for Helix, Kick's public API and the Data API, a hub on a test
// clock, and sign-ins with the ids the readers would have learned.
class ActionsTest : public ::testing::Test {
 public:
  ActionsTest() {
    endpoints.twitchHelix = helix.BaseUrl();
    endpoints.kickApi = kick.BaseUrl();
    endpoints.youtubeApi = dataApi.BaseUrl();
  }

  void SignIn(PlatformId platform, std::vector<std::string> scopes = {}) {
    plx::TokenRecord token;
    token.accessToken = platform == PlatformId::Twitch ? kTwitchToken
                        : platform == PlatformId::Kick ? kKickToken
                                                       : kYouTubeToken;
    token.scopes = std::move(scopes);
    accounts.tokens[platform] = token;
    if (platform == PlatformId::Twitch) {
      accounts.userIds[platform] = kModeratorId;
      accounts.clientIds[platform] = kTwitchClientId;
    }
  }

  // Signed in everywhere, with every chat connected.
  void SignInAndConnectAll() {
    for (const PlatformId p : plx::kReadPlatforms) SignIn(p);
    hub.SetPlatformId(PlatformId::Twitch, kRoomId);
    hub.SetPlatformId(PlatformId::Kick, kKickBroadcasterId);
    hub.SetPlatformId(PlatformId::YouTube, kLiveChatId);
  }

  // A viewer's message as a reader would add it.
  plx::ChatMessage Viewer(PlatformId platform, std::string author, std::string authorId,
                          std::string messageId, std::string body) {
    plx::ChatMessage message;
    message.id = plx::PlatformKey(platform) + "-" + std::to_string(++counter_);
    message.platform = platform;
    message.author = std::move(author);
    message.authorId = std::move(authorId);
    message.platformMessageId = std::move(messageId);
    message.body = std::move(body);
    message.timestampMs = clock.NowMs();
    return message;
  }

  size_t RequestsEverywhere() const {
    return helix.Requests().size() + kick.Requests().size() + dataApi.Requests().size();
  }

  std::vector<plx::ChatRow> Rows() const { return hub.Snapshot(); }

  // The rows' deleted flags, oldest first.
  std::vector<bool> Deleted() const {
    std::vector<bool> flags;
    for (const auto& row : hub.Snapshot()) flags.push_back(row.deleted);
    return flags;
  }

  sim::SimServer helix;
  sim::SimServer kick;
  sim::SimServer dataApi;
  Endpoints endpoints;
  TestClock clock;
  TestAccounts accounts;
  ChatHub hub{accounts, clock};

 private:
  int counter_{0};
};

}  // namespace vlo::test
