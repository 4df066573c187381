#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Platform.h"

namespace plx {

// One platform's OAuth token with the identity of the signed-in user.
struct TokenRecord {
  std::string accessToken;  // empty = no usable token
  std::optional<std::string> refreshToken;
  std::optional<int64_t> expiresAt;  // ms since the epoch
  std::vector<std::string> scopes;
  bool fromPortal{false};
  std::string clientId;
  std::string id;
  std::string login;
  std::string displayName;
  std::string avatarUrl;
  bool needsReconnect{false};

  bool operator==(const TokenRecord&) const = default;
};

struct AccountInfo {
  bool signedIn{false};
  std::optional<std::string> displayName;
  std::optional<std::string> userId;
  std::optional<std::string> login;
  bool fromPortal{false};
  bool needsReconnect{false};

  bool operator==(const AccountInfo&) const = default;
};

}  // namespace plx

namespace vlo {

// The account operations the hub, the readers and the outbound actions rely on. Implemented by
// the account service; every operation may be called from any thread.
class AccountOperations {
 public:
  virtual ~AccountOperations() = default;

  // The stored token, refreshed first when about to expire. May block for one request.
  virtual std::optional<plx::TokenRecord> GetFreshToken(plx::PlatformId platform) = 0;
  // The account as stored, without any network request.
  virtual plx::AccountInfo AccountFromStore(plx::PlatformId platform) = 0;
  // Asks the platform who the token belongs to; falls back to AccountFromStore.
  virtual plx::AccountInfo LookupAccount(plx::PlatformId platform) = 0;
  // The OAuth client id to send with platform API calls; may be empty.
  virtual std::string ClientIdFor(plx::PlatformId platform) = 0;
};

// No accounts at all: nothing is ever signed in, so every reader reads anonymously.
class NoAccounts final : public AccountOperations {
 public:
  std::optional<plx::TokenRecord> GetFreshToken(plx::PlatformId) override { return std::nullopt; }
  plx::AccountInfo AccountFromStore(plx::PlatformId) override { return {}; }
  plx::AccountInfo LookupAccount(plx::PlatformId) override { return {}; }
  std::string ClientIdFor(plx::PlatformId) override { return {}; }
};

}  // namespace vlo
