#pragma once

#include <optional>
#include <string_view>

#include "emotes/DecodedImage.h"

namespace vlo {

// Limits on what the decoder accepts.
inline constexpr size_t kMaxEncodedBytes = 8u * 1024u * 1024u;
inline constexpr uint32_t kMaxStillSide = 1024;
inline constexpr uint64_t kMaxCanvasPixels = 262144;
inline constexpr size_t kMaxFrames = 400;
inline constexpr uint64_t kMaxFrameBytes = 48ull * 1024u * 1024u;

// Decodes GIF, PNG, JPEG or WebP bytes (the format is taken from the content, not a name).
// Animated GIF and WebP become composed full-canvas frames; everything else one frame.
// Returns nothing for empty, oversized, truncated, corrupt or too-large images. Pure; any thread.
std::optional<DecodedImage> DecodeImage(std::string_view bytes);

}  // namespace vlo
