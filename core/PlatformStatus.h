#pragma once

#include <cstdint>
#include <string>

namespace vlo {

enum class ConnectionState : int32_t {
  Off = 0,
  Connecting = 1,
  Connected = 2,
  Offline = 3,
  Problem = 4
};

const char* ConnectionStateName(ConnectionState state);

struct PlatformStatus {
  ConnectionState state{ConnectionState::Off};
  std::string channel;  // as shown in the header
  std::string detail;   // tooltip sentence
  bool signedIn{false};
  bool canSend{false};
  std::string account;
  std::string broadcasterId;

  bool operator==(const PlatformStatus&) const = default;
};

}  // namespace vlo
