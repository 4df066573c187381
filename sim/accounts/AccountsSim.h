#pragma once

// The simulated account services: the maker's portal (connect page with an approval page for a
// person, handoff, refresh, revoke), the platforms' OAuth token endpoints for direct refresh
// (Twitch "/oauth2/token", Google "/token", Kick "/oauth/token"), the platforms' own sign-in for
// an app the user registered (Twitch's device authorization with its "/activate" page; Google's
// and Kick's authorization pages with PKCE and a loopback redirect, and the code exchange) and the
// account lookups (Helix "/helix/users", Data API "/youtube/v3/channels", Kick public
// "/public/v1/users"), all in the services' shapes. It is the token authority of the simulated
// world: the chat and API services ask Validate whether a bearer token is good and whose it is.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// One device authorization of a sign-in with the user's own app at Twitch ("/oauth2/device"),
// as recorded.
struct DeviceSession {
  enum class State { Pending, Approved, Denied, Expired, Redeemed };
  std::string clientId;
  std::string userCode;  // 8 upper-case letters
  std::vector<std::string> scopes;
  State state{State::Pending};
  int polls{0};  // token requests that presented its device code, scripted answers included
};

// One visit of Google's or Kick's authorization page, as recorded (the query as sent).
struct AuthorizationRequest {
  enum class Outcome {
    Refused,   // answered with the error page; nothing else happens with it
    Pending,   // the approval page is shown
    Approved,  // redirected with a code
    Denied,    // redirected with error=access_denied
    Failed,    // redirected with a scripted error
  };
  plx::PlatformId platform{plx::PlatformId::YouTube};
  std::string clientId;
  std::string redirectUri;
  std::string responseType;
  std::string state;
  std::string codeChallenge;
  std::string codeChallengeMethod;
  std::vector<std::string> scopes;
  std::string accessType;  // Google's "access_type"
  std::string prompt;      // Google's "prompt"
  std::string handle;      // what the approval page's forms post as "handle"
  Outcome outcome{Outcome::Pending};
};

// How a browser's visit of an authorization page (or of Twitch's "/activate" page with a user
// code) is answered.
enum class OwnAppApproval {
  Manual,   // the approval page, for a person's decision
  Approve,  // the decision at once: redirect with a code, or the device connected
  Deny,     // the refusal at once: redirect with error=access_denied, or the device denied
};

// Scripted answers to device-grant token requests (ahead of the normal behaviour).
enum class DevicePollAnswer {
  SlowDown,  // 400 {"status":400,"message":"slow_down"}
  Pending,   // 400 authorization_pending, even when the device is approved
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

  // Seconds a Twitch device code can be used ("expires_in"), and the polling interval announced.
  static constexpr int kDeviceCodeLifetimeSec = 1800;
  static constexpr int kDevicePollIntervalSec = 5;

  // Every server is used only for its service's paths, so one server may serve several of them.
  // The servers must outlive this object, which stops them when it goes.
  struct Servers {
    SimServer& portal;
    SimServer& twitchOAuth;  // also the device authorization and the "/activate" page
    SimServer& googleOAuth;
    SimServer& kickOAuth;   // also Kick's authorization page
    SimServer& helix;       // "/helix/users"
    SimServer& youtubeApi;  // "/youtube/v3/channels"
    SimServer& kickApi;     // "/public/v1/users"
    // Google's authorization page ("/o/oauth2/v2/auth"); null serves it on googleOAuth.
    SimServer* googleAccounts{nullptr};
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
  // Requests the platform's token endpoint received, accepted or refused (refreshes, code
  // exchanges and device polls alike).
  int DirectRefreshes(plx::PlatformId platform) const;

  // --- Sign-in with the user's own app registration ---
  // The client must be registered with AddClient for the platform (Google and Kick with a
  // secret). Tokens go to the account SetPortalAccount names (its scopes there are the portal's;
  // these tokens carry the scopes the app asked for), with viaPortal false and the app's client
  // id, so the chats, the APIs, the lookups and direct refresh take them.
  // How visits of the authorization and activation pages are answered; Manual until set.
  void SetOwnAppApproval(OwnAppApproval approval);

