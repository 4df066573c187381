// The platforms' OAuth token endpoints, Twitch "/oauth2/token", Google "/token" and Kick
// "/oauth/token", in each one's answer shapes: the client is checked here, then the grant goes to
// refresh (here), Twitch's device grant or Google's and Kick's code exchange.

#include "core/Json.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/accounts/AccountsState.h"
#include "sim/accounts/OwnAppState.h"

namespace vlo::sim {
namespace {

using Json = json::Json;
using plx::PlatformId;

enum class Fault { BadRequest, UnsupportedGrant, UnknownClient, WrongSecret, BadGrant };

HttpAnswer TwitchRefusal(Fault fault) {
  const auto answer = [](int status, const char* message) {
    return JsonAnswer({{"status", status}, {"message", message}}, status);
  };
  switch (fault) {
    case Fault::BadRequest:
      return answer(400, "missing client id");
    case Fault::UnsupportedGrant:
      return answer(400, "unsupported grant type");
    case Fault::UnknownClient:
      return answer(400, "invalid client");
    case Fault::WrongSecret:
      return answer(403, "invalid client secret");
    case Fault::BadGrant:
      break;
  }
  return answer(400, "Invalid refresh token");
}

HttpAnswer OAuthRefusal(PlatformId platform, Fault fault) {
  const bool google = platform == PlatformId::YouTube;
  const auto answer = [](int status, const char* error, const char* description) {
    return JsonAnswer({{"error", error}, {"error_description", description}}, status);
  };
  switch (fault) {
    case Fault::BadRequest:
      return answer(400, "invalid_request", "Missing required parameter.");
    case Fault::UnsupportedGrant:
      return answer(400, "unsupported_grant_type", "The grant type is not supported.");
    case Fault::UnknownClient:
      return google ? answer(401, "invalid_client", "The OAuth client was not found.")
                    : answer(401, "invalid_client", "Client authentication failed.");
    case Fault::WrongSecret:
      return google ? answer(401, "invalid_client", "Unauthorized")
                    : answer(401, "invalid_client", "Client authentication failed.");
    case Fault::BadGrant:
      break;
  }
  return google ? answer(400, "invalid_grant", "Token has been expired or revoked.")
                : answer(400, "invalid_grant", "The refresh token is invalid.");
}

HttpAnswer Refuse(PlatformId platform, Fault fault) {
  return platform == PlatformId::Twitch ? TwitchRefusal(fault) : OAuthRefusal(platform, fault);
}

}  // namespace

void AccountsSim::InstallTokenEndpoints() {
  servers_.twitchOAuth.Route("POST", "/oauth2/token", [this](const HttpExchange& r) {
    return TokenRequest(PlatformId::Twitch, r);
  });
  servers_.googleOAuth.Route("POST", "/token", [this](const HttpExchange& r) {
    return TokenRequest(PlatformId::YouTube, r);
  });
  servers_.kickOAuth.Route("POST", "/oauth/token", [this](const HttpExchange& r) {
    return TokenRequest(PlatformId::Kick, r);
  });
}

HttpAnswer AccountsSim::TokenRequest(PlatformId platform, const HttpExchange& request) {
  if (!request.Header("Content-Type").starts_with("application/x-www-form-urlencoded")) {
    return Refuse(platform, Fault::BadRequest);
  }
  const std::string clientId = request.Form("client_id");
  const std::string secret = request.Form("client_secret");
  // Google and Kick know no public clients: both parameters are required.
  if (clientId.empty() || (platform != PlatformId::Twitch && secret.empty())) {
    return Refuse(platform,
                  platform == PlatformId::Kick ? Fault::UnknownClient : Fault::BadRequest);
  }
  const std::string grantType = request.Form("grant_type");
  const bool device = platform == PlatformId::Twitch && grantType == kDeviceCodeGrant;
  const bool code = platform != PlatformId::Twitch && grantType == "authorization_code";
  if (grantType != "refresh_token" && !device && !code) {
    return Refuse(platform, Fault::UnsupportedGrant);
  }

  std::lock_guard lock{mutex_};
  const std::optional<std::string> registered = state_->book.ClientSecret(platform, clientId);
  if (!registered) return Refuse(platform, Fault::UnknownClient);
  if (*registered != secret) return Refuse(platform, Fault::WrongSecret);
  if (device) return DeviceGrantLocked(clientId, request);
  if (code) return CodeExchangeLocked(platform, clientId, request);
  return DirectRefreshLocked(platform, clientId, request);
}

HttpAnswer AccountsSim::DirectRefreshLocked(PlatformId platform, const std::string& clientId,
                                            const HttpExchange& request) {
  const std::string refreshToken = request.Form("refresh_token");
  TokenBook& book = state_->book;
  const TokenBook::RefreshGrant* grant = book.FindRefresh(platform, refreshToken);
  if (!grant || grant->clientId != clientId) return Refuse(platform, Fault::BadGrant);
  const std::vector<std::string> scopes = grant->scopes;
  // Google keeps the refresh token and sends none back; Twitch and Kick hand out a new one.
  const SimTokenPair pair = book.Refresh(refreshToken, platform != PlatformId::YouTube);

  Json answer = {{"access_token", pair.accessToken}, {"expires_in", kDefaultLifetimeSec}};
  switch (platform) {
    case PlatformId::Twitch:
      answer["refresh_token"] = pair.refreshToken;
      answer["scope"] = scopes;
      answer["token_type"] = "bearer";
      break;
    case PlatformId::Kick:
      answer["refresh_token"] = pair.refreshToken;
      [[fallthrough]];
    default:
      answer["scope"] = JoinScopes(scopes);
      answer["token_type"] = "Bearer";
  }
  return JsonAnswer(answer);
}

}  // namespace vlo::sim
