#include "emotes/ImageCache.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/TextRules.h"
#include "emotes/ImageDecoder.h"
#include "net/Http.h"

namespace vlo {
namespace {

constexpr char kAcceptHeader[] = "Accept: image/gif,image/png,image/jpeg;q=0.9,*/*;q=0.5";
constexpr uint32_t kDownloadTimeoutMs = 15000;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  if (!in) return {};
  return std::string{std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

// Writes through a temporary file moved over the target; failures are ignored.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out{temporary, std::ios::binary | std::ios::trunc};
    if (!out) return;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) std::filesystem::remove(temporary, error);
}

}  // namespace

size_t ImageKeyHash::operator()(std::string_view key) const {
  return static_cast<size_t>(Fnv1a64(key));
}

ImageCache::ImageCache(std::filesystem::path folder, int workers, Clock& clock)
    : folder_{std::move(folder)}, clock_{clock} {
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

ImageCache::~ImageCache() {
  {
    std::lock_guard lock{mutex_};
    stop_.store(true);
    onArrival_ = nullptr;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

SharedImage ImageCache::GetImage(const std::string& key) {
  {
    std::lock_guard lock{mutex_};
    if (auto it = decoded_.find(key); it != decoded_.end()) return it->second;
    if (pending_.contains(key)) return nullptr;
    if (failed_.contains(key)) {
      const auto retry = retryAt_.find(key);
      if (retry == retryAt_.end() || clock_.NowMs() < retry->second) return nullptr;
      retryAt_.erase(retry);
      failed_.erase(key);
    }
    if (!key.starts_with("https://")) {
      failed_.insert(key);
      return nullptr;
    }
    pending_.insert(key);
    queue_.push_back(key);
  }
  wake_.notify_one();
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
  uint64_t hash = 0x14650fb0739d0383ull;
  for (unsigned char byte : key) {
    hash ^= byte;
    hash *= 0x100000001b3ull;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016" PRIx64 ".img", hash);
  return name;
}

// Runs on each worker thread.
void ImageCache::WorkerLoop() {
  for (;;) {
    std::string key;
    {
      std::unique_lock lock{mutex_};
      wake_.wait(lock, [this] { return stop_.load() || !queue_.empty(); });
      if (stop_.load()) return;
      key = std::move(queue_.front());
      queue_.pop_front();
    }
    Loaded loaded = Load(key);
    std::function<void()> callback;
    {
      std::lock_guard lock{mutex_};
      if (loaded.image) {
        decoded_[key] = std::move(loaded.image);
      } else {
        failed_.insert(key);
        if (loaded.retryAtMs > 0) retryAt_[key] = loaded.retryAtMs;
      }
      pending_.erase(key);
      callback = onArrival_;
    }
    if (callback) callback();
  }
}

// Worker thread, without the lock.
ImageCache::Loaded ImageCache::Load(const std::string& key) const {
  const std::filesystem::path path = folder_ / CacheFileName(key);
  const std::string cached = ReadFile(path);
  if (!cached.empty()) {
    if (std::optional<DecodedImage> image = DecodeImage(cached)) {
      return {std::make_shared<const DecodedImage>(std::move(*image))};
    }
  }
  plx::HttpRequest request;
  request.url = key;
  request.headers = kAcceptHeader;
  request.timeoutMs = kDownloadTimeoutMs;
  request.maxBodyBytes = kMaxEncodedBytes;
  request.control = {&clock_, [this] { return !stop_.load(); }};
  const plx::HttpResponse response = plx::Perform(request);
  const int32_t status = response.status;
  if (status == 0 || status == 429 || status >= 500) {
    if (response.error == plx::kAnswerTooLarge) return {};
    return {nullptr, clock_.NowMs() + std::max<int64_t>(kRetryMs, response.retryAfter * 1000LL)};
  }
  if (status < 200 || status > 299 || response.body.empty()) return {};
  std::optional<DecodedImage> image = DecodeImage(response.body);
  if (!image) return {};
  WriteFileAtomically(path, response.body);
  return {std::make_shared<const DecodedImage>(std::move(*image))};
}

}  // namespace vlo
