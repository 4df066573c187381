#include "readers/youtube/PageChat.h"

#include "readers/youtube/ChatActions.h"

namespace vlo {

namespace {

using json::Json;

constexpr std::string_view kVersionKey = "\"INNERTUBE_CLIENT_VERSION\":\"";
constexpr size_t kVersionReach = 64;  // the closing quote lies closer than this to the key
constexpr size_t kBraceReach = 16;    // the object's brace lies at most this far past the marker

std::optional<std::string> FindClientVersion(std::string_view html) {
  const size_t key = html.find(kVersionKey);
  if (key == std::string_view::npos) return std::nullopt;
  const size_t start = key + kVersionKey.size();
  const std::string_view window = html.substr(key, kVersionReach).substr(kVersionKey.size());
  const size_t quote = window.find('"');
  if (quote == std::string_view::npos || quote == 0) return std::nullopt;
  return std::string{html.substr(start, quote)};
}

// From the "{" at `html[open]`, the length of the balanced object, skipping quoted strings; 0 when
// it never closes.
size_t BalancedObjectLength(std::string_view html, size_t open) {
  int64_t depth = 0;
  bool inString = false;
  for (size_t i = open; i < html.size(); ++i) {
    const char c = html[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth == 0) {
      return i - open + 1;
    }
  }
  return 0;
}

// The reload continuation of the first unselected entry of the chat's view menu ("Live chat"
// rather than "Top chat"); empty when the menu does not offer one.
std::string FullChatContinuation(const Json& renderer) {
  const Json* node = &renderer;
  for (std::string_view key :
       {"header", "liveChatHeaderRenderer", "viewSelector", "sortFilterSubMenuRenderer"}) {
    node = &json::ObjectMember(*node, key);
  }
  const Json& entries = json::ArrayMember(*node, "subMenuItems");
  if (entries.size() < 2) return {};
  for (const Json& entry : entries) {
    if (json::BoolMember(entry, "selected").value_or(false)) continue;
    const Json& reload =
        json::ObjectMember(json::ObjectMember(entry, "continuation"), "reloadContinuationData");
    std::string token = json::TextOr(reload, "continuation");
    if (!token.empty()) return token;
  }
  return {};
}

}  // namespace

std::string_view FindInitialData(std::string_view html) {
  size_t markerEnd = std::string_view::npos;
  for (std::string_view marker :
       {std::string_view{"ytInitialData\"] = "}, std::string_view{"var ytInitialData = "}}) {
    const size_t at = html.find(marker);
    if (at != std::string_view::npos) {
      markerEnd = at + marker.size();
      break;
    }
  }
  if (markerEnd == std::string_view::npos) return {};
  const size_t brace = html.substr(markerEnd, kBraceReach + 1).find('{');
  if (brace == std::string_view::npos) return {};
  const size_t open = markerEnd + brace;
  const size_t length = BalancedObjectLength(html, open);
  return length == 0 ? std::string_view{} : html.substr(open, length);
}

std::string ChooseContinuation(const Json& continuations) {
  if (!continuations.is_array()) return {};
  for (const Json& entry : continuations) {
    for (std::string_view kind :
         {"invalidationContinuationData", "timedContinuationData", "reloadContinuationData"}) {
      const Json* data = json::Find(entry, kind);
      if (!data || !data->is_object()) continue;
      std::string token = json::TextOr(*data, "continuation");
      if (!token.empty()) return token;
    }
  }
  return {};
}

std::optional<PageChat> InitPageChat(std::string_view html) {
  std::optional<std::string> version = FindClientVersion(html);
  if (!version) return std::nullopt;
  const std::string_view data = FindInitialData(html);
  if (data.empty()) return std::nullopt;

  const Json root = json::ParseObject(data);
  const Json* renderer = json::Find(json::ObjectMember(root, "contents"), "liveChatRenderer");
  if (!renderer || !renderer->is_object()) return std::nullopt;

  PageChat chat;
  chat.continuation = ChooseContinuation(json::ArrayMember(*renderer, "continuations"));
  if (chat.continuation.empty()) return std::nullopt;
  if (std::string full = FullChatContinuation(*renderer); !full.empty()) {
    chat.continuation = std::move(full);
  }
  chat.clientVersion = std::move(*version);
  ConvertChatActions(json::ArrayMember(*renderer, "actions"), chat.items);
  return chat;
}

std::string BuildContinuationRequest(std::string_view clientVersion,
                                     std::string_view continuation) {
  const Json body = {
      {"context",
       {{"client", {{"clientName", "WEB"}, {"clientVersion", clientVersion}, {"hl", "en"}}}}},
      {"continuation", continuation}};
  return json::Dump(body);
}

std::optional<PageChat> ParseContinuationResponse(std::string_view body) {
  const Json root = json::ParseAny(body);
  if (!root.is_object()) return std::nullopt;
  const Json* live =
      json::Find(json::ObjectMember(root, "continuationContents"), "liveChatContinuation");
  if (live && live->is_object()) {
    PageChat chat;
    chat.continuation = ChooseContinuation(json::ArrayMember(*live, "continuations"));
    ConvertChatActions(json::ArrayMember(*live, "actions"), chat.items);
    return chat;
  }
  if (json::Find(root, "responseContext")) return PageChat{};
  return std::nullopt;
}

}  // namespace vlo
