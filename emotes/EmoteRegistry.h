#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/Clock.h"
#include "core/Endpoints.h"
#include "core/Platform.h"
#include "emotes/EmoteTypes.h"
#include "net/Http.h"

namespace vlo {

// The provider emote catalogues: global sets and the sets of the channel read on Twitch and
// Kick. Downloads run on background threads; lookups are answered from memory. A download that
// failed (no answer, an error status other than 404, a body that is not JSON) is tried again by
// itself (after a minute, doubling up to ten minutes, or the answer's Retry-After), so a set lost
// to a network fault comes back. Thread-safe.
class EmoteRegistry {
 public:
  static constexpr int64_t kFirstRetryMs = 60'000;
  static constexpr int64_t kMaxRetryMs = 600'000;

  // Retry waits run on `clock`.
  explicit EmoteRegistry(const Endpoints& endpoints = {}, Clock& clock = SystemClock());
  // Stops (joins every running download).
  ~EmoteRegistry();
  EmoteRegistry(const EmoteRegistry&) = delete;
  EmoteRegistry& operator=(const EmoteRegistry&) = delete;

  // Starts one catalogue download in the background; nothing starts once stopping.
  void Fetch(plx::PlatformId platform, bool channel, EmoteSource source, std::string channelId,
             std::string url, uint32_t timeoutMs);
  // The 7TV, BetterTTV and FrankerFaceZ global sets.
  void FetchGlobals();
  // Twitch and Kick only. A new id empties that platform's channel sets (and reports a change);
  // an id of 1 to 23 ASCII digits then starts the channel downloads.
  void SetChannel(plx::PlatformId platform, std::string_view channelId);
  // Twitch: channel 7TV, BetterTTV, FrankerFaceZ, then the global ones. Kick: channel 7TV, then
  // global 7TV. Other platforms: nothing.
  std::optional<EmoteDef> Find(plx::PlatformId platform, std::string_view word) const;
  // Reports of downloads finished since the last call. A download that keeps failing is reported
  // once, at its first failure.
  std::vector<FetchReport> TakeReports();
  // Called on a download thread (or the SetChannel caller's thread) without the lock held.
  void SetOnChange(std::function<void()> callback);
  // Sets stopping and waits for every running download; a running request or retry wait ends
  // within 100 ms.
  void Stop();

  const NativeImageHosts& ImageHosts() const { return hosts_; }
  std::string ChannelId(plx::PlatformId platform) const;

 private:
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  using EmoteMap = std::unordered_map<std::string, EmoteDef, NameHash, std::equal_to<>>;
  struct Sets {
    EmoteMap sevenTv;
    EmoteMap bttv;
    EmoteMap ffz;
    EmoteMap& For(EmoteSource source);
    void Clear();
  };
  struct Task {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  void RunFetch(plx::PlatformId platform, bool channel, EmoteSource source,
                const std::string& channelId, const std::string& url, uint32_t timeoutMs);
  enum class Applied {
    Unwanted,  // stopping, or the channel was replaced meanwhile
    Failed,    // no catalogue's answer: tried again
    Done,      // a set, or 404 for none
  };
  // Applies one answer, reporting it unless `report` is false and it failed again.
  Applied Apply(plx::PlatformId platform, bool channel, EmoteSource source,
                const std::string& channelId, const plx::HttpResponse& response, bool report);
  bool StillWanted(plx::PlatformId platform, bool channel, const std::string& channelId) const;
  void NotifyChange();
  static const EmoteDef* Lookup(const EmoteMap& map, std::string_view word);

  const Endpoints endpoints_;
  const NativeImageHosts hosts_;
  Clock& clock_;

  mutable std::mutex mutex_;  // guards everything below up to tasks
  Sets global_;
  Sets twitch_;
  Sets kick_;  // only sevenTv is used
  std::string twitchChannel_;
  std::string kickChannel_;
  std::vector<FetchReport> reports_;
  std::function<void()> onChange_;

  std::atomic<bool> stopping_{false};
  std::mutex tasksMutex_;  // guards tasks_
  std::list<Task> tasks_;
};

}  // namespace vlo
