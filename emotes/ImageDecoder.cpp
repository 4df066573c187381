#include "emotes/ImageDecoder.h"

#include "emotes/DecodeSupport.h"

namespace vlo {

std::optional<DecodedImage> DecodeImage(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > kMaxEncodedBytes) return std::nullopt;
  if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return decode::DecodeGif(bytes);
  if (bytes.starts_with("\x89PNG\r\n\x1a\n")) return decode::DecodePng(bytes);
  if (bytes.starts_with("\xFF\xD8\xFF")) return decode::DecodeJpeg(bytes);
  if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP") {
    return decode::DecodeWebp(bytes);
  }
  return std::nullopt;
}

}  // namespace vlo
