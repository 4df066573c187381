#include "sim/accounts/TokenBook.h"

#include <algorithm>

#include "sim/accounts/Pkce.h"

namespace vlo::sim {
namespace {

// Shapes roughly like each platform's own tokens; only uniqueness matters.
const char* TokenPrefix(plx::PlatformId platform, bool refresh) {
  switch (platform) {
    case plx::PlatformId::YouTube:
      return refresh ? "1//sim" : "ya29.sim";
    case plx::PlatformId::Kick:
      return refresh ? "KRsim" : "KAsim";
    default:
      return refresh ? "trsim" : "tasim";
  }
}

std::string Lower(std::string_view text) {
  std::string out{text};
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

void TokenBook::AddAccount(SimAccount account) {
  std::erase_if(accounts_, [&](const SimAccount& a) {
    return a.platform == account.platform && a.id == account.id;
  });
  accounts_.push_back(std::move(account));
}

const SimAccount* TokenBook::FindAccount(plx::PlatformId platform, std::string_view id) const {
  for (const SimAccount& a : accounts_) {
    if (a.platform == platform && a.id == id) return &a;
  }
  return nullptr;
}

const SimAccount* TokenBook::FindLogin(plx::PlatformId platform, std::string_view login) const {
  for (const SimAccount& a : accounts_) {
    if (a.platform == platform && Lower(a.login) == Lower(login)) return &a;
  }
  return nullptr;
}

const SimAccount* TokenBook::FirstAccount(plx::PlatformId platform) const {
  for (const SimAccount& a : accounts_) {
    if (a.platform == platform) return &a;
  }
  return nullptr;
}

void TokenBook::AddClient(plx::PlatformId platform, std::string clientId,
                          std::string clientSecret) {
  clients_[{platform, std::move(clientId)}] = std::move(clientSecret);
}

std::optional<std::string> TokenBook::ClientSecret(plx::PlatformId platform,
                                                   const std::string& clientId) const {
  const auto it = clients_.find({platform, clientId});
  if (it == clients_.end()) return std::nullopt;
  return it->second;
}

std::string TokenBook::NewToken(plx::PlatformId platform, bool refresh) const {
  std::string token;
  do {
    token = TokenPrefix(platform, refresh) + RandomBase64Url(18);
  } while (access_.contains(token) || refresh_.contains(token));
  return token;
}

std::string TokenBook::IssueAccess(const RefreshGrant& grant, const std::string& refreshToken,
                                   int64_t lifetimeSec) {
  std::string token = NewToken(grant.platform, false);
  access_[token] = AccessGrant{grant.platform,
                               grant.accountId,
                               grant.scopes,
                               grant.clientId,
                               grant.viaPortal,
                               refreshToken,
                               Clock::now() + std::chrono::seconds{lifetimeSec},
                               true};
  return token;
}

SimTokenPair TokenBook::Issue(plx::PlatformId platform, const std::string& accountId,
                              std::vector<std::string> scopes, std::string clientId, bool viaPortal,
                              int64_t lifetimeSec) {
  if (!FindAccount(platform, accountId)) return {};
  RefreshGrant grant{platform, accountId, std::move(scopes), std::move(clientId), viaPortal, {}};
  SimTokenPair pair;
  pair.refreshToken = NewToken(platform, true);
  pair.accessToken = IssueAccess(grant, pair.refreshToken,
                                 lifetimeSec > 0 ? lifetimeSec : AccountsSim::kDefaultLifetimeSec);
  grant.accessToken = pair.accessToken;
  refresh_[pair.refreshToken] = std::move(grant);
  return pair;
}

std::optional<SimGrant> TokenBook::Validate(plx::PlatformId platform,
                                            std::string_view accessToken) const {
  const auto it = access_.find(accessToken);
  if (it == access_.end()) return std::nullopt;
  const AccessGrant& grant = it->second;
  if (grant.platform != platform || !grant.usable || Clock::now() >= grant.expires) {
    return std::nullopt;
  }
  const SimAccount* account = FindAccount(platform, grant.accountId);
  if (!account) return std::nullopt;
  return SimGrant{*account, grant.scopes, grant.clientId, grant.viaPortal};
}

void TokenBook::Expire(std::string_view accessToken) {
  if (const auto it = access_.find(accessToken); it != access_.end()) {
    it->second.expires = Clock::now() - std::chrono::seconds{1};
  }
}

const TokenBook::RefreshGrant* TokenBook::FindRefresh(plx::PlatformId platform,
                                                      std::string_view refreshToken) const {
  const auto it = refresh_.find(refreshToken);
  if (it == refresh_.end() || it->second.platform != platform) return nullptr;
  return &it->second;
}

SimTokenPair TokenBook::Refresh(std::string_view refreshToken, bool rotate) {
  const auto it = refresh_.find(refreshToken);
  if (it == refresh_.end()) return {};
  RefreshGrant grant = it->second;
  if (const auto old = access_.find(grant.accessToken); old != access_.end()) {
    old->second.usable = false;
  }
  SimTokenPair pair;
  const std::string kept{refreshToken};
  if (rotate) {
    refresh_.erase(it);
    pair.refreshToken = NewToken(grant.platform, true);
  }
  pair.accessToken =
      IssueAccess(grant, rotate ? pair.refreshToken : kept, AccountsSim::kDefaultLifetimeSec);
  grant.accessToken = pair.accessToken;
  refresh_[rotate ? pair.refreshToken : kept] = std::move(grant);
  return pair;
}

bool TokenBook::Revoke(std::string_view token) {
  std::string refreshToken{token};
  if (const auto it = access_.find(token); it != access_.end()) {
    it->second.usable = false;
    refreshToken = it->second.refreshToken;
  } else if (!refresh_.contains(token)) {
    return false;
  }
  // The whole grant goes: the refresh token and the access token it is paired with now.
  if (const auto it = refresh_.find(refreshToken); it != refresh_.end()) {
    if (const auto access = access_.find(it->second.accessToken); access != access_.end()) {
      access->second.usable = false;
    }
    refresh_.erase(it);
  }
  return true;
}

}  // namespace vlo::sim
