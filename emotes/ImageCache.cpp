#include "emotes/ImageCache.h"

#include "core/TextRules.h"

namespace vlo {

size_t ImageKeyHash::operator()(std::string_view key) const {
  return static_cast<size_t>(Fnv1a64(key));
}

ImageCache::ImageCache(std::filesystem::path folder, int workers) : folder_{std::move(folder)} {
  (void)workers;
}

ImageCache::~ImageCache() = default;

SharedImage ImageCache::GetImage(const std::string& key) {
  std::lock_guard lock{mutex_};
  if (auto it = decoded_.find(key); it != decoded_.end()) return it->second;
  return nullptr;
}

bool ImageCache::IsFailed(const std::string& key) const {
  std::lock_guard lock{mutex_};
  return failed_.contains(key);
}

void ImageCache::SetOnArrival(std::function<void()> callback) {
  std::lock_guard lock{mutex_};
  onArrival_ = std::move(callback);
}

std::string ImageCache::CacheFileName(std::string_view key) {
  (void)key;
  return {};
}

void ImageCache::WorkerLoop() {}

SharedImage ImageCache::Load(const std::string& key) const {
  (void)key;
  return nullptr;
}

}  // namespace vlo
