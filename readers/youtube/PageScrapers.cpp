#include "readers/youtube/PageScrapers.h"

#include <algorithm>

#include "core/Json.h"
#include "core/YouTubeTarget.h"

namespace vlo {

namespace {

constexpr size_t kMaxQuotedTitle = 401;  // quotes included

// The JSON string right after the first `key`, decoded; empty when missing, too long or broken.
std::string QuotedValueAfter(std::string_view html, std::string_view key) {
  const size_t at = html.find(key);
  if (at == std::string_view::npos) return {};
  const size_t open = at + key.size();
  if (open >= html.size() || html[open] != '"') return {};
  // Scan no further than the longest acceptable value.
  const size_t limit = std::min(html.size(), open + kMaxQuotedTitle);
  for (size_t i = open + 1; i < limit; ++i) {
    if (html[i] == '\\') {
      ++i;
    } else if (html[i] == '"') {
      const json::Json decoded = json::ParseAny(html.substr(open, i - open + 1));
      return decoded.is_string() ? decoded.get<std::string>() : std::string{};
    }
  }
  return {};
}

}  // namespace

std::string FindCanonicalVideoId(std::string_view html) {
  const std::string marker =
      std::string{"<link rel=\"canonical\" href=\""} + std::string{kYouTubeOrigin} + "/watch?v=";
  const size_t at = html.find(marker);
  if (at == std::string_view::npos) return {};
  const std::string_view id = html.substr(at + marker.size(), 11);
  return IsVideoId(id) ? std::string{id} : std::string{};
}

std::string FindChannelTitle(std::string_view html) {
  for (std::string_view key : {"\"ownerChannelName\":", "\"author\":"}) {
    std::string title = QuotedValueAfter(html, key);
    if (!title.empty()) return title;
  }
  return {};
}

}  // namespace vlo
