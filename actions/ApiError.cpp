#include <array>
#include <utility>

#include "actions/Actions.h"
#include "core/Json.h"

namespace vlo {

namespace {

using json::Json;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Some services put markup in their messages (links, <code>); the user sees a plain line.
// Tags are removed, the common entities decoded and white space collapsed.
std::string PlainText(std::string_view text) {
  std::string untagged;
  untagged.reserve(text.size());
  for (size_t i{0}; i < text.size(); ++i) {
    if (text[i] == '<') {
      const size_t close{text.find('>', i)};
      if (close != std::string_view::npos) {
        i = close;
        continue;
      }
    }
    untagged += text[i];
  }

  static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{{
      {"&amp;", '&'},
      {"&lt;", '<'},
      {"&gt;", '>'},
      {"&quot;", '"'},
      {"&#39;", '\''},
  }};
  std::string plain;
  plain.reserve(untagged.size());
  bool pendingSpace{false};
  for (size_t i{0}; i < untagged.size(); ++i) {
    char c{untagged[i]};
    if (c == '&') {
      for (const auto& [entity, decoded] : kEntities) {
        if (std::string_view{untagged}.substr(i, entity.size()) == entity) {
          c = decoded;
          i += entity.size() - 1;
          break;
        }
      }
    } else if (IsSpace(c)) {
      pendingSpace = !plain.empty();
      continue;
    }
    if (pendingSpace) plain += ' ';
    pendingSpace = false;
    plain += c;
  }
  return plain;
}

// A member that is a string with some text left once its markup is gone.
std::string TextOf(const Json& object, std::string_view key) {
  const Json* value{json::Find(object, key)};
  if (!value || !value->is_string()) return {};
  return PlainText(value->get_ref<const std::string&>());
}

}  // namespace

std::string ApiErrorText(const plx::HttpResponse& response) {
  const Json doc = json::ParseObject(response.body);

  // Helix and Kick: {"message": …}, Kick sometimes with the explanation in "data".
  if (std::string message{TextOf(doc, "message")}; !message.empty()) {
    const std::string data{TextOf(doc, "data")};
    if (!data.empty() && data != message) message += ": " + data;
    return message;
  }
  // Google: {"error": {"code": …, "message": …, "errors": […]}}.
  if (std::string message{TextOf(json::ObjectMember(doc, "error"), "message")}; !message.empty()) {
    return message;
  }
  // OAuth style: {"error": "invalid_token", "error_description": …}; Helix puts the status
  // phrase here when its "message" is empty.
  if (std::string error{TextOf(doc, "error")}; !error.empty()) {
    const std::string description{TextOf(doc, "error_description")};
    if (!description.empty()) error += ": " + description;
    return error;
  }
  if (!response.error.empty()) return response.error;
  return "HTTP " + std::to_string(response.status);
}

}  // namespace vlo
