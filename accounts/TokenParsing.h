#pragma once

// Reading token answers: the platforms' OAuth token endpoints and the portal's handoff.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Accounts.h"
#include "core/Json.h"

namespace vlo {

// An array replaces `scopes` with its string elements; a string with its space-separated words
// (empty words skipped); any other value leaves `scopes` unchanged.
void ParseScopes(const json::Json& value, std::vector<std::string>& scopes);

// An OAuth token endpoint's answer ("access_token", "refresh_token", "expires_in", "scope").
// The previous refresh token is kept unless the answer carries a non-empty one. Every other field
// is empty or false; an empty access token means the answer is unusable.
plx::TokenRecord ParseTokenResponse(const json::Json& body,
                                    const std::optional<std::string>& previousRefreshToken,
                                    int64_t nowMs);

// The token of a portal handoff answered with "status" "ok" (accessToken, refreshToken,
// expiresIn, scopes, clientId, user), marked as coming from the portal.
plx::TokenRecord TokenFromHandoff(const json::Json& body, int64_t nowMs);

}  // namespace vlo
