#pragma once

// The accounts, registered clients and issued tokens of the simulated platforms. Not
// thread-safe: AccountsSim guards it with its lock.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/accounts/AccountsSim.h"

namespace vlo::sim {

class TokenBook {
 public:
  using Clock = std::chrono::steady_clock;

  // What one refresh token stands for.
  struct RefreshGrant {
    plx::PlatformId platform{plx::PlatformId::Twitch};
    std::string accountId;
    std::vector<std::string> scopes;
    std::string clientId;
    bool viaPortal{false};
    std::string accessToken;  // the access token currently paired with it
  };

  // A later account with the same platform and id replaces the earlier one.
  void AddAccount(SimAccount account);
  const SimAccount* FindAccount(plx::PlatformId platform, std::string_view id) const;
  const SimAccount* FindLogin(plx::PlatformId platform, std::string_view login) const;
  const SimAccount* FirstAccount(plx::PlatformId platform) const;

  void AddClient(plx::PlatformId platform, std::string clientId, std::string clientSecret);
  // The registered secret (empty for a public client); nothing for an unknown client.
  std::optional<std::string> ClientSecret(plx::PlatformId platform,
                                          const std::string& clientId) const;

  // An empty pair when the account is unknown.
  SimTokenPair Issue(plx::PlatformId platform, const std::string& accountId,
                     std::vector<std::string> scopes, std::string clientId, bool viaPortal,
                     int64_t lifetimeSec);
  std::optional<SimGrant> Validate(plx::PlatformId platform, std::string_view accessToken) const;
  void Expire(std::string_view accessToken);
  // The grant of a refresh token that is still usable, or nullptr.
  const RefreshGrant* FindRefresh(plx::PlatformId platform, std::string_view refreshToken) const;
  // Replaces the access token of a usable refresh token (the old one stops validating). With
  // `rotate` the refresh token is replaced too and the old one stops working; without it the
  // answer's refresh token is empty and the old one stays. The new access token lives
  // kDefaultLifetimeSec. An empty pair when the refresh token is not usable.
  SimTokenPair Refresh(std::string_view refreshToken, bool rotate);
  // Makes an access or refresh token and its partner unusable. False for an unknown token.
  bool Revoke(std::string_view token);

 private:
  struct AccessGrant {
    plx::PlatformId platform{plx::PlatformId::Twitch};
    std::string accountId;
    std::vector<std::string> scopes;
    std::string clientId;
    bool viaPortal{false};
    std::string refreshToken;
    Clock::time_point expires;
    bool usable{true};
  };

  std::string NewToken(plx::PlatformId platform, bool refresh) const;
  std::string IssueAccess(const RefreshGrant& grant, const std::string& refreshToken,
                          int64_t lifetimeSec);

  std::vector<SimAccount> accounts_;
  std::map<std::pair<plx::PlatformId, std::string>, std::string> clients_;  // -> secret
  std::map<std::string, AccessGrant, std::less<>> access_;
  std::map<std::string, RefreshGrant, std::less<>> refresh_;  // only usable ones
};

}  // namespace vlo::sim
