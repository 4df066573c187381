#include "sim/twitch/HelixChatApi.h"

#include <algorithm>

#include "core/Json.h"
#include "sim/platform/ApiAnswers.h"
#include "sim/twitch/TwitchLines.h"

namespace vlo::sim {
namespace {

using Json = json::Json;

constexpr int64_t kMaxTimeoutSeconds = 1209600;
constexpr size_t kMaxMessageLength = 500;

HttpAnswer MissingParameter(std::string_view name) {
  return HelixError(400, "Missing required parameter \"" + std::string{name} + "\"");
}

HttpAnswer InvalidBroadcaster() { return HelixError(400, "The broadcaster_id is not valid."); }

HttpAnswer NotModerator() {
  return HelixError(403, "The user in moderator_id is not one of the broadcaster's moderators.");
}

HttpAnswer ModeratorMismatch() {
  return HelixError(401, "The ID in moderator_id must match the user ID in the access token.");
}

}  // namespace

HelixChatApi::HelixChatApi(SimServer& helix, TwitchChatService& chat, CallerCheck check)
    : helix_{helix}, chat_{chat}, check_{std::move(check)} {
  chat_.SetSentObserver([this](std::string_view text) {
    std::lock_guard lock{mutex_};
    log_.Observe(text);
  });
  helix_.Route("POST", kMessagesPath, [this](const HttpExchange& r) { return SendMessage(r); });
  helix_.Route("DELETE", kModerationChatPath,
               [this](const HttpExchange& r) { return DeleteMessage(r); });
  helix_.Route("POST", kBansPath, [this](const HttpExchange& r) { return Ban(r); });
}

HelixChatApi::~HelixChatApi() {
  // No handler, task or observer may run into what goes below.
  helix_.Stop();
  tasks_.Stop();
  chat_.SetSentObserver({});
}

void HelixChatApi::AddModerator(std::string broadcasterId, std::string userId) {
  std::lock_guard lock{mutex_};
  moderators_.emplace(std::move(broadcasterId), std::move(userId));
}

void HelixChatApi::SetDelayMs(int ms) {
  std::lock_guard lock{mutex_};
  delayMs_ = std::max(0, ms);
}

std::optional<HttpAnswer> HelixChatApi::Authorize(const HttpExchange& request,
                                                  std::string_view scope, ApiCaller& caller) const {
  const std::string token = BearerTokenOf(request);
  if (token.empty()) return HelixError(401, "OAuth token is missing");
  std::optional<ApiCaller> found = check_ ? check_(token) : std::nullopt;
  if (!found) return HelixError(401, "Invalid OAuth token");
  if (request.Header("Client-Id") != found->clientId) {
    return HelixError(401, "Client ID and OAuth token do not match");
  }
  if (!HasScope(*found, scope)) return HelixError(401, "Missing scope: " + std::string{scope});
  caller = std::move(*found);
  return std::nullopt;
}

bool HelixChatApi::MayModerateLocked(const std::string& broadcasterId,
                                     const std::string& userId) const {
  return !userId.empty() &&
         (userId == broadcasterId || moderators_.contains({broadcasterId, userId}));
}

void HelixChatApi::Deliver(ChatDelivery::Kind kind, std::string id, std::string channel,
                           std::function<std::string(int64_t nowMs)> line) {
  int delayMs{0};
  {
    std::lock_guard lock{mutex_};
    delayMs = delayMs_;
  }
  tasks_.Post(delayMs, [this, kind, id = std::move(id), channel = std::move(channel),
                        line = std::move(line)] {
    std::string text = line(WallMs());
    const int clients = chat_.SendLines(channel, {text});
    deliveries_.Add({kind, id, std::move(text), clients});
  });
}

HttpAnswer HelixChatApi::SendMessage(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, "user:write:chat", caller)) return *refused;
  const Json body = json::ParseObject(request.body);
  const std::string broadcasterId = json::TextOr(body, "broadcaster_id");
  const std::string senderId = json::TextOr(body, "sender_id");
  const std::string text = json::TextOr(body, "message");
  if (broadcasterId.empty()) return MissingParameter("broadcaster_id");
  if (senderId.empty()) return MissingParameter("sender_id");
  if (text.empty()) return MissingParameter("message");
  if (senderId != caller.id) {
    return HelixError(401, "The ID in sender_id must match the user ID in the access token.");
  }
  const std::optional<std::string> channel = chat_.ChannelOfRoom(broadcasterId);
  if (!channel) return InvalidBroadcaster();
  if (CodePoints(text) > kMaxMessageLength) {
    return HelixError(400, "The message may not be longer than 500 characters.");
  }

  TwitchViewer sender;
  sender.login = caller.login;
  sender.displayName = caller.displayName.empty() ? caller.login : caller.displayName;
  sender.userId = caller.id;
  std::string id;
  {
    std::lock_guard lock{mutex_};
    id = NewUuid(rng_);
    if (caller.id == broadcasterId) {
      sender.badges = "broadcaster/1";
    } else if (moderators_.contains({broadcasterId, caller.id})) {
      sender.badges = "moderator/1";
      sender.mod = true;
    }
  }
  Deliver(ChatDelivery::Kind::Echo, id, *channel,
          [room = TwitchRoom{*channel, broadcasterId}, sender, id, text](int64_t now) {
            TwitchChat chat;
            chat.id = id;
            chat.text = text;
            chat.sentMs = now;
            return TwitchPrivmsgLine(room, sender, chat);
          });
  const Json sent = {{"message_id", id}, {"is_sent", true}, {"drop_reason", nullptr}};
  return HttpAnswer::Json(json::Dump(Json{{"data", Json::array({sent})}}));
}

