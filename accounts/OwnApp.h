#pragma once

// Signing in with the user's own app registration at a platform, without the portal: what the
// program asks for and where.

#include <string>
#include <string_view>

#include "core/Endpoints.h"
#include "core/Platform.h"

namespace vlo {

// The loopback port the redirect listener uses unless the user chose another (the one to
// register with the app as "http://127.0.0.1:17823/callback").
inline constexpr int kDefaultRedirectPort = 17823;

// What the program needs for reading signed in, sending and moderating.
inline constexpr std::string_view kTwitchOwnAppScopes =
    "chat:read chat:edit user:write:chat moderator:manage:chat_messages "
    "moderator:manage:banned_users";
inline constexpr std::string_view kGoogleOwnAppScopes =
    "https://www.googleapis.com/auth/youtube.force-ssl";
inline constexpr std::string_view kKickOwnAppScopes =
    "user:read channel:read chat:write moderation:ban moderation:chat_message:manage";

// The authorization page of a code-with-PKCE sign-in (YouTube: Google's; Kick: Kick's).
std::string AuthorizationUrl(const Endpoints& endpoints, plx::PlatformId platform,
                             std::string_view clientId, std::string_view redirectUri,
                             std::string_view challenge, std::string_view state);

// The token endpoint of a platform's OAuth service.
std::string TokenEndpoint(const Endpoints& endpoints, plx::PlatformId platform);

// The page the browser shows after the redirect.
std::string RedirectPage(bool ok);

}  // namespace vlo
