#include "readers/twitch/TwitchSession.h"

#include <openssl/rand.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/TextRules.h"
#include "net/Http.h"
#include "readers/twitch/TwitchLine.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/twitch/TwitchWatchdog.h"

namespace vlo {
namespace {

constexpr auto kTwitch = plx::PlatformId::Twitch;
constexpr std::string_view kCapabilities = "CAP REQ :twitch.tv/tags twitch.tv/commands";
constexpr int64_t kUnreachableRetryMs = 8000;
constexpr int64_t kReconnectRequestedMs = 500;
constexpr int64_t kReconnectMs = 4000;
// A refused upgrade's Retry-After is honoured up to this long.
constexpr int64_t kMaxRetryAfterMs = 600'000;

}  // namespace

std::string AnonymousNick() {
  uint32_t random{0};
  unsigned char bytes[sizeof random]{};
  if (RAND_bytes(bytes, sizeof bytes) == 1) std::memcpy(&random, bytes, sizeof random);
  return "justinfan" + std::to_string(random % 89999 + 10000);
}

TwitchSession::TwitchSession(ChatHub& hub, std::string chatUrl)
    : hub_{hub}, chatUrl_{std::move(chatUrl)} {}

void TwitchSession::Run() {
  while (hub_.IsWanted(kTwitch) && RunCycle() == CycleEnd::Again) {
  }
}

std::optional<TwitchSession::Login> TwitchSession::SignedInLogin() {
  if (anonymousOnly_) return std::nullopt;
  auto token = hub_.UsableToken(kTwitch);
  if (!token || hub_.Accounts().ClientIdFor(kTwitch).empty()) return std::nullopt;
  const plx::AccountInfo account = hub_.Accounts().LookupAccount(kTwitch);
  std::string login = account.login.value_or("");
  if (login.empty()) login = account.displayName.value_or("");
  login = AsciiLower(login);
  if (login.empty()) return std::nullopt;
  return Login{std::move(token->accessToken), std::move(login)};
}

TwitchSession::CycleEnd TwitchSession::RunCycle() {
  channel_ = hub_.Targets().twitchChannel;
  const auto login = SignedInLogin();
  signedIn_ = login.has_value();
  if (channel_.empty() && login) channel_ = login->login;
  if (channel_.empty()) {
    hub_.SetStatus(kTwitch, ConnectionState::Off, {},
                   "Sign in or enter a channel under Channels & accounts");
    return CycleEnd::Stop;
  }
  hub_.SetStatus(kTwitch, ConnectionState::Connecting, channel_, "Connecting…");

  client_ = std::make_shared<plx::WebSocketClient>();
  std::string error;
  const plx::CallControl control{&hub_.GetClock(), [this] { return hub_.IsWanted(kTwitch); }};
  if (!client_->Connect(chatUrl_, plx::BrowserUserAgent(), &error, 0, control)) {
    const int64_t retryAfterMs = int64_t{client_->RetryAfterSeconds()} * 1000;
    client_.reset();
    if (!hub_.IsWanted(kTwitch)) return CycleEnd::Stop;
    hub_.SetStatus(kTwitch, ConnectionState::Problem, channel_,
                   "Could not reach Twitch chat (" + error + ")");
    const int64_t wait = std::clamp(retryAfterMs, kUnreachableRetryMs, kMaxRetryAfterMs);
    return hub_.WaitWhileWanted(kTwitch, wait) ? CycleEnd::Again : CycleEnd::Stop;
  }
  hub_.RegisterSocket(kTwitch, client_);
  reconnectRequested_ = authFailed_ = joined_ = false;
  // A stop that read the socket registry before the registration above has set the stop flag
  // first, so checking here closes the window in which nobody would wake the receive.
  if (hub_.IsWanted(kTwitch)) {
    Send(kCapabilities);
    if (login) {
      Send("PASS oauth:" + login->token);
      Send("NICK " + login->login);
    } else {
      Send("NICK " + AnonymousNick());
    }
    Send("JOIN #" + channel_);
    TwitchWatchdog watchdog{client_, hub_.GetClock()};
    std::string frame;
    while (hub_.IsWanted(kTwitch) && !reconnectRequested_ && !authFailed_ &&
           client_->ReceiveMessage(frame)) {
      watchdog.Heard();
      HandleMessage(frame);
    }
  }
  client_->Close();
  hub_.RegisterSocket(kTwitch, nullptr);
  hub_.SetCanSend(kTwitch, false);
  // The client goes once the status says what happened: its end waits a moment for the closing
  // handshake, which a dead connection never answers.
  const std::shared_ptr<plx::WebSocketClient> closing = std::exchange(client_, nullptr);
  if (!hub_.IsWanted(kTwitch)) return CycleEnd::Stop;
  // A refused sign-in falls back to reading anonymously at once. Refusing an anonymous login
  // is the server's fault, not ours: that is retried like a drop, or it would reconnect in a
  // tight loop posting the same line each time.
  if (authFailed_ && login) {
    anonymousOnly_ = true;
    hub_.PostSystemLine(kTwitch,
                        "Twitch did not accept the sign-in. Reading anonymously; sign in again "
                        "under Channels & accounts to send messages.");
    return CycleEnd::Again;
  }
  hub_.SetStatus(kTwitch, ConnectionState::Connecting, channel_, "Reconnecting…");
  const int64_t wait = reconnectRequested_ ? kReconnectRequestedMs : kReconnectMs;
  return hub_.WaitWhileWanted(kTwitch, wait) ? CycleEnd::Again : CycleEnd::Stop;
}

void TwitchSession::Send(std::string_view text) { client_->SendText(text); }

void TwitchSession::HandleMessage(std::string_view frame) {
  while (!frame.empty() && !authFailed_) {
    const size_t end = frame.find('\n');
    HandleLine(frame.substr(0, end));
    frame = end == std::string_view::npos ? std::string_view{} : frame.substr(end + 1);
  }
}

void TwitchSession::HandleLine(std::string_view line) {
  IrcMessage& m = scratch_;
  switch (HandleTwitchLine(hub_, line, m)) {
    case TwitchLineAction::None:
      break;
    case TwitchLineAction::Ping:
      Send("PONG :" + std::string{m.Trailing()});
      break;
    case TwitchLineAction::RoomState:
      OnRoomState(m);
      break;
    case TwitchLineAction::Notice:
      OnNotice(m.Trailing());
      break;
    case TwitchLineAction::Reconnect:
      reconnectRequested_ = true;
      break;
  }
}

void TwitchSession::OnNotice(std::string_view text) {
  if (text.find("Login authentication failed") != std::string_view::npos ||
      text.find("Improperly formatted auth") != std::string_view::npos) {
    authFailed_ = true;
  } else if (!text.empty()) {
    hub_.PostSystemLine(kTwitch, std::string{text});
  }
}

void TwitchSession::OnRoomState(const IrcMessage& m) {
  const std::string_view roomId = m.Tag("room-id");
  if (roomId.empty()) return;
  hub_.SetPlatformId(kTwitch, std::string{roomId});
  hub_.SetBroadcasterId(kTwitch, std::string{roomId});
  if (joined_) return;
  joined_ = true;
  hub_.SetStatus(kTwitch, ConnectionState::Connected, channel_,
                 signedIn_ ? "Connected" : "Reading anonymously (sign in to send)");
  hub_.SetCanSend(kTwitch, signedIn_);
  hub_.PostSystemLine(kTwitch, "Connected to #" + channel_);
}

ReaderEntry MakeTwitchReader(const Endpoints& endpoints) {
  return [url = endpoints.twitchChat](ChatHub& hub) { TwitchSession{hub, url}.Run(); };
}

}  // namespace vlo
