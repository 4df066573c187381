#pragma once

// The public API calls that send and moderate in the simulated Kick chat: "POST
// /public/v1/chat", "DELETE /public/v1/chat/<message id>" and "POST /public/v1/moderation/bans",
// with the service's token, scope and role checks and its answer and error shapes. An accepted
// call shows in the chatroom a moment later, as on the real service: a sent message as a
// ChatMessageEvent from the sender, a deletion as MessageDeletedEvent, a time-out or ban as
// UserBannedEvent.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "sim/SimServer.h"
#include "sim/kick/KickChatLog.h"
#include "sim/kick/KickSim.h"
#include "sim/platform/ApiCaller.h"
#include "sim/platform/ChatDeliveries.h"
#include "sim/platform/DelayedTasks.h"

namespace vlo::sim {

class KickChatApi {
 public:
  static constexpr const char* kChatPath = "/public/v1/chat";
  static constexpr const char* kDeletePrefix = "/public/v1/chat/";
  static constexpr const char* kBansPath = "/public/v1/moderation/bans";

  // `api` (the public API's server) and `kick` must outlive this object, which stops `api`
  // (with its other routes) when it goes. A channel's owner is its broadcaster.
  KickChatApi(SimServer& api, KickSim& kick, CallerCheck check);
  ~KickChatApi();
  KickChatApi(const KickChatApi&) = delete;
  KickChatApi& operator=(const KickChatApi&) = delete;

  // The user may moderate the channel of the broadcaster `broadcasterUserId`. Any thread.
  void AddModerator(std::string broadcasterUserId, std::string userId);
  // How long after its answer an accepted call shows in the chat (real time; default 100 ms).
  void SetDelayMs(int ms);
  // The chat copies and notices put into the chatrooms so far.
  const ChatDeliveries& Deliveries() const { return deliveries_; }

 private:
  // Route handlers; each runs on a server thread.
  HttpAnswer SendMessage(const HttpExchange& request);
  HttpAnswer DeleteMessage(const HttpExchange& request);
  HttpAnswer Ban(const HttpExchange& request);
  // The token and scope checks every call makes; the refusal when one fails.
  std::optional<HttpAnswer> Authorize(const HttpExchange& request, std::string_view scope,
                                      ApiCaller& caller) const;
  bool MayModerateLocked(const std::string& broadcasterUserId, const std::string& userId) const;
  // Emits `frame(now)` to the chatroom after the delay, and records it.
  void Deliver(ChatDelivery::Kind kind, std::string id, int64_t chatroomId,
               std::function<std::string(int64_t nowMs)> frame);

  SimServer& api_;
  KickSim& kick_;
  const CallerCheck check_;    // set once; called on server threads without a lock
  ChatDeliveries deliveries_;  // thread-safe; added to by the task thread

  // Guards every member below; taken by server threads, the Pusher server's sending threads
  // (the log) and test threads. Never held while calling into KickSim.
  mutable std::mutex mutex_;
  KickChatLog log_;
  std::set<std::pair<std::string, std::string>> moderators_;  // (broadcaster id, user id)
  std::mt19937_64 rng_{std::random_device{}()};
  int delayMs_{100};

  DelayedTasks tasks_;  // last: its thread uses the members above
};

}  // namespace vlo::sim
