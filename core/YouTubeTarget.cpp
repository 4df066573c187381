#include "core/YouTubeTarget.h"

#include <algorithm>

#include "core/TextRules.h"

namespace vlo {

namespace {

constexpr std::string_view kShortHost = "youtu.be/";
constexpr std::string_view kMainHost = "youtube.com/";

bool IsIdChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

std::string_view CutAtDelimiter(std::string_view text) {
  return text.substr(0, text.find_first_of("/?#"));
}

std::optional<YouTubeTarget> Make(YouTubeTargetKind kind, std::string_view value) {
  return YouTubeTarget{kind, std::string{value}};
}

std::optional<YouTubeTarget> VideoOrInvalid(std::string_view id) {
  return IsVideoId(id) ? Make(YouTubeTargetKind::Video, id) : std::nullopt;
}

std::optional<YouTubeTarget> HandleOrInvalid(std::string_view handle) {
  return IsHandle(handle) ? Make(YouTubeTargetKind::ChannelHandle, handle) : std::nullopt;
}

// The value of query parameter "v" in a "watch…" path; not decoded.
std::string_view WatchVideoParam(std::string_view rest) {
  const size_t query = rest.find('?');
  if (query == std::string_view::npos) return {};
  std::string_view params = rest.substr(query + 1);
  params = params.substr(0, params.find('#'));
  while (!params.empty()) {
    const size_t amp = params.find('&');
    const std::string_view param = params.substr(0, amp);
    if (param.substr(0, 2) == "v=") return param.substr(2);
    if (amp == std::string_view::npos) break;
    params.remove_prefix(amp + 1);
  }
  return {};
}

std::optional<YouTubeTarget> ParseMainHostPath(std::string_view rest) {
  if (StartsWithNoCase(rest, "watch")) return VideoOrInvalid(WatchVideoParam(rest));
  for (std::string_view prefix : {"live/", "shorts/", "embed/"}) {
    if (ConsumePrefixNoCase(rest, prefix)) return VideoOrInvalid(CutAtDelimiter(rest));
  }
  if (ConsumePrefixNoCase(rest, "channel/")) {
    const std::string_view id = CutAtDelimiter(rest);
    return IsChannelId(id) ? Make(YouTubeTargetKind::Channel, id) : std::nullopt;
  }
  if (!rest.empty() && rest.front() == '@') return HandleOrInvalid(CutAtDelimiter(rest.substr(1)));
  if (ConsumePrefixNoCase(rest, "c/") || ConsumePrefixNoCase(rest, "user/")) {
    return HandleOrInvalid(CutAtDelimiter(rest));
  }
  return std::nullopt;
}

}  // namespace

bool IsVideoId(std::string_view text) {
  return text.size() == 11 && std::all_of(text.begin(), text.end(), IsIdChar);
}

bool IsChannelId(std::string_view text) {
  return text.size() == 24 && text.substr(0, 2) == "UC" &&
         std::all_of(text.begin(), text.end(), IsIdChar);
}

bool IsHandle(std::string_view text) {
  return text.size() >= 3 && text.size() <= 30 &&
         std::all_of(text.begin(), text.end(), [](char c) { return IsIdChar(c) || c == '.'; });
}

std::optional<YouTubeTarget> ParseYouTubeTarget(std::string_view text) {
  const std::string_view trimmed = TrimSpace(text);
  if (trimmed.empty()) return YouTubeTarget{};

  std::string_view copy = trimmed;
  if (!ConsumePrefixNoCase(copy, "https://")) ConsumePrefixNoCase(copy, "http://");
  if (!ConsumePrefixNoCase(copy, "www.")) ConsumePrefixNoCase(copy, "m.");

  if (ConsumePrefixNoCase(copy, kShortHost)) return VideoOrInvalid(CutAtDelimiter(copy));
  if (ConsumePrefixNoCase(copy, kMainHost)) return ParseMainHostPath(copy);

  if (trimmed.front() == '@') return HandleOrInvalid(trimmed.substr(1));
  if (IsChannelId(trimmed)) return Make(YouTubeTargetKind::Channel, trimmed);
  if (IsVideoId(trimmed)) return Make(YouTubeTargetKind::Video, trimmed);
  if (IsHandle(trimmed)) return Make(YouTubeTargetKind::ChannelHandle, trimmed);
  return std::nullopt;
}

std::string YouTubeTargetLabel(const YouTubeTarget& target) {
  switch (target.kind) {
    case YouTubeTargetKind::None:
      return "Your live stream";
    case YouTubeTargetKind::Video:
      return "Video " + target.value;
    case YouTubeTargetKind::ChannelHandle:
      return "@" + target.value;
    case YouTubeTargetKind::Channel:
      return target.value;
  }
  return "Your live stream";
}

}  // namespace vlo
