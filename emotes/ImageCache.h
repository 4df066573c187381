#pragma once

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

#include "emotes/DecodedImage.h"

namespace vlo {

// Hash of image keys: 64-bit FNV-1a of the key bytes.
struct ImageKeyHash {
  size_t operator()(std::string_view key) const;
};

// Loads emote images by key (an https URL) on a pool of worker threads: from the disk cache when
// the key was downloaded before, else over HTTP; decodes them and keeps them for the whole run.
// A key is loaded at most once; a failed key stays failed until the next run.
class ImageCache {
 public:
  // Creates `folder` (and its parents; errors ignored) and starts `workers` threads.
  explicit ImageCache(std::filesystem::path folder, int workers = 4);
  // Clears the callback, stops and joins the workers.
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

  // "%016llx.img" of the key's 64-bit FNV-1a hash started from 0x14650fb0739d0383.
  static std::string CacheFileName(std::string_view key);

 private:
  void WorkerLoop();
  SharedImage Load(const std::string& key) const;

  const std::filesystem::path folder_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;  // queue_ grew or stop_ set
  // Guarded by mutex_:
  std::unordered_map<std::string, SharedImage, ImageKeyHash> decoded_;
  std::unordered_set<std::string, ImageKeyHash> pending_;
  std::unordered_set<std::string, ImageKeyHash> failed_;
  std::deque<std::string> queue_;
  std::function<void()> onArrival_;
  bool stop_{false};
  std::vector<std::thread> workers_;
};

}  // namespace vlo
