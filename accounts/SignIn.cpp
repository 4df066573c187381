// The portal sign-in: the connect page in the browser, then the worker that polls the portal's
// handoff with the verifier until the token arrives, the user gives up or ten minutes pass.

#include <algorithm>
#include <utility>

#include "accounts/AccountService.h"
#include "accounts/Pkce.h"
#include "accounts/TokenParsing.h"
#include "core/Version.h"

namespace vlo {

using plx::LoginError;
using plx::LoginErrorCode;
using plx::PlatformId;

namespace {

constexpr uint32_t kHandoffTimeoutMs = 8000;
constexpr int kUnreachableAfter = 3;

[[noreturn]] void Fail(LoginErrorCode code, const std::string& text) {
  throw LoginError{code, text};
}

[[noreturn]] void Cancelled() { Fail(LoginErrorCode::Cancelled, "Sign-in cancelled"); }

[[noreturn]] void TimedOut() { Fail(LoginErrorCode::TimedOut, "Sign-in timed out - try again"); }

[[noreturn]] void SessionExpired() { Fail(LoginErrorCode::Expired, "The sign-in session expired"); }

}  // namespace

bool AccountService::StartSignIn(PlatformId platform, std::string* error) {
  if (busy_.exchange(true)) {
    if (error) *error = "Another sign-in is already in progress";
    return false;
  }
  if (worker_.joinable()) worker_.join();
  cancel_.store(false);
  pendingPlatform_.store(static_cast<int32_t>(platform));
  {
    std::lock_guard lock{observerLock_};
    prompt_.reset();
  }
  // With the user's own app registered for the platform, the sign-in goes straight to it.
  if (const plx::OAuthClient client = store_.LoadOAuthClients().For(platform);
      !client.clientId.empty()) {
    if (StartOwnAppSignIn(platform, client, error)) return true;
    pendingPlatform_.store(-1);
    busy_.store(false);
    return false;
  }
  std::string verifier = OpenConnectPage(platform);
  if (verifier.empty()) {
    pendingPlatform_.store(-1);
    busy_.store(false);
    if (error) *error = "The system could not make a sign-in secret";
    return false;
  }
  worker_ = std::thread{[this, platform, verifier = std::move(verifier)]() mutable {
    RunSignIn(
        platform, [&] { return PollHandoff(platform, verifier); }, verifier);
  }};
  return true;
}

void AccountService::CancelSignIn() { cancel_.store(true); }

std::optional<PlatformId> AccountService::PendingSignIn() const {
  if (!busy_.load()) return std::nullopt;
  const int32_t pending = pendingPlatform_.load();
  if (pending < 0) return std::nullopt;
  return static_cast<PlatformId>(pending);
}

void AccountService::SetSignInObserver(std::function<void(const plx::OAuthLoginResult&)> observer) {
  std::lock_guard lock{observerLock_};
  observer_ = std::move(observer);
}

void AccountService::SetSignInPromptObserver(std::function<void(const SignInPrompt&)> observer) {
  std::lock_guard lock{observerLock_};
  promptObserver_ = std::move(observer);
}

std::optional<SignInPrompt> AccountService::CurrentPrompt() const {
  std::lock_guard lock{observerLock_};
  return busy_.load() ? prompt_ : std::nullopt;
}

void AccountService::Prompt(const SignInPrompt& prompt) {
  std::function<void(const SignInPrompt&)> observer;
  {
    std::lock_guard lock{observerLock_};
    prompt_ = prompt;
    observer = promptObserver_;
  }
  if (observer) observer(prompt);
}

void AccountService::Shutdown() {
  shutDown_.store(true);
  cancel_.store(true);
  if (worker_.joinable()) worker_.join();
}

plx::CallControl AccountService::SignInControl() {
  plx::CallControl control;
  control.keepGoing = [this] { return !cancel_.load(); };
  return control;
}

plx::CallControl AccountService::ServiceControl() {
  plx::CallControl control;
  control.keepGoing = [this] { return !shutDown_.load(); };
  return control;
}

std::string AccountService::OpenConnectPage(PlatformId platform) {
  PkcePair pair = MakePkcePair();
  if (pair.verifier.empty()) return {};
  const std::string url = portal_.primary + "/connect/" + plx::PlatformKey(platform) +
                          "?challenge=" + plx::PercentEncode(pair.challenge) +
                          "&ver=" + plx::PercentEncode(kPortalVersionTag);
  if (openUrl_) openUrl_(url);
  return std::move(pair.verifier);
}

void AccountService::RunSignIn(PlatformId platform,
                               const std::function<plx::OAuthLoginResult()>& body,
                               std::string& secret) {
  plx::OAuthLoginResult result;
  try {
    result = body();
  } catch (const LoginError& e) {
    result.ok = false;
    result.code = e.code();
    result.message = e.what();
  } catch (...) {
    result.ok = false;
    result.code = LoginErrorCode::Failed;
    result.message = "Sign-in failed";
  }
  result.platform = platform;
  WipeText(secret);

  std::function<void(const plx::OAuthLoginResult&)> observer;
  {
    std::lock_guard lock{observerLock_};
    observer = observer_;
    prompt_.reset();
  }
  pendingPlatform_.store(-1);
  busy_.store(false);
  if (observer) observer(result);
}

plx::OAuthLoginResult AccountService::PollHandoff(PlatformId platform,
                                                  const std::string& verifier) {
  std::string body = json::Dump({{"verifier", verifier}});
  struct Wipe {
    std::string& text;
    ~Wipe() { WipeText(text); }
  } wipeBody{body};

  const int64_t deadline = clock_.NowMs() + kSignInDeadlineMs;
  int failures = 0;
  bool seenPending = false;
  while (true) {
    if (cancel_.load()) Cancelled();
    const plx::HttpResponse response = PortalPost(portal_, portal_.primary, "/api/oauth/handoff",
                                                  body, kHandoffTimeoutMs, SignInControl());
    if (cancel_.load()) Cancelled();
    const json::Json answer = ParsePortalBody(response.body);
    const std::string status = json::TextOr(answer, "status");

    if (response.status == 0) {
      if (++failures >= kUnreachableAfter) {
        Fail(LoginErrorCode::Unreachable,
             "Could not reach the Velaro portal (" + response.error + ")");
      }
    } else {
      failures = 0;
      const int32_t code = response.status;
      if (code == 200 && status == "ok") return FinishSignIn(platform, answer);
      if (code == 202) seenPending = true;
      if (code == 400) {
        const std::string error = json::TextOr(answer, "error");
        const std::string reason = json::TextOr(answer, "reason");
        const std::string message = json::TextOr(answer, "message");
        Fail(MapPortalError(error, reason, message),
             !message.empty() ? message
                              : "Sign-in failed (" + (error.empty() ? "400" : error) + ")");
      }
      if (code == 404 && seenPending) SessionExpired();
      if (code == 410) SessionExpired();
      if (code == 429) {
        PauseForRetry(response.retryAfter, deadline);
        if (clock_.NowMs() >= deadline) TimedOut();
        continue;
      }
      const bool keepPolling =
          code == 200 || code == 202 || code == 404 || code == 408 || code >= 500;
      if (!keepPolling) {
        Fail(LoginErrorCode::Failed,
             "Unexpected portal response (HTTP " + std::to_string(code) + ")");
      }
    }
    if (clock_.NowMs() >= deadline) TimedOut();
    WaitOrCancel(kPollIntervalMs);
  }
}

plx::OAuthLoginResult AccountService::FinishSignIn(PlatformId platform, const json::Json& body) {
  plx::TokenRecord token = TokenFromHandoff(body, clock_.NowMs());
  const std::string answered = json::TextOr(body, "platform");
  if (token.accessToken.empty() || (!answered.empty() && answered != plx::PlatformKey(platform))) {
    Fail(LoginErrorCode::Failed, "The portal returned an unexpected sign-in");
  }
  const std::string login = token.login;
  {
    std::lock_guard lock{accountsLock_};
    store_.SetToken(platform, std::move(token));
    refreshNotBefore_.erase(platform);
  }
  plx::OAuthLoginResult result;
  result.ok = true;
  result.account = AccountFromStore(platform);
  result.message = "Connected as " + result.account.displayName.value_or(login);
  return result;
}

void AccountService::PauseForRetry(int32_t retryAfterSec, int64_t deadline) {
  int64_t pause = std::clamp<int64_t>(int64_t{retryAfterSec} * 1000, 3000, 60000);
  pause = std::min(pause, std::max<int64_t>(deadline - clock_.NowMs(), 0));
  WaitOrCancel(pause);
}

void AccountService::WaitOrCancel(int64_t ms) {
  if (!clock_.WaitWhile(ms, [this] { return !cancel_.load(); })) Cancelled();
}

}  // namespace vlo
