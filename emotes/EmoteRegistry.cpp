#include "emotes/EmoteRegistry.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <span>
#include <utility>

#include "emotes/CatalogueParsers.h"

namespace vlo {
namespace {

// Only numeric ids are looked up in the catalogues; anything else would be an odd path.
bool IsNumericId(std::string_view id) {
  if (id.empty() || id.size() > 23) return false;
  for (char c : id) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

EmoteRegistry::EmoteMap& EmoteRegistry::Sets::For(EmoteSource source) {
  switch (source) {
    case EmoteSource::BetterTtv:
      return bttv;
    case EmoteSource::FrankerFaceZ:
      return ffz;
    default:
      return sevenTv;
  }
}

void EmoteRegistry::Sets::Clear() {
  sevenTv.clear();
  bttv.clear();
  ffz.clear();
}

EmoteRegistry::EmoteRegistry(const Endpoints& endpoints, Clock& clock)
    : endpoints_{endpoints}, hosts_{NativeImageHosts::From(endpoints)}, clock_{clock} {}

EmoteRegistry::~EmoteRegistry() { Stop(); }

void EmoteRegistry::Fetch(plx::PlatformId platform, bool channel, EmoteSource source,
                          std::string channelId, std::string url, uint32_t timeoutMs) {
  std::lock_guard lock{tasksMutex_};
  for (auto it = tasks_.begin(); it != tasks_.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = tasks_.erase(it);
    } else {
      ++it;
    }
  }
  if (stopping_.load()) return;
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread{[this, platform, channel, source, channelId = std::move(channelId),
                      url = std::move(url), timeoutMs, done] {
    RunFetch(platform, channel, source, channelId, url, timeoutMs);
    done->store(true);
  }};
  tasks_.push_back(Task{std::move(thread), std::move(done)});
}

void EmoteRegistry::FetchGlobals() {
  const auto twitch = plx::PlatformId::Twitch;
  Fetch(twitch, false, EmoteSource::SevenTv, {}, endpoints_.sevenTvApi + "/v3/emote-sets/global",
        15000);
  Fetch(twitch, false, EmoteSource::BetterTtv, {}, endpoints_.bttvApi + "/3/cached/emotes/global",
        15000);
  Fetch(twitch, false, EmoteSource::FrankerFaceZ, {}, endpoints_.ffzApi + "/v1/set/global", 10000);
}

void EmoteRegistry::SetChannel(plx::PlatformId platform, std::string_view channelId) {
  if (platform != plx::PlatformId::Twitch && platform != plx::PlatformId::Kick) return;
  const bool kick = platform == plx::PlatformId::Kick;
  {
    std::lock_guard lock{mutex_};
    std::string& current = kick ? kickChannel_ : twitchChannel_;
    if (current == channelId) return;
    current = std::string{channelId};
    (kick ? kick_ : twitch_).Clear();
  }
  NotifyChange();
  if (!IsNumericId(channelId)) return;
  const std::string id{channelId};
  if (kick) {
    Fetch(platform, true, EmoteSource::SevenTv, id, endpoints_.sevenTvApi + "/v3/users/kick/" + id,
          15000);
    return;
  }
  Fetch(platform, true, EmoteSource::SevenTv, id, endpoints_.sevenTvApi + "/v3/users/twitch/" + id,
        15000);
  Fetch(platform, true, EmoteSource::BetterTtv, id,
        endpoints_.bttvApi + "/3/cached/users/twitch/" + id, 15000);
  Fetch(platform, true, EmoteSource::FrankerFaceZ, id, endpoints_.ffzApi + "/v1/room/id/" + id,
        10000);
}

const EmoteDef* EmoteRegistry::Lookup(const EmoteMap& map, std::string_view word) {
  auto it = map.find(word);
  return it == map.end() ? nullptr : &it->second;
}

std::optional<EmoteDef> EmoteRegistry::Find(plx::PlatformId platform, std::string_view word) const {
  std::lock_guard lock{mutex_};
  const EmoteMap* twitchOrder[] = {&twitch_.sevenTv, &twitch_.bttv, &twitch_.ffz,
                                   &global_.sevenTv, &global_.bttv, &global_.ffz};
  const EmoteMap* kickOrder[] = {&kick_.sevenTv, &global_.sevenTv};
  std::span<const EmoteMap* const> order;
  if (platform == plx::PlatformId::Twitch) order = twitchOrder;
  if (platform == plx::PlatformId::Kick) order = kickOrder;
  for (const EmoteMap* map : order) {
    if (const EmoteDef* def = Lookup(*map, word)) return *def;
  }
  return std::nullopt;
}

std::vector<FetchReport> EmoteRegistry::TakeReports() {
  std::lock_guard lock{mutex_};
  return std::exchange(reports_, {});
}

void EmoteRegistry::SetOnChange(std::function<void()> callback) {
  std::lock_guard lock{mutex_};
  onChange_ = std::move(callback);
}

void EmoteRegistry::Stop() {
  stopping_.store(true);
  std::list<Task> tasks;
  {
    std::lock_guard lock{tasksMutex_};
    tasks.swap(tasks_);
  }
  for (Task& task : tasks) {
    if (task.thread.joinable()) task.thread.join();
  }
}

std::string EmoteRegistry::ChannelId(plx::PlatformId platform) const {
  std::lock_guard lock{mutex_};
  if (platform == plx::PlatformId::Twitch) return twitchChannel_;
  if (platform == plx::PlatformId::Kick) return kickChannel_;
  return {};
}

bool EmoteRegistry::StillWanted(plx::PlatformId platform, bool channel,
                                const std::string& channelId) const {
  if (stopping_.load()) return false;
  if (!channel) return true;
  std::lock_guard lock{mutex_};
  return (platform == plx::PlatformId::Kick ? kickChannel_ : twitchChannel_) == channelId;
}

// Runs on a fetch task's thread.
void EmoteRegistry::RunFetch(plx::PlatformId platform, bool channel, EmoteSource source,
                             const std::string& channelId, const std::string& url,
                             uint32_t timeoutMs) {
  const auto wanted = [&] { return StillWanted(platform, channel, channelId); };
  plx::HttpRequest request;
  request.url = url;
  request.timeoutMs = timeoutMs;
  request.control = {&clock_, [this] { return !stopping_.load(); }};
  int64_t backoff = kFirstRetryMs;
  for (bool first = true;; first = false) {
    const plx::HttpResponse response = plx::Perform(request);
    if (Apply(platform, channel, source, channelId, response, first) != Applied::Failed) return;
    const int64_t wait = std::clamp(int64_t{response.retryAfter} * 1000, backoff, kMaxRetryMs);
    backoff = std::min(backoff * 2, kMaxRetryMs);
    if (!clock_.WaitWhile(wait, wanted)) return;
  }
}

EmoteRegistry::Applied EmoteRegistry::Apply(plx::PlatformId platform, bool channel,
                                            EmoteSource source, const std::string& channelId,
                                            const plx::HttpResponse& response, bool report) {
  if (stopping_.load()) return Applied::Unwanted;
  std::vector<EmoteDef> defs;
  bool failed = false;
  std::string reason;
  if (response.status >= 200 && response.status <= 299) {
    // A body that is not JSON at all comes from something in the way (a proxy's or a portal's
    // page), not from the catalogue: a failure, tried again. JSON of another shape is the
    // catalogue's answer: an empty set.
    if (nlohmann::json::accept(response.body)) {
      defs = ParseCatalogue(source, response.body, channel, hosts_);
    } else {
      failed = true;
      reason = "unreadable answer";
    }
  } else if (response.status != 404) {
    failed = true;  // no answer, or an error status: the set stays empty
    reason = response.status == 0 ? response.error : "HTTP " + std::to_string(response.status);
  }
  {
    std::lock_guard lock{mutex_};
    Sets* sets = &global_;
    if (channel) {
      const bool kick = platform == plx::PlatformId::Kick;
      if ((kick ? kickChannel_ : twitchChannel_) != channelId) return Applied::Unwanted;
      sets = kick ? &kick_ : &twitch_;
    }
    EmoteMap map;
    for (EmoteDef& def : defs) {
      std::string name = def.name;
      map.try_emplace(std::move(name), std::move(def));
    }
    sets->For(source) = std::move(map);
    // A retry that failed again has nothing new to say.
    if (report || !failed) {
      reports_.push_back(FetchReport{.platform = platform,
                                     .channel = channel,
                                     .source = source,
                                     .count = static_cast<int>(defs.size()),
                                     .failed = failed,
                                     .reason = std::move(reason)});
    }
  }
  if (report || !failed) NotifyChange();
  return failed ? Applied::Failed : Applied::Done;
}

void EmoteRegistry::NotifyChange() {
  std::function<void()> callback;
  {
    std::lock_guard lock{mutex_};
    callback = onChange_;
  }
  if (callback) callback();
}

}  // namespace vlo
