// The chat view's connection to the program's emote registry and image cache. Kept apart from the
// rest of the view so that tools and tests with their own image sources do not link the network
// code behind the cache and the registry.
#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "ui/chatview/ChatView.h"
#include "ui/chatview/ImageSource.h"

namespace vlo {

SharedImage CacheImageSource::GetImage(const std::string& key) { return cache_.GetImage(key); }

bool CacheImageSource::IsFailed(const std::string& key) { return cache_.IsFailed(key); }

void ChatView::SetImageSources(const EmoteRegistry* registry, ImageCache* cache) {
  PlatformEmoteLookup lookup;
  if (registry) {
    lookup = [registry](plx::PlatformId platform, std::string_view word) {
      return registry->Find(platform, word);
    };
  }
  SetImageSource(cache ? std::make_shared<CacheImageSource>(*cache) : nullptr, std::move(lookup),
                 registry ? registry->ImageHosts() : NativeImageHosts{});
}

}  // namespace vlo
