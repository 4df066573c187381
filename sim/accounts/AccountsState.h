#pragma once

// The state behind AccountsSim, shared by the files that implement its services.

#include <condition_variable>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Json.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/accounts/OwnAppState.h"
#include "sim/accounts/TokenBook.h"

namespace vlo::sim {

// Every member is guarded by AccountsSim::mutex_.
struct AccountsSim::State {
  struct PortalChoice {
    std::string accountId;
    std::vector<std::string> scopes;
  };
  struct ScriptedRefresh {
    PortalRefreshAnswer answer{PortalRefreshAnswer::Normal};
    int remaining{0};
    int retryAfterSec{0};
  };

  TokenBook book;
  std::map<plx::PlatformId, PortalChoice> portalAccounts;  // set by SetPortalAccount
  int autoApprove{-1};
  std::vector<PortalSession> sessions;  // oldest first
  bool wrongPlatformNext{false};
  bool withoutTokenNext{false};
  bool withExpiresIn{true};
  bool scopesAsString{false};
  std::deque<ScriptedRefresh> refreshScript;
  std::vector<std::string> revoked;
  std::condition_variable sessionsChanged;
  OwnAppState ownApp;

  // The account a sign-in of the platform hands over, with its scopes; null when none exists.
  const SimAccount* PortalAccount(plx::PlatformId platform, std::vector<std::string>& scopes) const;
};

// "twitch", "youtube" and "kick"; nothing for anything else.
std::optional<plx::PlatformId> SignInPlatform(std::string_view key);
// The portal's client id and default scopes at a platform.
const char* PortalClientId(plx::PlatformId platform);
std::vector<std::string> DefaultPortalScopes(plx::PlatformId platform);
// The token of an "Authorization: Bearer …" header; empty when there is none.
std::string BearerToken(const HttpExchange& request);
// A compact JSON answer, and an HTML page.
HttpAnswer JsonAnswer(const json::Json& body, int status = 200);
HttpAnswer Page(std::string html, int status = 200);
// The scopes joined with single spaces, and a space-separated list split (empty items dropped).
std::string JoinScopes(const std::vector<std::string>& scopes);
std::vector<std::string> SplitScopes(std::string_view text);

}  // namespace vlo::sim
