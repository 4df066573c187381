// Twitch's device authorization for a sign-in with the user's own app (RFC 8628): the device
// code request, the "/activate" page where a person confirms the user code, and the device grant
// of the token endpoint.

#include <openssl/rand.h>

#include <chrono>

#include "core/Json.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/accounts/AccountsState.h"
#include "sim/accounts/OwnAppPages.h"
#include "sim/accounts/Pkce.h"

namespace vlo::sim {
namespace {

using Json = json::Json;
using plx::PlatformId;
using DeviceState = DeviceSession::State;
using Device = OwnAppState::Device;

HttpAnswer TwitchError(const char* message) {
  return JsonAnswer({{"status", 400}, {"message", message}}, 400);
}

HttpAnswer ConnectedPage() {
  return Page(OwnAppNoticeHtml(PlatformId::Twitch, "Device connected",
                               "You can close this page and return to your device."));
}

HttpAnswer DeniedPage() {
  return Page(OwnAppNoticeHtml(PlatformId::Twitch, "Device not connected",
                               "You denied access. Start again on your device if you change your "
                               "mind."));
}

HttpAnswer ExpiredPage() {
  return Page(OwnAppNoticeHtml(PlatformId::Twitch, "Code expired",
                               "This code can no longer be used. Start again on your device."),
              410);
}

// The page for a device that is no longer waiting for a decision.
HttpAnswer DecidedPage(const Device& device) {
  switch (device.session.state) {
    case DeviceState::Expired:
      return ExpiredPage();
    case DeviceState::Denied:
      return DeniedPage();
    default:
      return ConnectedPage();
  }
}

// `count` random upper-case letters.
std::string RandomLetters(size_t count) {
  std::string out(count, 'A');
  std::vector<unsigned char> bytes(count);
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) return {};
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<char>('A' + bytes[i] % 26);
  return out;
}

// What a person typed as a user code: letters only, upper-cased ("abcd-efgh" is "ABCDEFGH").
std::string NormalUserCode(std::string_view typed) {
  std::string out;
  for (const char c : typed) {
    if (c >= 'a' && c <= 'z') out += static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') out += c;
  }
  return out;
}

// Approves a pending device for the account a person signs in with (null when none exists);
// false when it cannot.
bool ApproveFor(Device& device, const SimAccount* account) {
  if (device.session.state != DeviceState::Pending) {
    return device.session.state == DeviceState::Approved;
  }
  if (!account) return false;
  device.accountId = account->id;
  device.session.state = DeviceState::Approved;
  return true;
}

bool DenyOpen(Device& device) {
  if (device.session.state == DeviceState::Redeemed ||
      device.session.state == DeviceState::Expired) {
    return false;
  }
  device.session.state = DeviceState::Denied;
  return true;
}

}  // namespace

void OwnAppState::Age(Device& device) {
  const DeviceState state = device.session.state;
  if ((state == DeviceState::Pending || state == DeviceState::Approved) &&
      Clock::now() >= device.expires) {
    device.session.state = DeviceState::Expired;
  }
}

OwnAppState::Device* OwnAppState::FindDevice(std::string_view userCode) {
  for (auto it = devices.rbegin(); it != devices.rend(); ++it) {
    if (userCode.empty() || it->session.userCode == userCode) {
      Age(*it);
      return &*it;
    }
  }
  return nullptr;
}

OwnAppState::Device* OwnAppState::FindDeviceCode(std::string_view deviceCode) {
  for (Device& device : devices) {
    if (!deviceCode.empty() && device.deviceCode == deviceCode) {
      Age(device);
      return &device;
    }
  }
  return nullptr;
}

void AccountsSim::InstallDeviceFlow() {
  SimServer& server = servers_.twitchOAuth;
  server.Route("POST", kDeviceAuthorizationPath,
               [this](const HttpExchange& r) { return DeviceAuthorization(r); });
  server.Route("GET", kActivatePath, [this](const HttpExchange& r) { return ActivatePage(r); });
  server.Route("POST", kActivateApprovePath,
               [this](const HttpExchange& r) { return ActivateDecision(r, true); });
  server.Route("POST", kActivateDenyPath,
               [this](const HttpExchange& r) { return ActivateDecision(r, false); });
}

HttpAnswer AccountsSim::DeviceAuthorization(const HttpExchange& request) {
  const std::string clientId = request.Form("client_id");
  if (clientId.empty()) return TwitchError("missing client id");
  std::lock_guard lock{mutex_};
  OwnAppState& own = state_->ownApp;
  if (!state_->book.ClientSecret(PlatformId::Twitch, clientId)) {
    return TwitchError("invalid client");
  }
  Device device;
  device.session.clientId = clientId;
  device.session.scopes = SplitScopes(request.Form("scopes"));
  do {
    device.session.userCode = RandomLetters(8);
  } while (own.FindDevice(device.session.userCode));
  device.deviceCode = RandomBase64Url(30);
  device.expires = OwnAppState::Clock::now() + std::chrono::seconds{kDeviceCodeLifetimeSec};
  const std::string userCode = device.session.userCode;
  const std::string deviceCode = device.deviceCode;
  own.devices.push_back(std::move(device));
  own.changed.notify_all();
  return JsonAnswer({{"device_code", deviceCode},
                     {"expires_in", kDeviceCodeLifetimeSec},
                     {"interval", kDevicePollIntervalSec},
                     {"user_code", userCode},
                     {"verification_uri", servers_.twitchOAuth.BaseUrl() + kActivatePath +
                                              "?device-code=" + userCode}});
}

