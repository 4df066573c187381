#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/ChatHub.h"
#include "net/WebSocketClient.h"
#include "readers/twitch/IrcMessage.h"

namespace vlo {

// One run of the Twitch reader on the hub's Twitch thread: connection cycles until the hub no
// longer wants the platform or there is nothing to read. Holds no state across runs.
class TwitchSession {
 public:
  TwitchSession(ChatHub& hub, std::string chatUrl);
  void Run();

 private:
  enum class CycleEnd { Stop, Again };
  struct Login {
    std::string token;
    std::string login;
  };

  CycleEnd RunCycle();
  std::optional<Login> SignedInLogin();
  void HandleMessage(std::string_view frame);
  void HandleLine(std::string_view line);
  void OnRoomState(const IrcMessage& m);
  void OnNotice(std::string_view text);
  void Send(std::string_view text);

  ChatHub& hub_;
  const std::string chatUrl_;
  bool anonymousOnly_{false};
  // Per connection:
  std::string channel_;
  bool signedIn_{false};
  std::shared_ptr<plx::WebSocketClient> client_;
  bool reconnectRequested_{false};
  bool authFailed_{false};
  bool joined_{false};
  IrcMessage scratch_;  // reused for every line
};

// "justinfan" + a number from 10000 to 99998, from the system's cryptographic generator.
std::string AnonymousNick();

}  // namespace vlo
