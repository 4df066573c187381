// "Who is this token?" at each platform: Helix users, the Data API's own channel and Kick's
// public users call, in each service's answer and error shapes.

#include "core/Json.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/accounts/AccountsState.h"
#include "sim/youtube/YouTubeSim.h"

namespace vlo::sim {
namespace {

using Json = json::Json;
using plx::PlatformId;

HttpAnswer HelixUnauthorized(const char* message) {
  return JsonAnswer({{"error", "Unauthorized"}, {"status", 401}, {"message", message}}, 401);
}

Json HelixUser(const SimAccount& account) {
  return {{"id", account.id},
          {"login", account.login},
          {"display_name", account.displayName},
          {"type", ""},
          {"broadcaster_type", ""},
          {"description", ""},
          {"profile_image_url", account.avatarUrl},
          {"offline_image_url", ""},
          {"view_count", 0},
          {"created_at", "2020-01-01T00:00:00Z"}};
}

Json YouTubeChannel(const SimAccount& account) {
  const auto thumbnail = [&](int size) {
    return Json{{"url", account.avatarUrl}, {"width", size}, {"height", size}};
  };
  return {{"kind", "youtube#channel"},
          {"etag", "sim-" + account.id},
          {"id", account.id},
          {"snippet",
           {{"title", account.displayName},
            {"description", ""},
            {"customUrl", account.login},
            {"publishedAt", "2020-01-01T00:00:00Z"},
            {"thumbnails",
             {{"default", thumbnail(88)}, {"medium", thumbnail(240)}, {"high", thumbnail(800)}}}}}};
}

Json KickUser(const SimAccount& account) {
  const bool digits = !account.id.empty() && account.id.size() < 19 &&
                      account.id.find_first_not_of("0123456789") == std::string::npos;
  return {{"user_id", digits ? Json(std::stoll(account.id)) : Json(account.id)},
          {"name", account.displayName.empty() ? account.login : account.displayName},
          {"email", ""},
          {"profile_picture", account.avatarUrl}};
}

}  // namespace

void AccountsSim::InstallLookups() {
  servers_.helix.Route("GET", "/helix/users",
                       [this](const HttpExchange& r) { return HelixUsers(r); });
  servers_.youtubeApi.Route("GET", "/youtube/v3/channels",
                            [this](const HttpExchange& r) { return DataApiChannels(r); });
  servers_.kickApi.Route("GET", "/public/v1/users",
                         [this](const HttpExchange& r) { return KickUsers(r); });
}

HttpAnswer AccountsSim::HelixUsers(const HttpExchange& request) const {
  const std::string token = BearerToken(request);
  if (token.empty()) return HelixUnauthorized("OAuth token is missing");
  std::lock_guard lock{mutex_};
  const std::optional<SimGrant> grant = state_->book.Validate(PlatformId::Twitch, token);
  if (!grant) return HelixUnauthorized("Invalid OAuth token");
  if (request.Header("Client-Id") != grant->clientId) {
    return HelixUnauthorized("Client ID and OAuth token do not match");
  }
  // Without a query the token's own user; "login" and "id" look up others.
  Json data = Json::array();
  const SimAccount* account = &grant->account;
  if (request.HasQuery("login")) {
    account = state_->book.FindLogin(PlatformId::Twitch, request.Query("login"));
  } else if (request.HasQuery("id")) {
    account = state_->book.FindAccount(PlatformId::Twitch, request.Query("id"));
  }
  if (account) data.push_back(HelixUser(*account));
  return JsonAnswer({{"data", std::move(data)}});
}

HttpAnswer AccountsSim::DataApiChannels(const HttpExchange& request) const {
  const std::optional<SimGrant> grant = Validate(PlatformId::YouTube, BearerToken(request));
  if (!grant) return HttpAnswer::Json(YouTubeSim::ApiErrorBody(401, "authError"), 401);
  if (request.Query("mine") != "true" ||
      request.Query("part").find("snippet") == std::string::npos) {
    return HttpAnswer::Json(YouTubeSim::ApiErrorBody(400, "invalidParameter"), 400);
  }
  return JsonAnswer({{"kind", "youtube#channelListResponse"},
                     {"etag", "sim"},
                     {"pageInfo", {{"totalResults", 1}, {"resultsPerPage", 5}}},
                     {"items", Json::array({YouTubeChannel(grant->account)})}});
}

HttpAnswer AccountsSim::KickUsers(const HttpExchange& request) const {
  const std::string token = BearerToken(request);
  std::lock_guard lock{mutex_};
  const std::optional<SimGrant> grant =
      token.empty() ? std::nullopt : state_->book.Validate(PlatformId::Kick, token);
  if (!grant) return JsonAnswer({{"message", "Unauthenticated"}}, 401);
  // Without "id" the token's own user.
  const SimAccount* account = &grant->account;
  if (request.HasQuery("id"))
    account = state_->book.FindAccount(PlatformId::Kick, request.Query("id"));
  Json data = Json::array();
  if (account) data.push_back(KickUser(*account));
  return JsonAnswer({{"data", std::move(data)}, {"message", "OK"}});
}

}  // namespace vlo::sim
