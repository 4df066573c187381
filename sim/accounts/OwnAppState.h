#pragma once

// The state of the sign-ins with the user's own app registration: Twitch's device
// authorizations, and the authorization requests and codes of Google and Kick. Part of
// AccountsSim::State and guarded, like all of it, by AccountsSim::mutex_.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/accounts/AccountsSim.h"

namespace vlo::sim {

// The grant type of a device's token request (RFC 8628, section 3.4).
inline constexpr std::string_view kDeviceCodeGrant = "urn:ietf:params:oauth:grant-type:device_code";

struct OwnAppState {
  using Clock = std::chrono::steady_clock;

  struct Device {
    DeviceSession session;
    std::string deviceCode;
    std::string accountId;  // the account signed in when approved
    Clock::time_point expires;
  };
  struct ScriptedPoll {
    DevicePollAnswer answer{DevicePollAnswer::SlowDown};
    int remaining{0};
  };
  // What an authorization code stands for until it is exchanged.
  struct Code {
    plx::PlatformId platform{plx::PlatformId::YouTube};
    std::string clientId;
    std::string redirectUri;
    std::string challenge;
    std::vector<std::string> scopes;
    std::string accountId;
    bool offline{false};  // Google's access_type=offline: the exchange hands out a refresh token
    bool used{false};
    std::string accessToken{};  // issued by the exchange; revoked when the code comes again
    Clock::time_point expires;
  };

  OwnAppApproval approval{OwnAppApproval::Manual};
  std::vector<Device> devices;  // oldest first
  std::deque<ScriptedPoll> pollScript;
  std::vector<AuthorizationRequest> authorizations;  // oldest first
  std::map<std::string, Code, std::less<>> codes;
  bool wrongStateNext{false};
  std::string errorNext;  // empty: none scripted
  bool twiceNext{false};
  std::string lastRedirect;
  std::condition_variable changed;  // a device or an authorization request was recorded

  // The device with that user code (the newest when empty), its expiry applied; null when none.
  Device* FindDevice(std::string_view userCode);
  Device* FindDeviceCode(std::string_view deviceCode);
  // Marks the device expired once its lifetime has passed (real time).
  static void Age(Device& device);
};

}  // namespace vlo::sim
