#include "readers/youtube/ApiReader.h"

#include <algorithm>

#include "net/Http.h"
#include "readers/youtube/ItemHandler.h"
#include "readers/youtube/YouTubeRequests.h"

namespace vlo {

namespace {

constexpr plx::PlatformId kYouTube = plx::PlatformId::YouTube;
constexpr int64_t kMinIntervalMs = 8000;
constexpr int64_t kMaxIntervalMs = 30000;
constexpr int64_t kQuietCapMs = 16000;
constexpr int64_t kQuotaPauseMs = 900000;
constexpr int64_t kRetryMs = 8000;
constexpr int64_t kEndedWaitMs = 30000;
constexpr const char* kConnected = "Connected (backup reader)";

std::string MessagesPath(const std::string& liveChatId, const std::string& pageToken) {
  std::string path = "liveChat/messages?liveChatId=" + plx::PercentEncode(liveChatId) +
                     "&part=snippet,authorDetails&maxResults=200";
  if (!pageToken.empty()) path += "&pageToken=" + plx::PercentEncode(pageToken);
  return path;
}

}  // namespace

int64_t ApiPollInterval(const json::Json& answer, int emptyPolls) {
  int64_t interval = kMinIntervalMs;
  const json::Json* given = json::Find(answer, "pollingIntervalMillis");
  if (given && given->is_number()) {
    const double ms = given->get<double>();
    interval = ms <= kMinIntervalMs   ? kMinIntervalMs
               : ms >= kMaxIntervalMs ? kMaxIntervalMs
                                      : static_cast<int64_t>(ms);
  }
  if (emptyPolls >= 3) {
    interval = std::max(interval, std::min<int64_t>(kQuietCapMs, 6000 + 2000 * (emptyPolls - 1)));
  }
  return interval;
}

ReaderEnd RunApiReader(ChatHub& hub, const Endpoints& endpoints, const YouTubeDiscovery& found,
                       SeenItems& seen) {
  hub.SetPlatformId(kYouTube, found.liveChatId);
  hub.SetStatus(kYouTube, ConnectionState::Connected, found.title, kConnected);
  hub.SetCanSend(kYouTube, true);
  hub.PostSystemLine(kYouTube,
                     "Connected to the live chat of " + found.title + " (backup reader, slower)");

  const plx::CallControl control = ReaderControl(hub);
  std::string pageToken;
  int emptyPolls = 0;
  bool chatEnded = false;
  bool stopped = false;
  bool troubled = false;  // the last poll failed, and the status says so
  while (hub.IsWanted(kYouTube)) {
    const std::optional<plx::TokenRecord> token = hub.UsableToken(kYouTube);
    if (!token) break;
    const plx::HttpResponse response = DataApiGet(
        endpoints, MessagesPath(found.liveChatId, pageToken), token->accessToken, control);
    if (!hub.IsWanted(kYouTube)) break;
    int64_t wait = kRetryMs;
    // A body that is no JSON object comes from something in the way, not from the API: read as
    // an empty page it would lose the page token and fetch the chat from its start again.
    const json::Json parsed =
        IsSuccess(response.status) ? json::ParseAny(response.body) : json::Json{};
    const bool readable = parsed.is_object();
    if (readable && troubled) {
      troubled = false;
      hub.SetStatus(kYouTube, ConnectionState::Connected, found.title, kConnected);
    }
    if (readable) {
      const json::Json& answer = parsed;
      pageToken = json::TextOr(answer, "nextPageToken");
      const json::Json& items = json::ArrayMember(answer, "items");
      emptyPolls = items.empty() ? emptyPolls + 1 : 0;
      wait = ApiPollInterval(answer, emptyPolls);
      for (const json::Json& item : items) HandleYouTubeChatItem(hub, json::Dump(item), &seen);
    } else if (IsQuotaRefusal(response)) {
      hub.SetStatus(kYouTube, ConnectionState::Problem, found.title,
                    "YouTube's daily API limit is used up - trying again later");
      if (!hub.WaitWhileWanted(kYouTube, kQuotaPauseMs)) {
        stopped = true;
        break;
      }
      hub.SetStatus(kYouTube, ConnectionState::Connected, found.title, kConnected);
      continue;
    } else if (response.status == 403 || response.status == 404) {
      chatEnded = true;
      break;
    } else {
      // Kept polling from the same page token, so nothing is lost once the API answers again.
      troubled = true;
      hub.SetStatus(kYouTube, ConnectionState::Connecting, found.title,
                    response.status == 0 && response.error == plx::kAnswerTooLarge
                        ? std::string{"The YouTube API's answer was too large to read - retrying…"}
                    : response.status == 0
                        ? "Could not reach the YouTube API (" + response.error + ") - retrying…"
                    : IsSuccess(response.status)
                        ? std::string{"The YouTube API sent an unreadable answer - retrying…"}
                        : "The YouTube API answered HTTP " + std::to_string(response.status) +
                              " - retrying…");
      wait = std::clamp(int64_t{response.retryAfter} * 1000, kRetryMs, kQuotaPauseMs);
    }
    if (!hub.WaitWhileWanted(kYouTube, wait)) {
      stopped = true;
      break;
    }
  }

  hub.SetCanSend(kYouTube, false);
  hub.SetPlatformId(kYouTube, {});
  if (stopped || !hub.IsWanted(kYouTube)) return ReaderEnd::Stopped;
  if (chatEnded) hub.PostSystemLine(kYouTube, "The YouTube live chat ended");
  hub.SetStatus(kYouTube, ConnectionState::Offline, found.label,
                "Waiting for the next live stream");
  return hub.WaitWhileWanted(kYouTube, kEndedWaitMs) ? ReaderEnd::Ended : ReaderEnd::Stopped;
}

}  // namespace vlo
