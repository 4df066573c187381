// Google's and Kick's authorization pages for a sign-in with the user's own app (RFC 6749
// authorization code with PKCE, RFC 7636, and a loopback redirect, RFC 8252), the approval that
// redirects back with a code, and the code exchange of their token endpoints.

#include <chrono>

#include "core/Json.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/accounts/AccountsState.h"
#include "sim/accounts/LoopbackRedirect.h"
#include "sim/accounts/OwnAppPages.h"
#include "sim/accounts/Pkce.h"

namespace vlo::sim {
namespace {

using Json = json::Json;
using plx::PlatformId;
using Outcome = AuthorizationRequest::Outcome;

constexpr int kCodeLifetimeSec = 600;
constexpr int kSecondVisitTimeoutMs = 5000;

HttpAnswer InvalidGrant(const char* description) {
  return JsonAnswer({{"error", "invalid_grant"}, {"error_description", description}}, 400);
}

// A code verifier or challenge as RFC 7636 section 4.1 writes them: 43 to 128 unreserved
// characters.
bool IsPkceText(std::string_view text) {
  if (text.size() < 43 || text.size() > 128) return false;
  for (const char c : text) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c == '_' || c == '~';
    if (!ok) return false;
  }
  return true;
}

AuthorizationRequest RecordOf(PlatformId platform, const HttpExchange& request) {
  AuthorizationRequest record;
  record.platform = platform;
  record.clientId = request.Query("client_id");
  record.redirectUri = request.Query("redirect_uri");
  record.responseType = request.Query("response_type");
  record.state = request.Query("state");
  record.codeChallenge = request.Query("code_challenge");
  record.codeChallengeMethod = request.Query("code_challenge_method");
  record.scopes = SplitScopes(request.Query("scope"));
  record.accessType = request.Query("access_type");
  record.prompt = request.Query("prompt");
  record.handle = RandomBase64Url(18);
  return record;
}

// What is wrong with a request, for the error page; empty when nothing is.
std::string Problem(const AuthorizationRequest& record, bool clientKnown) {
  if (!clientKnown) return "The OAuth client was not found.";
  if (!ParseLoopbackUri(record.redirectUri)) {
    return "The redirect URI must be a loopback address with a port, such as "
           "http://127.0.0.1:PORT/callback.";
  }
  if (record.responseType != "code") return "Only response_type=code is supported.";
  if (record.codeChallengeMethod != "S256") return "code_challenge_method must be S256.";
  if (!IsPkceText(record.codeChallenge)) return "The code_challenge is missing or malformed.";
  if (record.scopes.empty()) return "Missing required parameter: scope.";
  return {};
}

std::string NewCode(PlatformId platform) {
  return (platform == PlatformId::Kick ? "KCsim" : "4/0sim") + RandomBase64Url(30);
}

HttpAnswer RedirectTo(const std::string& url, bool twice) {
  // The simulator's own visit comes first, so the browser's is always the second one.
  if (twice) VisitLoopback(url, kSecondVisitTimeoutMs);
  HttpAnswer answer = HttpAnswer::Text({}, "text/html; charset=utf-8", 302);
  answer.headers.emplace_back("Location", url);
  return answer;
}

}  // namespace

void AccountsSim::InstallAuthorizationPages() {
  for (const PlatformId platform : {PlatformId::YouTube, PlatformId::Kick}) {
    SimServer& server = platform == PlatformId::Kick ? servers_.kickOAuth : googleAccounts_;
    server.Route(
        "GET", platform == PlatformId::Kick ? kKickAuthorizePath : kGoogleAuthorizePath,
        [this, platform](const HttpExchange& r) { return AuthorizationPage(platform, r); });
    for (const bool approve : {true, false}) {
      server.Route("POST", DecisionPath(platform, approve),
                   [this, platform, approve](const HttpExchange& r) {
                     return AuthorizationDecision(platform, r, approve);
                   });
    }
  }
}

HttpAnswer AccountsSim::AuthorizationPage(PlatformId platform, const HttpExchange& request) {
  AuthorizationRequest record = RecordOf(platform, request);
  std::unique_lock lock{mutex_};
  OwnAppState& own = state_->ownApp;
  const std::string problem =
      Problem(record, !record.clientId.empty() &&
                          state_->book.ClientSecret(platform, record.clientId).has_value());
  record.outcome = problem.empty() ? Outcome::Pending : Outcome::Refused;
  own.authorizations.push_back(record);
  own.changed.notify_all();
  if (!problem.empty()) return Page(InvalidRequestPageHtml(platform, problem), 400);
  if (own.approval == OwnAppApproval::Manual) {
    std::vector<std::string> portalScopes;
    return Page(ApprovalPageHtml(record, state_->PortalAccount(platform, portalScopes)));
  }
  const auto [url, twice] =
      DecideLocked(own.authorizations.back(), own.approval == OwnAppApproval::Approve);
  lock.unlock();
  return RedirectTo(url, twice);
}

