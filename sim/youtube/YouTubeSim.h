#pragma once

// The simulated YouTube: the web site as the reader uses it (channel and handle live pages, the
// live chat page, the continuation endpoint) and the Data API paths it calls (own broadcast,
// videos lookup, live chat messages). Attaches routes to one server for the site and one for the
// Data API (they may be the same). Every operation is thread-safe.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimServer.h"
#include "sim/youtube/YouTubeSimEvents.h"

namespace vlo::sim {

class YouTubeSim {
 public:
  static constexpr const char* kContinuationPath = "/youtubei/v1/live_chat/get_live_chat";
  static constexpr const char* kMessagesPath = "/youtube/v3/liveChat/messages";
  static constexpr const char* kVideosPath = "/youtube/v3/videos";
  static constexpr const char* kBroadcastsPath = "/youtube/v3/liveBroadcasts";

  // The servers must outlive this object, which stops them when it goes.
  YouTubeSim(SimServer& web, SimServer& api);
  ~YouTubeSim();
  YouTubeSim(const YouTubeSim&) = delete;
  YouTubeSim& operator=(const YouTubeSim&) = delete;

  // --- Channels and streams ---
  void AddChannel(const std::string& channelId, const std::string& handle,
                  const std::string& title);
  // Starts a live stream with its chat on the channel.
  void StartStream(const std::string& channelId, const std::string& videoId,
                   const std::string& liveChatId);
  // Ends the channel's stream: polls of its chat answer that it ended; the live page goes back
  // to the channel page.
  void EndStream(const std::string& channelId);
  // The channel whose stream the Data API's "mine=true" broadcast lookup returns.
  void SetOwnChannel(const std::string& channelId);
  // The bearer token the Data API accepts; empty (the default) accepts any unless a token
  // check is set.
  void SetAcceptedToken(const std::string& token);
  // Resolves a bearer token other than the accepted one to its channel id, or nothing when it is
  // not valid; with a check set, only the tokens it or SetAcceptedToken accept pass. The own
  // broadcast lookup then answers the stream of the token's channel. Called on a server thread
  // without this object's lock held.
  using TokenCheck = std::function<std::optional<std::string>(std::string_view token)>;
  void SetTokenCheck(TokenCheck check);

  // --- Chat traffic ---
  // Appends an event to the video's chat (both the page feed and the Data API see it). Fills an
  // empty id and a zero time; returns the id.
  std::string Push(const std::string& videoId, YouTubeEvent event);
  std::string PushText(const std::string& videoId, const YouTubeViewer& viewer,
                       const std::string& text);
  // A raw page action for the next poll of the feed only (any shape, for odd traffic).
  void PushRawAction(const std::string& videoId, nlohmann::json action);
  // An id for an event pushed later (Push keeps the ids it is given).
  std::string NewEventId();

  // --- For the Data API's sending and moderation calls (LiveChatApi) ---
  struct LiveChatRef {
    std::string videoId;
    std::string liveChatId;
    std::string channelId;  // the chat owner's
    bool ended{false};
  };
  std::optional<LiveChatRef> FindLiveChat(const std::string& liveChatId) const;
  struct FoundMessage {
    LiveChatRef chat;
    YouTubeEvent event;
  };
  // The message (any event but a deletion or ban) whose Data API id is `apiId`, unless it was
  // deleted since.
  std::optional<FoundMessage> FindApiMessage(const std::string& apiId) const;
  // The newest author of the video's chat with that channel id.
  std::optional<YouTubeViewer> FindAuthor(const std::string& videoId,
                                          const std::string& channelId) const;

  // --- Page and feed shape ---
  void SetClientVersion(const std::string& version);
  void SetPagePadding(size_t bytes);  // script bytes around the embedded data (default 300 KB)
  void SetLegacyMarker(bool on);      // "var ytInitialData = " instead of the window form
  // "pollingIntervalMillis" of the Data API's answers; nullopt leaves it out (default 5000).
  void SetPollingIntervalMillis(std::optional<int64_t> ms);

  // --- Capture replay ---
  // Serves `responses` (continuation answer bodies, in order) to successive valid feed polls of
  // any token, then the chat's end. `chatPage`, when given, replaces the live chat page of
  // `videoId`.
  void StartReplay(const std::string& videoId, std::vector<std::string> responses,
                   std::optional<std::string> chatPage);

  // --- Observations ---
  // Feed polls refused because of a malformed request (bad body, client version or headers).
  size_t RejectedPolls() const;
  // The continuation tokens of the accepted feed polls, in order.
  std::vector<std::string> PolledContinuations() const;

  // Error bodies in the Data API's form, for scripted answers.
  static std::string ApiErrorBody(int code, const std::string& reason);

 private:
  struct Channel {
    std::string handle;
    std::string title;
    std::string liveVideoId;  // empty = offline
  };
  struct Chat {
    std::string channelId;
    std::string liveChatId;
    bool ended{false};
    std::vector<YouTubeEvent> events;  // the whole chat, oldest first
    std::vector<nlohmann::json> rawActions;
  };
  struct Replay {
    std::string videoId;
    std::vector<std::string> responses;
    size_t next{0};
    std::optional<std::string> chatPage;
  };

  HttpAnswer LivePage(const std::string& channelId);
  HttpAnswer ChatPage(const HttpExchange& request);
  HttpAnswer Continuation(const HttpExchange& request);
  HttpAnswer Broadcasts(const HttpExchange& request);
  HttpAnswer Videos(const HttpExchange& request);
  HttpAnswer Messages(const HttpExchange& request);
  // The caller of a Data API request: nothing when its token is refused, else the channel id
  // the token check gave (empty without one). Takes lock_ itself.
  std::optional<std::string> Authorize(const HttpExchange& request) const;
  std::string NewEventIdLocked();
  bool VersionAccepted(const std::string& version) const;          // with lock_ held
  HttpAnswer FeedAnswer(const std::string& videoId, size_t from);  // with lock_ held

  SimServer& web_;
  SimServer& api_;
  mutable std::mutex lock_;  // guards every member below
  std::map<std::string, Channel> channels_;
  std::map<std::string, std::string> handles_;  // lower-cased handle -> channel id
  std::map<std::string, Chat> chats_;           // by video id
  std::string ownChannel_;
  std::string acceptedToken_;
  TokenCheck tokenCheck_;
  std::string clientVersion_{"2.20240501.01.00"};
  size_t padding_{300 * 1024};
  bool legacyMarker_{false};
  std::optional<int64_t> pollingMs_{5000};
  std::optional<Replay> replay_;
  uint64_t nextId_{1};
  size_t rejectedPolls_{0};
  std::vector<std::string> polled_;
};

}  // namespace vlo::sim
