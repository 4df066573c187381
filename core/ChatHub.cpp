#include "core/ChatHub.h"

#include <algorithm>

namespace vlo {

using plx::PlatformId;

const char* ConnectionStateName(ConnectionState state) {
  switch (state) {
    case ConnectionState::Off:
      return "off";
    case ConnectionState::Connecting:
      return "connecting";
    case ConnectionState::Connected:
      return "connected";
    case ConnectionState::Offline:
      return "offline";
    case ConnectionState::Problem:
      return "problem";
  }
  return "off";
}

ChatHub::ChatHub(AccountOperations& accounts, Clock& clock) : accounts_{accounts}, clock_{clock} {}

ChatHub::~ChatHub() { Stop(); }

size_t ChatHub::Slot(PlatformId platform) {
  switch (platform) {
    case PlatformId::YouTube:
      return 1;
    case PlatformId::Kick:
      return 2;
    default:
      return 0;
  }
}

std::shared_ptr<ChatHub::Observers> ChatHub::NextObservers(
    const std::shared_ptr<const Observers>& current) {
  return current ? std::make_shared<Observers>(*current) : std::make_shared<Observers>();
}

std::shared_ptr<const ChatHub::Observers> ChatHub::Published(std::shared_ptr<Observers> next) {
  if (!next->callback && next->listeners.empty()) return nullptr;
  return next;
}

void ChatHub::SetChangedCallback(std::function<void()> callback) {
  std::lock_guard lock{dataLock_};
  auto next = NextObservers(observers_);
  next->callback = std::move(callback);
  observers_ = Published(std::move(next));
}

uint64_t ChatHub::AddChangeListener(std::function<void()> listener) {
  std::lock_guard lock{dataLock_};
  auto next = NextObservers(observers_);
  const uint64_t handle = nextListener_++;
  next->listeners.emplace_back(handle, std::move(listener));
  observers_ = Published(std::move(next));
  return handle;
}

void ChatHub::RemoveChangeListener(uint64_t handle) {
  std::lock_guard lock{dataLock_};
  if (!observers_) return;
  auto next = NextObservers(observers_);
  std::erase_if(next->listeners, [handle](const auto& entry) { return entry.first == handle; });
  observers_ = Published(std::move(next));
}

void ChatHub::SetTargets(ChatTargets targets) {
  std::lock_guard lock{dataLock_};
  targets_ = std::move(targets);
}

ChatTargets ChatHub::Targets() const {
  std::lock_guard lock{dataLock_};
  return targets_;
}

void ChatHub::SetReaderEntry(PlatformId platform, ReaderEntry entry) {
  std::lock_guard lock{lifecycleLock_};
  readers_[Slot(platform)].entry = std::move(entry);
}

void ChatHub::Notify() {
  std::shared_ptr<const Observers> observers;
  {
    std::lock_guard lock{dataLock_};
    observers = ObserversLocked();
  }
  NotifyWith(observers.get());
}

void ChatHub::NotifyWith(const Observers* observers) {
  revision_.fetch_add(1);
  if (!observers) return;
  if (observers->callback) observers->callback();
  for (const auto& entry : observers->listeners) entry.second();
}

// --- Rows ---

std::string ChatHub::EchoKey(std::string_view text) {
  std::string key;
  EchoKeyInto(text, key);
  return key;
}

void ChatHub::EchoKeyInto(std::string_view text, std::string& key) {
  constexpr std::string_view kSpace = " \t\n\v\f\r";
  key.clear();
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return;
  key.assign(text.substr(first, text.find_last_not_of(kSpace) - first + 1));
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

bool ChatHub::AddMessageLocked(plx::ChatMessage&& message) {
  const uint64_t idHash = RowStore::HashId(message.id);
  if (rows_.ContainsId(message.id, idHash)) return false;

  if (!echoes_.empty()) {
    if (const int64_t now = clock_.NowMs(); now >= nextEchoExpiryMs_) {
      std::erase_if(echoes_, [now](const auto& entry) { return entry.second.expiryMs <= now; });
      nextEchoExpiryMs_ = INT64_MAX;
      for (const auto& entry : echoes_) {
        nextEchoExpiryMs_ = std::min(nextEchoExpiryMs_, entry.second.expiryMs);
      }
    }
    if (!echoes_.empty() && plx::IsViewerMessage(message)) {
      EchoKeyInto(message.body, echoKey_);
      const auto it = echoes_.find(echoKey_);
      if (it != echoes_.end()) {
        auto& platforms = it->second.platforms;
        const auto match = std::find(platforms.begin(), platforms.end(), message.platform);
        if (match != platforms.end()) {
          platforms.erase(match);
          return false;
        }
      }
    }
  }

  rows_.Push(std::move(message), idHash);
  return true;
}

void ChatHub::AddMessage(plx::ChatMessage&& message) {
  std::shared_ptr<const Observers> observers;
  {
    std::lock_guard lock{dataLock_};
    if (!AddMessageLocked(std::move(message))) return;
    observers = ObserversLocked();
  }
  NotifyWith(observers.get());
}

void ChatHub::ApplyRemoval(const Removal& removal) {
  bool changed = false;
  {
    std::lock_guard lock{dataLock_};
    switch (removal.kind) {
      case RemovalKind::Message:
        changed = rows_.DeleteMessage(removal.platform, removal.id);
        break;
      case RemovalKind::Author:
        changed = rows_.DeleteAuthor(removal.platform, removal.id);
        break;
      case RemovalKind::Chat:
        rows_.ForEach([&removal](plx::ChatRow& row) {
          if (!row.deleted && row.platform == removal.platform && plx::IsViewerMessage(row)) {
            row.deleted = true;
          }
        });
        break;
    }
  }
  if (removal.kind == RemovalKind::Chat) {
    PostSystemLine(removal.platform, "A moderator cleared the chat");
  } else if (changed) {
    Notify();
  }
}

void ChatHub::PostSystemLine(PlatformId platform, std::string text) {
  const int64_t now = clock_.NowMs();
  plx::ChatMessage message;
  message.id = plx::MakeLocalId("sys-", now);
  message.platform = platform;
  message.author = "Velaro Chat";
  message.body = std::move(text);
  message.timestampMs = now;
  message.tags = {"system"};
  AddMessage(std::move(message));
}

std::vector<plx::ChatRow> ChatHub::Snapshot() const {
  std::lock_guard lock{dataLock_};
  std::vector<plx::ChatRow> rows;
  rows.reserve(rows_.Size());
  rows_.ForEach([&rows](const plx::ChatRow& row) { rows.push_back(row); });
  return rows;
}

// --- Statuses and ids ---

PlatformStatus& ChatHub::StatusLocked(PlatformId platform) {
  return statuses_[static_cast<int32_t>(platform)];
}

PlatformStatus ChatHub::GetStatus(PlatformId platform) const {
  std::lock_guard lock{dataLock_};
  const auto it = statuses_.find(static_cast<int32_t>(platform));
  return it == statuses_.end() ? PlatformStatus{} : it->second;
}

void ChatHub::SetStatus(PlatformId platform, ConnectionState state, std::string channel,
                        std::string detail) {
  {
    std::lock_guard lock{dataLock_};
    PlatformStatus& status = StatusLocked(platform);
    status.state = state;
    status.channel = std::move(channel);
    status.detail = std::move(detail);
  }
  Notify();
}

void ChatHub::SetCanSend(PlatformId platform, bool canSend) {
  {
    std::lock_guard lock{dataLock_};
    StatusLocked(platform).canSend = canSend;
  }
  Notify();
}

void ChatHub::SetBroadcasterId(PlatformId platform, std::string id) {
  {
    std::lock_guard lock{dataLock_};
    StatusLocked(platform).broadcasterId = std::move(id);
  }
  Notify();
}

void ChatHub::SetPlatformId(PlatformId platform, std::string id) {
  std::lock_guard lock{dataLock_};
  platformIds_[Slot(platform)] = std::move(id);
}

std::string ChatHub::PlatformIdOf(PlatformId platform) const {
  std::lock_guard lock{dataLock_};
  return platformIds_[Slot(platform)];
}

void ChatHub::RegisterSocket(PlatformId platform, std::shared_ptr<Closable> socket) {
  std::lock_guard lock{dataLock_};
  if (socket) {
    sockets_[static_cast<int32_t>(platform)] = std::move(socket);
  } else {
    sockets_.erase(static_cast<int32_t>(platform));
  }
}

// --- Echoes ---

void ChatHub::ExpectEcho(std::string_view text, const std::vector<PlatformId>& platforms) {
  const int64_t expiry = clock_.NowMs() + kEchoLifetimeMs;
  std::lock_guard lock{dataLock_};
  echoes_[EchoKey(text)] = Echo{expiry, platforms};
  nextEchoExpiryMs_ = echoes_.size() == 1 ? expiry : std::min(nextEchoExpiryMs_, expiry);
}

void ChatHub::KeepEchoFor(std::string_view text, const std::vector<PlatformId>& platforms) {
  std::lock_guard lock{dataLock_};
  const auto it = echoes_.find(EchoKey(text));
  if (it == echoes_.end()) return;
  std::erase_if(it->second.platforms, [&](PlatformId p) {
    return std::find(platforms.begin(), platforms.end(), p) == platforms.end();
  });
}

// --- Lifecycle ---

bool ChatHub::IsWanted(PlatformId platform) const {
  return running_.load() && !readers_[Slot(platform)].stop.load();
}

bool ChatHub::WaitWhileWanted(PlatformId platform, int64_t ms) {
  return clock_.WaitWhile(ms, [this, platform] { return IsWanted(platform); });
}

std::optional<plx::TokenRecord> ChatHub::UsableToken(PlatformId platform) {
  auto token = accounts_.GetFreshToken(platform);
  if (!token || token->accessToken.empty() || token->needsReconnect) return std::nullopt;
  return token;
}

void ChatHub::RefreshAccount(PlatformId platform) {
  const plx::AccountInfo info = accounts_.AccountFromStore(platform);
  {
    std::lock_guard lock{dataLock_};
    PlatformStatus& status = StatusLocked(platform);
    status.signedIn = info.signedIn && !info.needsReconnect;
    status.account = info.displayName ? *info.displayName : info.login ? *info.login : "";
  }
  Notify();
}

void ChatHub::StartPlatform(PlatformId platform) {
  Reader& reader = readers_[Slot(platform)];
  reader.stop.store(false);
  RefreshAccount(platform);
  ReaderEntry entry = reader.entry;
  reader.thread = std::thread{[this, platform, entry = std::move(entry)] {
    if (entry) {
      entry(*this);
    } else {
      SetStatus(platform, ConnectionState::Off, {}, {});
    }
  }};
}

void ChatHub::StopPlatform(PlatformId platform) {
  Reader& reader = readers_[Slot(platform)];
  reader.stop.store(true);
  std::shared_ptr<Closable> socket;
  {
    std::lock_guard lock{dataLock_};
    const auto it = sockets_.find(static_cast<int32_t>(platform));
    if (it != sockets_.end()) socket = it->second;
  }
  if (socket) socket->Close();
  if (reader.thread.joinable()) reader.thread.join();
  {
    std::lock_guard lock{dataLock_};
    sockets_.erase(static_cast<int32_t>(platform));
    platformIds_[Slot(platform)].clear();
    PlatformStatus& status = StatusLocked(platform);
    status.state = ConnectionState::Off;
    status.canSend = false;
    status.detail.clear();
    status.broadcasterId.clear();
  }
  Notify();
}

void ChatHub::Start() {
  std::lock_guard lock{lifecycleLock_};
  if (running_.load()) return;
  running_.store(true);
  for (PlatformId p : plx::kReadPlatforms) StartPlatform(p);
}

void ChatHub::Stop() {
  stopped_.store(true);
  std::lock_guard lock{lifecycleLock_};
  running_.store(false);
  for (PlatformId p : plx::kReadPlatforms) StopPlatform(p);
}

void ChatHub::RestartPlatform(PlatformId platform) {
  std::lock_guard lock{lifecycleLock_};
  if (!running_.load()) return;
  StopPlatform(platform);
  StartPlatform(platform);
}

}  // namespace vlo
