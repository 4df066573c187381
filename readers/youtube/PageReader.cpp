#include "readers/youtube/PageReader.h"

#include <algorithm>

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
constexpr int64_t kMaxRetryAfterMs = 600'000;

// The status while polls fail: the feed may be back at the next one, with the same continuation,
// so nothing is lost across the trouble.
std::string TroubleDetail(const plx::HttpResponse& response) {
  if (response.status == 0 && response.error == plx::kAnswerTooLarge)
    return "The chat feed's answer was too large to read - retrying…";
  if (response.status == 0)
    return "Could not reach the chat feed (" + response.error + ") - retrying…";
  if (IsSuccess(response.status)) return "The chat feed sent an unreadable answer - retrying…";
  return "The chat feed answered HTTP " + std::to_string(response.status) + " - retrying…";
}

std::string StartDetail(const YouTubeDiscovery& found) {
  if (!found.liveChatId.empty()) return "Connected";
  if (!found.signedIn) return "Reading (sign in to send)";
  if (found.signInRejected) return "Reading - sign in again to send";
  if (found.quotaHit) return "Reading - sending paused (YouTube's daily API limit)";
  return "Reading";
}

}  // namespace

ReaderEnd RunPageReader(ChatHub& hub, const Endpoints& endpoints, const YouTubeDiscovery& found,
                        const PageChat& chat, SeenItems& seen) {
  hub.SetPlatformId(kYouTube, found.liveChatId);
  hub.SetStatus(kYouTube, ConnectionState::Connected, found.title, StartDetail(found));
  hub.SetCanSend(kYouTube, !found.liveChatId.empty());
  hub.PostSystemLine(kYouTube, "Connected to the live chat of " + found.title);
  for (const std::string& item : chat.items) HandleYouTubeChatItem(hub, item, &seen);

  const plx::CallControl control = ReaderControl(hub);
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
        PostContinuation(endpoints, chat.clientVersion, continuation, control);
    if (!hub.IsWanted(kYouTube)) break;
    std::optional<std::string> next;
    if (IsSuccess(response.status)) next = HandleContinuationResponse(hub, response.body, &seen);
    if (!next) {
      if (++failures >= kFailuresToLose) break;
      hub.SetStatus(kYouTube, ConnectionState::Connecting, found.title, TroubleDetail(response));
      wait = std::clamp(int64_t{response.retryAfter} * 1000, kFailureStepMs * failures,
                        kMaxRetryAfterMs);
      continue;
    }
    if (failures > 0) {
      hub.SetStatus(kYouTube, ConnectionState::Connected, found.title, StartDetail(found));
    }
    if (next->empty()) {
      chatEnded = true;
      break;
    }
    continuation = std::move(*next);
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
