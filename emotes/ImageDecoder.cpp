#include "emotes/ImageDecoder.h"

namespace vlo {

std::optional<DecodedImage> DecodeImage(std::string_view bytes) {
  (void)bytes;
  return std::nullopt;
}

}  // namespace vlo
