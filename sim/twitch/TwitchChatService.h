#pragma once

// The simulated Twitch chat service: IRC over WebSocket as the real service behaves for a chat
// client. It acknowledges CAP REQ, checks PASS/NICK (anonymous "justinfan" nicks need no PASS;
// an unknown token gets the NOTICE "Login authentication failed" and the connection is closed),
// answers JOIN (ROOMSTATE with the room id only for channels it knows), sends PING and counts
// PONGs, sends RECONNECT on demand, and plays scripted, generated or recorded traffic to the
// clients joined to a channel.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/SimServer.h"

namespace vlo::sim {

// What the service knows of one connection (a copy for tests).
struct TwitchChatClient {
  std::string nick;
  std::string pass;          // as sent after "PASS "
  std::string capabilities;  // as requested with CAP REQ
  bool registered{false};    // NICK accepted
  bool signedIn{false};
  std::vector<std::string> joined;  // channels without "#", in join order
  std::vector<std::string> said;    // PRIVMSG lines the client sent
  int pongs{0};
  bool open{false};
};

class TwitchChatService {
 public:
  static constexpr const char* kPath = "/";

  explicit TwitchChatService(SimServer& server);
  ~TwitchChatService();  // stops the server, the traffic, replay and ping threads
  TwitchChatService(const TwitchChatService&) = delete;
  TwitchChatService& operator=(const TwitchChatService&) = delete;

  // --- Configuration (any thread) ---
  void AddChannel(std::string name, std::string roomId);
  // JOIN of this channel is answered with the NOTICE for a suspended or missing channel.
  void SuspendChannel(std::string name);
  // PASS "oauth:" + token is accepted and belongs to `login`.
  void AcceptToken(std::string token, std::string login);
  // Resolves a PASS token that AcceptToken does not know to its login, or nothing when it is not
  // valid; the login must then match NICK. Called on a server thread without this service's
  // lock held.
  using TokenCheck = std::function<std::optional<std::string>(std::string_view token)>;
  void SetTokenCheck(TokenCheck check);
  // The base for the program's "twitchChat" endpoint ("ws://127.0.0.1:PORT").
  std::string ChatUrl() const;
  // The channel whose room id is `roomId`; nothing for an unknown room.
  std::optional<std::string> ChannelOfRoom(std::string_view roomId) const;
  // Sees every text sent to the clients of a channel (scripted, generated, replayed), whether
  // or not a client is joined. Called on the sending thread with this service's lock held, so
  // it must not call back into the service; once SetSentObserver returns, the previous observer
  // is not running and will not run again.
  using SentObserver = std::function<void(std::string_view text)>;
  void SetSentObserver(SentObserver observer);

  // --- Scripting (any thread); each returns how many clients got the text ---
  // `text` is sent as one WebSocket message as is (it may hold several "\r\n"-ended lines).
  int SendToChannel(std::string_view channel, std::string_view text);
  int SendToAll(std::string_view text);
  // The lines, each ended by "\r\n", in one message.
  int SendLines(std::string_view channel, const std::vector<std::string>& lines);
  int SendReconnect();
  int SendPing(std::string_view token = "tmi.twitch.tv");
  // Drops every open connection without a close frame.
  void DropAll();
  // Pings every `intervalMs` (real time) and drops a client that did not answer the previous
  // PING; 0 turns it off.
  void SetPingInterval(int intervalMs);

  std::vector<TwitchChatClient> Clients() const;
  // Blocks (real time, bounded) until `count` JOINs of the channel were received in total.
  bool WaitForJoins(std::string_view channel, size_t count, int timeoutMs = 5000) const;
  bool WaitForPongs(int count, int timeoutMs = 5000) const;

  // --- Generated traffic and capture replay (demo and load runs; real time) ---
  // Generated chat for a known channel at `perSecond` steps a second from `seed`, on a thread
  // of its own, until StopTraffic or destruction.
  void StartTraffic(std::string channel, double perSecond, uint64_t seed);
  void StopTraffic();
  // Waits for a client joined to `channel` (any channel when empty), then sends each line to
  // the joined clients in order, `intervalMs` apart (0: as fast as possible), on a thread of
  // its own. A new replay replaces a running one.
  void StartReplay(std::vector<std::string> lines, int intervalMs, std::string channel = {});
  bool ReplayFinished() const;

 private:
  struct Client {
    std::weak_ptr<WsPeer> peer;
    TwitchChatClient info;
    bool pingOutstanding{false};
    std::optional<std::string> checkedLogin;  // the token check's answer for the last PASS
  };

  void OnMessage(const std::shared_ptr<WsPeer>& peer, const std::string& text);
  // Handles one client line under the lock; appends what to send back to `replies`. `checked`
  // is the token check's answer for a PASS line.
  void HandleLineLocked(Client& client, std::string_view line,
                        const std::optional<std::string>& checked, std::string& replies,
                        bool& close);
  std::vector<std::shared_ptr<WsPeer>> PeersLocked(std::string_view channel) const;
  int Broadcast(const std::vector<std::shared_ptr<WsPeer>>& peers, std::string_view text);
  void StopThread(std::atomic<bool>& flag, std::thread& thread);
  bool HasJoinedLocked(std::string_view channel) const;

  SimServer& server_;

  mutable std::mutex mutex_;  // guards every member below; server threads and test threads
  mutable std::condition_variable changed_;
  std::map<std::string, std::string, std::less<>> rooms_;  // channel -> room id
  std::set<std::string, std::less<>> suspended_;
  std::map<std::string, std::string, std::less<>> tokens_;  // token -> login
  TokenCheck tokenCheck_;
  SentObserver sentObserver_;
  std::vector<Client> clients_;
  std::map<std::string, size_t, std::less<>> joinCounts_;
  int pongs_{0};
  int pingIntervalMs_{0};
  bool replayDone_{true};

  std::thread traffic_;  // owned by the thread that starts and stops it
  std::atomic<bool> trafficStop_{false};
  std::thread replay_;
  std::atomic<bool> replayStop_{false};
  std::thread pinger_;
  std::atomic<bool> pingerStop_{false};
};

// The lines of a capture file, one raw IRC line each (a trailing CR is removed, blank lines are
// skipped). Nothing when the file cannot be read.
std::optional<std::vector<std::string>> ReadTwitchCapture(const std::string& path);

}  // namespace vlo::sim
