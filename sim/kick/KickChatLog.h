#pragma once

// The recent chat messages of the simulated Kick chatrooms, as the Pusher server sent them
// (generated, scripted, replayed or sent through the public API), so that moderation can find a
// message by id and a user's name by id. Not thread-safe; KickChatApi guards it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace vlo::sim {

struct KickLoggedMessage {
  int64_t chatroomId{0};
  std::string id;
  std::string senderId;
  std::string username;
  bool deleted{false};
};

class KickChatLog {
 public:
  static constexpr size_t kCapacity = 5000;

  // Takes note of a ChatMessageEvent frame, or of a MessageDeletedEvent, which marks its message
  // deleted. Other frames are ignored.
  void Observe(std::string_view frame);
  // The message with that id in any chatroom, or nullptr.
  KickLoggedMessage* Find(std::string_view id);
  // The name of the newest message of the user in the chatroom; empty when none is known.
  std::string UsernameOf(int64_t chatroomId, std::string_view userId) const;

 private:
  std::deque<KickLoggedMessage> messages_;  // oldest first
};

}  // namespace vlo::sim
