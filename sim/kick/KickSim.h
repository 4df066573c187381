#pragma once

// The simulated Kick services: the web site's channel lookups (v2 and v1) and realtime
// credentials endpoint, the public API's own-channel call, and a Pusher protocol server with
// scripted and generated chat traffic. Attach it to one or more SimServers (one per service, or
// the same server for all: the paths do not collide).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/SimServer.h"
#include "sim/kick/KickFrames.h"

namespace vlo::sim {

struct KickSimChannel {
  std::string slug;
  int64_t chatroomId{0};
  int64_t channelId{0};  // 0 = the lookup answer carries no top-level "id"
  std::string userId;    // the broadcaster's user id; empty = no "user_id" in the answer
  bool userIdAsNumber{true};
};

// What a channel lookup path answers (for every slug).
enum class KickLookupAnswer {
  Channel,    // 200 with the channel, or 404 for an unknown slug
  Forbidden,  // 403 with a JSON error
  NotFound,   // 404
  HtmlBlock,  // 403 with the HTML of a bot-check page
  NoAnswer,   // the connection is closed without a response
};

// What the realtime endpoint answers to a well-formed request.
enum class KickRealtimeAnswer {
  Pusher,         // one pusher connection entry with the simulator's app key and cluster
  NoConnections,  // 200 with an empty connection list
  ServerError,    // 500
  UnknownAppKey,  // a pusher entry whose app key the Pusher server refuses (HTTP 404 upgrade)
};

class KickSim {
 public:
  static constexpr const char* kAppKey = "32cbd69e4b950bf97679";
  static constexpr const char* kCluster = "us2";

  KickSim(SimServer& web, SimServer& api, SimServer& pusher);
  ~KickSim();  // stops the three servers, the traffic and replay threads
  KickSim(const KickSim&) = delete;
  KickSim& operator=(const KickSim&) = delete;

  // --- Configuration (any thread) ---
  void AddChannel(KickSimChannel channel);
  void SetLookupAnswer(int version, KickLookupAnswer answer);  // version 1 or 2
  void SetRealtimeAnswer(KickRealtimeAnswer answer);
  // The public API's own channel for a bearer token; any other token gets 401. An empty slug
  // makes the answer an empty "data" list.
  void SetOwnChannel(std::string accessToken, std::string slug);
  // Resolves a bearer token that SetOwnChannel does not know to its account's user id, or
  // nothing when it is not valid; the own channel is then the one whose broadcaster has that
  // user id (none: an empty "data" list). Called on a server thread without this object's lock.
  using TokenCheck = std::function<std::optional<std::string>(std::string_view token)>;
  void SetTokenCheck(TokenCheck check);
  // The realtime endpoint also takes this Origin besides the web server's own: the base of a
  // relay put in front of it.
  void AcceptOrigin(std::string origin);
  // Whether subscriptions are confirmed with pusher_internal:subscription_succeeded (default on).
  void SetConfirmSubscriptions(bool on);
  // The channels added so far, by slug.
  std::vector<KickSimChannel> Channels() const;
  // Sees every frame the Pusher server sends to subscribers (scripted, generated, replayed),
  // whether or not a client is subscribed. Called on the sending thread with this object's lock
  // held, so it must not call back into it; once SetSentObserver returns, the previous observer
  // is not running and will not run again.
  using SentObserver = std::function<void(std::string_view frame)>;
  void SetSentObserver(SentObserver observer);

  // The bases to put in the program's endpoints.
  std::string WebBase() const;
  std::string ApiBase() const;
  std::string PusherPattern() const;  // the Pusher base; it serves every cluster

  // Realtime requests refused for a wrong method, header or body, with the last reason.
  int RealtimeRejections() const;
  std::string LastRealtimeRejection() const;

  // --- Pusher scripting (any thread) ---
  // Sends `frame` to every open client subscribed to `topic`; returns how many got it.
  int Emit(const std::string& topic, const std::string& frame);
  // Sends `frame` to every open client with at least one subscription.
  int EmitToSubscribed(const std::string& frame);
  size_t SubscriberCount(const std::string& topic) const;
  // Blocks (real time, bounded) until `count` clients subscribed to `topic` are open.
  bool WaitForSubscribers(const std::string& topic, size_t count, int timeoutMs = 5000) const;
  // Every topic subscribed so far, in order, over all connections.
  std::vector<std::string> Subscriptions() const;
  // pusher:ping frames received so far, over all connections.
  int PingsReceived() const;
  bool WaitForPings(int count, int timeoutMs = 5000) const;

  // --- Generated traffic and capture replay (demo and load runs; real time) ---
  // Sends generated chat to the channel's chatroom and channel topics at `perSecond` frames a
  // second from `seed`, on a thread of its own, until StopTraffic or destruction.
  void StartTraffic(const std::string& slug, double perSecond, uint64_t seed);
  void StopTraffic();
  // Waits (real time) for a subscribed client, then sends `frames` to every subscribed client
  // in order, `intervalMs` apart, on a thread of its own. A new replay replaces a running one.
  void StartReplay(std::vector<std::string> frames, int intervalMs);
  bool ReplayFinished() const;

 private:
  struct Client {
    std::weak_ptr<WsPeer> peer;
    std::vector<std::string> topics;
  };

  void InstallRoutes();
  HttpAnswer Lookup(int version, const HttpExchange& request) const;
  HttpAnswer Realtime(const HttpExchange& request);
  bool OriginAccepted(const std::string& origin) const;
  HttpAnswer OwnChannel(const HttpExchange& request) const;
  void OnPusherMessage(const std::shared_ptr<WsPeer>& peer, const std::string& text);
  void Stop(std::atomic<bool>& flag, std::thread& thread);

  SimServer& web_;
  SimServer& api_;
  SimServer& pusher_;

  mutable std::mutex mutex_;  // guards every member below; server threads and test threads
  mutable std::condition_variable changed_;
  std::map<std::string, KickSimChannel> channels_;
  KickLookupAnswer lookup_[2]{KickLookupAnswer::Channel, KickLookupAnswer::Channel};
  KickRealtimeAnswer realtime_{KickRealtimeAnswer::Pusher};
  std::map<std::string, std::string> ownChannels_;  // token -> slug
  TokenCheck tokenCheck_;
  SentObserver sentObserver_;
  bool confirm_{true};
  std::vector<std::string> origins_;  // accepted besides the web server's own
  int rejections_{0};
  std::string lastRejection_;
  std::vector<Client> clients_;
  std::vector<std::string> subscriptions_;
  int pings_{0};
  bool replayDone_{true};

  std::thread traffic_;  // owned by the thread that starts and stops it
  std::atomic<bool> trafficStop_{false};
  std::thread replay_;
  std::atomic<bool> replayStop_{false};
};

// The lines of a capture file, one Pusher frame each; blank lines are skipped. Nothing when the
// file cannot be read.
std::optional<std::vector<std::string>> ReadKickCapture(const std::string& path);

}  // namespace vlo::sim
