#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "emotes/DecodedImage.h"

namespace vlo {

class ImageCache;

// Where the chat view gets emote images. The program uses the image cache; tools and tests may
// hand in images they made themselves. Window thread only.
class ChatImageSource {
 public:
  virtual ~ChatImageSource() = default;
  // The decoded image, or nothing while it loads (asking may start the load).
  virtual SharedImage GetImage(const std::string& key) = 0;
  // The key will never load: the emote is shown as its code.
  virtual bool IsFailed(const std::string& key) = 0;
};

class CacheImageSource final : public ChatImageSource {
 public:
  explicit CacheImageSource(ImageCache& cache) : cache_{cache} {}
  SharedImage GetImage(const std::string& key) override;
  bool IsFailed(const std::string& key) override;

 private:
  ImageCache& cache_;
};

// A fixed set of images; an unknown key is pending, or failed when listed with Fail.
class MapImageSource final : public ChatImageSource {
 public:
  void Add(const std::string& key, SharedImage image) { images_[key] = std::move(image); }
  void Fail(const std::string& key) { failed_[key] = true; }
  SharedImage GetImage(const std::string& key) override;
  bool IsFailed(const std::string& key) override { return failed_.contains(key); }

 private:
  std::unordered_map<std::string, SharedImage> images_;
  std::unordered_map<std::string, bool> failed_;
};

}  // namespace vlo
