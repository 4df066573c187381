#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/Clock.h"
#include "emotes/DecodedImage.h"

namespace vlo {

// Hash of image keys: 64-bit FNV-1a of the key bytes.
struct ImageKeyHash {
  size_t operator()(std::string_view key) const;
};

// Loads emote images by key (an https URL) on a pool of worker threads: from the disk cache when
// the key was downloaded before, else over HTTP; decodes them and keeps them for the whole run.
// A key is loaded at most once, and a key that failed for good (an error status, bytes that do
// not decode, a body over 8 MiB) stays failed until the next run. A download that got no answer,
// a server error or a 429 is only failed for a while: asked for again after kRetryMs (or the
// answer's Retry-After), it is loaded anew, so images lost to a network fault come back.
class ImageCache {
 public:
  static constexpr int64_t kRetryMs = 60'000;

  // Creates `folder` (and its parents; errors ignored) and starts `workers` threads. Retry
  // times are read from `clock`.
  explicit ImageCache(std::filesystem::path folder, int workers = 4, Clock& clock = SystemClock());
  // Clears the callback, stops and joins the workers; a running download ends within 100 ms.
  ~ImageCache();
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;

  // Any thread. The image when loaded; otherwise nothing, and an https key not yet seen is queued.
  // Any other key is failed at once.
  SharedImage GetImage(const std::string& key);
  // Any thread.
  bool IsFailed(const std::string& key) const;
  // Called on a worker thread, without the lock, after each key finished (loaded or failed).
  // An empty callable clears it.
  void SetOnArrival(std::function<void()> callback);

  const std::filesystem::path& Folder() const { return folder_; }

  // "%016llx.img" of the key's 64-bit FNV-1a hash started from 0x14650fb0739d0383.
  static std::string CacheFileName(std::string_view key);

 private:
  struct Loaded {
    SharedImage image;
    int64_t retryAtMs{0};  // a failure that may be tried again from then on; 0 = for good
  };

  void WorkerLoop();
  Loaded Load(const std::string& key) const;

  const std::filesystem::path folder_;
  Clock& clock_;
  // Set under mutex_ (for wake_), read without it too: it also ends running downloads.
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::condition_variable wake_;  // queue_ grew or stop_ set
  // Guarded by mutex_:
  std::unordered_map<std::string, SharedImage, ImageKeyHash> decoded_;
  std::unordered_set<std::string, ImageKeyHash> pending_;
  std::unordered_set<std::string, ImageKeyHash> failed_;
  std::unordered_map<std::string, int64_t, ImageKeyHash> retryAt_;  // of failed_ keys, clock ms
  std::deque<std::string> queue_;
  std::function<void()> onArrival_;
  std::vector<std::thread> workers_;
};

}  // namespace vlo