HttpAnswer AccountsSim::AuthorizationDecision(PlatformId platform, const HttpExchange& request,
                                              bool approve) {
  const std::string handle = request.Form("handle");
  std::unique_lock lock{mutex_};
  AuthorizationRequest* record = nullptr;
  for (AuthorizationRequest& r : state_->ownApp.authorizations) {
    if (!handle.empty() && r.handle == handle && r.platform == platform &&
        r.outcome == Outcome::Pending) {
      record = &r;
    }
  }
  if (!record) {
    return Page(InvalidRequestPageHtml(platform,
                                       "This sign-in request is unknown or was already answered."),
                400);
  }
  const auto [url, twice] = DecideLocked(*record, approve);
  lock.unlock();
  return RedirectTo(url, twice);
}

std::pair<std::string, bool> AccountsSim::DecideLocked(AuthorizationRequest& request,
                                                       bool approve) {
  OwnAppState& own = state_->ownApp;
  std::string state = request.state;
  if (std::exchange(own.wrongStateNext, false)) {
    do {
      state = RandomBase64Url(16);
    } while (state == request.state);
  }
  const bool twice = std::exchange(own.twiceNext, false);
  std::string error = std::exchange(own.errorNext, {});
  std::vector<std::string> portalScopes;
  const SimAccount* account = state_->PortalAccount(request.platform, portalScopes);
  if (error.empty() && approve && !account) error = "server_error";

  std::vector<std::pair<std::string, std::string>> params;
  if (!error.empty()) {
    request.outcome = Outcome::Failed;
    params.emplace_back("error", error);
  } else if (!approve) {
    request.outcome = Outcome::Denied;
    params.emplace_back("error", "access_denied");
  } else {
    request.outcome = Outcome::Approved;
    std::string code;
    do {
      code = NewCode(request.platform);
    } while (own.codes.contains(code));
    own.codes[code] = OwnAppState::Code{
        .platform = request.platform,
        .clientId = request.clientId,
        .redirectUri = request.redirectUri,
        .challenge = request.codeChallenge,
        .scopes = request.scopes,
        .accountId = account->id,
        .offline = request.accessType == "offline",
        .expires = OwnAppState::Clock::now() + std::chrono::seconds{kCodeLifetimeSec}};
    params.emplace_back("code", code);
  }
  if (!state.empty()) params.emplace_back("state", state);
  if (request.outcome == Outcome::Approved && request.platform == PlatformId::YouTube) {
    params.emplace_back("scope", JoinScopes(request.scopes));
  }
  own.lastRedirect = WithQuery(request.redirectUri, params);
  return {own.lastRedirect, twice};
}

HttpAnswer AccountsSim::CodeExchangeLocked(PlatformId platform, const std::string& clientId,
                                           const HttpExchange& request) {
  OwnAppState& own = state_->ownApp;
  const auto found = own.codes.find(request.Form("code"));
  if (found == own.codes.end() || found->second.platform != platform) {
    return InvalidGrant("Malformed auth code.");
  }
  OwnAppState::Code& code = found->second;
  if (code.used) {
    // A code that comes again may have been stolen: what it gave is taken back (RFC 6749
    // section 4.1.2).
    state_->book.Revoke(code.accessToken);
    return InvalidGrant("The code was already used.");
  }
  if (OwnAppState::Clock::now() >= code.expires) return InvalidGrant("The code has expired.");
  if (code.clientId != clientId) return InvalidGrant("The code was issued to another client.");
  if (request.Form("redirect_uri") != code.redirectUri) {
    return InvalidGrant("The redirect URI differs from the authorization request's.");
  }
  const std::string verifier = request.Form("code_verifier");
  if (verifier.empty()) return InvalidGrant("Missing code verifier.");
  if (!IsPkceText(verifier) || S256Challenge(verifier) != code.challenge) {
    return InvalidGrant("Invalid code verifier.");
  }
  const SimTokenPair pair =
      state_->book.Issue(platform, code.accountId, code.scopes, clientId, false, 0);
  if (pair.accessToken.empty()) return InvalidGrant("The account is gone.");
  code.used = true;
  code.accessToken = pair.accessToken;

  Json answer = {{"access_token", pair.accessToken},
                 {"expires_in", kDefaultLifetimeSec},
                 {"scope", JoinScopes(code.scopes)},
                 {"token_type", "Bearer"}};
  // Google hands out a refresh token only for offline access.
  if (platform != PlatformId::YouTube || code.offline) answer["refresh_token"] = pair.refreshToken;
  return JsonAnswer(answer);
}

std::vector<AuthorizationRequest> AccountsSim::AuthorizationRequests() const {
  std::lock_guard lock{mutex_};
  return state_->ownApp.authorizations;
}

bool AccountsSim::WaitForAuthorizationRequests(size_t count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return state_->ownApp.changed.wait_for(lock, std::chrono::milliseconds{timeoutMs}, [&] {
    return state_->ownApp.authorizations.size() >= count;
  });
}

void AccountsSim::RedirectWithWrongStateNext() {
  std::lock_guard lock{mutex_};
  state_->ownApp.wrongStateNext = true;
}

void AccountsSim::RedirectWithErrorNext(std::string error) {
  std::lock_guard lock{mutex_};
  state_->ownApp.errorNext = error.empty() ? "server_error" : std::move(error);
}

void AccountsSim::RedirectTwiceNext() {
  std::lock_guard lock{mutex_};
  state_->ownApp.twiceNext = true;
}

std::string AccountsSim::LastRedirect() const {
  std::lock_guard lock{mutex_};
  return state_->ownApp.lastRedirect;
}

}  // namespace vlo::sim
