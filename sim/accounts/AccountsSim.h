#pragma once

// The simulated account services: the maker's portal (connect page with an approval page for a
// person, handoff, refresh, revoke), the platforms' OAuth token endpoints for direct refresh
// (Twitch "/oauth2/token", Google "/token", Kick "/oauth/token") and the account lookups (Helix
// "/helix/users", Data API "/youtube/v3/channels", Kick public "/public/v1/users"), all in the
// services' shapes. It is the token authority of the simulated world: the chat and API services
// ask Validate whether a bearer token is good and whose it is.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Platform.h"
#include "sim/SimServer.h"

namespace vlo::sim {

// A user of one simulated platform.
struct SimAccount {
  plx::PlatformId platform{plx::PlatformId::Twitch};
  std::string id;           // Twitch user id, Kick user id (decimal), YouTube channel id ("UC…")
  std::string login;        // Twitch login, Kick username, YouTube custom URL ("@handle")
  std::string displayName;  // Twitch display name, Kick name, YouTube channel title
  std::string avatarUrl;
};

// What a valid access token grants.
struct SimGrant {
  SimAccount account;
  std::vector<std::string> scopes;
  std::string clientId;
  bool viaPortal{false};
};

struct SimTokenPair {
  std::string accessToken;
  std::string refreshToken;
};

// One connect-page visit, as the portal recorded it.
struct PortalSession {
  enum class State { Pending, Approved, Denied, Expired, HandedOver };
  plx::PlatformId platform{plx::PlatformId::Twitch};
  std::string challenge;
  std::string version;  // the "ver" query value
  State state{State::Pending};
  int polls{0};  // handoff polls that presented this session's verifier
};

// How the portal answers the next refresh requests (ahead of the normal behaviour).
enum class PortalRefreshAnswer {
  Normal,            // 200 with a new token pair and "expiresIn", or 400 invalid_grant when the
                     // refresh token is unknown or revoked
  WithoutExpiresIn,  // 200 with a new token pair and no "expiresIn"
  EmptyAccessToken,  // 200 with "accessToken": ""
  InvalidGrant,      // 400 {"error":"invalid_grant"}
  Unavailable,       // 503 without Retry-After
  UnavailableRetry,  // 503 with Retry-After (the given seconds)
};

class AccountsSim {
 public:
  // The portal's own OAuth client at each platform, handed over as "clientId".
  static constexpr const char* kPortalTwitchClientId = "velaroportaltwitch0000000000";
  static constexpr const char* kPortalGoogleClientId = "velaro-portal.apps.example";
  static constexpr const char* kPortalKickClientId = "01VELAROPORTALKICK";
  // Seconds a token issued by this simulator lives unless told otherwise.
  static constexpr int64_t kDefaultLifetimeSec = 14400;

  // Every server is used only for its service's paths, so one server may serve several of them.
  // The servers must outlive this object, which stops them when it goes.
  struct Servers {
    SimServer& portal;
    SimServer& twitchOAuth;
    SimServer& googleOAuth;
    SimServer& kickOAuth;
    SimServer& helix;       // "/helix/users"
    SimServer& youtubeApi;  // "/youtube/v3/channels"
    SimServer& kickApi;     // "/public/v1/users"
  };
  explicit AccountsSim(Servers servers);
  ~AccountsSim();
  AccountsSim(const AccountsSim&) = delete;
  AccountsSim& operator=(const AccountsSim&) = delete;

  // --- Accounts, clients and tokens (any thread) ---
  void AddAccount(SimAccount account);
  // A client registered directly at the platform (for direct refresh); an empty secret is a
  // public client (Twitch allows that).
  void AddClient(plx::PlatformId platform, std::string clientId, std::string clientSecret);
  // Issues a token for a known account. `lifetimeSec` 0 = kDefaultLifetimeSec.
  SimTokenPair IssueToken(plx::PlatformId platform, const std::string& accountId,
                          std::vector<std::string> scopes, std::string clientId, bool viaPortal,
                          int64_t lifetimeSec = 0);
  // The grant of a token that this simulator issued, has not revoked, replaced by a refresh or
  // seen expire (real time). Nothing for anything else.
  std::optional<SimGrant> Validate(plx::PlatformId platform, std::string_view accessToken) const;
  // Makes a token invalid at once (as if it expired), keeping its refresh token usable.
  void ExpireToken(std::string_view accessToken);

  // --- Portal sign-in ---
  // The account a person (or the auto-approval) signs in with on the connect page of a platform,
  // and the scopes granted; the first account added for a platform until set.
  void SetPortalAccount(plx::PlatformId platform, std::string accountId,
                        std::vector<std::string> scopes = {});
  // Sessions are approved by themselves once `polls` handoff polls presented their verifier
  // (0 = at the first poll; 2 = two polls answer pending, the third hands over); -1 (the
  // default) waits for Approve or the approval page's button.
  void SetAutoApprove(int polls);
  // The recorded sessions, oldest first.
  std::vector<PortalSession> Sessions() const;
  // Blocks (real time, bounded) until `count` connect-page visits were recorded in total.
  bool WaitForSessions(size_t count, int timeoutMs = 5000) const;
  // Acts on the newest session of the platform; false when there is none or it cannot go that
  // way (a pending session can be approved; one not yet handed over denied or expired).
  bool Approve(plx::PlatformId platform);
  bool Deny(plx::PlatformId platform);    // handoff answers 400 access_denied
  bool Expire(plx::PlatformId platform);  // handoff answers 410
  // The next handoff that would hand over a token answers instead with a token whose
  // "platform" names another platform / with an empty access token (none is issued). Either
  // way the session is handed over.
  void HandOverWrongPlatformNext();
  void HandOverWithoutTokenNext();
  // Whether the handoff answer carries "expiresIn" and gives "scopes" as one space-separated
  // string instead of an array (defaults: with expiresIn, as an array).
  void SetHandoffShape(bool withExpiresIn, bool scopesAsString);

  // --- Refresh and revoke ---
  void AnswerNextRefreshes(PortalRefreshAnswer answer, int count = 1, int retryAfterSec = 0);
  // Requests the portal's refresh path received, scripted answers included.
  int RefreshRequests() const;
  // Access tokens the portal was asked to revoke, in order.
  std::vector<std::string> RevokedTokens() const;
  // Requests the platform's token endpoint received, accepted or refused.
  int DirectRefreshes(plx::PlatformId platform) const;

  // The bases to put in the program's endpoints.
  std::string PortalBase() const;

 private:
  struct State;  // sim/accounts/AccountsState.h

  void InstallPortalRoutes();
  void InstallTokenEndpoints();
  void InstallLookups();
  // Route handlers; each runs on a server thread and takes mutex_ itself.
  HttpAnswer ConnectPage(const HttpExchange& request);
  HttpAnswer Decide(const HttpExchange& request, bool approve);
  HttpAnswer Handoff(const HttpExchange& request);
  HttpAnswer HandOverLocked(PortalSession& session);
  HttpAnswer PortalRefresh(const HttpExchange& request);
  HttpAnswer PortalRevoke(const HttpExchange& request);
  HttpAnswer DirectRefresh(plx::PlatformId platform, const HttpExchange& request);
  HttpAnswer HelixUsers(const HttpExchange& request) const;
  HttpAnswer DataApiChannels(const HttpExchange& request) const;
  HttpAnswer KickUsers(const HttpExchange& request) const;

  mutable std::mutex mutex_;
  std::unique_ptr<State> state_;  // guarded by mutex_
  Servers servers_;
};

}  // namespace vlo::sim
