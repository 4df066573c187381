#include "core/Endpoints.h"

#include <fstream>
#include <sstream>
#include <utility>

#include "core/Json.h"

namespace vlo {

namespace {

using Field = std::string Endpoints::*;

constexpr std::pair<std::string_view, Field> kFields[] = {
    {"twitchChat", &Endpoints::twitchChat},   {"twitchHelix", &Endpoints::twitchHelix},
    {"twitchOAuth", &Endpoints::twitchOAuth}, {"twitchEmoteCdn", &Endpoints::twitchEmoteCdn},
    {"kickWeb", &Endpoints::kickWeb},         {"kickApi", &Endpoints::kickApi},
    {"kickOAuth", &Endpoints::kickOAuth},     {"kickFiles", &Endpoints::kickFiles},
    {"pusher", &Endpoints::pusher},           {"youtubeWeb", &Endpoints::youtubeWeb},
    {"youtubeApi", &Endpoints::youtubeApi},   {"googleOAuth", &Endpoints::googleOAuth},
    {"sevenTvApi", &Endpoints::sevenTvApi},   {"bttvApi", &Endpoints::bttvApi},
    {"bttvImages", &Endpoints::bttvImages},   {"ffzApi", &Endpoints::ffzApi},
    {"portal", &Endpoints::portal},           {"portalFallback", &Endpoints::portalFallback},
    {"updateSite", &Endpoints::updateSite},   {"googleAccounts", &Endpoints::googleAccounts},
};

bool HasUrlScheme(std::string_view url) {
  for (std::string_view scheme : {"http://", "https://", "ws://", "wss://"}) {
    if (url.size() > scheme.size() && url.substr(0, scheme.size()) == scheme) return true;
  }
  return false;
}

}  // namespace

std::string Endpoints::PusherBase(std::string_view cluster) const {
  std::string base = pusher;
  constexpr std::string_view kMarker = "{cluster}";
  for (size_t at = base.find(kMarker); at != std::string::npos; at = base.find(kMarker, at)) {
    base.replace(at, kMarker.size(), cluster);
    at += cluster.size();
  }
  return base;
}

bool ApplyEndpointsJson(std::string_view text, Endpoints& endpoints, std::string* error) {
  const json::Json doc = json::ParseAny(text);
  if (!doc.is_object()) {
    if (error) *error = "The endpoints file is not a JSON object";
    return false;
  }
  Endpoints result = endpoints;
  for (const auto& [key, field] : kFields) {
    const json::Json* value = json::Find(doc, key);
    if (!value) continue;
    if (!value->is_string() || !HasUrlScheme(value->get_ref<const std::string&>())) {
      if (error) *error = "The endpoint \"" + std::string{key} + "\" is not a URL";
      return false;
    }
    std::string url = value->get<std::string>();
    while (!url.empty() && url.back() == '/') url.pop_back();
    result.*field = std::move(url);
  }
  endpoints = std::move(result);
  return true;
}

bool LoadEndpointsFile(const std::string& path, Endpoints& endpoints, std::string* error) {
  std::ifstream in{path, std::ios::binary};
  if (!in) {
    if (error) *error = "Cannot read the endpoints file " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ApplyEndpointsJson(text.str(), endpoints, error);
}

std::string EndpointsToJson(const Endpoints& endpoints) {
  json::Json doc = json::Json::object();
  for (const auto& [key, field] : kFields) doc[std::string{key}] = endpoints.*field;
  return json::Dump(doc, 2) + "\n";
}

std::string HostOf(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
  url = url.substr(0, url.find_first_of("/?#"));
  if (!url.empty() && url.front() == '[') return std::string{url.substr(0, url.find(']') + 1)};
  return std::string{url.substr(0, url.find(':'))};
}

}  // namespace vlo
