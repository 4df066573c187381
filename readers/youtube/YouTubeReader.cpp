#include "readers/youtube/YouTubeReader.h"

#include <algorithm>
#include <optional>

#include "net/Http.h"
#include "readers/youtube/ApiReader.h"
#include "readers/youtube/PageReader.h"
#include "readers/youtube/PageScrapers.h"
#include "readers/youtube/YouTubeRequests.h"

namespace vlo {

namespace {

using K = YouTubeTargetKind;
constexpr plx::PlatformId kYouTube = plx::PlatformId::YouTube;
constexpr int64_t kRetryCycleMs = 60000;
constexpr int64_t kMaxRetryAfterMs = 600'000;
constexpr int kBroadcastCheckEvery = 5;
constexpr int kLostFeedsBeforeBackup = 3;

// What outlives a cycle; reader thread only.
struct CycleCounters {
  int broadcastChecks{0};
  int lostFeeds{0};
  SeenItems seen;
};

enum class Step { Continue, Retry, End };

// One discovery cycle; lives on the reader thread only.
class DiscoveryCycle {
 public:
  DiscoveryCycle(ChatHub& hub, const Endpoints& endpoints, CycleCounters& counters)
      : hub_{hub}, endpoints_{endpoints}, counters_{counters}, control_{ReaderControl(hub)} {}

  // One pass from reading the target to a reader's return. End = the thread ends.
  Step Run();

 private:
  bool Wanted() const { return hub_.IsWanted(kYouTube); }
  Step WaitAndRetry(int64_t ms = kRetryCycleMs) {
    return hub_.WaitWhileWanted(kYouTube, ms) ? Step::Retry : Step::End;
  }
  // Notes a request that did not answer as it should (no answer, a server error, a limit): an
  // empty result then says nothing about the stream being live.
  void NoteTrouble(const plx::HttpResponse& response);
  // Sets an Offline status and waits, or, when a request of this cycle was in trouble, says so
  // instead (a stream may well be live): Problem with the reason, in the same rhythm.
  Step ReportNothingFound(const std::string& offlineDetail);
  void LookUpOwnBroadcast(bool configuredNone, const YouTubeTarget& effective);
  // Returns End when a configured channel does not exist.
  Step ScrapeLivePage(const YouTubeTarget& effective);
  void LoadPageChat();
  void LookUpChatId();
  // Notes a refusal in a Data API answer; the answer's first item, if it has one.
  std::optional<json::Json> FirstItemOf(const plx::HttpResponse& response);
  Step RunReader();

