// Who a token belongs to: the platform's own answer for tokens of the program's own client, the
// stored identity for portal tokens (the portal gave it at sign-in).

#include "accounts/AccountService.h"

namespace vlo {

using plx::PlatformId;

namespace {

constexpr uint32_t kLookupTimeoutMs = 5000;

// A member's text when present (a string, or an integer in decimal); empty text when absent, as
// the lookup rules read absent members.
std::string TextIn(const json::Json& object, std::string_view key) {
  return json::TextOr(object, key);
}

bool Has(const json::Json& object, std::string_view key) {
  const json::Json* value = json::Find(object, key);
  return value != nullptr && json::AsText(*value).has_value();
}

// The first element of the array member `key` of a 200 JSON object answer.
std::optional<json::Json> FirstOf(const plx::HttpResponse& response, std::string_view key) {
  if (response.status != 200) return std::nullopt;
  const json::Json body = json::ParseAny(response.body);
  if (!body.is_object()) return std::nullopt;
  const json::Json& list = json::ArrayMember(body, key);
  if (list.empty()) return std::nullopt;
  return list.front();
}

}  // namespace

plx::AccountInfo AccountService::LookupAccount(PlatformId platform) {
  if (platform == PlatformId::YouTubeShorts) platform = PlatformId::YouTube;
  if (platform == PlatformId::TikTok) return {};
  const auto stored = store_.GetToken(platform);
  if (!stored) return {};
  if (stored->fromPortal) return AccountFromStore(platform);

  const auto fresh = GetFreshToken(platform);
  if (!fresh) return {};
  const std::optional<plx::AccountInfo> answer = AskPlatform(platform, *fresh);
  if (!answer) return AccountFromStore(platform);
  RememberIdentity(platform, *fresh, *answer);
  return *answer;
}

// Without the accounts lock: the request may take up to 5 s.
std::optional<plx::AccountInfo> AccountService::AskPlatform(PlatformId platform,
                                                            const plx::TokenRecord& token) {
  plx::AccountInfo info;
  info.signedIn = true;
  switch (platform) {
    case PlatformId::Twitch: {
      const std::string clientId = ClientIdFor(PlatformId::Twitch);
      if (clientId.empty()) return std::nullopt;
      const auto user = FirstOf(plx::Get(endpoints_.twitchHelix + "/helix/users",
                                         plx::BearerHeaders(token.accessToken, clientId),
                                         kLookupTimeoutMs, ServiceControl()),
                                "data");
      if (!user || !user->is_object()) return std::nullopt;
      info.displayName = TextIn(*user, "display_name");
      info.userId = TextIn(*user, "id");
      info.login = TextIn(*user, "login");
      return info;
    }
    case PlatformId::YouTube: {
      const auto channel = FirstOf(
          plx::Get(endpoints_.youtubeApi + "/youtube/v3/channels?part=snippet&mine=true",
                   plx::BearerHeaders(token.accessToken, {}), kLookupTimeoutMs, ServiceControl()),
          "items");
      if (!channel || !channel->is_object()) return std::nullopt;
      info.userId = TextIn(*channel, "id");
      if (const json::Json* snippet = json::Find(*channel, "snippet")) {
        info.displayName = TextIn(*snippet, "title");
        info.login = TextIn(*snippet, "customUrl");
      }
      return info;
    }
    case PlatformId::Kick: {
      const auto user = FirstOf(
          plx::Get(endpoints_.kickApi + "/public/v1/users",
                   plx::BearerHeaders(token.accessToken, {}) + "Accept: application/json\r\n",
                   kLookupTimeoutMs, ServiceControl()),
          "data");
      if (!user || !user->is_object()) return std::nullopt;
      info.displayName = TextIn(*user, Has(*user, "name") ? "name" : "username");
      info.login = TextIn(*user, Has(*user, "username") ? "username" : "name");
      if (Has(*user, "user_id")) info.userId = TextIn(*user, "user_id");
      return info;
    }
    default:
      return std::nullopt;
  }
}

// Stores the platform's answer as the token's identity when the token is still the one asked
// with and the identity changed.
void AccountService::RememberIdentity(PlatformId platform, const plx::TokenRecord& asked,
                                      const plx::AccountInfo& answer) {
  std::lock_guard lock{accountsLock_};
  std::optional<plx::TokenRecord> current = store_.GetToken(platform);
  if (!current || current->accessToken != asked.accessToken) return;
  const std::string displayName = answer.displayName.value_or("");
  const std::string login = answer.login.value_or("");
  const std::string id = answer.userId.value_or("");
  if (current->displayName == displayName && current->login == login && current->id == id) return;
  current->displayName = displayName;
  current->login = login;
  current->id = id;
  store_.SetToken(platform, std::move(current));
}

}  // namespace vlo
