#include "sim/kick/KickFrames.h"

#include <cctype>

namespace vlo::sim {

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Slug(std::string_view username) {
  std::string slug;
  for (const char c : username) {
    slug.push_back(c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return slug;
}

Json BadgeList(const std::vector<std::string>& types) {
  Json badges = Json::array();
  for (const std::string& type : types) {
    std::string text = type;
    if (!text.empty())
      text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    Json badge = {{"type", type}, {"text", text}};
    if (type == "subscriber") badge["count"] = 3;
    badges.push_back(std::move(badge));
  }
  return badges;
}

}  // namespace

std::string ChatroomTopic(int64_t chatroomId) {
  return "chatrooms." + std::to_string(chatroomId) + ".v2";
}

std::string ChannelTopic(int64_t channelId) { return "channel." + std::to_string(channelId); }

std::string PusherEventFrame(std::string_view event, std::string_view topic, const Json& data) {
  return Dump(Json{{"event", event}, {"data", Dump(data)}, {"channel", topic}});
}

std::string KickChatFrame(int64_t chatroomId, std::string_view messageId, const KickViewer& sender,
                          std::string_view content, std::string_view createdAt) {
  Json identity = {{"color", sender.color}, {"badges", BadgeList(sender.badges)}};
  const Json data = {
      {"id", messageId},
      {"chatroom_id", chatroomId},
      {"content", content},
      {"type", "message"},
      {"created_at", createdAt},
      {"sender",
       {{"id", sender.id},
        {"username", sender.username},
        {"slug", Slug(sender.username)},
        {"identity", std::move(identity)}}},
      {"metadata", {{"message_ref", std::to_string(chatroomId) + "-" + std::string{messageId}}}},
  };
  return PusherEventFrame("App\\Events\\ChatMessageEvent", ChatroomTopic(chatroomId), data);
}

std::string KickDeleteFrame(int64_t chatroomId, std::string_view messageId) {
  const Json data = {{"id", "del-" + std::string{messageId}},
                     {"message", {{"id", messageId}}},
                     {"aiModerated", false},
                     {"violatedRules", Json::array()}};
  return PusherEventFrame("App\\Events\\MessageDeletedEvent", ChatroomTopic(chatroomId), data);
}

std::string KickBanFrame(int64_t chatroomId, const KickViewer& user, bool permanent, int minutes) {
  Json data = {
      {"id", "ban-" + std::to_string(user.id)},
      {"user", {{"id", user.id}, {"username", user.username}, {"slug", Slug(user.username)}}},
      {"banned_by", {{"id", 0}, {"username", "velaro_mod"}, {"slug", "velaro-mod"}}},
      {"permanent", permanent}};
  if (!permanent) data["duration"] = minutes;
  return PusherEventFrame("App\\Events\\UserBannedEvent", ChatroomTopic(chatroomId), data);
}

std::string KickClearFrame(int64_t chatroomId) {
  return PusherEventFrame("App\\Events\\ChatroomClearEvent", ChatroomTopic(chatroomId),
                          Json{{"id", "clear-" + std::to_string(chatroomId)}});
}

std::vector<std::string> KickSubscriptionFrames(int64_t chatroomId, int64_t channelId,
                                                std::string_view username, int months) {
  return {
      PusherEventFrame(
          "App\\Events\\ChannelSubscriptionEvent", ChannelTopic(channelId),
          Json{{"user_ids", Json::array({1})}, {"username", username}, {"channel_id", channelId}}),
      PusherEventFrame(
          "App\\Events\\SubscriptionEvent", ChatroomTopic(chatroomId),
          Json{{"chatroom_id", chatroomId}, {"username", username}, {"months", months}}),
  };
}

std::string KickGiftedSubsFrame(int64_t chatroomId, std::string_view gifter,
                                const std::vector<std::string>& recipients) {
  return PusherEventFrame("App\\Events\\GiftedSubscriptionsEvent", ChatroomTopic(chatroomId),
                          Json{{"chatroom_id", chatroomId},
                               {"gifted_usernames", recipients},
                               {"gifter_username", gifter},
                               {"gifter_total", recipients.size()}});
}

std::string KickHostFrame(int64_t chatroomId, std::string_view host, int viewers,
                          std::string_view message) {
  return PusherEventFrame("App\\Events\\StreamHostEvent", ChatroomTopic(chatroomId),
                          Json{{"chatroom_id", chatroomId},
                               {"optional_message", message},
                               {"number_viewers", viewers},
                               {"host_username", host}});
}

std::string KickHostedFrame(int64_t channelId, std::string_view host, int viewers,
                            std::string_view message, std::string_view messageId) {
  return PusherEventFrame(
      "App\\Events\\StreamHostedEvent", ChannelTopic(channelId),
      Json{
          {"message",
           {{"id", messageId.empty() ? "host-" + std::string{host} : std::string{messageId}},
            {"numberOfViewers", viewers},
            {"optionalMessage", message},
            {"createdAt", "2024-05-01T12:00:00.000000Z"}}},
          {"user", {{"id", 1}, {"username", host}, {"isSuperAdmin", false}, {"verified", false}}}});
}

std::string KickKicksGiftFrame(int64_t channelId, const KickViewer& sender, int amount,
                               std::string_view giftName, std::string_view message) {
  return PusherEventFrame(
      "KicksGifted", ChannelTopic(channelId),
      Json{{"message", message},
           {"sender",
            {{"id", sender.id}, {"username", sender.username}, {"username_color", sender.color}}},
           {"gift",
            {{"gift_id", Slug(giftName)},
             {"name", giftName},
             {"amount", amount},
             {"type", "BASIC"}}}});
}

std::string KickFollowFrame(int64_t channelId, std::string_view username, bool followed) {
  return PusherEventFrame("App\\Events\\FollowersUpdated", ChannelTopic(channelId),
                          Json{{"followersCount", 1024},
                               {"channel_id", channelId},
                               {"username", username},
                               {"created_at", 1714564800},
                               {"followed", followed}});
}

std::string PusherErrorFrame(int code, std::string_view message) {
  return Dump(Json{{"event", "pusher:error"}, {"data", {{"code", code}, {"message", message}}}});
}

}  // namespace vlo::sim
