#include "sim/accounts/AccountsSim.h"

#include <algorithm>
#include <chrono>

#include "sim/accounts/AccountsState.h"

namespace vlo::sim {

std::optional<plx::PlatformId> SignInPlatform(std::string_view key) {
  for (const plx::PlatformId platform : plx::kReadPlatforms) {
    if (key == plx::PlatformKey(platform)) return platform;
  }
  return std::nullopt;
}

const char* PortalClientId(plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::YouTube:
      return AccountsSim::kPortalGoogleClientId;
    case plx::PlatformId::Kick:
      return AccountsSim::kPortalKickClientId;
    default:
      return AccountsSim::kPortalTwitchClientId;
  }
}

std::vector<std::string> DefaultPortalScopes(plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::YouTube:
      return {"https://www.googleapis.com/auth/youtube.force-ssl"};
    case plx::PlatformId::Kick:
      return {"user:read", "channel:read", "chat:write", "moderation:ban",
              "moderation:chat_message:manage"};
    default:
      return {"chat:read", "chat:edit", "user:write:chat", "moderator:manage:chat_messages",
              "moderator:manage:banned_users"};
  }
}

std::string BearerToken(const HttpExchange& request) {
  const std::string header = request.Header("Authorization");
  constexpr std::string_view kBearer = "Bearer ";
  return header.starts_with(kBearer) ? header.substr(kBearer.size()) : std::string{};
}

HttpAnswer JsonAnswer(const json::Json& body, int status) {
  return HttpAnswer::Json(json::Dump(body), status);
}

HttpAnswer Page(std::string html, int status) {
  return HttpAnswer::Text(std::move(html), "text/html; charset=utf-8", status);
}

std::string JoinScopes(const std::vector<std::string>& scopes) {
  std::string out;
  for (const std::string& scope : scopes) {
    if (!out.empty()) out += ' ';
    out += scope;
  }
  return out;
}

std::vector<std::string> SplitScopes(std::string_view text) {
  std::vector<std::string> scopes;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find(' ', start), text.size());
    if (end > start) scopes.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return scopes;
}

AccountsSim::AccountsSim(Servers servers)
    : state_{std::make_unique<State>()},
      servers_{servers},
      googleAccounts_{servers.googleAccounts ? *servers.googleAccounts : servers.googleOAuth} {
  InstallPortalRoutes();
  InstallTokenEndpoints();
  InstallLookups();
  InstallDeviceFlow();
  InstallAuthorizationPages();
}

AccountsSim::~AccountsSim() {
  // No handler may run into the state that goes with this object.
  for (SimServer* server :
       {&servers_.portal, &servers_.twitchOAuth, &servers_.googleOAuth, &servers_.kickOAuth,
        &servers_.helix, &servers_.youtubeApi, &servers_.kickApi, &googleAccounts_}) {
    server->Stop();
  }
}

void AccountsSim::AddAccount(SimAccount account) {
  std::lock_guard lock{mutex_};
  state_->book.AddAccount(std::move(account));
}

void AccountsSim::AddClient(plx::PlatformId platform, std::string clientId,
                            std::string clientSecret) {
  std::lock_guard lock{mutex_};
  state_->book.AddClient(platform, std::move(clientId), std::move(clientSecret));
}

SimTokenPair AccountsSim::IssueToken(plx::PlatformId platform, const std::string& accountId,
                                     std::vector<std::string> scopes, std::string clientId,
                                     bool viaPortal, int64_t lifetimeSec) {
  std::lock_guard lock{mutex_};
  return state_->book.Issue(platform, accountId, std::move(scopes), std::move(clientId), viaPortal,
                            lifetimeSec);
}

std::optional<SimGrant> AccountsSim::Validate(plx::PlatformId platform,
                                              std::string_view accessToken) const {
  std::lock_guard lock{mutex_};
  return state_->book.Validate(platform, accessToken);
}

void AccountsSim::ExpireToken(std::string_view accessToken) {
  std::lock_guard lock{mutex_};
  state_->book.Expire(accessToken);
}

