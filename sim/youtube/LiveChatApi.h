#pragma once

// The Data API calls that send and moderate in the simulated YouTube live chats: "POST
// /youtube/v3/liveChat/messages" (insert), "DELETE /youtube/v3/liveChat/messages" and "POST
// /youtube/v3/liveChat/bans", with the service's token, scope and role checks and its answer
// and error shapes. The list call stays with YouTubeSim. An accepted call shows in the chat a
// moment later, as on the real service: a sent message as the sender's chat message, a deletion
// or ban as a moderator's removal; the page feed and the Data API list both see it, each with
// its own ids.

#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "sim/SimServer.h"
#include "sim/platform/ApiCaller.h"
#include "sim/platform/ChatDeliveries.h"
#include "sim/platform/DelayedTasks.h"
#include "sim/youtube/YouTubeSim.h"

namespace vlo::sim {

class LiveChatApi {
 public:
  static constexpr const char* kMessagesPath = "/youtube/v3/liveChat/messages";
  static constexpr const char* kBansPath = "/youtube/v3/liveChat/bans";

  // `api` (the Data API's server) and `youtube` must outlive this object, which stops `api`
  // (with its other routes) when it goes. A chat's owner is the channel that streams it.
  LiveChatApi(SimServer& api, YouTubeSim& youtube, CallerCheck check);
  ~LiveChatApi();
  LiveChatApi(const LiveChatApi&) = delete;
  LiveChatApi& operator=(const LiveChatApi&) = delete;

  // The user's channel may moderate the live chats of `channelId`. Any thread.
  void AddModerator(std::string channelId, std::string userChannelId);
  // How long after its answer an accepted call shows in the chat (real time; default 100 ms).
  void SetDelayMs(int ms);
  // The chat copies and notices pushed into the chats so far (id: the Data API's message id or
  // the banned channel; text: the page id of the pushed event).
  const ChatDeliveries& Deliveries() const { return deliveries_; }

 private:
  // Route handlers; each runs on a server thread.
  HttpAnswer Insert(const HttpExchange& request);
  HttpAnswer Delete(const HttpExchange& request);
  HttpAnswer Ban(const HttpExchange& request);
  // The token and scope checks every call makes; the refusal when one fails.
  std::optional<HttpAnswer> Authorize(const HttpExchange& request, ApiCaller& caller) const;
  bool MayModerate(const std::string& ownerChannelId, const std::string& channelId) const;
  YouTubeViewer ViewerOf(const ApiCaller& caller, const std::string& ownerChannelId) const;
  // Pushes `event` into the video's chat after the delay, and records it.
  void Deliver(ChatDelivery::Kind kind, std::string id, std::string videoId, YouTubeEvent event);

  SimServer& api_;
  YouTubeSim& youtube_;
  const CallerCheck check_;    // set once; called on server threads without a lock
  ChatDeliveries deliveries_;  // thread-safe; added to by the task thread

  mutable std::mutex mutex_;  // guards every member below; server threads and test threads
  std::set<std::pair<std::string, std::string>> moderators_;  // (owner channel, moderator)
  int delayMs_{100};
  int bans_{0};  // bans issued, for their ids

  DelayedTasks tasks_;  // last: its thread uses the members above
};

}  // namespace vlo::sim
