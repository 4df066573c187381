#pragma once

// The recent messages of the simulated Twitch channels, as the chat service sent them to its
// clients (generated, scripted, replayed or sent through Helix), so that moderation can find a
// message by id and a user's login by id. Not thread-safe; HelixChatApi guards it.

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace vlo::sim {

struct TwitchLoggedMessage {
  std::string channel;  // without "#"
  std::string id;
  std::string userId;
  std::string login;
  std::string text;
  bool deleted{false};
};

class TwitchChatLog {
 public:
  static constexpr size_t kCapacity = 5000;

  // Takes note of the PRIVMSG lines in `text` (one or more lines), and of the CLEARMSG lines,
  // which mark their message deleted.
  void Observe(std::string_view text);
  // The message with that id in the channel, or nullptr.
  TwitchLoggedMessage* Find(std::string_view channel, std::string_view id);
  // The login of the newest message of the user in the channel; empty when none is known.
  std::string LoginOf(std::string_view channel, std::string_view userId) const;

 private:
  void ObserveLine(std::string_view line);

  std::deque<TwitchLoggedMessage> messages_;  // oldest first
};

}  // namespace vlo::sim
