#include "sim/kick/KickSim.h"

#include <algorithm>
#include <chrono>
#include <fstream>

#include "sim/kick/KickTraffic.h"

namespace vlo::sim {

namespace {

using Json = nlohmann::json;
using std::chrono::milliseconds;

constexpr std::string_view kBlockPage =
    "<!DOCTYPE html><html><head><title>Just a moment...</title></head>"
    "<body><p>Checking your browser before accessing kick.com.</p></body></html>";

bool ValidRealtimeBody(const std::string& body) {
  const Json doc = Json::parse(body, nullptr, false);
  if (!doc.is_object()) return false;
  const auto client = doc.find("client");
  if (client == doc.end() || !client->is_object()) return false;
  const auto id = client->find("id");
  const auto type = client->find("type");
  if (id == client->end() || !id->is_string() || id->get<std::string>().rfind("vlo-", 0) != 0) {
    return false;
  }
  if (type == client->end() || *type != "web") return false;
  const auto capabilities = doc.find("capabilities");
  if (capabilities == doc.end() || !capabilities->is_object()) return false;
  const auto providers = capabilities->find("accepted_providers");
  if (providers == capabilities->end() || !providers->is_array()) return false;
  return std::any_of(providers->begin(), providers->end(), [](const Json& entry) {
    return entry.is_object() && entry.value("provider", "") == "pusher";
  });
}

std::string TopicOf(const std::string& frame) {
  const Json doc = Json::parse(frame, nullptr, false);
  if (!doc.is_object()) return {};
  return doc.value("channel", "");
}

std::string ControlFrame(std::string_view event, std::string_view data,
                         std::string_view topic = {}) {
  Json frame = {{"event", event}, {"data", data}};
  if (!topic.empty()) frame["channel"] = topic;
  return frame.dump();
}

}  // namespace

KickSim::KickSim(SimServer& web, SimServer& api, SimServer& pusher)
    : web_{web}, api_{api}, pusher_{pusher} {
  InstallRoutes();
}

KickSim::~KickSim() {
  // No handler may run into what goes below.
  web_.Stop();
  api_.Stop();
  pusher_.Stop();
  StopTraffic();
  Stop(replayStop_, replay_);
}

void KickSim::InstallRoutes() {
  web_.RoutePrefix("GET", "/api/v2/channels/",
                   [this](const HttpExchange& request) { return Lookup(2, request); });
  web_.RoutePrefix("GET", "/api/v1/channels/",
                   [this](const HttpExchange& request) { return Lookup(1, request); });
  web_.Route("*", "/api/v1/realtime/connection",
             [this](const HttpExchange& request) { return Realtime(request); });
  api_.Route("GET", "/public/v1/channels",
             [this](const HttpExchange& request) { return OwnChannel(request); });

  WsHandlers handlers;
  handlers.onOpen = [this](const std::shared_ptr<WsPeer>& peer) {
    if (peer->Target().find("protocol=7") == std::string::npos) {
      peer->SendText(PusherErrorFrame(4007, "Unsupported protocol version"));
      peer->SendClose(4007);
      return;
    }
    {
      std::lock_guard lock{mutex_};
      clients_.push_back(Client{peer, {}});
    }
    peer->SendText(ControlFrame("pusher:connection_established",
                                R"({"socket_id":"123456.7890123","activity_timeout":120})"));
  };
  handlers.onMessage = [this](const std::shared_ptr<WsPeer>& peer, const std::string& text) {
    OnPusherMessage(peer, text);
  };
  handlers.onClose = [this](const std::shared_ptr<WsPeer>&) { changed_.notify_all(); };
  pusher_.WebSocket(std::string{"/app/"} + kAppKey, std::move(handlers));
}

void KickSim::AddChannel(KickSimChannel channel) {
  std::lock_guard lock{mutex_};
  std::string slug = channel.slug;
  channels_[std::move(slug)] = std::move(channel);
}

void KickSim::SetLookupAnswer(int version, KickLookupAnswer answer) {
  std::lock_guard lock{mutex_};
  lookup_[version == 1 ? 0 : 1] = answer;
}

void KickSim::SetRealtimeAnswer(KickRealtimeAnswer answer) {
  std::lock_guard lock{mutex_};
  realtime_ = answer;
}

void KickSim::SetOwnChannel(std::string accessToken, std::string slug) {
  std::lock_guard lock{mutex_};
  ownChannels_[std::move(accessToken)] = std::move(slug);
}

void KickSim::SetTokenCheck(TokenCheck check) {
  std::lock_guard lock{mutex_};
  tokenCheck_ = std::move(check);
}

void KickSim::SetConfirmSubscriptions(bool on) {
  std::lock_guard lock{mutex_};
  confirm_ = on;
}

std::vector<KickSimChannel> KickSim::Channels() const {
  std::lock_guard lock{mutex_};
  std::vector<KickSimChannel> channels;
  for (const auto& entry : channels_) channels.push_back(entry.second);
  return channels;
}

void KickSim::SetSentObserver(SentObserver observer) {
  std::lock_guard lock{mutex_};
  sentObserver_ = std::move(observer);
}

std::string KickSim::WebBase() const { return web_.BaseUrl(); }
std::string KickSim::ApiBase() const { return api_.BaseUrl(); }
std::string KickSim::PusherPattern() const { return pusher_.WsBaseUrl(); }

int KickSim::RealtimeRejections() const {
  std::lock_guard lock{mutex_};
  return rejections_;
}

std::string KickSim::LastRealtimeRejection() const {
  std::lock_guard lock{mutex_};
  return lastRejection_;
}

HttpAnswer KickSim::Lookup(int version, const HttpExchange& request) const {
  const std::string prefix = "/api/v" + std::to_string(version) + "/channels/";
  const std::string slug = PercentDecode(std::string_view{request.path}.substr(prefix.size()));
  std::lock_guard lock{mutex_};
  // The site turns away anything that does not look like a browser.
  if (request.Header("User-Agent").find("Mozilla/5.0") == std::string::npos) {
    return HttpAnswer::Text(std::string{kBlockPage}, "text/html", 403);
  }
  switch (lookup_[version == 1 ? 0 : 1]) {
    case KickLookupAnswer::Forbidden:
      return HttpAnswer::Json(R"({"error":"Request blocked"})", 403);
    case KickLookupAnswer::NotFound:
      return HttpAnswer::Json(R"({"message":"Channel not found"})", 404);
    case KickLookupAnswer::HtmlBlock:
      return HttpAnswer::Text(std::string{kBlockPage}, "text/html", 403);
    case KickLookupAnswer::NoAnswer: {
      HttpAnswer answer;
      answer.closeWithoutAnswer = true;
      return answer;
    }
    case KickLookupAnswer::Channel:
      break;
  }
  const auto it = channels_.find(slug);
  if (it == channels_.end()) return HttpAnswer::Json(R"({"message":"Channel not found"})", 404);
  const KickSimChannel& channel = it->second;
  Json body = {
      {"slug", channel.slug},
      {"is_banned", false},
      {"chatroom",
       {{"id", channel.chatroomId},
        {"chatable_type", "App\\Models\\Channel"},
        {"slow_mode", false},
        {"chat_mode", "public"}}},
      {"user", {{"username", channel.slug}}},
  };
  if (channel.channelId != 0) {
    body["id"] = channel.channelId;
    body["chatroom"]["channel_id"] = channel.channelId;
  }
  if (!channel.userId.empty()) {
    const bool digits = channel.userId.find_first_not_of("0123456789") == std::string::npos;
    body["user_id"] = channel.userIdAsNumber && digits && channel.userId.size() < 19
                          ? Json(std::stoll(channel.userId))
                          : Json(channel.userId);
  }
  return HttpAnswer::Json(body.dump());
}

void KickSim::AcceptOrigin(std::string origin) {
  std::lock_guard lock{mutex_};
  origins_.push_back(std::move(origin));
}

bool KickSim::OriginAccepted(const std::string& origin) const {
  std::lock_guard lock{mutex_};
  return std::find(origins_.begin(), origins_.end(), origin) != origins_.end();
}

HttpAnswer KickSim::Realtime(const HttpExchange& request) {
  std::string reason;
  if (request.method != "POST") {
    reason = "method " + request.method;
  } else if (request.Header("Content-Type").rfind("application/json", 0) != 0) {
    reason = "content type " + request.Header("Content-Type");
  } else if (request.Header("Accept") != "application/json") {
    reason = "accept " + request.Header("Accept");
  } else if (request.Header("Origin") != web_.BaseUrl() &&
             !OriginAccepted(request.Header("Origin"))) {
    reason = "origin " + request.Header("Origin");
  } else if (request.Header("x-app-platform") != "web") {
    reason = "platform " + request.Header("x-app-platform");
  } else if (request.Header("User-Agent").find("Mozilla/5.0") == std::string::npos) {
    reason = "user agent " + request.Header("User-Agent");
  } else if (!ValidRealtimeBody(request.body)) {
    reason = "body " + request.body;
  }
  std::lock_guard lock{mutex_};
  if (!reason.empty()) {
    ++rejections_;
    lastRejection_ = reason;
    return HttpAnswer::Json(R"({"message":"Bad request"})", request.method == "POST" ? 400 : 405);
  }
  Json connection = {{"provider", "pusher"},
                     {"credentials", {{"app_key", kAppKey}, {"cluster", kCluster}}}};
  switch (realtime_) {
    case KickRealtimeAnswer::Pusher:
      break;
    case KickRealtimeAnswer::NoConnections:
      return HttpAnswer::Json(R"({"data":{"connections":[]}})");
    case KickRealtimeAnswer::ServerError:
      return HttpAnswer::Json(R"({"message":"Server Error"})", 500);
    case KickRealtimeAnswer::UnknownAppKey:
      connection["credentials"]["app_key"] = "0000unknownkey";
      break;
  }
  return HttpAnswer::Json(Json{{"data", {{"connections", Json::array({connection})}}}}.dump());
}

HttpAnswer KickSim::OwnChannel(const HttpExchange& request) const {
  const std::string auth = request.Header("Authorization");
  constexpr std::string_view kBearer = "Bearer ";
  const std::string token = auth.rfind(kBearer, 0) == 0 ? auth.substr(kBearer.size()) : "";
  std::optional<std::string> slug;  // nothing: the token is not valid; empty: no channel
  TokenCheck check;
  {
    std::lock_guard lock{mutex_};
    if (const auto it = ownChannels_.find(token); !token.empty() && it != ownChannels_.end()) {
      slug = it->second;
    }
    if (!slug) check = tokenCheck_;
  }
  if (check && !token.empty()) {
    if (const std::optional<std::string> userId = check(token)) {
      std::lock_guard lock{mutex_};
      slug.emplace();
      for (const auto& [name, channel] : channels_) {
        if (!userId->empty() && channel.userId == *userId) slug = name;
      }
    }
  }
  if (!slug) return HttpAnswer::Json(R"({"message":"Unauthenticated"})", 401);
  Json data = Json::array();
  if (!slug->empty()) {
    Json entry = {{"slug", *slug}, {"stream_title", "Simulated stream"}};
    std::lock_guard lock{mutex_};
    if (const auto channel = channels_.find(*slug); channel != channels_.end()) {
      entry["broadcaster_user_id"] = channel->second.userId;
    }
    data.push_back(std::move(entry));
  }
  return HttpAnswer::Json(Json{{"data", data}, {"message", "OK"}}.dump());
}

void KickSim::OnPusherMessage(const std::shared_ptr<WsPeer>& peer, const std::string& text) {
  const Json frame = Json::parse(text, nullptr, false);
  if (!frame.is_object()) return;
  const std::string event = frame.value("event", "");
  if (event == "pusher:ping") {
    {
      std::lock_guard lock{mutex_};
      ++pings_;
    }
    changed_.notify_all();
    peer->SendText(ControlFrame("pusher:pong", "{}"));
    return;
  }
  if (event != "pusher:subscribe") return;
  Json data = frame.value("data", Json::object());
  if (data.is_string()) data = Json::parse(data.get<std::string>(), nullptr, false);
  const std::string topic = data.is_object() ? data.value("channel", "") : "";
  if (topic.empty()) {
    peer->SendText(PusherErrorFrame(4009, "Subscription without a channel"));
    return;
  }
  bool confirm{false};
  {
    std::lock_guard lock{mutex_};
    for (Client& client : clients_) {
      if (client.peer.lock() == peer) client.topics.push_back(topic);
    }
    subscriptions_.push_back(topic);
    confirm = confirm_;
  }
  changed_.notify_all();
  if (confirm) {
    peer->SendText(ControlFrame("pusher_internal:subscription_succeeded", "{}", topic));
  }
}

int KickSim::Emit(const std::string& topic, const std::string& frame) {
  std::vector<std::shared_ptr<WsPeer>> targets;
  {
    std::lock_guard lock{mutex_};
    for (const Client& client : clients_) {
      auto peer = client.peer.lock();
      if (peer && peer->IsOpen() &&
          std::find(client.topics.begin(), client.topics.end(), topic) != client.topics.end()) {
        targets.push_back(std::move(peer));
      }
    }
    if (sentObserver_) sentObserver_(frame);
  }
  int sent{0};
  for (const auto& peer : targets) sent += peer->SendText(frame) ? 1 : 0;
  return sent;
}

int KickSim::EmitToSubscribed(const std::string& frame) {
  std::vector<std::shared_ptr<WsPeer>> targets;
  {
    std::lock_guard lock{mutex_};
    for (const Client& client : clients_) {
      auto peer = client.peer.lock();
      if (peer && peer->IsOpen() && !client.topics.empty()) targets.push_back(std::move(peer));
    }
    if (sentObserver_) sentObserver_(frame);
  }
  int sent{0};
  for (const auto& peer : targets) sent += peer->SendText(frame) ? 1 : 0;
  return sent;
}

size_t KickSim::SubscriberCount(const std::string& topic) const {
  std::lock_guard lock{mutex_};
  size_t count{0};
  for (const Client& client : clients_) {
    const auto peer = client.peer.lock();
    if (peer && peer->IsOpen() &&
        std::find(client.topics.begin(), client.topics.end(), topic) != client.topics.end()) {
      ++count;
    }
  }
  return count;
}

bool KickSim::WaitForSubscribers(const std::string& topic, size_t count, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + milliseconds{timeoutMs};
  while (SubscriberCount(topic) < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::unique_lock lock{mutex_};
    changed_.wait_for(lock, milliseconds{10});
  }
  return true;
}

std::vector<std::string> KickSim::Subscriptions() const {
  std::lock_guard lock{mutex_};
  return subscriptions_;
}

int KickSim::PingsReceived() const {
  std::lock_guard lock{mutex_};
  return pings_;
}

bool KickSim::WaitForPings(int count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return changed_.wait_for(lock, milliseconds{timeoutMs}, [&] { return pings_ >= count; });
}

void KickSim::Stop(std::atomic<bool>& flag, std::thread& thread) {
  {
    std::lock_guard lock{mutex_};  // so a waiter cannot miss the wake-up
    flag = true;
  }
  changed_.notify_all();
  if (thread.joinable()) thread.join();
}

void KickSim::StartTraffic(const std::string& slug, double perSecond, uint64_t seed) {
  StopTraffic();
  KickSimChannel channel;
  {
    std::lock_guard lock{mutex_};
    const auto it = channels_.find(slug);
    if (it == channels_.end()) return;
    channel = it->second;
  }
  trafficStop_ = false;
  const auto interval = milliseconds{static_cast<int64_t>(1000.0 / std::max(perSecond, 0.01))};
  traffic_ = std::thread{[this, channel, interval, seed] {
    KickTraffic traffic{channel.chatroomId, channel.channelId, seed};
    while (true) {
      {
        std::unique_lock lock{mutex_};
        if (changed_.wait_for(lock, interval, [this] { return trafficStop_.load(); })) return;
      }
      const int64_t now = std::chrono::duration_cast<milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
      for (const std::string& frame : traffic.Next(now)) Emit(TopicOf(frame), frame);
    }
  }};
}

void KickSim::StopTraffic() { Stop(trafficStop_, traffic_); }

void KickSim::StartReplay(std::vector<std::string> frames, int intervalMs) {
  Stop(replayStop_, replay_);
  replayStop_ = false;
  {
    std::lock_guard lock{mutex_};
    replayDone_ = false;
  }
  replay_ = std::thread{[this, frames = std::move(frames), intervalMs] {
    const auto stopped = [this] { return replayStop_.load(); };
    const auto subscribed = [this] {
      for (const Client& client : clients_) {
        const auto peer = client.peer.lock();
        if (peer && peer->IsOpen() && !client.topics.empty()) return true;
      }
      return false;
    };
    {
      std::unique_lock lock{mutex_};
      while (!stopped() && !subscribed()) changed_.wait_for(lock, milliseconds{50});
    }
    for (const std::string& frame : frames) {
      if (stopped()) break;
      EmitToSubscribed(frame);
      std::unique_lock lock{mutex_};
      if (changed_.wait_for(lock, milliseconds{std::max(intervalMs, 0)}, stopped)) break;
    }
    std::lock_guard lock{mutex_};
    replayDone_ = true;
    changed_.notify_all();
  }};
}

bool KickSim::ReplayFinished() const {
  std::lock_guard lock{mutex_};
  return replayDone_;
}

std::optional<std::vector<std::string>> ReadKickCapture(const std::string& path) {
  std::ifstream file{path, std::ios::binary};
  if (!file) return std::nullopt;
  std::vector<std::string> frames;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    frames.push_back(std::move(line));
  }
  return frames;
}

}  // namespace vlo::sim
