// Keeping tokens fresh: portal tokens are refreshed through the portal, tokens of the program's
// own OAuth client directly at the platform's token endpoint.

#include <algorithm>
#include <utility>

#include "accounts/AccountService.h"
#include "accounts/Pkce.h"
#include "accounts/TokenParsing.h"

namespace vlo {

using plx::PlatformId;

namespace {

constexpr uint32_t kRefreshTimeoutMs = 15000;
constexpr int64_t kMaxBackoffMs = 600000;

// The pause after a failed refresh: 30 s, or the server's Retry-After when it asks for longer.
int64_t BackoffFor(int32_t retryAfterSec) {
  return retryAfterSec <= 30 ? 30000 : int64_t{retryAfterSec} * 1000;
}

}  // namespace

std::optional<plx::TokenRecord> AccountService::GetFreshToken(PlatformId platform) {
  if (platform == PlatformId::YouTubeShorts) platform = PlatformId::YouTube;
  if (platform == PlatformId::TikTok) return GetToken(platform);

  std::lock_guard lock{accountsLock_};
  std::optional<plx::TokenRecord> token = store_.GetToken(platform);
  if (!token) return std::nullopt;
  if (!token->expiresAt || *token->expiresAt >= clock_.NowMs() + kExpiryMarginMs ||
      !token->refreshToken) {
    return token;
  }
  return token->fromPortal ? RefreshPortalToken(platform, *token)
                           : RefreshOwnToken(platform, *token);
}

// With the accounts lock held.
std::optional<plx::TokenRecord> AccountService::RefreshPortalToken(PlatformId platform,
                                                                   const plx::TokenRecord& token) {
  if (token.needsReconnect) return token;
  const auto notBefore = refreshNotBefore_.find(platform);
  if (notBefore != refreshNotBefore_.end() && clock_.NowMs() < notBefore->second) return token;

  Refresh refresh = RefreshThroughPortal(platform, token);
  if (refresh.outcome == RefreshOutcome::TryLater) {
    refreshNotBefore_[platform] = clock_.NowMs() + std::min(refreshBackoffMs_, kMaxBackoffMs);
    return token;
  }
  refreshNotBefore_.erase(platform);
  plx::TokenRecord stored = token;
  if (refresh.outcome == RefreshOutcome::Refused) {
    stored.needsReconnect = true;
  } else {
    stored = std::move(refresh.token);
  }
  store_.SetToken(platform, stored);
  return stored;
}

// With the accounts lock held. A token the platform refuses for good is marked for a new sign-in,
// and other failures pause further attempts, so that later calls do not repeat a doomed request.
std::optional<plx::TokenRecord> AccountService::RefreshOwnToken(PlatformId platform,
                                                                const plx::TokenRecord& token) {
  if (platform != PlatformId::Twitch && platform != PlatformId::YouTube &&
      platform != PlatformId::Kick) {
    return token;
  }
  if (token.needsReconnect) return token;
  const auto notBefore = refreshNotBefore_.find(platform);
  if (notBefore != refreshNotBefore_.end() && clock_.NowMs() < notBefore->second) return token;

  Refresh refresh = RefreshDirect(platform, token, store_.LoadOAuthClients().For(platform));
  switch (refresh.outcome) {
    case RefreshOutcome::Skipped:
      return token;
    case RefreshOutcome::TryLater:
      refreshNotBefore_[platform] =
          clock_.NowMs() + std::min(BackoffFor(refresh.retryAfter), kMaxBackoffMs);
      return token;
    case RefreshOutcome::Refused: {
      refreshNotBefore_.erase(platform);
      plx::TokenRecord marked = token;
      marked.needsReconnect = true;
      store_.SetToken(platform, marked);
      return marked;
    }
    case RefreshOutcome::Refreshed:
      break;
  }
  refreshNotBefore_.erase(platform);
  plx::TokenRecord fresh = std::move(refresh.token);
  fresh.fromPortal = false;
  fresh.clientId = token.clientId;
  fresh.id = token.id;
  fresh.login = token.login;
  fresh.displayName = token.displayName;
  fresh.avatarUrl = token.avatarUrl;
  if (fresh.scopes.empty()) fresh.scopes = token.scopes;
  store_.SetToken(platform, fresh);
  return fresh;
}

AccountService::Refresh AccountService::RefreshThroughPortal(PlatformId platform,
                                                             plx::TokenRecord token) {
  std::string body = json::Dump({{"platform", plx::PlatformKey(platform)},
                                 {"refreshToken", token.refreshToken.value_or("")}});
  const plx::HttpResponse response = PortalPost(portal_, portal_.primary, "/api/oauth/refresh",
                                                body, kRefreshTimeoutMs, ServiceControl());
  WipeText(body);
  const json::Json answer = ParsePortalBody(response.body);

  Refresh result;
  if (response.status == 200) {
    const std::string access = json::TextOr(answer, "accessToken");
    if (access.empty()) return result;  // TryLater, the back-off unchanged
    token.accessToken = access;
    if (const std::string refresh = json::TextOr(answer, "refreshToken"); !refresh.empty()) {
      token.refreshToken = refresh;
    }
    const json::Json* expiresIn = json::Find(answer, "expiresIn");
    if (expiresIn && expiresIn->is_number()) {
      token.expiresAt = clock_.NowMs() + static_cast<int64_t>(expiresIn->get<double>() * 1000);
    } else {
      token.expiresAt.reset();
    }
    if (const json::Json* scopes = json::Find(answer, "scopes")) ParseScopes(*scopes, token.scopes);
    if (const std::string clientId = json::TextOr(answer, "clientId"); !clientId.empty()) {
      token.clientId = clientId;
    }
    token.needsReconnect = false;
    result.outcome = RefreshOutcome::Refreshed;
    result.token = std::move(token);
    return result;
  }
  if (response.status == 400 && json::TextOr(answer, "error") == "invalid_grant") {
    result.outcome = RefreshOutcome::Refused;
    return result;
  }
  refreshBackoffMs_ = BackoffFor(response.retryAfter);
  result.retryAfter = response.retryAfter;
  return result;
}

AccountService::Refresh AccountService::RefreshDirect(PlatformId platform,
                                                      const plx::TokenRecord& token,
                                                      const plx::OAuthClient& client) {
  Refresh result;
  result.outcome = RefreshOutcome::Skipped;
  if (!token.refreshToken) return result;
  const std::string& refreshToken = *token.refreshToken;

  std::string form;
  if (platform == PlatformId::Twitch) {
    form = plx::FormField("client_id", client.clientId) + "&" +
           plx::FormField("grant_type", "refresh_token") + "&" +
           plx::FormField("refresh_token", refreshToken);
    if (!client.clientSecret.empty())
      form += "&" + plx::FormField("client_secret", client.clientSecret);
  } else {
    if (client.clientId.empty() || client.clientSecret.empty()) return result;
    form = plx::FormField("client_id", client.clientId) + "&" +
           plx::FormField("client_secret", client.clientSecret) + "&" +
           plx::FormField("grant_type", "refresh_token") + "&" +
           plx::FormField("refresh_token", refreshToken);
  }
  const plx::HttpResponse response =
      plx::PostForm(TokenEndpoint(endpoints_, platform), form, kRefreshTimeoutMs, ServiceControl());
  WipeText(form);

  result.outcome = RefreshOutcome::TryLater;
  result.retryAfter = response.retryAfter;
  const json::Json answer = json::ParseAny(response.body);
  if (response.status != 200) {
    const bool refused =
        response.status == 400 && (json::TextOr(answer, "error") == "invalid_grant" ||
                                   json::TextOr(answer, "message") == "Invalid refresh token");
    if (refused) result.outcome = RefreshOutcome::Refused;
    return result;
  }
  if (!answer.is_object()) return result;
  plx::TokenRecord fresh = ParseTokenResponse(answer, token.refreshToken, clock_.NowMs());
  // An empty access token (some answers document every value empty) is a failed refresh.
  if (fresh.accessToken.empty()) return result;
  result.outcome = RefreshOutcome::Refreshed;
  result.token = std::move(fresh);
  return result;
}

}  // namespace vlo
