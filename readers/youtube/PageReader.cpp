#include "readers/youtube/PageReader.h"

#include "readers/youtube/ItemHandler.h"
#include "readers/youtube/YouTubeRequests.h"

namespace vlo {

namespace {

constexpr plx::PlatformId kYouTube = plx::PlatformId::YouTube;
constexpr int64_t kPollWaitMs = 1500;
constexpr int64_t kFailureStepMs = 2000;
constexpr int kFailuresToLose = 5;
constexpr int64_t kEndedWaitMs = 30000;
constexpr int64_t kLostWaitMs = 5000;

std::string StartDetail(const YouTubeDiscovery& found) {
  if (!found.liveChatId.empty()) return "Connected";
  if (!found.signedIn) return "Reading (sign in to send)";
  if (found.signInRejected) return "Reading - sign in again to send";
  if (found.quotaHit) return "Reading - sending paused (YouTube's daily API limit)";
  return "Reading";
}

}  // namespace

ReaderEnd RunPageReader(ChatHub& hub, const Endpoints& endpoints, const YouTubeDiscovery& found,
                        const PageChat& chat) {
  hub.SetPlatformId(kYouTube, found.liveChatId);
  hub.SetStatus(kYouTube, ConnectionState::Connected, found.title, StartDetail(found));
  hub.SetCanSend(kYouTube, !found.liveChatId.empty());
  hub.PostSystemLine(kYouTube, "Connected to the live chat of " + found.title);
  for (const std::string& item : chat.items) HandleYouTubeChatItem(hub, item);

  std::string continuation = chat.continuation;
  int failures = 0;
  int64_t wait = kPollWaitMs;
  bool chatEnded = false;
  bool stopped = false;
  while (hub.IsWanted(kYouTube)) {
    if (!hub.WaitWhileWanted(kYouTube, wait)) {
      stopped = true;
      break;
    }
    const plx::HttpResponse response =
        PostContinuation(endpoints, chat.clientVersion, continuation);
    std::optional<PageChat> next;
    if (IsSuccess(response.status)) next = ParseContinuationResponse(response.body);
    if (!next) {
      if (++failures >= kFailuresToLose) break;
      wait = kFailureStepMs * failures;
      continue;
    }
    for (const std::string& item : next->items) HandleYouTubeChatItem(hub, item);
    if (next->continuation.empty()) {
      chatEnded = true;
      break;
    }
    continuation = std::move(next->continuation);
    failures = 0;
    wait = kPollWaitMs;
  }

  hub.SetCanSend(kYouTube, false);
  hub.SetPlatformId(kYouTube, {});
  if (stopped || !hub.IsWanted(kYouTube)) return ReaderEnd::Stopped;
  if (chatEnded) {
    hub.PostSystemLine(kYouTube, "The YouTube live chat ended");
    hub.SetStatus(kYouTube, ConnectionState::Offline, found.label,
                  "Waiting for the next live stream");
    return hub.WaitWhileWanted(kYouTube, kEndedWaitMs) ? ReaderEnd::Ended : ReaderEnd::Stopped;
  }
  hub.SetStatus(kYouTube, ConnectionState::Connecting, found.title,
                "Lost the chat feed - reconnecting…");
  return hub.WaitWhileWanted(kYouTube, kLostWaitMs) ? ReaderEnd::Lost : ReaderEnd::Stopped;
}

}  // namespace vlo