  ChatHub& hub_;
  const Endpoints& endpoints_;
  CycleCounters& counters_;
  YouTubeDiscovery found_;
  std::string accessToken_;
  const plx::CallControl control_;
  std::optional<plx::HttpResponse> trouble_;  // the first of this cycle, without its body
};

Step DiscoveryCycle::Run() {
  const std::string text = hub_.Targets().youtubeTarget;
  found_.target = ParseYouTubeTarget(text).value_or(YouTubeTarget{});
  found_.label = YouTubeTargetLabel(found_.target);
  const std::optional<plx::TokenRecord> token = hub_.UsableToken(kYouTube);
  found_.signedIn = token.has_value();
  if (token) accessToken_ = token->accessToken;

  if (!found_.signedIn && found_.target.kind == K::None) {
    hub_.SetStatus(
        kYouTube, ConnectionState::Off, {},
        "Sign in with Google, or enter a YouTube channel or video (Channels & accounts)");
    return Step::End;
  }
  hub_.SetStatus(kYouTube, ConnectionState::Connecting, found_.label, "Looking for the live chat…");

  YouTubeTarget effective = found_.target;
  if (effective.kind == K::None) {
    const std::string own = hub_.Accounts().AccountFromStore(kYouTube).userId.value_or("");
    if (own.size() == 24 && own.starts_with("UC")) effective = {K::Channel, own};
  }

  if (found_.signedIn) LookUpOwnBroadcast(found_.target.kind == K::None, effective);
  if (!Wanted()) return Step::End;
  if (found_.videoId.empty() && ScrapeLivePage(effective) == Step::End) return Step::End;
  if (!Wanted()) return Step::End;

  if (found_.videoId.empty() && found_.liveChatId.empty()) {
    if (found_.signInRejected) {
      hub_.SetStatus(kYouTube, ConnectionState::Problem, found_.label,
                     "YouTube did not accept the sign-in - sign in again");
      return Step::End;
    }
    return ReportNothingFound("Not live right now - checking again every minute");
  }

  if (!found_.videoId.empty() &&
      !(found_.signedIn && counters_.lostFeeds >= kLostFeedsBeforeBackup)) {
    LoadPageChat();
    if (!Wanted()) return Step::End;
  }
  if (found_.signedIn && found_.liveChatId.empty() && !found_.videoId.empty() && !found_.quotaHit) {
    LookUpChatId();
    if (!Wanted()) return Step::End;
  }
  if (found_.title.empty()) found_.title = found_.label;
  return RunReader();
}

void DiscoveryCycle::LookUpOwnBroadcast(bool configuredNone, const YouTubeTarget& effective) {
  bool due = false;
  if (effective.kind == K::None) {
    due = true;
  } else if (configuredNone) {
    due = counters_.broadcastChecks % kBroadcastCheckEvery == 0;
    ++counters_.broadcastChecks;
  }
  if (!due) return;
  const plx::HttpResponse response =
      DataApiGet(endpoints_, "liveBroadcasts?part=snippet&mine=true&broadcastStatus=active",
                 accessToken_, control_);
  const std::optional<json::Json> item = FirstItemOf(response);
  if (!item) return;
  found_.videoId = json::TextOr(*item, "id");
  found_.liveChatId = json::TextOr(json::ObjectMember(*item, "snippet"), "liveChatId");
  found_.title = hub_.Accounts().AccountFromStore(kYouTube).displayName.value_or("");
  if (found_.title.empty()) found_.title = "Your live stream";
}

Step DiscoveryCycle::ScrapeLivePage(const YouTubeTarget& effective) {
  std::string path;
  if (effective.kind == K::Video) {
    found_.videoId = effective.value;
    return Step::Continue;
  }
  if (effective.kind == K::ChannelHandle) {
    path = "/@" + effective.value + "/live";
  } else if (effective.kind == K::Channel) {
    path = "/channel/" + effective.value + "/live";
  } else {
    return Step::Continue;
  }
  const plx::HttpResponse response = FetchYouTubePage(endpoints_.youtubeWeb + path, control_);
  NoteTrouble(response);
  if (response.status == 404 && found_.target.kind != K::None) {
    hub_.SetStatus(kYouTube, ConnectionState::Problem, found_.label,
                   "YouTube has no channel " + found_.label);
    return Step::End;
  }
  if (IsSuccess(response.status)) {
    found_.videoId = FindCanonicalVideoId(response.body);
    if (!found_.videoId.empty() && found_.title.empty()) {
      found_.title = FindChannelTitle(response.body);
    }
  }
  return Step::Continue;
}

void DiscoveryCycle::LoadPageChat() {
  const plx::HttpResponse response = FetchYouTubePage(
      endpoints_.youtubeWeb + "/live_chat?is_popout=1&v=" + plx::PercentEncode(found_.videoId),
      control_);
  NoteTrouble(response);
  if (IsSuccess(response.status)) found_.pageChat = InitPageChat(response.body);
}

void DiscoveryCycle::LookUpChatId() {
  const plx::HttpResponse response = DataApiGet(
      endpoints_,
      "videos?part=liveStreamingDetails,snippet&id=" + plx::PercentEncode(found_.videoId),
      accessToken_, control_);
  const std::optional<json::Json> item = FirstItemOf(response);
  if (!item) return;
  found_.liveChatId =
      json::TextOr(json::ObjectMember(*item, "liveStreamingDetails"), "activeLiveChatId");
  if (found_.title.empty()) {
    found_.title = json::TextOr(json::ObjectMember(*item, "snippet"), "channelTitle");
  }
}

std::optional<json::Json> DiscoveryCycle::FirstItemOf(const plx::HttpResponse& response) {
  NoteTrouble(response);
  Refusals refusals{found_.signInRejected, found_.quotaHit};
  refusals.Classify(response);
  found_.signInRejected = refusals.signInRejected;
  found_.quotaHit = refusals.quotaHit;
  if (!IsSuccess(response.status)) return std::nullopt;
  const json::Json answer = json::ParseObject(response.body);
  const json::Json& items = json::ArrayMember(answer, "items");
  if (items.empty()) return std::nullopt;
  return items[0];
}

void DiscoveryCycle::NoteTrouble(const plx::HttpResponse& response) {
  const int32_t status = response.status;
  const bool trouble = status == 0 || status == 429 || status >= 500;
  if (!trouble || trouble_ || !Wanted()) return;  // a stop's cancelled request is no trouble
  trouble_ = plx::HttpResponse{status, {}, response.error, response.retryAfter};
}

Step DiscoveryCycle::ReportNothingFound(const std::string& offlineDetail) {
  if (!trouble_) {
    hub_.SetStatus(kYouTube, ConnectionState::Offline, found_.label, offlineDetail);
    return WaitAndRetry();
  }
  const plx::HttpResponse& trouble = *trouble_;
  const int64_t wait =
      std::clamp(int64_t{trouble.retryAfter} * 1000, kRetryCycleMs, kMaxRetryAfterMs);
  const std::string again = " - retrying in " + std::to_string(wait / 1000) + " s";
  std::string text;
  if (trouble.status != 0) {
    text = "YouTube answered " + FailureText(trouble);
  } else if (trouble.error == plx::kAnswerTooLarge) {
    text = "YouTube's answer was too large to read";
  } else {
    text = "Could not reach YouTube (" + trouble.error + ")";
  }
  hub_.SetStatus(kYouTube, ConnectionState::Problem, found_.label, text + again);
  return WaitAndRetry(wait);
}

Step DiscoveryCycle::RunReader() {
  ReaderEnd end;
  if (found_.pageChat) {
    end = RunPageReader(hub_, endpoints_, found_, *found_.pageChat, counters_.seen);
  } else if (found_.liveChatId.empty()) {
    if (found_.quotaHit) {
      hub_.SetStatus(kYouTube, ConnectionState::Offline, found_.label,
                     "YouTube's daily API limit is used up - trying again later");
      return WaitAndRetry();
    }
    return ReportNothingFound("No live chat to read yet - checking again every minute");
  } else {
    end = RunApiReader(hub_, endpoints_, found_, counters_.seen);
  }
  if (end == ReaderEnd::Stopped) return Step::End;
  counters_.lostFeeds = end == ReaderEnd::Lost ? counters_.lostFeeds + 1 : 0;
  return Step::Retry;
}

}  // namespace

void RunYouTubeReader(ChatHub& hub, const Endpoints& endpoints) {
  CycleCounters counters;
  while (hub.IsWanted(kYouTube)) {
    DiscoveryCycle cycle{hub, endpoints, counters};
    if (cycle.Run() == Step::End) return;
  }
}

ReaderEntry MakeYouTubeReader(const Endpoints& endpoints) {
  return [endpoints](ChatHub& hub) { RunYouTubeReader(hub, endpoints); };
}

}  // namespace vlo
