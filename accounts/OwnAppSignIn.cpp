// Signing in with the user's own app registration, without the portal: Twitch's device code
// grant (RFC 8628), and for YouTube (Google) and Kick the authorization code with PKCE on a
// loopback redirect (RFC 7636, RFC 8252). Same result, observer, cancel and ten-minute deadline
// as the portal's sign-in.

#include <openssl/crypto.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "accounts/AccountService.h"
#include "accounts/Pkce.h"
#include "accounts/TokenParsing.h"

namespace vlo {

using plx::LoginError;
using plx::LoginErrorCode;
using plx::PlatformId;

namespace {

constexpr uint32_t kRequestTimeoutMs = 15000;
constexpr int kUnreachableAfter = 3;
constexpr int64_t kSlowDownStepMs = 5000;

[[noreturn]] void Fail(LoginErrorCode code, const std::string& text) {
  throw LoginError{code, text};
}

// Who answers a platform's sign-in: Google for YouTube.
const char* ProviderName(PlatformId platform) {
  return platform == PlatformId::YouTube ? "Google" : plx::PlatformName(platform);
}

// The reason a token endpoint gives, for "Sign-in failed (…)".
std::string RefusalReason(const plx::HttpResponse& response) {
  const json::Json body = json::ParseObject(response.body);
  for (const char* key : {"error", "message"}) {
    if (std::string text = json::TextOr(body, key); !text.empty()) return text;
  }
  return "HTTP " + std::to_string(response.status);
}

// The state check in constant time, so that timing tells a local prober nothing about the state.
bool SameState(const std::string& got, const std::string& expected) {
  return !expected.empty() && got.size() == expected.size() &&
         CRYPTO_memcmp(got.data(), expected.data(), expected.size()) == 0;
}

// An error code from the redirect comes from whatever requested the callback: OAuth error codes
// are short printable ASCII, so anything else is dropped before it reaches a line or a terminal.
std::string SafeErrorCode(const std::string& error) {
  std::string out;
  for (const char c : error) {
    if (out.size() >= 64) break;
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') out += c;
  }
  return out.empty() ? std::string{"unknown error"} : out;
}

// Why the browser's redirect does not end this sign-in well; nothing when it carries this
// sign-in's code.
std::optional<LoginError> RedirectProblem(const LoopbackRedirect::Callback& callback,
                                          const std::string& state) {
  const auto value = [&](const char* key) {
    const auto it = callback.query.find(key);
    return it == callback.query.end() ? std::string{} : it->second;
  };
  if (const std::string error = value("error"); !error.empty()) {
    if (error == "access_denied") return LoginError{LoginErrorCode::Denied, "Sign-in denied"};
    return LoginError{LoginErrorCode::Failed, "Sign-in failed (" + SafeErrorCode(error) + ")"};
  }
  if (!SameState(value("state"), state)) {
    return LoginError{LoginErrorCode::Failed,
                      "The sign-in answer did not belong to this sign-in - try again"};
  }
  if (value("code").empty()) {
    return LoginError{LoginErrorCode::Failed, "The sign-in answer carried no code - try again"};
  }
  return std::nullopt;
}

}  // namespace

bool AccountService::StartOwnAppSignIn(PlatformId platform, const plx::OAuthClient& client,
                                       std::string* error) {
  if (platform == PlatformId::Twitch) {
    worker_ = std::thread{[this, platform, client] {
      std::string none;
      RunSignIn(
          platform, [&] { return PollDeviceCode(platform, client); }, none);
    }};
    return true;
  }
  if (platform != PlatformId::YouTube && platform != PlatformId::Kick) {
    if (error) *error = "Sign-in is not available for this platform";
    return false;
  }
  // The listener is bound before the browser is sent to the app's page, so its answer cannot
  // arrive before anyone listens.
  const int port = redirectPort_.load();
  LoopbackRedirect redirect;
  if (!redirect.Listen(port, error)) return false;
  PkcePair pair = MakePkcePair();
  std::string state = MakePkcePair().verifier;
  if (pair.verifier.empty() || pair.challenge.empty() || state.empty()) {
    if (error) *error = "The system could not make a sign-in secret";
    return false;
  }
  const std::string url =
      AuthorizationUrl(endpoints_, platform, client.clientId, LoopbackRedirect::RedirectUri(port),
                       pair.challenge, state);
  if (openUrl_) openUrl_(url);
  worker_ = std::thread{[this, platform, client, port, redirect = std::move(redirect),
                         verifier = std::move(pair.verifier), state = std::move(state)]() mutable {
    RunSignIn(
        platform,
        [&] { return WaitForRedirect(platform, client, redirect, verifier, state, port); },
        verifier);
    WipeText(state);
  }};
  return true;
}

plx::OAuthLoginResult AccountService::PollDeviceCode(PlatformId platform,
                                                     const plx::OAuthClient& client) {
  const int64_t start = clock_.NowMs();
  const plx::HttpResponse started =
      plx::PostForm(endpoints_.twitchOAuth + "/oauth2/device",
                    plx::FormField("client_id", client.clientId) + "&" +
                        plx::FormField("scopes", kTwitchOwnAppScopes),
                    kRequestTimeoutMs, SignInControl());
  if (cancel_.load()) Fail(LoginErrorCode::Cancelled, "Sign-in cancelled");
  if (started.status == 0) {
    Fail(LoginErrorCode::Unreachable, "Could not reach Twitch (" + started.error + ")");
  }
  const json::Json device = json::ParseObject(started.body);
  std::string deviceCode = json::TextOr(device, "device_code");
  const std::string userCode = json::TextOr(device, "user_code");
  const std::string page = json::TextOr(device, "verification_uri");
  if (started.status != 200 || deviceCode.empty() || userCode.empty() || page.empty()) {
    Fail(LoginErrorCode::Failed, "Twitch did not start the sign-in (" +
                                     (started.status == 200 ? std::string{"no code in the answer"}
                                                            : RefusalReason(started)) +
                                     ")");
  }
  struct Wipe {
    std::string& text;
    ~Wipe() { WipeText(text); }
  } wipeCode{deviceCode};
  Prompt(SignInPrompt{platform, page, userCode});

  int64_t interval =
      std::clamp<int64_t>(json::IntMember(device, "interval").value_or(5), 1, 60) * 1000;
  const int64_t lifetime = json::IntMember(device, "expires_in").value_or(1800) * 1000;
  const int64_t deadline = start + std::min(kSignInDeadlineMs, std::max<int64_t>(lifetime, 0));
  const std::string form =
      plx::FormField("client_id", client.clientId) + "&" +
      plx::FormField("scopes", kTwitchOwnAppScopes) + "&" +
      plx::FormField("device_code", deviceCode) + "&" +
      plx::FormField("grant_type", "urn:ietf:params:oauth:grant-type:device_code");
  int failures = 0;
  while (true) {
    WaitOrCancel(std::min(interval, std::max<int64_t>(deadline - clock_.NowMs(), 0)));
    if (clock_.NowMs() >= deadline) {
      Fail(lifetime < kSignInDeadlineMs ? LoginErrorCode::Expired : LoginErrorCode::TimedOut,
           lifetime < kSignInDeadlineMs ? "The sign-in code expired - try again"
                                        : "Sign-in timed out - try again");
    }
    std::string body = form;
    const plx::HttpResponse response = plx::PostForm(TokenEndpoint(endpoints_, platform), body,
                                                     kRequestTimeoutMs, SignInControl());
    WipeText(body);
    if (cancel_.load()) Fail(LoginErrorCode::Cancelled, "Sign-in cancelled");
    if (response.status == 0) {
      if (++failures >= kUnreachableAfter) {
        Fail(LoginErrorCode::Unreachable, "Could not reach Twitch (" + response.error + ")");
      }
      continue;
    }
    failures = 0;
    if (response.status == 200) {
      plx::TokenRecord token =
          ParseTokenResponse(json::ParseObject(response.body), std::nullopt, clock_.NowMs());
      if (token.accessToken.empty())
        Fail(LoginErrorCode::Failed, "Sign-in failed (no token in the answer)");
      return FinishOwnAppSignIn(platform, client, std::move(token));
    }
    if (response.status != 400) continue;  // a passing server problem
    const std::string reason = RefusalReason(response);
    if (reason == "authorization_pending") continue;
    if (reason == "slow_down") {
      interval += kSlowDownStepMs;
      continue;
    }
    if (reason == "access_denied") Fail(LoginErrorCode::Denied, "Sign-in denied");
    if (reason == "expired_token" || reason == "invalid device code") {
      Fail(LoginErrorCode::Expired, "The sign-in code expired - try again");
    }
    Fail(LoginErrorCode::Failed, "Sign-in failed (" + reason + ")");
  }
}

plx::OAuthLoginResult AccountService::WaitForRedirect(PlatformId platform,
                                                      const plx::OAuthClient& client,
                                                      LoopbackRedirect& redirect,
                                                      const std::string& verifier,
                                                      const std::string& state, int port) {
  const int64_t deadline = clock_.NowMs() + kSignInDeadlineMs;
  const auto answer = redirect.Wait(
      clock_, deadline, [this] { return cancel_.load(); },
      [&](const LoopbackRedirect::Callback& callback) {
        return RedirectPage(!RedirectProblem(callback, state));
      });
  if (cancel_.load()) Fail(LoginErrorCode::Cancelled, "Sign-in cancelled");
  if (!answer) Fail(LoginErrorCode::TimedOut, "Sign-in timed out - try again");
  if (std::optional<LoginError> problem = RedirectProblem(*answer, state)) throw *problem;
  std::string code = answer->query.at("code");

  std::string form = plx::FormField("grant_type", "authorization_code") + "&" +
                     plx::FormField("code", code) + "&" +
                     plx::FormField("redirect_uri", LoopbackRedirect::RedirectUri(port)) + "&" +
                     plx::FormField("client_id", client.clientId);
  if (!client.clientSecret.empty())
    form += "&" + plx::FormField("client_secret", client.clientSecret);
  form += "&" + plx::FormField("code_verifier", verifier);
  const plx::HttpResponse response =
      plx::PostForm(TokenEndpoint(endpoints_, platform), form, kRequestTimeoutMs, SignInControl());
  WipeText(form);
  WipeText(code);
  if (cancel_.load()) Fail(LoginErrorCode::Cancelled, "Sign-in cancelled");
  if (response.status == 0) {
    Fail(LoginErrorCode::Unreachable,
         std::string{"Could not reach "} + ProviderName(platform) + " (" + response.error + ")");
  }
  if (response.status != 200) {
    Fail(LoginErrorCode::Failed, "Sign-in failed (" + RefusalReason(response) + ")");
  }
  plx::TokenRecord token =
      ParseTokenResponse(json::ParseObject(response.body), std::nullopt, clock_.NowMs());
  if (token.accessToken.empty())
    Fail(LoginErrorCode::Failed, "Sign-in failed (no token in the answer)");
  return FinishOwnAppSignIn(platform, client, std::move(token));
}

plx::OAuthLoginResult AccountService::FinishOwnAppSignIn(PlatformId platform,
                                                         const plx::OAuthClient& client,
                                                         plx::TokenRecord token) {
  token.fromPortal = false;
  token.clientId = client.clientId;
  token.needsReconnect = false;
  {
    std::lock_guard lock{accountsLock_};
    store_.SetToken(platform, std::move(token));
    refreshNotBefore_.erase(platform);
  }
  // The platform says who signed in; the answer is stored as the token's identity.
  LookupAccount(platform);
  plx::OAuthLoginResult result;
  result.ok = true;
  result.account = AccountFromStore(platform);
  result.message = result.account.displayName
                       ? "Connected as " + *result.account.displayName
                       : std::string{"Connected to "} + plx::PlatformName(platform);
  return result;
}

}  // namespace vlo
