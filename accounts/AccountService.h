#pragma once

// The account service: sign-in through the portal, tokens kept fresh (through the portal or
// directly at the platform), the signed-in user's identity, sign-out and revocation. Implements
// the account operations the hub, the readers and the actions use.

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "accounts/LoopbackRedirect.h"
#include "accounts/OwnApp.h"
#include "accounts/Portal.h"
#include "accounts/SecretStore.h"
#include "core/Accounts.h"
#include "core/Clock.h"
#include "core/Endpoints.h"

namespace vlo {

// Opens a URL in the user's browser. Called on the thread that starts a sign-in.
using UrlOpener = std::function<void(const std::string& url)>;

// What the user is asked to do during a sign-in with their own app at Twitch: open the page and
// enter the code there.
struct SignInPrompt {
  plx::PlatformId platform{plx::PlatformId::Twitch};
  std::string url;
  std::string userCode;

  bool operator==(const SignInPrompt&) const = default;
};

class AccountService final : public AccountOperations {
 public:
  static constexpr int64_t kExpiryMarginMs = 60000;
  static constexpr int64_t kSignInDeadlineMs = 600000;
  static constexpr int64_t kPollIntervalMs = 3000;

  // `store` and `clock` outlive the service. The portal bases come from `endpoints`.
  AccountService(SecretStore& store, const Endpoints& endpoints, UrlOpener openUrl,
                 Clock& clock = SystemClock());
  ~AccountService() override;  // Shutdown
  AccountService(const AccountService&) = delete;
  AccountService& operator=(const AccountService&) = delete;

  // --- Sign-in (window thread) ---
  // Opens the portal's connect page and starts the worker that polls for the token. False with
  // "Another sign-in is already in progress" while one runs.
  bool StartSignIn(plx::PlatformId platform, std::string* error);
  // Returns at once; the worker ends within about 100 ms while it waits, or when its current
  // request returns, and reports Cancelled.
  void CancelSignIn();
  std::optional<plx::PlatformId> PendingSignIn() const;
  // Called on the sign-in worker, without any lock held; must not block.
  void SetSignInObserver(std::function<void(const plx::OAuthLoginResult&)> observer);
  // Called on the sign-in worker when a sign-in has a page to open and a code to show (the
  // Twitch device sign-in with the user's own app); must not block.
  void SetSignInPromptObserver(std::function<void(const SignInPrompt&)> observer);
  // The prompt of the running sign-in, if it has one.
  std::optional<SignInPrompt> CurrentPrompt() const;
  // The loopback port the user registered with their own app (for YouTube and Kick).
  void SetRedirectPort(int port) { redirectPort_.store(port); }
  int RedirectPort() const { return redirectPort_.load(); }
  // Cancels a running sign-in and joins its worker (after its result was delivered).
  void Shutdown();

  // --- Tokens and accounts (any thread) ---
  std::optional<plx::TokenRecord> GetToken(plx::PlatformId platform);
  // Refreshes first when the token is about to expire; may block up to 15 s under the accounts
  // lock while a refresh runs.
  std::optional<plx::TokenRecord> GetFreshToken(plx::PlatformId platform) override;
  std::string ClientIdFor(plx::PlatformId platform) override;
  plx::AccountInfo AccountFromStore(plx::PlatformId platform) override;
  plx::AccountInfo LookupAccount(plx::PlatformId platform) override;
  // Erases the stored token (rewriting the file) and its refresh back-off.
  void ForgetAccount(plx::PlatformId platform);
  // Asks the portal to revoke a portal token (8 s, outcome ignored); nothing for other tokens.
  void RevokeToken(plx::PlatformId platform, const plx::TokenRecord& token);

 private:
  // Skipped: the refresh could not even be asked for (no refresh token, no client).
  enum class RefreshOutcome { Refreshed, Refused, TryLater, Skipped };
  struct Refresh {
    RefreshOutcome outcome{RefreshOutcome::TryLater};
    plx::TokenRecord token;  // the refreshed record for Refreshed
    int32_t retryAfter{0};   // seconds, from the answer of a failed attempt
  };

  std::string OpenConnectPage(plx::PlatformId platform);
  bool StartOwnAppSignIn(plx::PlatformId platform, const plx::OAuthClient& client,
                         std::string* error);
  // Runs a sign-in's body on the worker and delivers its result (a LoginError becomes a failed
  // result); `secret` (the verifier the body uses) is wiped afterwards.
  void RunSignIn(plx::PlatformId platform, const std::function<plx::OAuthLoginResult()>& body,
                 std::string& secret);
  plx::OAuthLoginResult PollDeviceCode(plx::PlatformId platform, const plx::OAuthClient& client);
  plx::OAuthLoginResult WaitForRedirect(plx::PlatformId platform, const plx::OAuthClient& client,
                                        LoopbackRedirect& redirect, const std::string& verifier,
                                        const std::string& state, int port);
  plx::OAuthLoginResult FinishOwnAppSignIn(plx::PlatformId platform, const plx::OAuthClient& client,
                                           plx::TokenRecord token);
  void Prompt(const SignInPrompt& prompt);
  plx::OAuthLoginResult PollHandoff(plx::PlatformId platform, const std::string& verifier);
  plx::OAuthLoginResult FinishSignIn(plx::PlatformId platform, const json::Json& body);
  void PauseForRetry(int32_t retryAfterSec, int64_t deadline);
  void WaitOrCancel(int64_t ms);
  // Network calls end at once when no longer wanted: a sign-in's once it is cancelled, the
  // others' once the service is shut down (the program is ending).
  plx::CallControl SignInControl();
  plx::CallControl ServiceControl();

  Refresh RefreshThroughPortal(plx::PlatformId platform, plx::TokenRecord token);
  Refresh RefreshDirect(plx::PlatformId platform, const plx::TokenRecord& token,
                        const plx::OAuthClient& client);
  std::optional<plx::TokenRecord> RefreshOwnToken(plx::PlatformId platform,
                                                  const plx::TokenRecord& token);
  std::optional<plx::TokenRecord> RefreshPortalToken(plx::PlatformId platform,
                                                     const plx::TokenRecord& token);
  std::optional<plx::AccountInfo> AskPlatform(plx::PlatformId platform,
                                              const plx::TokenRecord& token);
  void RememberIdentity(plx::PlatformId platform, const plx::TokenRecord& asked,
                        const plx::AccountInfo& answer);

  SecretStore& store_;
  const Endpoints endpoints_;
  const PortalBases portal_;
  const UrlOpener openUrl_;
  Clock& clock_;

  mutable std::mutex observerLock_;  // guards observer_
  std::function<void(const plx::OAuthLoginResult&)> observer_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> cancel_{false};
  std::atomic<bool> shutDown_{false};  // Shutdown was called; never cleared
  std::atomic<int32_t> pendingPlatform_{-1};
  std::atomic<int> redirectPort_{kDefaultRedirectPort};
  std::function<void(const SignInPrompt&)> promptObserver_;  // guarded by observerLock_
  std::optional<SignInPrompt> prompt_;                       // guarded by observerLock_
  std::thread worker_;  // started and joined on the window thread only

  // The accounts lock: every read-modify-write of stored tokens; taken before the store's lock.
  std::mutex accountsLock_;
  std::map<plx::PlatformId, int64_t> refreshNotBefore_;  // guarded by accountsLock_
  int64_t refreshBackoffMs_{30000};                      // guarded by accountsLock_
};

}  // namespace vlo
