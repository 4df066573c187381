#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/Accounts.h"
#include "core/ChatMessage.h"
#include "core/Clock.h"
#include "core/Closable.h"
#include "core/PlatformStatus.h"
#include "core/RowStore.h"

namespace vlo {

enum class RemovalKind : int32_t { Message = 0, Author = 1, Chat = 2 };

struct Removal {
  RemovalKind kind{RemovalKind::Message};
  plx::PlatformId platform{plx::PlatformId::Twitch};
  std::string id;  // platform message id (Message) or author id (Author); unused for Chat

  bool operator==(const Removal&) const = default;
};

struct ChatTargets {
  std::string twitchChannel;
  std::string kickChannel;
  std::string youtubeTarget;
};

class ChatHub;

// A reader's thread entry: runs on the reader's own thread until it has nothing more to do or
// the hub no longer wants it (IsWanted).
using ReaderEntry = std::function<void(ChatHub& hub)>;

// Owns the reader threads, the merged rows, the per-platform statuses, the targets, the ids the
// actions need and each reader's open socket. Every operation may be called from any thread.
// Lock order: lifecycle lock, then data lock. The data lock is never held across a network call,
// a callback or a join.
class ChatHub {
 public:
  static constexpr size_t kMaxRows = 1000;
  static constexpr int64_t kEchoLifetimeMs = 20000;

  explicit ChatHub(AccountOperations& accounts, Clock& clock = SystemClock());
  ~ChatHub();
  ChatHub(const ChatHub&) = delete;
  ChatHub& operator=(const ChatHub&) = delete;

  // --- Lifetime and control (window thread) ---

  // Called after every change, on whichever thread made it, without any hub lock held.
  void SetChangedCallback(std::function<void()> callback);
  // Further observers of every change (the overlay server), called the same way after the
  // changed callback. The handle removes it again; a call already under way on another thread
  // may still finish after RemoveChangeListener returns.
  uint64_t AddChangeListener(std::function<void()> listener);
  void RemoveChangeListener(uint64_t handle);
  void SetTargets(ChatTargets targets);
  ChatTargets Targets() const;
  void SetShowAlerts(bool show) { showAlerts_.store(show); }
  bool ShowAlerts() const { return showAlerts_.load(); }
  // The thread entry for one platform; until one is set the platform reports Off and ends.
  // Set before Start.
  void SetReaderEntry(plx::PlatformId platform, ReaderEntry entry);

  void Start();
  // Stops every reader for good; Stopped() is true from then on (any thread may ask).
  void Stop();
  bool Stopped() const { return stopped_.load(); }
  void RestartPlatform(plx::PlatformId platform);
  // Reads the platform's account from the store into its status (signedIn, account) and
  // notifies, without touching the reader: the window shows a sign-in or sign-out at once while
  // the reader restarts.
  void RefreshAccount(plx::PlatformId platform);

  std::vector<plx::ChatRow> Snapshot() const;
  PlatformStatus GetStatus(plx::PlatformId platform) const;
  uint64_t Revision() const { return revision_.load(); }

  // --- For the readers and the actions ---

  // The message is moved into the hub's rows (copied from an lvalue).
  void AddMessage(plx::ChatMessage&& message);
  void AddMessage(const plx::ChatMessage& message) { AddMessage(plx::ChatMessage{message}); }
  void ApplyRemoval(const Removal& removal);
  void PostSystemLine(plx::PlatformId platform, std::string text);
  void SetStatus(plx::PlatformId platform, ConnectionState state, std::string channel,
                 std::string detail);
  void SetCanSend(plx::PlatformId platform, bool canSend);
  void SetBroadcasterId(plx::PlatformId platform, std::string id);
  // The platform id the actions need: Twitch room id, YouTube live chat id, Kick broadcaster
  // user id.
  void SetPlatformId(plx::PlatformId platform, std::string id);
  std::string PlatformIdOf(plx::PlatformId platform) const;
  void RegisterSocket(plx::PlatformId platform, std::shared_ptr<Closable> socket);

  // Records that `text` was just sent to `platforms`; their copies of it are dropped for 20 s.
  void ExpectEcho(std::string_view text, const std::vector<plx::PlatformId>& platforms);
  // Keeps only `platforms` in the echo entry of `text` (the ones where the send succeeded).
  void KeepEchoFor(std::string_view text, const std::vector<plx::PlatformId>& platforms);

  bool IsWanted(plx::PlatformId platform) const;
  // Waits while the platform is wanted; false as soon as it is not (checked every 100 ms).
  bool WaitWhileWanted(plx::PlatformId platform, int64_t ms);
  // The fresh token when it exists, has an access token and needs no reconnection.
  std::optional<plx::TokenRecord> UsableToken(plx::PlatformId platform);

  AccountOperations& Accounts() { return accounts_; }
  Clock& GetClock() { return clock_; }

  // The echo key: the text trimmed of ASCII white space, ASCII capitals lower-cased.
  static std::string EchoKey(std::string_view text);
  // The same, written into `key` (whose capacity is reused).
  static void EchoKeyInto(std::string_view text, std::string& key);

 private:
  struct Reader {
    std::thread thread;
    std::atomic<bool> stop{false};
    ReaderEntry entry;  // guarded by lifecycleLock_
  };
  struct Echo {
    int64_t expiryMs{0};
    std::vector<plx::PlatformId> platforms;
  };

  static size_t Slot(plx::PlatformId platform);
  void Notify();
  using Listeners = std::vector<std::pair<uint64_t, std::function<void()>>>;
  // The changed callback and the further listeners, replaced whole whenever one of them
  // changes, so that a notification keeps them alive with a single reference.
  struct Observers {
    std::function<void()> callback;  // may be empty
    Listeners listeners;
  };
  // Under the data lock; null when nothing observes.
  std::shared_ptr<const Observers> ObserversLocked() const { return observers_; }
  // Notify with the observers already taken under the data lock (null = none).
  void NotifyWith(const Observers* observers);
  // A copy of `current` (or an empty set) to become the next version of the observers.
  static std::shared_ptr<Observers> NextObservers(const std::shared_ptr<const Observers>& current);
  // Null when the set observes nothing, so that a change then takes no reference at all.
  static std::shared_ptr<const Observers> Published(std::shared_ptr<Observers> next);
  void StartPlatform(plx::PlatformId platform);
  void StopPlatform(plx::PlatformId platform);
  PlatformStatus& StatusLocked(plx::PlatformId platform);
  bool AddMessageLocked(plx::ChatMessage&& message);

  AccountOperations& accounts_;
  Clock& clock_;
  std::atomic<uint64_t> revision_{0};
  std::atomic<bool> showAlerts_{true};

  std::mutex lifecycleLock_;
  std::array<Reader, 3> readers_;  // Twitch, YouTube, Kick
  std::atomic<bool> running_{false};
  std::atomic<bool> stopped_{false};  // Stop was called; never cleared

  mutable std::mutex dataLock_;                 // guards every member below
  std::shared_ptr<const Observers> observers_;  // replaced, never changed in place
  uint64_t nextListener_{1};
  RowStore rows_{kMaxRows};
  std::map<int32_t, PlatformStatus> statuses_;
  std::map<std::string, Echo, std::less<>> echoes_;
  int64_t nextEchoExpiryMs_{0};  // no entry of echoes_ expires before this
  std::string echoKey_;          // reused for the echo key of each arriving message
  ChatTargets targets_;
  std::array<std::string, 3> platformIds_;
  std::map<int32_t, std::shared_ptr<Closable>> sockets_;
};

}  // namespace vlo
