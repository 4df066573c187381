#include "ui/chatview/ImageSource.h"

#include "emotes/ImageCache.h"

namespace vlo {

SharedImage MapImageSource::GetImage(const std::string& key) {
  auto found{images_.find(key)};
  return found == images_.end() ? nullptr : found->second;
}

}  // namespace vlo
