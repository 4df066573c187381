#include "readers/kick/KickReader.h"

#include <openssl/rand.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "net/Http.h"
#include "net/WebSocketClient.h"
#include "readers/kick/KickFrame.h"
#include "readers/kick/KickPing.h"
#include "readers/kick/KickRequests.h"
#include "readers/kick/KickTrouble.h"

namespace vlo {

namespace {

using plx::PlatformId;
constexpr PlatformId kKick = PlatformId::Kick;
constexpr uint32_t kRequestTimeoutMs = 15000;
constexpr int64_t kBlockedRetryMs = 30000;
constexpr int64_t kConnectRetryMs = 10000;
constexpr int64_t kReconnectMs = 6000;
constexpr int64_t kMaxRetryAfterMs = 600'000;

uint32_t RandomClientNumber() {
  uint32_t number{0};
  if (RAND_bytes(reinterpret_cast<unsigned char*>(&number), sizeof number) != 1) number = 0;
  return number;
}

bool IsSuccess(const plx::HttpResponse& response) {
  return response.status >= 200 && response.status <= 299;
}

}  // namespace

ReaderEntry MakeKickReader(const Endpoints& endpoints) {
  return [endpoints](ChatHub& hub) { KickReader{hub, endpoints}.Run(); };
}

KickReader::KickReader(ChatHub& hub, Endpoints endpoints)
    : hub_{hub}, endpoints_{std::move(endpoints)} {}

void KickReader::Run() {
  while (hub_.IsWanted(kKick)) {
    const Next next = RunCycle();
    if (!next || !hub_.WaitWhileWanted(kKick, *next)) return;
  }
}

plx::HttpResponse KickReader::Send(plx::HttpRequest request) {
  request.timeoutMs = kRequestTimeoutMs;
  request.control = {&hub_.GetClock(), [this] { return hub_.IsWanted(kKick); }};
  return plx::Perform(request);
}

plx::HttpResponse KickReader::FetchOwnChannel(const std::string& accessToken) {
  plx::HttpRequest request;
  request.url = endpoints_.kickApi + "/public/v1/channels";
  request.headers = "Authorization: Bearer " + accessToken;
  return Send(std::move(request));
}

KickReader::Next KickReader::RunCycle() {
  if (!hub_.IsWanted(kKick)) return std::nullopt;
  std::string channel = hub_.Targets().kickChannel;
  const std::optional<plx::TokenRecord> token = hub_.UsableToken(kKick);
  const bool signedIn = token.has_value();

  std::string ownSlug;
  plx::HttpResponse own;
  if (signedIn) {
    if (!hub_.IsWanted(kKick)) return std::nullopt;
    own = FetchOwnChannel(token->accessToken);
    if (!hub_.IsWanted(kKick)) return std::nullopt;  // stopped during the request
    if (IsSuccess(own)) ownSlug = ParseOwnChannelSlug(own.body);
  }
  if (channel.empty()) channel = ownSlug;
  // Without an answer (or with a server's trouble) nothing is known about the own channel yet:
  // that is retried, not taken for "you have no channel".
  if (channel.empty() && signedIn && (own.status == 0 || own.status == 429 || own.status >= 500)) {
    const int64_t wait = KickWaitFor(own, kBlockedRetryMs);
    hub_.SetStatus(kKick, ConnectionState::Problem, {},
                   own.status == 0 ? KickUnreachableText(own.error, wait)
                                   : "Kick's API answered HTTP " + std::to_string(own.status) +
                                         " - retrying in " + std::to_string(wait / 1000) + " s");
    return wait;
  }
  if (channel.empty()) {
    hub_.SetStatus(kKick, ConnectionState::Off, {},
                   signedIn
                       ? "Could not find your Kick channel - enter it under Channels & accounts"
                       : "Sign in or enter a channel under Channels & accounts");
    return std::nullopt;
  }

  if (!hub_.IsWanted(kKick)) return std::nullopt;
  hub_.SetStatus(kKick, ConnectionState::Connecting, channel, "Looking up the channel…");
  bool notFound{false};
  std::optional<KickChannelInfo> info;
  std::vector<plx::HttpResponse> answers;
  for (const std::string_view path : kKickLookupPaths) {
    if (!hub_.IsWanted(kKick)) return std::nullopt;
    plx::HttpRequest request;
    request.url = endpoints_.kickWeb + std::string{path} + plx::PercentEncode(channel);
    request.headers = "Accept: application/json\r\nAccept-Language: en-US,en;q=0.9";
    request.userAgent = plx::BrowserUserAgent();
    const plx::HttpResponse& response = answers.emplace_back(Send(std::move(request)));
    if (response.status == 404) {
      notFound = true;
      continue;
    }
    if (IsSuccess(response) && (info = ParseKickChannel(response.body)) && info->chatroomId != 0) {
      break;
    }
    info.reset();
  }
  if (!hub_.IsWanted(kKick)) return std::nullopt;
  if (!info) {
    if (notFound) {
      hub_.SetStatus(kKick, ConnectionState::Problem, channel,
                     "Kick has no channel called \"" + channel + "\"");
      return std::nullopt;
    }
    KickRetry retry = LookupRetry(answers);
    hub_.SetStatus(kKick, ConnectionState::Problem, channel, std::move(retry.detail));
    return retry.waitMs;
  }

  std::string broadcasterUserId = std::move(info->broadcasterUserId);
  if (broadcasterUserId.empty() && channel == ownSlug) {
    broadcasterUserId = hub_.Accounts().LookupAccount(kKick).userId.value_or(std::string{});
  }
  hub_.SetPlatformId(kKick, broadcasterUserId);
  hub_.SetBroadcasterId(kKick, broadcasterUserId);

  return Connect(channel, info->chatroomId, info->channelId, signedIn && !broadcasterUserId.empty(),
                 signedIn);
}

KickReader::Next KickReader::Connect(const std::string& channel, int64_t chatroomId,
                                     int64_t channelId, bool canSend, bool signedIn) {
  if (!hub_.IsWanted(kKick)) return std::nullopt;
  plx::HttpRequest request;
  request.method = "POST";
  request.url = endpoints_.kickWeb + "/api/v1/realtime/connection";
  request.body = RealtimeRequestBody(RandomClientNumber());
  request.contentType = "application/json";
  request.headers = "Accept: application/json\r\nOrigin: " + OriginOf(endpoints_.kickWeb) +
                    "\r\nx-app-platform: web";
  request.userAgent = plx::BrowserUserAgent();
  const plx::HttpResponse response = Send(std::move(request));
  const std::optional<PusherCredentials> credentials =
      IsSuccess(response) ? ParseRealtimeConnection(response.body) : std::nullopt;
  if (!hub_.IsWanted(kKick)) return std::nullopt;
  if (!credentials) {
    const int64_t wait = KickWaitFor(response, kConnectRetryMs);
    hub_.SetStatus(kKick, ConnectionState::Problem, channel,
                   response.status == 0 ? KickUnreachableText(response.error, wait)
                                        : "Could not open Kick's chat connection - retrying");
    return wait;
  }

  auto socket = std::make_shared<plx::WebSocketClient>();
  std::string error;
  const plx::CallControl control{&hub_.GetClock(), [this] { return hub_.IsWanted(kKick); }};
  if (!socket->Connect(PusherSocketUrl(endpoints_, *credentials), plx::BrowserUserAgent(), &error,
                       0, control)) {
    if (!hub_.IsWanted(kKick)) return std::nullopt;
    hub_.SetStatus(kKick, ConnectionState::Problem, channel,
                   "Kick chat connection failed (" + error + ")");
    return std::clamp(int64_t{socket->RetryAfterSeconds()} * 1000, kConnectRetryMs,
                      kMaxRetryAfterMs);
  }
  if (!hub_.IsWanted(kKick)) return std::nullopt;
  hub_.RegisterSocket(kKick, socket);
  socket->SendText(PusherSubscribeFrame("chatrooms." + std::to_string(chatroomId) + ".v2"));
  if (channelId > 0) socket->SendText(PusherSubscribeFrame("channel." + std::to_string(channelId)));

  std::atomic<bool> stopPing{false};
  std::atomic<uint64_t> heard{0};
  std::thread ping{RunKickPing, &stopPing, socket, std::ref(hub_.GetClock()), &heard};
  ReadFrames(*socket, channel, canSend, signedIn, heard);
  stopPing.exchange(true);
  ping.join();
  socket->Close();
  hub_.RegisterSocket(kKick, nullptr);
  hub_.SetCanSend(kKick, false);

  if (!hub_.IsWanted(kKick)) return std::nullopt;
  hub_.SetStatus(kKick, ConnectionState::Connecting, channel, "Reconnecting…");
  return kReconnectMs;
}

void KickReader::ReadFrames(plx::WebSocketClient& socket, const std::string& channel, bool canSend,
                            bool signedIn, std::atomic<uint64_t>& heard) {
  Clock& clock = hub_.GetClock();
  bool subscribed{false};
  std::string frame;
  while (hub_.IsWanted(kKick) && socket.ReceiveMessage(frame)) {
    heard.fetch_add(1, std::memory_order_relaxed);
    const int64_t now = clock.NowMs();
    const KickEvent event = HandleKickFrame(hub_, frame, now);
    if (event.event == "pusher:ping") {
      socket.SendText(kPusherPongFrame);
    } else if (event.event == "pusher_internal:subscription_succeeded") {
      if (subscribed) continue;
      subscribed = true;
      hub_.SetStatus(kKick, ConnectionState::Connected, channel,
                     signedIn ? "Connected" : "Reading (sign in to send)");
      hub_.SetCanSend(kKick, canSend);
      hub_.PostSystemLine(kKick, "Connected to " + channel);
    } else if (event.event == "pusher:error") {
      hub_.PostSystemLine(kKick, "Kick chat error: " + event.dataText);
    }
  }
}

}  // namespace vlo
