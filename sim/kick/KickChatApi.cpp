#include "sim/kick/KickChatApi.h"

#include <algorithm>

#include "core/Json.h"
#include "sim/kick/KickFrames.h"
#include "sim/kick/KickTraffic.h"
#include "sim/platform/ApiAnswers.h"

namespace vlo::sim {
namespace {

using Json = json::Json;

constexpr size_t kMaxContentLength = 500;
constexpr int64_t kMaxTimeoutMinutes = 10080;

int64_t NumberOr0(std::string_view text) {
  int64_t value{0};
  for (const char c : text) {
    if (c < '0' || c > '9' || value > 100'000'000'000'000) return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

HttpAnswer Ok(Json data) {
  return HttpAnswer::Json(json::Dump(Json{{"data", std::move(data)}, {"message", "OK"}}));
}

HttpAnswer ChannelNotFound() { return KickError(404, "Channel not found"); }

std::optional<KickSimChannel> FindChannel(const KickSim& kick,
                                          const std::function<bool(const KickSimChannel&)>& is) {
  for (KickSimChannel& channel : kick.Channels()) {
    if (is(channel)) return std::move(channel);
  }
  return std::nullopt;
}

std::optional<KickSimChannel> ChannelOfBroadcaster(const KickSim& kick, const std::string& id) {
  return FindChannel(kick, [&](const KickSimChannel& c) { return !id.empty() && c.userId == id; });
}

}  // namespace

KickChatApi::KickChatApi(SimServer& api, KickSim& kick, CallerCheck check)
    : api_{api}, kick_{kick}, check_{std::move(check)} {
  kick_.SetSentObserver([this](std::string_view frame) {
    std::lock_guard lock{mutex_};
    log_.Observe(frame);
  });
  api_.Route("POST", kChatPath, [this](const HttpExchange& r) { return SendMessage(r); });
  api_.RoutePrefix("DELETE", kDeletePrefix,
                   [this](const HttpExchange& r) { return DeleteMessage(r); });
  api_.Route("POST", kBansPath, [this](const HttpExchange& r) { return Ban(r); });
}

KickChatApi::~KickChatApi() {
  // No handler, task or observer may run into what goes below.
  api_.Stop();
  tasks_.Stop();
  kick_.SetSentObserver({});
}

void KickChatApi::AddModerator(std::string broadcasterUserId, std::string userId) {
  std::lock_guard lock{mutex_};
  moderators_.emplace(std::move(broadcasterUserId), std::move(userId));
}

void KickChatApi::SetDelayMs(int ms) {
  std::lock_guard lock{mutex_};
  delayMs_ = std::max(0, ms);
}

std::optional<HttpAnswer> KickChatApi::Authorize(const HttpExchange& request,
                                                 std::string_view scope, ApiCaller& caller) const {
  const std::string token = BearerTokenOf(request);
  std::optional<ApiCaller> found =
      check_ && !token.empty() ? check_(token) : std::optional<ApiCaller>{};
  if (!found) return KickError(401, "Unauthorized");
  if (!HasScope(*found, scope)) return KickError(403, "Forbidden");
  caller = std::move(*found);
  return std::nullopt;
}

bool KickChatApi::MayModerateLocked(const std::string& broadcasterUserId,
                                    const std::string& userId) const {
  return !userId.empty() &&
         (userId == broadcasterUserId || moderators_.contains({broadcasterUserId, userId}));
}

void KickChatApi::Deliver(ChatDelivery::Kind kind, std::string id, int64_t chatroomId,
                          std::function<std::string(int64_t nowMs)> frame) {
  int delayMs{0};
  {
    std::lock_guard lock{mutex_};
    delayMs = delayMs_;
  }
  tasks_.Post(delayMs, [this, kind, id = std::move(id), chatroomId, frame = std::move(frame)] {
    std::string text = frame(WallMs());
    const int clients = kick_.Emit(ChatroomTopic(chatroomId), text);
    deliveries_.Add({kind, id, std::move(text), clients});
  });
}

HttpAnswer KickChatApi::SendMessage(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, "chat:write", caller)) return *refused;
  const Json body = json::ParseObject(request.body);
  const std::string type = json::TextOr(body, "type");
  const std::string content = json::TextOr(body, "content");
  if (type != "user" && type != "bot") return KickError(400, "The selected type is invalid.");
  if (content.empty()) return KickError(400, "The content field is required.");
  if (CodePoints(content) > kMaxContentLength) {
    return KickError(400, "The content may not be greater than 500 characters.");
  }
  // A bot writes to its own channel; a user names the channel.
  std::string broadcaster = caller.id;
  if (type == "user") {
    const std::optional<int64_t> id = json::IntMember(body, "broadcaster_user_id");
    if (!id) {
      return KickError(400, "The broadcaster user id field is required when type is user.");
    }
    broadcaster = std::to_string(*id);
  }
  const std::optional<KickSimChannel> channel = ChannelOfBroadcaster(kick_, broadcaster);
  if (!channel) return ChannelNotFound();

