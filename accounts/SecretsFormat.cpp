// The plaintext of secrets.dpapi and the OAuth client registrations.

#include <algorithm>
#include <cmath>
#include <limits>

#include "accounts/SecretStore.h"
#include "core/Json.h"

namespace plx {

const OAuthClient& OAuthClients::For(PlatformId platform) const {
  static const OAuthClient none;
  switch (platform) {
    case PlatformId::Twitch:
      return twitch;
    case PlatformId::YouTube:
    case PlatformId::YouTubeShorts:
      return youtube;
    case PlatformId::Kick:
      return kick;
    case PlatformId::TikTok:
      return tiktok;
    default:
      return none;
  }
}

}  // namespace plx

namespace vlo {

namespace {

using json::Json;

// Only strings count: unlike the general rule, a number is no text here.
std::optional<std::string> StringMember(const Json& object, std::string_view key) {
  const Json* v = json::Find(object, key);
  if (!v || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

std::string StringOrEmpty(const Json& object, std::string_view key) {
  return StringMember(object, key).value_or(std::string{});
}

// Any JSON number, a floating one by its integer part, kept within the 64-bit range.
std::optional<int64_t> NumberMember(const Json& object, std::string_view key) {
  const Json* v = json::Find(object, key);
  if (!v) return std::nullopt;
  if (v->is_number_unsigned()) {
    return static_cast<int64_t>(
        std::min<uint64_t>(v->get<uint64_t>(), std::numeric_limits<int64_t>::max()));
  }
  if (v->is_number_integer()) return v->get<int64_t>();
  if (v->is_number_float()) {
    const double d = std::trunc(v->get<double>());
    constexpr double kLimit = 9223372036854775807.0;  // 2^63
    if (d >= kLimit) return std::numeric_limits<int64_t>::max();
    if (d <= -kLimit) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
  }
  return std::nullopt;
}

plx::TokenRecord ParseToken(const Json& object) {
  plx::TokenRecord t;
  t.accessToken = StringOrEmpty(object, "accessToken");
  t.refreshToken = StringMember(object, "refreshToken");
  t.expiresAt = NumberMember(object, "expiresAt");
  for (const Json& scope : json::ArrayMember(object, "scopes")) {
    if (scope.is_string()) t.scopes.push_back(scope.get<std::string>());
  }
  t.fromPortal = StringMember(object, "source") == "portal";
  t.clientId = StringOrEmpty(object, "clientId");
  t.needsReconnect = json::BoolMember(object, "needsReconnect").value_or(false);
  if (const Json* user = json::Find(object, "user"); user && user->is_object()) {
    t.id = StringOrEmpty(*user, "id");
    t.login = StringOrEmpty(*user, "login");
    t.displayName = StringOrEmpty(*user, "displayName");
    t.avatarUrl = StringOrEmpty(*user, "avatarUrl");
  }
  return t;
}

Json TokenToJson(const plx::TokenRecord& t) {
  Json o = Json::object();
  o["accessToken"] = t.accessToken;
  if (t.refreshToken) o["refreshToken"] = *t.refreshToken;
  if (t.expiresAt) o["expiresAt"] = *t.expiresAt;
  o["scopes"] = t.scopes;
  o["source"] = t.fromPortal ? "portal" : "own";
  if (!t.clientId.empty()) o["clientId"] = t.clientId;
  if (t.needsReconnect) o["needsReconnect"] = true;
  if (!t.id.empty() || !t.login.empty() || !t.displayName.empty()) {
    o["user"] = {{"id", t.id},
                 {"login", t.login},
                 {"displayName", t.displayName},
                 {"avatarUrl", t.avatarUrl}};
  }
  return o;
}

}  // namespace

SecretsDocument ParseSecrets(std::string_view text) {
  const Json doc = json::ParseObject(text);
  SecretsDocument d;
  for (const auto& [name, value] : json::ObjectMember(doc, "streamKeys").items()) {
    if (value.is_string()) d.streamKeys[name] = value.get<std::string>();
  }
  for (const auto& [name, value] : json::ObjectMember(doc, "oauth").items()) {
    if (value.is_object()) d.tokens[name] = ParseToken(value);
  }
  for (const auto& [name, value] : json::ObjectMember(doc, "oauthClients").items()) {
    if (value.is_object()) {
      d.oauthClients[name] = {StringOrEmpty(value, "clientId"),
                              StringOrEmpty(value, "clientSecret")};
    }
  }
  d.obsWebsocketPassword = StringMember(doc, "obsWebsocketPassword");
  return d;
}

std::string SecretsToJson(const SecretsDocument& d) {
  Json doc = Json::object();
  doc["streamKeys"] = Json::object();
  for (const auto& [name, value] : d.streamKeys) doc["streamKeys"][name] = value;
  doc["oauth"] = Json::object();
  for (const auto& [name, token] : d.tokens) doc["oauth"][name] = TokenToJson(token);
  doc["oauthClients"] = Json::object();
  for (const auto& [name, client] : d.oauthClients) {
    doc["oauthClients"][name] = {{"clientId", client.clientId},
                                 {"clientSecret", client.clientSecret}};
  }
  if (d.obsWebsocketPassword) doc["obsWebsocketPassword"] = *d.obsWebsocketPassword;
  return json::Dump(doc);
}

}  // namespace vlo
