#pragma once

#include <string>
#include <string_view>

#include "accounts/SecretStore.h"
#include "core/Platform.h"

namespace vlo {

// What the own-app dialog says when its fields cannot be saved.
inline constexpr std::string_view kClientIdMissing{"Enter the app's client ID."};
inline constexpr std::string_view kClientIdInvalid{
    "That client ID doesn't look right: paste it without spaces."};
inline constexpr std::string_view kSecretMissing{"Enter the app's client secret too."};
inline constexpr std::string_view kSecretInvalid{
    "That client secret doesn't look right: paste it without spaces."};
inline constexpr std::string_view kPortInvalid{"The port must be a number from 1024 to 65535."};

inline constexpr int kMinRedirectPort{1024};
inline constexpr int kMaxRedirectPort{65535};

// True for the platforms whose own app signs in through the loopback redirect (YouTube and
// Kick): they need a client secret, the redirect address and the port. Twitch's device sign-in
// needs neither.
bool UsesRedirect(plx::PlatformId platform);

// The dialog's fields as typed (UTF-8). For Twitch `clientSecret` is the stored one, carried.
struct OwnAppEntry {
  std::string clientId;
  std::string clientSecret;
  std::string port;
};

struct OwnAppCheck {
  std::string error;  // empty when the entry can be saved
  plx::OAuthClient client;
  int port{0};  // the checked port for YouTube and Kick; 0 for Twitch

  bool ok() const { return error.empty(); }
};

// Trims the id and the secret (pasted values often carry spaces or a line break) and checks
// them and, where the platform uses it, the port. The first problem in the order id, secret,
// port gives the error; the error never repeats what was typed.
OwnAppCheck CheckOwnApp(plx::PlatformId platform, const OwnAppEntry& entry);

// A port as typed: digits only, 1024..65535; 0 otherwise.
int ParseRedirectPort(std::string_view text);

}  // namespace vlo