  // Twitch's device authorization. The recorded sessions, oldest first.
  std::vector<DeviceSession> DeviceSessions() const;
  // Blocks (real time, bounded) until `count` device authorizations were recorded in total.
  bool WaitForDeviceSessions(size_t count, int timeoutMs = 5000) const;
  // Acts on the session with that user code, the newest when empty; false when there is none or
  // it cannot go that way (a pending session can be approved, when an account exists; one not
  // yet redeemed or expired denied; one not yet redeemed expired).
  bool ApproveDevice(std::string_view userCode = {});
  bool DenyDevice(std::string_view userCode = {});
  bool ExpireDevice(std::string_view userCode = {});
  // The next `count` device-grant token requests are answered so, whatever their device code.
  void AnswerNextDevicePolls(DevicePollAnswer answer, int count = 1);

  // Google's and Kick's authorization pages. The recorded visits, refused ones included, oldest
  // first.
  std::vector<AuthorizationRequest> AuthorizationRequests() const;
  // Blocks (real time, bounded) until `count` visits were recorded in total.
  bool WaitForAuthorizationRequests(size_t count, int timeoutMs = 5000) const;
  // The next decision (a button or the automatic one) redirects with a "state" other than the
  // request's / with "error" (no code) instead of its own answer.
  void RedirectWithWrongStateNext();
  void RedirectWithErrorNext(std::string error = "server_error");
  // The next decision's redirect reaches the redirect URI twice: the simulator visits it once
  // itself (bounded wait, answer ignored) before the browser is sent there.
  void RedirectTwiceNext();
  // The URL of the newest redirect to a redirect URI (code and state included); empty before.
  std::string LastRedirect() const;

  // The bases to put in the program's endpoints.
  std::string PortalBase() const;

 private:
  struct State;  // sim/accounts/AccountsState.h

  void InstallPortalRoutes();
  void InstallTokenEndpoints();
  void InstallLookups();
  void InstallDeviceFlow();
  void InstallAuthorizationPages();
  // Route handlers; each runs on a server thread and takes mutex_ itself, except the ones named
  // …Locked, which run with it held.
  HttpAnswer ConnectPage(const HttpExchange& request);
  HttpAnswer Decide(const HttpExchange& request, bool approve);
  HttpAnswer Handoff(const HttpExchange& request);
  HttpAnswer HandOverLocked(PortalSession& session);
  HttpAnswer PortalRefresh(const HttpExchange& request);
  HttpAnswer PortalRevoke(const HttpExchange& request);
  // The token endpoints: refresh, Twitch's device grant, Google's and Kick's code exchange.
  HttpAnswer TokenRequest(plx::PlatformId platform, const HttpExchange& request);
  HttpAnswer DirectRefreshLocked(plx::PlatformId platform, const std::string& clientId,
                                 const HttpExchange& request);
  HttpAnswer DeviceGrantLocked(const std::string& clientId, const HttpExchange& request);
  HttpAnswer CodeExchangeLocked(plx::PlatformId platform, const std::string& clientId,
                                const HttpExchange& request);
  HttpAnswer DeviceAuthorization(const HttpExchange& request);
  HttpAnswer ActivatePage(const HttpExchange& request);
  HttpAnswer ActivateDecision(const HttpExchange& request, bool approve);
  HttpAnswer AuthorizationPage(plx::PlatformId platform, const HttpExchange& request);
  HttpAnswer AuthorizationDecision(plx::PlatformId platform, const HttpExchange& request,
                                   bool approve);
  // Decides a pending request: the redirect URL, and whether the simulator visits it first.
  std::pair<std::string, bool> DecideLocked(AuthorizationRequest& request, bool approve);
  HttpAnswer HelixUsers(const HttpExchange& request) const;
  HttpAnswer DataApiChannels(const HttpExchange& request) const;
  HttpAnswer KickUsers(const HttpExchange& request) const;

  mutable std::mutex mutex_;
  std::unique_ptr<State> state_;  // guarded by mutex_
  Servers servers_;
  SimServer& googleAccounts_;  // servers_.googleAccounts or servers_.googleOAuth
};

}  // namespace vlo::sim
