#pragma once

// The simulated account services on their own servers, with one account per platform, and a
// plain HTTP client to talk to them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Json.h"
#include "net/Http.h"
#include "sim/SimServer.h"
#include "sim/accounts/AccountsSim.h"

namespace vlo::sim::testing_accounts {

using Json = json::Json;
using plx::PlatformId;

inline constexpr PlatformId kPlatforms[] = {PlatformId::Twitch, PlatformId::YouTube,
                                            PlatformId::Kick};

// One answer as a client saw it.
struct Reply {
  int status{0};
  Json body;  // an empty object when the body is not a JSON object
  std::string raw;
  int retryAfter{0};
};

inline Reply ToReply(const plx::HttpResponse& response) {
  return Reply{response.status, json::ParseObject(response.body), response.body,
               response.retryAfter};
}

class AccountsFixture : public ::testing::Test {
 protected:
  AccountsFixture() {
    accounts.AddAccount({PlatformId::Twitch, "1001", "streamer", "Streamer", "https://img/1"});
    accounts.AddAccount({PlatformId::YouTube, "UCtubechannel00000000001", "@tube", "Tube", ""});
    accounts.AddAccount({PlatformId::Kick, "2002", "kicker", "Kicker", ""});
  }

  static std::string AccountId(PlatformId platform) {
    switch (platform) {
      case PlatformId::YouTube:
        return "UCtubechannel00000000001";
      case PlatformId::Kick:
        return "2002";
      default:
        return "1001";
    }
  }

  Reply PostPortal(const std::string& path, const Json& body) {
    return ToReply(plx::PostJson(portal.BaseUrl() + path, body.dump()));
  }
  Reply Poll(const std::string& verifier) {
    return PostPortal("/api/oauth/handoff", {{"verifier", verifier}});
  }
  // Opens the connect page as a browser would.
  plx::HttpResponse Connect(PlatformId platform, const std::string& challenge) {
    return plx::Get(portal.BaseUrl() + "/connect/" +
                    plx::PercentEncode(plx::PlatformKey(platform)) +
                    "?challenge=" + plx::PercentEncode(challenge) + "&ver=chat-1.1.3");
  }

  SimServer portal;
  SimServer twitchOAuth;
  SimServer googleOAuth;
  SimServer kickOAuth;
  SimServer helix;
  SimServer youtubeApi;
  SimServer kickApi;
  SimServer googleAccounts;
  AccountsSim accounts{
      {portal, twitchOAuth, googleOAuth, kickOAuth, helix, youtubeApi, kickApi, &googleAccounts}};
};

}  // namespace vlo::sim::testing_accounts
