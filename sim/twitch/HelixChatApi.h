#pragma once

// The Helix calls that send and moderate in the simulated Twitch chat: "POST
// /helix/chat/messages", "DELETE /helix/moderation/chat" and "POST /helix/moderation/bans",
// with the service's token, client id, scope and role checks and its answer and error shapes.
// An accepted call shows in the chat a moment later, as on the real service: a sent message as a
// PRIVMSG from the sender to the clients joined to the channel, a deletion as CLEARMSG, a
// time-out or ban as CLEARCHAT with the user's id.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "sim/SimServer.h"
#include "sim/platform/ApiCaller.h"
#include "sim/platform/ChatDeliveries.h"
#include "sim/platform/DelayedTasks.h"
#include "sim/twitch/TwitchChatLog.h"
#include "sim/twitch/TwitchChatService.h"

namespace vlo::sim {

class HelixChatApi {
 public:
  static constexpr const char* kMessagesPath = "/helix/chat/messages";
  static constexpr const char* kModerationChatPath = "/helix/moderation/chat";
  static constexpr const char* kBansPath = "/helix/moderation/bans";

  // `helix` and `chat` must outlive this object, which stops `helix` (with its other routes)
  // when it goes. A channel's owner is the user whose id is its room id.
  HelixChatApi(SimServer& helix, TwitchChatService& chat, CallerCheck check);
  ~HelixChatApi();
  HelixChatApi(const HelixChatApi&) = delete;
  HelixChatApi& operator=(const HelixChatApi&) = delete;

  // The user may moderate the channel whose room id is `broadcasterId`. Any thread.
  void AddModerator(std::string broadcasterId, std::string userId);
  // How long after its answer an accepted call shows in the chat (real time; default 100 ms).
  void SetDelayMs(int ms);
  // The chat copies and notices put into the chat so far.
  const ChatDeliveries& Deliveries() const { return deliveries_; }

 private:
  // Route handlers; each runs on a server thread.
  HttpAnswer SendMessage(const HttpExchange& request);
  HttpAnswer DeleteMessage(const HttpExchange& request);
  HttpAnswer Ban(const HttpExchange& request);
  // The token, client id and scope checks every call makes; the refusal when one fails.
  std::optional<HttpAnswer> Authorize(const HttpExchange& request, std::string_view scope,
                                      ApiCaller& caller) const;
  bool MayModerateLocked(const std::string& broadcasterId, const std::string& userId) const;
  // Sends `line(now)` to the channel after the delay, and records it.
  void Deliver(ChatDelivery::Kind kind, std::string id, std::string channel,
               std::function<std::string(int64_t nowMs)> line);

  SimServer& helix_;
  TwitchChatService& chat_;
  const CallerCheck check_;    // set once; called on server threads without a lock
  ChatDeliveries deliveries_;  // thread-safe; added to by the task thread

  // Guards every member below; taken by server threads, the chat service's sending threads
  // (the log) and test threads. Never held while calling into the chat service.
  mutable std::mutex mutex_;
  TwitchChatLog log_;
  std::set<std::pair<std::string, std::string>> moderators_;     // (room id, user id)
  std::map<std::pair<std::string, std::string>, int64_t> bans_;  // -> end ms; 0 = permanent
  std::mt19937_64 rng_{std::random_device{}()};
  int delayMs_{100};

  DelayedTasks tasks_;  // last: its thread uses the members above
};

}  // namespace vlo::sim
