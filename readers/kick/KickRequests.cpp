#include "readers/kick/KickRequests.h"

#include <cmath>

#include "core/Json.h"

namespace vlo {

namespace {

using json::Json;

// A JSON number truncated to an integer; nothing for other values and out-of-range floats.
std::optional<int64_t> NumberAsInt(const Json* value) {
  if (!value || !value->is_number()) return std::nullopt;
  if (auto whole = json::AsInt(*value)) return whole;
  if (!value->is_number_float()) return std::nullopt;  // an unsigned beyond int64
  const double number = std::trunc(value->get<double>());
  if (!(number > -9.2e18 && number < 9.2e18)) return std::nullopt;
  return static_cast<int64_t>(number);
}

bool IsShortAlnum(const std::string& text) {
  if (text.empty() || text.size() > 64) return false;
  for (const char c : text) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) return false;
  }
  return true;
}

}  // namespace

std::string ParseOwnChannelSlug(std::string_view body) {
  const Json doc = json::ParseObject(body);
  const Json& data = json::ArrayMember(doc, "data");
  if (data.empty()) return {};
  return json::TextOr(data[0], "slug");
}

std::optional<KickChannelInfo> ParseKickChannel(std::string_view body) {
  const Json doc = json::ParseObject(body);
  const Json* chatroom = json::Find(doc, "chatroom");
  if (!chatroom || !chatroom->is_object()) return std::nullopt;
  const auto chatroomId = NumberAsInt(json::Find(*chatroom, "id"));
  if (!chatroomId) return std::nullopt;
  KickChannelInfo info;
  info.chatroomId = *chatroomId;
  info.channelId = NumberAsInt(json::Find(doc, "id")).value_or(0);
  info.broadcasterUserId = json::TextOr(doc, "user_id");
  return info;
}

std::string RealtimeRequestBody(uint32_t clientNumber) {
  const Json body = {
      {"capabilities", {{"accepted_providers", Json::array({{{"provider", "pusher"}}})}}},
      {"client", {{"id", "vlo-" + std::to_string(clientNumber)}, {"type", "web"}}},
  };
  return json::Dump(body);
}

std::optional<PusherCredentials> ParseRealtimeConnection(std::string_view body) {
  const Json doc = json::ParseObject(body);
  const Json* data = json::Find(doc, "data");
  if (!data || !data->is_object()) return std::nullopt;
  const Json* connections = json::Find(*data, "connections");
  if (!connections || !connections->is_array()) return std::nullopt;
  for (const Json& entry : *connections) {
    const Json* provider = json::Find(entry, "provider");
    if (!provider || !provider->is_string() || *provider != "pusher") continue;
    const Json* credentials = json::Find(entry, "credentials");
    if (!credentials) continue;
    const Json* key = json::Find(*credentials, "app_key");
    const Json* cluster = json::Find(*credentials, "cluster");
    if (!key || !cluster || !key->is_string() || !cluster->is_string()) continue;
    PusherCredentials result{key->get<std::string>(), cluster->get<std::string>()};
    if (IsShortAlnum(result.appKey) && IsShortAlnum(result.cluster)) return result;
  }
  return std::nullopt;
}

std::string PusherSocketUrl(const Endpoints& endpoints, const PusherCredentials& credentials) {
  return endpoints.PusherBase(credentials.cluster) + "/app/" + credentials.appKey +
         "?protocol=7&client=js&version=8.4.0&flash=false";
}

std::string OriginOf(std::string_view baseUrl) {
  const size_t scheme = baseUrl.find("://");
  if (scheme == std::string_view::npos) return std::string{baseUrl};
  const size_t path = baseUrl.find('/', scheme + 3);
  return std::string{baseUrl.substr(0, path)};
}

std::string PusherSubscribeFrame(std::string_view channel) {
  const Json frame = {{"data", {{"auth", ""}, {"channel", channel}}},
                      {"event", "pusher:subscribe"}};
  return json::Dump(frame);
}

}  // namespace vlo
