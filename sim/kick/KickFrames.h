#pragma once

// Pusher frames in the form the Kick service sends them: {"event", "data", "channel"} in that
// order, with "data" carried as JSON text inside a string. Used by the simulated Pusher server,
// its traffic generator, and tests and benchmarks that need realistic traffic.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace vlo::sim {

// One chatter as the service describes a message's sender.
struct KickViewer {
  std::string username;
  int64_t id{0};
  std::string color;                // "#RRGGBB", or empty for none
  std::vector<std::string> badges;  // badge types: "broadcaster", "moderator", "og", ...
};

std::string ChatroomTopic(int64_t chatroomId);  // "chatrooms.N.v2"
std::string ChannelTopic(int64_t channelId);    // "channel.N"

// Any event: `data` is written as compact JSON text inside the frame's "data" string.
std::string PusherEventFrame(std::string_view event, std::string_view topic,
                             const nlohmann::ordered_json& data);

std::string KickChatFrame(int64_t chatroomId, std::string_view messageId, const KickViewer& sender,
                          std::string_view content, std::string_view createdAt);
std::string KickDeleteFrame(int64_t chatroomId, std::string_view messageId);
// A time-out lasts `minutes`; a permanent ban carries no duration.
std::string KickBanFrame(int64_t chatroomId, const KickViewer& user, bool permanent,
                         int minutes = 10);
std::string KickClearFrame(int64_t chatroomId);
// A subscription arrives as two events: the channel's and the chatroom's.
std::vector<std::string> KickSubscriptionFrames(int64_t chatroomId, int64_t channelId,
                                                std::string_view username, int months);
std::string KickGiftedSubsFrame(int64_t chatroomId, std::string_view gifter,
                                const std::vector<std::string>& recipients);
// A host as the chatroom announces it, and as the channel announces it.
std::string KickHostFrame(int64_t chatroomId, std::string_view host, int viewers,
                          std::string_view message);
// The channel's announcement carries a message id: `messageId`, or "host-" + host when empty
// (the same for every hosting by that channel).
std::string KickHostedFrame(int64_t channelId, std::string_view host, int viewers,
                            std::string_view message, std::string_view messageId = {});
std::string KickKicksGiftFrame(int64_t channelId, const KickViewer& sender, int amount,
                               std::string_view giftName, std::string_view message);
std::string KickFollowFrame(int64_t channelId, std::string_view username, bool followed);
// A protocol error: its data is an object, not a string.
std::string PusherErrorFrame(int code, std::string_view message);

}  // namespace vlo::sim
