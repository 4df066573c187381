// The portal: the connect page a person approves in the browser, and the handoff, refresh and
// revoke calls of the program.

#include "core/Json.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/accounts/AccountsState.h"
#include "sim/accounts/Pkce.h"
#include "sim/accounts/PortalPages.h"

namespace vlo::sim {
namespace {

using Json = json::Json;
using SessionState = PortalSession::State;

constexpr std::string_view kConnectPrefix = "/connect/";

PortalSession* NewestWithChallenge(std::vector<PortalSession>& sessions,
                                   const std::string& challenge) {
  for (auto it = sessions.rbegin(); it != sessions.rend(); ++it) {
    if (it->challenge == challenge) return &*it;
  }
  return nullptr;
}

HttpAnswer SignedInPage() {
  return Page(NoticePageHtml("Signed in", "You can close this tab and return to Velaro Chat."));
}

HttpAnswer DeniedPage() {
  return Page(NoticePageHtml("Sign-in denied.", "Velaro Chat was not given access."));
}

}  // namespace

const SimAccount* AccountsSim::State::PortalAccount(plx::PlatformId platform,
                                                    std::vector<std::string>& scopes) const {
  scopes = DefaultPortalScopes(platform);
  const auto choice = portalAccounts.find(platform);
  if (choice == portalAccounts.end()) return book.FirstAccount(platform);
  if (!choice->second.scopes.empty()) scopes = choice->second.scopes;
  return book.FindAccount(platform, choice->second.accountId);
}

void AccountsSim::InstallPortalRoutes() {
  SimServer& portal = servers_.portal;
  portal.RoutePrefix("GET", std::string{kConnectPrefix},
                     [this](const HttpExchange& r) { return ConnectPage(r); });
  portal.Route("POST", kApprovePath, [this](const HttpExchange& r) { return Decide(r, true); });
  portal.Route("POST", kDenyPath, [this](const HttpExchange& r) { return Decide(r, false); });
  portal.Route("POST", "/api/oauth/handoff", [this](const HttpExchange& r) { return Handoff(r); });
  portal.Route("POST", "/api/oauth/refresh",
               [this](const HttpExchange& r) { return PortalRefresh(r); });
  portal.Route("POST", "/api/oauth/revoke",
               [this](const HttpExchange& r) { return PortalRevoke(r); });
}

HttpAnswer AccountsSim::ConnectPage(const HttpExchange& request) {
  const std::string key = request.path.substr(kConnectPrefix.size());
  const std::optional<plx::PlatformId> platform = SignInPlatform(key);
  if (!platform) {
    return Page(
        NoticePageHtml("Unknown platform", "Velaro Studio cannot sign in to \"" + key + "\"."),
        400);
  }
  const std::string challenge = request.Query("challenge");
  if (challenge.empty()) {
    return Page(NoticePageHtml("Incomplete sign-in link",
                               "This link carries no challenge. Start the sign-in again in "
                               "Velaro Chat."),
                400);
  }
  std::lock_guard lock{mutex_};
  state_->sessions.push_back(
      PortalSession{*platform, challenge, request.Query("ver"), SessionState::Pending, 0});
  state_->sessionsChanged.notify_all();
  std::vector<std::string> scopes;
  const SimAccount* account = state_->PortalAccount(*platform, scopes);
  return Page(ConnectPageHtml(*platform, account, scopes, challenge));
}

HttpAnswer AccountsSim::Decide(const HttpExchange& request, bool approve) {
  const std::string challenge = request.Form("challenge");
  std::lock_guard lock{mutex_};
  PortalSession* session = NewestWithChallenge(state_->sessions, challenge);
  if (!session) {
    return Page(NoticePageHtml("Sign-in not found",
                               "This sign-in is no longer open. Start it again in Velaro Chat."),
                404);
  }
  switch (session->state) {
    case SessionState::Expired:
      return Page(NoticePageHtml("Sign-in expired", "Start the sign-in again in Velaro Chat."),
                  410);
    case SessionState::HandedOver:
      return SignedInPage();
    case SessionState::Denied:
      return DeniedPage();
    case SessionState::Pending:
    case SessionState::Approved:
      break;
  }
  session->state = approve ? SessionState::Approved : SessionState::Denied;
  return approve ? SignedInPage() : DeniedPage();
}

HttpAnswer AccountsSim::Handoff(const HttpExchange& request) {
  const Json body = json::ParseObject(request.body);
  const std::string verifier = json::TextOr(body, "verifier");
  if (verifier.empty()) {
    return JsonAnswer({{"error", "invalid_request"},
                       {"reason", ""},
                       {"message", "The request carries no verifier."}},
                      400);
  }
  const std::string challenge = S256Challenge(verifier);
  std::lock_guard lock{mutex_};
  PortalSession* session = NewestWithChallenge(state_->sessions, challenge);
  if (!session || session->state == SessionState::HandedOver) {
    return JsonAnswer({{"status", "unknown"}}, 404);
  }
  ++session->polls;
  // Auto-approval lets `autoApprove` polls find the session pending first.
  if (session->state == SessionState::Pending && state_->autoApprove >= 0 &&
      session->polls > state_->autoApprove) {
    session->state = SessionState::Approved;
  }
  switch (session->state) {
    case SessionState::Pending:
      return JsonAnswer({{"status", "pending"}}, 202);
    case SessionState::Denied:
      return JsonAnswer(
          {{"error", "access_denied"}, {"reason", ""}, {"message", "You denied the sign-in."}},
          400);
    case SessionState::Expired:
      return JsonAnswer({{"status", "expired"}}, 410);
    case SessionState::Approved:
    case SessionState::HandedOver:
      break;
  }
  return HandOverLocked(*session);
}

HttpAnswer AccountsSim::HandOverLocked(PortalSession& session) {
  State& state = *state_;
  std::vector<std::string> scopes;
  const SimAccount* found = state.PortalAccount(session.platform, scopes);
  if (!found) {
    return JsonAnswer(
        {{"error", "not_configured"},
         {"reason", ""},
         {"message", std::string{"Sign-in with "} + plx::PlatformName(session.platform) +
                         " is not set up on this portal."}},
        400);
  }
  const SimAccount account = *found;
  std::string platformKey = plx::PlatformKey(session.platform);
  if (state.wrongPlatformNext) {
    state.wrongPlatformNext = false;
    platformKey =
        plx::PlatformKey(session.platform == plx::PlatformId::Kick ? plx::PlatformId::Twitch
                                                                   : plx::PlatformId::Kick);
  }
  SimTokenPair pair;
  if (state.withoutTokenNext) {
    state.withoutTokenNext = false;
  } else {
    pair = state.book.Issue(session.platform, account.id, scopes, PortalClientId(session.platform),
                            true, 0);
  }
  session.state = SessionState::HandedOver;

  Json answer = {{"status", "ok"},
                 {"platform", platformKey},
                 {"accessToken", pair.accessToken},
                 {"refreshToken", pair.refreshToken},
                 {"clientId", PortalClientId(session.platform)},
                 {"user",
                  {{"id", account.id},
                   {"login", account.login},
                   {"displayName", account.displayName},
                   {"avatarUrl", account.avatarUrl}}}};
  answer["scopes"] = state.scopesAsString ? Json(JoinScopes(scopes)) : Json(scopes);
  if (state.withExpiresIn) answer["expiresIn"] = kDefaultLifetimeSec;
  return JsonAnswer(answer);
}

HttpAnswer AccountsSim::PortalRefresh(const HttpExchange& request) {
  const Json body = json::ParseObject(request.body);
  const std::optional<plx::PlatformId> platform = SignInPlatform(json::TextOr(body, "platform"));
  const std::string refreshToken = json::TextOr(body, "refreshToken");
  std::lock_guard lock{mutex_};
  State& state = *state_;
  State::ScriptedRefresh scripted;
  if (!state.refreshScript.empty()) {
    scripted = state.refreshScript.front();
    if (--state.refreshScript.front().remaining <= 0) state.refreshScript.pop_front();
  }
  switch (scripted.answer) {
    case PortalRefreshAnswer::InvalidGrant:
      return JsonAnswer({{"error", "invalid_grant"}}, 400);
    case PortalRefreshAnswer::Unavailable:
      return JsonAnswer({{"error", "unavailable"}}, 503);
    case PortalRefreshAnswer::UnavailableRetry: {
      HttpAnswer answer = JsonAnswer({{"error", "unavailable"}}, 503);
      answer.headers.emplace_back("Retry-After", std::to_string(scripted.retryAfterSec));
      return answer;
    }
    case PortalRefreshAnswer::EmptyAccessToken:
      return JsonAnswer({{"accessToken", ""}});
    case PortalRefreshAnswer::Normal:
    case PortalRefreshAnswer::WithoutExpiresIn:
      break;
  }
  const TokenBook::RefreshGrant* grant =
      platform ? state.book.FindRefresh(*platform, refreshToken) : nullptr;
  if (!grant || !grant->viaPortal) return JsonAnswer({{"error", "invalid_grant"}}, 400);
  const std::vector<std::string> scopes = grant->scopes;
  const std::string clientId = grant->clientId;
  const SimTokenPair pair = state.book.Refresh(refreshToken, true);
  Json answer = {{"accessToken", pair.accessToken},
                 {"refreshToken", pair.refreshToken},
                 {"scopes", scopes},
                 {"clientId", clientId}};
  if (scripted.answer == PortalRefreshAnswer::Normal) answer["expiresIn"] = kDefaultLifetimeSec;
  return JsonAnswer(answer);
}

HttpAnswer AccountsSim::PortalRevoke(const HttpExchange& request) {
  const std::string token = json::TextOr(json::ParseObject(request.body), "token");
  std::lock_guard lock{mutex_};
  state_->revoked.push_back(token);
  state_->book.Revoke(token);
  return HttpAnswer::Json("{}");
}

}  // namespace vlo::sim
