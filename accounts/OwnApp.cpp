#include "accounts/OwnApp.h"

#include "net/Http.h"

namespace vlo {

std::string AuthorizationUrl(const Endpoints& endpoints, plx::PlatformId platform,
                             std::string_view clientId, std::string_view redirectUri,
                             std::string_view challenge, std::string_view state) {
  const bool google = platform == plx::PlatformId::YouTube;
  std::string url = google ? endpoints.googleAccounts + "/o/oauth2/v2/auth?"
                           : endpoints.kickOAuth + "/oauth/authorize?";
  url += plx::FormField("response_type", "code") + "&" + plx::FormField("client_id", clientId) +
         "&" + plx::FormField("redirect_uri", redirectUri) + "&" +
         plx::FormField("scope", google ? kGoogleOwnAppScopes : kKickOwnAppScopes) + "&" +
         plx::FormField("code_challenge", challenge) + "&" +
         plx::FormField("code_challenge_method", "S256") + "&" + plx::FormField("state", state);
  // Google hands out a refresh token only for offline access asked with consent.
  if (google)
    url +=
        "&" + plx::FormField("access_type", "offline") + "&" + plx::FormField("prompt", "consent");
  return url;
}

std::string TokenEndpoint(const Endpoints& endpoints, plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::Twitch:
      return endpoints.twitchOAuth + "/oauth2/token";
    case plx::PlatformId::YouTube:
      return endpoints.googleOAuth + "/token";
    default:
      return endpoints.kickOAuth + "/oauth/token";
  }
}

std::string RedirectPage(bool ok) {
  const char* heading = ok ? "Signed in" : "Sign-in did not finish";
  const char* text = ok ? "You can close this window and return to Velaro Chat."
                        : "You can close this window. Velaro Chat says what happened.";
  return std::string{
             "<!doctype html><html><head><meta charset=\"utf-8\"><title>Velaro Chat</title>"
             "<style>body{margin:0;min-height:100vh;display:flex;align-items:center;"
             "justify-content:center;background:#16121c;color:#ece8f2;"
             "font:16px/1.5 system-ui,sans-serif}main{background:#221c2a;"
             "border-radius:12px;padding:28px 36px;max-width:420px}"
             "h1{font-size:20px;margin:0 0 8px}</style></head><body><main><h1>"} +
         heading + "</h1><p>" + text + "</p></main></body></html>";
}

}  // namespace vlo