HttpAnswer AccountsSim::ActivatePage(const HttpExchange& request) {
  const std::string userCode = NormalUserCode(request.Query("device-code"));
  std::lock_guard lock{mutex_};
  OwnAppState& own = state_->ownApp;
  Device* device = userCode.empty() ? nullptr : own.FindDevice(userCode);
  std::string note;
  if (!userCode.empty() && !device) note = "That code is not valid. Check it and try again.";
  std::vector<std::string> portalScopes;
  const SimAccount* account = state_->PortalAccount(PlatformId::Twitch, portalScopes);
  if (device && device->session.state != DeviceState::Pending) return DecidedPage(*device);
  if (device && own.approval != OwnAppApproval::Manual) {
    if (own.approval == OwnAppApproval::Deny) {
      DenyOpen(*device);
      return DeniedPage();
    }
    if (ApproveFor(*device, account)) return ConnectedPage();
    note = "There is no Twitch account to connect the device to.";
  }
  return Page(ActivatePageHtml(account, userCode, device ? &device->session : nullptr, note));
}

HttpAnswer AccountsSim::ActivateDecision(const HttpExchange& request, bool approve) {
  const std::string userCode = NormalUserCode(request.Form("user_code"));
  std::lock_guard lock{mutex_};
  Device* device = userCode.empty() ? nullptr : state_->ownApp.FindDevice(userCode);
  std::vector<std::string> portalScopes;
  const SimAccount* account = state_->PortalAccount(PlatformId::Twitch, portalScopes);
  if (!device) {
    return Page(ActivatePageHtml(account, userCode, nullptr,
                                 "That code is not valid. Check it and try again."),
                400);
  }
  if (device->session.state != DeviceState::Pending) return DecidedPage(*device);
  if (!approve) {
    DenyOpen(*device);
    return DeniedPage();
  }
  if (ApproveFor(*device, account)) return ConnectedPage();
  return Page(ActivatePageHtml(account, userCode, &device->session,
                               "There is no Twitch account to connect the device to."),
              400);
}

HttpAnswer AccountsSim::DeviceGrantLocked(const std::string& clientId,
                                          const HttpExchange& request) {
  OwnAppState& own = state_->ownApp;
  Device* device = own.FindDeviceCode(request.Form("device_code"));
  if (device && device->session.clientId != clientId) device = nullptr;
  if (device) ++device->session.polls;
  if (!own.pollScript.empty()) {
    const DevicePollAnswer scripted = own.pollScript.front().answer;
    if (--own.pollScript.front().remaining <= 0) own.pollScript.pop_front();
    switch (scripted) {
      case DevicePollAnswer::SlowDown:
        return TwitchError("slow_down");
      case DevicePollAnswer::Pending:
        return TwitchError("authorization_pending");
    }
  }
  if (!device || device->session.state == DeviceState::Redeemed) {
    return TwitchError("invalid device code");
  }
  switch (device->session.state) {
    case DeviceState::Pending:
      return TwitchError("authorization_pending");
    case DeviceState::Denied:
      return TwitchError("access_denied");
    case DeviceState::Expired:
      return TwitchError("expired_token");
    case DeviceState::Approved:
    case DeviceState::Redeemed:
      break;
  }
  const SimTokenPair pair = state_->book.Issue(PlatformId::Twitch, device->accountId,
                                               device->session.scopes, clientId, false, 0);
  if (pair.accessToken.empty()) return TwitchError("invalid device code");
  device->session.state = DeviceState::Redeemed;
  return JsonAnswer({{"access_token", pair.accessToken},
                     {"refresh_token", pair.refreshToken},
                     {"expires_in", kDefaultLifetimeSec},
                     {"scope", device->session.scopes},
                     {"token_type", "bearer"}});
}

std::vector<DeviceSession> AccountsSim::DeviceSessions() const {
  std::lock_guard lock{mutex_};
  std::vector<DeviceSession> sessions;
  for (Device& device : state_->ownApp.devices) {
    OwnAppState::Age(device);
    sessions.push_back(device.session);
  }
  return sessions;
}

bool AccountsSim::WaitForDeviceSessions(size_t count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return state_->ownApp.changed.wait_for(lock, std::chrono::milliseconds{timeoutMs},
                                         [&] { return state_->ownApp.devices.size() >= count; });
}

bool AccountsSim::ApproveDevice(std::string_view userCode) {
  std::lock_guard lock{mutex_};
  Device* device = state_->ownApp.FindDevice(userCode);
  std::vector<std::string> portalScopes;
  return device && ApproveFor(*device, state_->PortalAccount(PlatformId::Twitch, portalScopes));
}

bool AccountsSim::DenyDevice(std::string_view userCode) {
  std::lock_guard lock{mutex_};
  Device* device = state_->ownApp.FindDevice(userCode);
  return device && DenyOpen(*device);
}

bool AccountsSim::ExpireDevice(std::string_view userCode) {
  std::lock_guard lock{mutex_};
  Device* device = state_->ownApp.FindDevice(userCode);
  if (!device || device->session.state == DeviceState::Redeemed) return false;
  device->session.state = DeviceState::Expired;
  return true;
}

void AccountsSim::AnswerNextDevicePolls(DevicePollAnswer answer, int count) {
  if (count <= 0) return;
  std::lock_guard lock{mutex_};
  state_->ownApp.pollScript.push_back(OwnAppState::ScriptedPoll{answer, count});
}

}  // namespace vlo::sim
