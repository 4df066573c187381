#include "accounts/AccountService.h"

#include <utility>

#include "accounts/Pkce.h"

namespace vlo {

using plx::PlatformId;

namespace {

// YouTube Shorts shares the YouTube account.
PlatformId StoredAs(PlatformId platform) {
  return platform == PlatformId::YouTubeShorts ? PlatformId::YouTube : platform;
}

}  // namespace

AccountService::AccountService(SecretStore& store, const Endpoints& endpoints, UrlOpener openUrl,
                               Clock& clock)
    : store_{store},
      endpoints_{endpoints},
      portal_{WithoutTrailingSlashes(endpoints.portal),
              WithoutTrailingSlashes(endpoints.portalFallback)},
      openUrl_{std::move(openUrl)},
      clock_{clock} {}

AccountService::~AccountService() { Shutdown(); }

std::optional<plx::TokenRecord> AccountService::GetToken(PlatformId platform) {
  return store_.GetToken(StoredAs(platform));
}

std::string AccountService::ClientIdFor(PlatformId platform) {
  platform = StoredAs(platform);
  if (const auto token = store_.GetToken(platform); token && !token->clientId.empty()) {
    return token->clientId;
  }
  switch (platform) {
    case PlatformId::Twitch:
    case PlatformId::YouTube:
    case PlatformId::Kick:
    case PlatformId::TikTok:
      return store_.LoadOAuthClients().For(platform).clientId;
    default:
      return {};
  }
}

plx::AccountInfo AccountService::AccountFromStore(PlatformId platform) {
  const auto token = store_.GetToken(StoredAs(platform));
  plx::AccountInfo info;
  if (!token || token->accessToken.empty()) return info;
  info.signedIn = true;
  info.fromPortal = token->fromPortal;
  info.needsReconnect = token->needsReconnect;
  if (!token->id.empty()) info.userId = token->id;
  if (!token->login.empty()) info.login = token->login;
  if (!token->displayName.empty()) {
    info.displayName = token->displayName;
  } else if (!token->login.empty()) {
    info.displayName = token->login;
  }
  return info;
}

void AccountService::ForgetAccount(PlatformId platform) {
  platform = StoredAs(platform);
  std::lock_guard lock{accountsLock_};
  store_.SetToken(platform, std::nullopt);
  refreshNotBefore_.erase(platform);
}

void AccountService::RevokeToken(PlatformId platform, const plx::TokenRecord& token) {
  if (!token.fromPortal || token.accessToken.empty()) return;
  std::string body = json::Dump(
      {{"platform", plx::PlatformKey(StoredAs(platform))}, {"token", token.accessToken}});
  PortalPost(portal_, portal_.primary, "/api/oauth/revoke", body, 8000, ServiceControl());
  WipeText(body);
}

}  // namespace vlo
