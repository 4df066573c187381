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

ReaderEnd RunApiReader(ChatHub& hub, const Endpoints& endpoints, const YouTubeDiscovery& found) {
  hub.SetPlatformId(kYouTube, found.liveChatId);
  hub.SetStatus(kYouTube, ConnectionState::Connected, found.title, kConnected);
  hub.SetCanSend(kYouTube, true);
  hub.PostSystemLine(kYouTube,
                     "Connected to the live chat of " + found.title + " (backup reader, slower)");

  std::string pageToken;
  int emptyPolls = 0;
  bool chatEnded = false;
  bool stopped = false;
  while (hub.IsWanted(kYouTube)) {
    const std::optional<plx::TokenRecord> token = hub.UsableToken(kYouTube);
    if (!token) break;
    const plx::HttpResponse response =
        DataApiGet(endpoints, MessagesPath(found.liveChatId, pageToken), token->accessToken);
    int64_t wait = kRetryMs;
    if (IsSuccess(response.status)) {
      const json::Json answer = json::ParseObject(response.body);
      pageToken = json::TextOr(answer, "nextPageToken");
      const json::Json& items = json::ArrayMember(answer, "items");
      emptyPolls = items.empty() ? emptyPolls + 1 : 0;
      wait = ApiPollInterval(answer, emptyPolls);
      for (const json::Json& item : items) HandleYouTubeChatItem(hub, json::Dump(item));
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