HttpAnswer HelixChatApi::DeleteMessage(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, "moderator:manage:chat_messages", caller)) {
    return *refused;
  }
  const std::string broadcasterId = request.Query("broadcaster_id");
  const std::string moderatorId = request.Query("moderator_id");
  const std::string messageId = request.Query("message_id");
  if (broadcasterId.empty()) return MissingParameter("broadcaster_id");
  if (moderatorId.empty()) return MissingParameter("moderator_id");
  if (moderatorId != caller.id) return ModeratorMismatch();
  const std::optional<std::string> channel = chat_.ChannelOfRoom(broadcasterId);
  if (!channel) return InvalidBroadcaster();
  const TwitchRoom room{*channel, broadcasterId};

  std::string login;
  std::string text;
  {
    std::lock_guard lock{mutex_};
    if (!MayModerateLocked(broadcasterId, caller.id)) return NotModerator();
    if (!messageId.empty()) {
      TwitchLoggedMessage* message = log_.Find(*channel, messageId);
      if (!message || message->deleted) {
        return HelixError(404, "The ID in message_id was not found.");
      }
      if (message->userId == broadcasterId) {
        return HelixError(400, "You may not delete the broadcaster's messages.");
      }
      if (moderators_.contains({broadcasterId, message->userId}) && caller.id != broadcasterId &&
          message->userId != caller.id) {
        return HelixError(400, "You may not delete another moderator's messages.");
      }
      message->deleted = true;
      login = message->login;
      text = message->text;
    }
  }
  if (messageId.empty()) {
    // Without a message id every message of the chat goes.
    Deliver(ChatDelivery::Kind::Clear, {}, *channel,
            [room](int64_t now) { return TwitchClearChatLine(room, {}, {}, now, 0); });
  } else {
    Deliver(ChatDelivery::Kind::Deletion, messageId, *channel,
            [room, login, messageId, text](int64_t now) {
              return TwitchClearMsgLine(room, login, messageId, now, text);
            });
  }
  return HttpAnswer::Status(204);
}

HttpAnswer HelixChatApi::Ban(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, "moderator:manage:banned_users", caller)) return *refused;
  const std::string broadcasterId = request.Query("broadcaster_id");
  const std::string moderatorId = request.Query("moderator_id");
  if (broadcasterId.empty()) return MissingParameter("broadcaster_id");
  if (moderatorId.empty()) return MissingParameter("moderator_id");
  const Json body = json::ParseObject(request.body);
  const Json* data = json::Find(body, "data");
  if (!data || !data->is_object()) return MissingParameter("data");
  const std::string userId = json::TextOr(*data, "user_id");
  if (userId.empty()) return MissingParameter("data.user_id");
  int64_t seconds{0};  // 0: a ban
  if (json::Find(*data, "duration")) {
    const std::optional<int64_t> duration = json::IntMember(*data, "duration");
    if (!duration || *duration < 1 || *duration > kMaxTimeoutSeconds) {
      return HelixError(400, "The value in the duration field is not valid.");
    }
    seconds = *duration;
  }
  if (moderatorId != caller.id) return ModeratorMismatch();
  const std::optional<std::string> channel = chat_.ChannelOfRoom(broadcasterId);
  if (!channel) return InvalidBroadcaster();

  const int64_t now = WallMs();
  std::string login;
  {
    std::lock_guard lock{mutex_};
    if (!MayModerateLocked(broadcasterId, caller.id)) return NotModerator();
    if (userId == broadcasterId) {
      return HelixError(400, "The user specified in the user_id field may not be banned.");
    }
    const auto ban = bans_.find({broadcasterId, userId});
    if (ban != bans_.end() && ban->second == 0) {
      return HelixError(400, "The user specified in the user_id field is already banned.");
    }
    bans_[{broadcasterId, userId}] = seconds > 0 ? now + seconds * 1000 : 0;
    login = log_.LoginOf(*channel, userId);
  }
  if (login.empty()) login = userId;
  Deliver(ChatDelivery::Kind::Ban, userId, *channel,
          [room = TwitchRoom{*channel, broadcasterId}, userId, login, seconds](int64_t at) {
            return TwitchClearChatLine(room, userId, login, at, static_cast<int>(seconds));
          });
  const Json entry = {
      {"broadcaster_id", broadcasterId},
      {"moderator_id", caller.id},
      {"user_id", userId},
      {"created_at", IsoTime(now)},
      {"end_time", seconds > 0 ? Json(IsoTime(now + seconds * 1000)) : Json(nullptr)}};
  return HttpAnswer::Json(json::Dump(Json{{"data", Json::array({entry})}}));
}

}  // namespace vlo::sim