  KickViewer sender;
  sender.username = caller.login.empty() ? caller.displayName : caller.login;
  sender.id = NumberOr0(caller.id);
  std::string id;
  {
    std::lock_guard lock{mutex_};
    id = NewUuid(rng_);
    if (caller.id == broadcaster) {
      sender.badges = {"broadcaster"};
    } else if (moderators_.contains({broadcaster, caller.id})) {
      sender.badges = {"moderator"};
    }
  }
  Deliver(ChatDelivery::Kind::Echo, id, channel->chatroomId,
          [chatroomId = channel->chatroomId, id, sender, content](int64_t now) {
            return KickChatFrame(chatroomId, id, sender, content, KickTimestamp(now));
          });
  return Ok(Json{{"is_sent", true}, {"message_id", id}});
}

HttpAnswer KickChatApi::DeleteMessage(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, "moderation:chat_message:manage", caller)) {
    return *refused;
  }
  const std::string id =
      PercentDecode(std::string_view{request.path}.substr(std::string_view{kDeletePrefix}.size()));
  int64_t chatroomId{0};
  {
    std::lock_guard lock{mutex_};
    const KickLoggedMessage* message = log_.Find(id);
    if (!message || message->deleted) return KickError(404, "Message not found");
    chatroomId = message->chatroomId;
  }
  // The message's channel, whose broadcaster and moderators may delete it.
  const std::optional<KickSimChannel> channel =
      FindChannel(kick_, [&](const KickSimChannel& c) { return c.chatroomId == chatroomId; });
  if (!channel) return KickError(404, "Message not found");
  {
    std::lock_guard lock{mutex_};
    if (!MayModerateLocked(channel->userId, caller.id)) return KickError(403, "Forbidden");
    if (KickLoggedMessage* message = log_.Find(id)) message->deleted = true;
  }
  Deliver(ChatDelivery::Kind::Deletion, id, chatroomId,
          [chatroomId, id](int64_t) { return KickDeleteFrame(chatroomId, id); });
  return HttpAnswer::Status(204);
}

HttpAnswer KickChatApi::Ban(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, "moderation:ban", caller)) return *refused;
  const Json body = json::ParseObject(request.body);
  const std::optional<int64_t> broadcasterId = json::IntMember(body, "broadcaster_user_id");
  const std::optional<int64_t> userId = json::IntMember(body, "user_id");
  if (!broadcasterId) return KickError(400, "The broadcaster user id field is required.");
  if (!userId) return KickError(400, "The user id field is required.");
  int64_t minutes{0};  // 0: a permanent ban
  if (json::Find(body, "duration")) {
    const std::optional<int64_t> duration = json::IntMember(body, "duration");
    if (!duration || *duration < 1 || *duration > kMaxTimeoutMinutes) {
      return KickError(400, "The duration must be between 1 and 10080.");
    }
    minutes = *duration;
  }
  const std::string broadcaster = std::to_string(*broadcasterId);
  const std::string user = std::to_string(*userId);
  const std::optional<KickSimChannel> channel = ChannelOfBroadcaster(kick_, broadcaster);
  if (!channel) return ChannelNotFound();

  KickViewer banned;
  banned.id = *userId;
  {
    std::lock_guard lock{mutex_};
    if (!MayModerateLocked(broadcaster, caller.id)) return KickError(403, "Forbidden");
    if (user == broadcaster) return KickError(400, "You cannot ban the broadcaster.");
    banned.username = log_.UsernameOf(channel->chatroomId, user);
  }
  if (banned.username.empty()) banned.username = "user" + user;
  Deliver(ChatDelivery::Kind::Ban, user, channel->chatroomId,
          [chatroomId = channel->chatroomId, banned, minutes](int64_t) {
            return KickBanFrame(chatroomId, banned, minutes == 0, static_cast<int>(minutes));
          });
  return Ok(Json::object());
}

}  // namespace vlo::sim
