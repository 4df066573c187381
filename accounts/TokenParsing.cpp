#include "accounts/TokenParsing.h"

#include <algorithm>
#include <cmath>

namespace vlo {

namespace {

// Seconds given as any JSON number, in milliseconds after `nowMs`; nothing for anything else.
std::optional<int64_t> ExpiryFrom(const json::Json* seconds, int64_t nowMs) {
  if (seconds == nullptr || !seconds->is_number()) return std::nullopt;
  const double value = seconds->get<double>();
  if (!std::isfinite(value)) return std::nullopt;
  // Clamped so that an absurd lifetime cannot overflow the instant.
  const double clamped = std::clamp(value, -1e12, 1e12);
  return nowMs + static_cast<int64_t>(clamped * 1000);
}

}  // namespace

void ParseScopes(const json::Json& value, std::vector<std::string>& scopes) {
  if (value.is_array()) {
    scopes.clear();
    for (const json::Json& element : value) {
      if (element.is_string()) scopes.push_back(element.get<std::string>());
    }
  } else if (value.is_string()) {
    scopes.clear();
    const std::string& text = value.get_ref<const std::string&>();
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(' ', start);
      if (end == std::string::npos) end = text.size();
      if (end > start) scopes.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }
}

plx::TokenRecord ParseTokenResponse(const json::Json& body,
                                    const std::optional<std::string>& previousRefreshToken,
                                    int64_t nowMs) {
  plx::TokenRecord token;
  token.accessToken = json::TextOr(body, "access_token");
  const std::string refresh = json::TextOr(body, "refresh_token");
  token.refreshToken = refresh.empty() ? previousRefreshToken : std::optional{refresh};
  token.expiresAt = ExpiryFrom(json::Find(body, "expires_in"), nowMs);
  if (const json::Json* scope = json::Find(body, "scope")) ParseScopes(*scope, token.scopes);
  return token;
}

plx::TokenRecord TokenFromHandoff(const json::Json& body, int64_t nowMs) {
  plx::TokenRecord token;
  token.accessToken = json::TextOr(body, "accessToken");
  const std::string refresh = json::TextOr(body, "refreshToken");
  if (!refresh.empty()) token.refreshToken = refresh;
  token.expiresAt = ExpiryFrom(json::Find(body, "expiresIn"), nowMs);
  if (const json::Json* scopes = json::Find(body, "scopes")) ParseScopes(*scopes, token.scopes);
  token.fromPortal = true;
  token.clientId = json::TextOr(body, "clientId");
  if (const json::Json* user = json::Find(body, "user"); user && user->is_object()) {
    token.id = json::TextOr(*user, "id");
    token.login = json::TextOr(*user, "login");
    token.displayName = json::TextOr(*user, "displayName");
    token.avatarUrl = json::TextOr(*user, "avatarUrl");
  }
  return token;
}

}  // namespace vlo