void AccountsSim::SetPortalAccount(plx::PlatformId platform, std::string accountId,
                                   std::vector<std::string> scopes) {
  std::lock_guard lock{mutex_};
  state_->portalAccounts[platform] = State::PortalChoice{std::move(accountId), std::move(scopes)};
}

void AccountsSim::SetAutoApprove(int polls) {
  std::lock_guard lock{mutex_};
  state_->autoApprove = polls;
}

std::vector<PortalSession> AccountsSim::Sessions() const {
  std::lock_guard lock{mutex_};
  return state_->sessions;
}

bool AccountsSim::WaitForSessions(size_t count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return state_->sessionsChanged.wait_for(lock, std::chrono::milliseconds{timeoutMs},
                                          [&] { return state_->sessions.size() >= count; });
}

namespace {

PortalSession* Newest(std::vector<PortalSession>& sessions, plx::PlatformId platform) {
  for (auto it = sessions.rbegin(); it != sessions.rend(); ++it) {
    if (it->platform == platform) return &*it;
  }
  return nullptr;
}

}  // namespace

bool AccountsSim::Approve(plx::PlatformId platform) {
  std::lock_guard lock{mutex_};
  PortalSession* session = Newest(state_->sessions, platform);
  if (!session) return false;
  if (session->state == PortalSession::State::Pending) {
    session->state = PortalSession::State::Approved;
  }
  return session->state == PortalSession::State::Approved;
}

bool AccountsSim::Deny(plx::PlatformId platform) {
  std::lock_guard lock{mutex_};
  PortalSession* session = Newest(state_->sessions, platform);
  if (!session || session->state == PortalSession::State::HandedOver ||
      session->state == PortalSession::State::Expired) {
    return false;
  }
  session->state = PortalSession::State::Denied;
  return true;
}

bool AccountsSim::Expire(plx::PlatformId platform) {
  std::lock_guard lock{mutex_};
  PortalSession* session = Newest(state_->sessions, platform);
  if (!session || session->state == PortalSession::State::HandedOver) return false;
  session->state = PortalSession::State::Expired;
  return true;
}

void AccountsSim::HandOverWrongPlatformNext() {
  std::lock_guard lock{mutex_};
  state_->wrongPlatformNext = true;
}

void AccountsSim::HandOverWithoutTokenNext() {
  std::lock_guard lock{mutex_};
  state_->withoutTokenNext = true;
}

void AccountsSim::SetHandoffShape(bool withExpiresIn, bool scopesAsString) {
  std::lock_guard lock{mutex_};
  state_->withExpiresIn = withExpiresIn;
  state_->scopesAsString = scopesAsString;
}

void AccountsSim::SetOwnAppApproval(OwnAppApproval approval) {
  std::lock_guard lock{mutex_};
  state_->ownApp.approval = approval;
}

void AccountsSim::AnswerNextRefreshes(PortalRefreshAnswer answer, int count, int retryAfterSec) {
  if (count <= 0) return;
  std::lock_guard lock{mutex_};
  state_->refreshScript.push_back(State::ScriptedRefresh{answer, count, retryAfterSec});
}

int AccountsSim::RefreshRequests() const {
  return static_cast<int>(servers_.portal.RequestCount("/api/oauth/refresh"));
}

std::vector<std::string> AccountsSim::RevokedTokens() const {
  std::lock_guard lock{mutex_};
  return state_->revoked;
}

int AccountsSim::DirectRefreshes(plx::PlatformId platform) const {
  switch (platform) {
    case plx::PlatformId::Twitch:
      return static_cast<int>(servers_.twitchOAuth.RequestCount("/oauth2/token"));
    case plx::PlatformId::YouTube:
      return static_cast<int>(servers_.googleOAuth.RequestCount("/token"));
    case plx::PlatformId::Kick:
      return static_cast<int>(servers_.kickOAuth.RequestCount("/oauth/token"));
    default:
      return 0;
  }
}

std::string AccountsSim::PortalBase() const { return servers_.portal.BaseUrl(); }

}  // namespace vlo::sim
