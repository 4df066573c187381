#include "sim/twitch/TwitchChatService.h"

#include <algorithm>
#include <chrono>
#include <fstream>

#include "sim/twitch/TwitchLines.h"
#include "sim/twitch/TwitchTraffic.h"

namespace vlo::sim {
namespace {

using std::chrono::milliseconds;

constexpr std::string_view kServer = ":tmi.twitch.tv";

std::string_view Word(std::string_view& rest) {
  const size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  const size_t end = rest.find(' ');
  const std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  return word;
}

// The trailing parameter (after " :"), or the next word.
std::string_view Argument(std::string_view rest) {
  const size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  rest.remove_prefix(start);
  return rest.starts_with(':') ? rest.substr(1) : Word(rest);
}

std::string Crlf(std::string_view line) { return std::string{line} + "\r\n"; }

std::string Lower(std::string_view text) {
  std::string out{text};
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The lines of one client message, without their line ends; empty lines dropped.
std::vector<std::string_view> SplitLines(std::string_view rest) {
  std::vector<std::string_view> lines;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

int64_t WallMs() {
  return std::chrono::duration_cast<milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string Welcome(const std::string& nick) {
  std::string out;
  const std::string who = " " + nick + " :";
  out += Crlf(std::string{kServer} + " 001" + who + "Welcome, GLHF!");
  out += Crlf(std::string{kServer} + " 002" + who + "Your host is tmi.twitch.tv");
  out += Crlf(std::string{kServer} + " 003" + who + "This server is rather new");
  out += Crlf(std::string{kServer} + " 004" + who + "-");
  out += Crlf(std::string{kServer} + " 375" + who + "-");
  out += Crlf(std::string{kServer} + " 372" + who + "You are in a maze of twisty passages.");
  out += Crlf(std::string{kServer} + " 376" + who + ">");
  return out;
}

}  // namespace

TwitchChatService::TwitchChatService(SimServer& server) : server_{server} {
  WsHandlers handlers;
  handlers.onOpen = [this](const std::shared_ptr<WsPeer>& peer) {
    std::lock_guard lock{mutex_};
    Client client;
    client.peer = peer;
    client.info.open = true;
    clients_.push_back(std::move(client));
    changed_.notify_all();
  };
  handlers.onMessage = [this](const std::shared_ptr<WsPeer>& peer, const std::string& text) {
    OnMessage(peer, text);
  };
  handlers.onClose = [this](const std::shared_ptr<WsPeer>& peer) {
    std::lock_guard lock{mutex_};
    for (Client& client : clients_) {
      if (client.peer.lock() == peer) client.info.open = false;
    }
    changed_.notify_all();
  };
  server_.WebSocket(kPath, std::move(handlers));
}

TwitchChatService::~TwitchChatService() {
  server_.Stop();  // no handler may run into what goes below
  StopTraffic();
  StopThread(replayStop_, replay_);
  StopThread(pingerStop_, pinger_);
}

void TwitchChatService::AddChannel(std::string name, std::string roomId) {
  std::lock_guard lock{mutex_};
  rooms_[std::move(name)] = std::move(roomId);
}

void TwitchChatService::SuspendChannel(std::string name) {
  std::lock_guard lock{mutex_};
  suspended_.insert(std::move(name));
}

void TwitchChatService::AcceptToken(std::string token, std::string login) {
  std::lock_guard lock{mutex_};
  tokens_[std::move(token)] = std::move(login);
}

void TwitchChatService::SetTokenCheck(TokenCheck check) {
  std::lock_guard lock{mutex_};
  tokenCheck_ = std::move(check);
}

std::string TwitchChatService::ChatUrl() const { return server_.WsBaseUrl(); }

std::optional<std::string> TwitchChatService::ChannelOfRoom(std::string_view roomId) const {
  std::lock_guard lock{mutex_};
  for (const auto& [channel, id] : rooms_) {
    if (!roomId.empty() && id == roomId) return channel;
  }
  return std::nullopt;
}

void TwitchChatService::SetSentObserver(SentObserver observer) {
  std::lock_guard lock{mutex_};
  sentObserver_ = std::move(observer);
}

void TwitchChatService::OnMessage(const std::shared_ptr<WsPeer>& peer, const std::string& text) {
  const std::vector<std::string_view> lines = SplitLines(text);
  // PASS tokens go through the token check first, without the lock.
  TokenCheck check;
  {
    std::lock_guard lock{mutex_};
    check = tokenCheck_;
  }
  std::vector<std::optional<std::string>> checked(lines.size());
  for (size_t i{0}; i < lines.size() && check; ++i) {
    std::string_view rest = lines[i];
    if (Word(rest) != "PASS") continue;
    const std::string_view pass = Argument(rest);
    if (pass.starts_with("oauth:")) checked[i] = check(pass.substr(6));
  }

  std::string replies;
  bool close{false};
  std::lock_guard lock{mutex_};
  auto it = std::find_if(clients_.begin(), clients_.end(),
                         [&peer](const Client& c) { return c.peer.lock() == peer; });
  if (it == clients_.end()) return;
  for (size_t i{0}; i < lines.size() && !close; ++i) {
    HandleLineLocked(*it, lines[i], checked[i], replies, close);
  }
  // Queued before the lock is released, so that traffic for a channel this message joined
  // (sent by other threads once they see the join) follows the join's own replies, as on the
  // real service.
  if (!replies.empty()) peer->SendText(replies);
  if (close) peer->SendClose(1000);
  changed_.notify_all();
}

void TwitchChatService::HandleLineLocked(Client& client, std::string_view line,
                                         const std::optional<std::string>& checked,
                                         std::string& replies, bool& close) {
  std::string_view rest = line;
  const std::string_view command = Word(rest);
  TwitchChatClient& info = client.info;
  if (command == "CAP") {
    Word(rest);  // REQ
    info.capabilities = Argument(rest);
    replies += Crlf(std::string{kServer} + " CAP * ACK :" + info.capabilities);
  } else if (command == "PASS") {
    info.pass = Argument(rest);
    client.checkedLogin = checked;
  } else if (command == "NICK") {
    info.nick = Argument(rest);
    if (info.pass.empty() && info.nick.starts_with("justinfan")) {
      info.registered = true;
    } else if (!info.pass.starts_with("oauth:")) {
      replies += Crlf(std::string{kServer} + " NOTICE * :Improperly formatted auth");
      close = true;
      return;
    } else if (tokens_.contains(std::string_view{info.pass}.substr(6)) ||
               (client.checkedLogin && Lower(*client.checkedLogin) == Lower(info.nick))) {
      info.registered = info.signedIn = true;
    } else {
      replies += Crlf(std::string{kServer} + " NOTICE * :Login authentication failed");
      close = true;
      return;
    }
    replies += Welcome(info.nick);
    if (info.signedIn && info.capabilities.find("commands") != std::string::npos) {
      replies += Crlf("@badge-info=;badges=;color=;display-name=" + info.nick +
                      ";emote-sets=0;user-id=1;user-type= :tmi.twitch.tv GLOBALUSERSTATE");
    }
  } else if (command == "JOIN") {
    if (!info.registered) return;
    std::string_view channels = Argument(rest);
    while (!channels.empty()) {
      const size_t comma = channels.find(',');
      std::string_view channel = channels.substr(0, comma);
      channels = comma == std::string_view::npos ? std::string_view{} : channels.substr(comma + 1);
      if (channel.starts_with('#')) channel.remove_prefix(1);
      if (channel.empty()) continue;
      const std::string name{channel};
      info.joined.push_back(name);
      ++joinCounts_[name];
      if (suspended_.contains(name)) {
        replies += Crlf("@msg-id=msg_channel_suspended " + std::string{kServer} + " NOTICE #" +
                        name + " :This channel does not exist or has been suspended.");
        continue;
      }
      const std::string& nick = info.nick;
      replies += Crlf(":" + nick + "!" + nick + "@" + nick + ".tmi.twitch.tv JOIN #" + name);
      replies += Crlf(":" + nick + ".tmi.twitch.tv 353 " + nick + " = #" + name + " :" + nick);
      replies +=
          Crlf(":" + nick + ".tmi.twitch.tv 366 " + nick + " #" + name + " :End of /NAMES list");
      if (const auto room = rooms_.find(name); room != rooms_.end()) {
        if (info.signedIn) {
          replies += Crlf("@badge-info=;badges=;color=;display-name=" + nick +
                          ";emote-sets=0;mod=0;subscriber=0;user-type= :tmi.twitch.tv "
                          "USERSTATE #" +
                          name);
        }
        replies += Crlf(TwitchRoomStateLine({name, room->second}));
      }
    }
  } else if (command == "PART") {
    std::string_view channel = Argument(rest);
    if (channel.starts_with('#')) channel.remove_prefix(1);
    std::erase(info.joined, std::string{channel});
  } else if (command == "PONG") {
    ++info.pongs;
    ++pongs_;
    client.pingOutstanding = false;
  } else if (command == "PING") {
    replies += Crlf(std::string{kServer} + " PONG tmi.twitch.tv :" + std::string{Argument(rest)});
  } else if (command == "PRIVMSG") {
    info.said.emplace_back(line);
  }
}

std::vector<std::shared_ptr<WsPeer>> TwitchChatService::PeersLocked(
    std::string_view channel) const {
  std::vector<std::shared_ptr<WsPeer>> peers;
  for (const Client& client : clients_) {
    const auto peer = client.peer.lock();
    if (!peer || !client.info.open || !client.info.registered) continue;
    if (!channel.empty() && std::find(client.info.joined.begin(), client.info.joined.end(),
                                      channel) == client.info.joined.end()) {
      continue;
    }
    peers.push_back(peer);
  }
  return peers;
}

bool TwitchChatService::HasJoinedLocked(std::string_view channel) const {
  for (const Client& client : clients_) {
    if (client.info.open && !client.info.joined.empty() &&
        (channel.empty() || std::find(client.info.joined.begin(), client.info.joined.end(),
                                      channel) != client.info.joined.end())) {
      return true;
    }
  }
  return false;
}

int TwitchChatService::Broadcast(const std::vector<std::shared_ptr<WsPeer>>& peers,
                                 std::string_view text) {
  int sent{0};
  for (const auto& peer : peers) sent += peer->SendText(text) ? 1 : 0;
  return sent;
}

int TwitchChatService::SendToChannel(std::string_view channel, std::string_view text) {
  std::vector<std::shared_ptr<WsPeer>> peers;
  {
    std::lock_guard lock{mutex_};
    if (channel.starts_with('#')) channel.remove_prefix(1);
    peers = PeersLocked(channel.empty() ? std::string_view{"\n"} : channel);
    if (sentObserver_) sentObserver_(text);
  }
  return Broadcast(peers, text);
}

int TwitchChatService::SendToAll(std::string_view text) {
  std::vector<std::shared_ptr<WsPeer>> peers;
  {
    std::lock_guard lock{mutex_};
    peers = PeersLocked({});
    if (sentObserver_) sentObserver_(text);
  }
  return Broadcast(peers, text);
}

int TwitchChatService::SendLines(std::string_view channel, const std::vector<std::string>& lines) {
  std::string frame;
  for (const auto& line : lines) frame += Crlf(line);
  return SendToChannel(channel, frame);
}

int TwitchChatService::SendReconnect() { return SendToAll(Crlf(":tmi.twitch.tv RECONNECT")); }

int TwitchChatService::SendPing(std::string_view token) {
  std::vector<std::shared_ptr<WsPeer>> peers;
  {
    std::lock_guard lock{mutex_};
    peers = PeersLocked({});
    for (Client& client : clients_) {
      if (client.info.open && client.info.registered) client.pingOutstanding = true;
    }
  }
  return Broadcast(peers, Crlf("PING :" + std::string{token}));
}

void TwitchChatService::DropAll() {
  std::vector<std::shared_ptr<WsPeer>> peers;
  {
    std::lock_guard lock{mutex_};
    for (const Client& client : clients_) {
      if (auto peer = client.peer.lock(); peer && client.info.open) peers.push_back(peer);
    }
  }
  for (const auto& peer : peers) peer->Drop();
}

void TwitchChatService::SetPingInterval(int intervalMs) {
  StopThread(pingerStop_, pinger_);
  if (intervalMs <= 0) return;
  pingerStop_ = false;
  pinger_ = std::thread{[this, intervalMs] {
    while (true) {
      std::vector<std::shared_ptr<WsPeer>> silent;
      {
        std::unique_lock lock{mutex_};
        if (changed_.wait_for(lock, milliseconds{intervalMs},
                              [this] { return pingerStop_.load(); })) {
          return;
        }
        for (const Client& client : clients_) {
          if (auto peer = client.peer.lock(); peer && client.info.open && client.pingOutstanding) {
            silent.push_back(peer);
          }
        }
      }
      for (const auto& peer : silent) peer->Drop();  // no PONG since the last PING
      SendPing();
    }
  }};
}

std::vector<TwitchChatClient> TwitchChatService::Clients() const {
  std::lock_guard lock{mutex_};
  std::vector<TwitchChatClient> out;
  for (const Client& client : clients_) out.push_back(client.info);
  return out;
}

bool TwitchChatService::WaitForJoins(std::string_view channel, size_t count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return changed_.wait_for(lock, milliseconds{timeoutMs}, [&] {
    const auto it = joinCounts_.find(channel);
    return it != joinCounts_.end() && it->second >= count;
  });
}

bool TwitchChatService::WaitForPongs(int count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return changed_.wait_for(lock, milliseconds{timeoutMs}, [&] { return pongs_ >= count; });
}

void TwitchChatService::StopThread(std::atomic<bool>& flag, std::thread& thread) {
  {
    std::lock_guard lock{mutex_};  // so a waiter cannot miss the wake-up
    flag = true;
  }
  changed_.notify_all();
  if (thread.joinable()) thread.join();
}

void TwitchChatService::StartTraffic(std::string channel, double perSecond, uint64_t seed) {
  StopTraffic();
  TwitchRoom room;
  {
    std::lock_guard lock{mutex_};
    const auto it = rooms_.find(channel);
    if (it == rooms_.end()) return;
    room = {it->first, it->second};
  }
  trafficStop_ = false;
  const auto interval = milliseconds{static_cast<int64_t>(1000.0 / std::max(perSecond, 0.01))};
  traffic_ = std::thread{[this, room, interval, seed] {
    TwitchTraffic traffic{room, seed};
    while (true) {
      {
        std::unique_lock lock{mutex_};
        if (changed_.wait_for(lock, interval, [this] { return trafficStop_.load(); })) return;
      }
      SendLines(room.channel, traffic.Next(WallMs()));
    }
  }};
}

void TwitchChatService::StopTraffic() { StopThread(trafficStop_, traffic_); }

void TwitchChatService::StartReplay(std::vector<std::string> lines, int intervalMs,
                                    std::string channel) {
  StopThread(replayStop_, replay_);
  replayStop_ = false;
  {
    std::lock_guard lock{mutex_};
    replayDone_ = false;
  }
  replay_ = std::thread{[this, lines = std::move(lines), intervalMs, channel] {
    const auto stopped = [this] { return replayStop_.load(); };
    {
      std::unique_lock lock{mutex_};
      changed_.wait(lock, [&] { return stopped() || HasJoinedLocked(channel); });
    }
    for (const std::string& line : lines) {
      if (stopped()) break;
      std::vector<std::shared_ptr<WsPeer>> peers;
      {
        std::lock_guard lock{mutex_};
        peers = PeersLocked(channel);
        if (channel.empty()) {  // every client joined to some channel
          std::erase_if(peers, [this](const auto& peer) {
            for (const Client& c : clients_) {
              if (c.peer.lock() == peer) return c.info.joined.empty();
            }
            return true;
          });
        }
        if (sentObserver_) sentObserver_(line);
      }
      Broadcast(peers, Crlf(line));
      if (intervalMs > 0) {
        std::unique_lock lock{mutex_};
        if (changed_.wait_for(lock, milliseconds{intervalMs}, stopped)) break;
      }
    }
    std::lock_guard lock{mutex_};
    replayDone_ = true;
    changed_.notify_all();
  }};
}

bool TwitchChatService::ReplayFinished() const {
  std::lock_guard lock{mutex_};
  return replayDone_;
}

std::optional<std::vector<std::string>> ReadTwitchCapture(const std::string& path) {
  std::ifstream file{path, std::ios::binary};
  if (!file) return std::nullopt;
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace vlo::sim
