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

#include "core/Endpoints.h"
#include "core/Platform.h"
#include "emotes/EmoteTypes.h"

namespace vlo {

// The provider emote catalogues: global sets and the sets of the channel read on Twitch and
// Kick. Downloads run on background threads; lookups are answered from memory. Thread-safe.
class EmoteRegistry {
 public:
  explicit EmoteRegistry(const Endpoints& endpoints = {});
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
  // Reports of downloads finished since the last call.
  std::vector<FetchReport> TakeReports();
  // Called on a download thread (or the SetChannel caller's thread) without the lock held.
  void SetOnChange(std::function<void()> callback);
  // Sets stopping and waits for every running download.
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
  void NotifyChange();
  static const EmoteDef* Lookup(const EmoteMap& map, std::string_view word);

  const Endpoints endpoints_;
  const NativeImageHosts hosts_;

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
